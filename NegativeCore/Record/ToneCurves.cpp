#include "Record/ToneCurves.h"

#include <string_view>
#include <utility>

#include "Record/JsonFields.h"

using namespace JsonFields;

namespace {

constexpr std::pair<std::string_view, ToneCurve ToneCurves::*> curveFields[] = {
    {"rgb", &ToneCurves::rgb},
    {"red", &ToneCurves::red},
    {"green", &ToneCurves::green},
    {"blue", &ToneCurves::blue},
};

}  // namespace

nlohmann::json toJson(const ToneCurves& curves) {
  Json json = {{"regions", numbers(curves.regions, "regions")}};
  for (const auto& [key, member] : curveFields) json[std::string(key)] = toJson(curves.*member);
  return json;
}

ToneCurves toneCurvesFromJson(const nlohmann::json& json) {
  requireObject(json);
  ToneCurves curves;
  for (const auto& [key, member] : curveFields)
    take(json, key, readable(toneCurveFromJson), curves.*member);
  take(json, "regions", numbersOfCount(4), curves.regions);
  return curves;
}
