#include "Record/Spot.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

Spot makeSpot(double x, double y, double r, std::optional<double> sx, std::optional<double> sy) {
  Spot spot;
  spot.id = Uuid::random();
  spot.x = x;
  spot.y = y;
  spot.r = r;
  spot.sx = sx;
  spot.sy = sy;
  return spot;
}

nlohmann::json toJson(const Spot& spot) {
  Json json = {{"id", spot.id.toString()},
               {"x", number(spot.x, "x")},
               {"y", number(spot.y, "y")},
               {"r", number(spot.r, "r")}};
  putOptional(json, "sx", spot.sx);
  putOptional(json, "sy", spot.sy);
  putOptional(json, "group", spot.group);
  putOptional(json, "kind", spot.kind);
  putOptional(json, "feather", spot.feather);
  putOptional(json, "opacity", spot.opacity);
  putOptional(json, "score", spot.score);
  return json;
}

Spot spotFromJson(const nlohmann::json& json) {
  requireObject(json);
  Spot spot;
  spot.id = required(json, "id", asUuid);
  spot.x = required(json, "x", asDouble);
  spot.y = required(json, "y", asDouble);
  spot.r = required(json, "r", asDouble);
  spot.sx = optionalKey(json, "sx", asDouble);
  spot.sy = optionalKey(json, "sy", asDouble);
  spot.group = optionalKey(json, "group", asUuid);
  spot.kind = optionalKey(json, "kind", asEnum<SpotKind>);
  spot.feather = optionalKey(json, "feather", asDouble);
  spot.opacity = optionalKey(json, "opacity", asDouble);
  spot.score = optionalKey(json, "score", asDouble);
  return spot;
}
