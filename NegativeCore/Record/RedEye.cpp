#include "Record/RedEye.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

nlohmann::json toJson(const RedEye& mark) {
  return {{"id", mark.id.toString()},
          {"x", number(mark.x, "x")},
          {"y", number(mark.y, "y")},
          {"r", number(mark.r, "r")}};
}

RedEye redEyeFromJson(const nlohmann::json& json) {
  requireObject(json);
  RedEye mark;
  mark.id = required(json, "id", asUuid);
  mark.x = required(json, "x", asDouble);
  mark.y = required(json, "y", asDouble);
  mark.r = required(json, "r", asDouble);
  return mark;
}
