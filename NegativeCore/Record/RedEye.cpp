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
  return {required(json, "id", asUuid), required(json, "x", asDouble),
          required(json, "y", asDouble), required(json, "r", asDouble)};
}
