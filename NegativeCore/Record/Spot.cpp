#include "Record/Spot.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

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
  spot.sx = optional(json, "sx", asDouble);
  spot.sy = optional(json, "sy", asDouble);
  spot.group = optional(json, "group", asUuid);
  spot.kind = optional(json, "kind", asEnum<SpotKind>);
  spot.feather = optional(json, "feather", asDouble);
  spot.opacity = optional(json, "opacity", asDouble);
  spot.score = optional(json, "score", asDouble);
  return spot;
}
