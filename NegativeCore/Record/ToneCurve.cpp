#include "Record/ToneCurve.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

nlohmann::json toJson(const ToneCurve& curve) {
  return {{"points", points(curve.points, "points")}};
}

ToneCurve toneCurveFromJson(const nlohmann::json& json) {
  requireObject(json);
  return ToneCurve{required(json, "points", asPoints)};
}
