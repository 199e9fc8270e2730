#include "Record/LocalAdjustment.h"

#include <string_view>
#include <utility>

#include "Record/JsonFields.h"

using namespace JsonFields;

namespace {

constexpr std::pair<std::string_view, double LocalAdjustment::*> fields[] = {
    {"exposure", &LocalAdjustment::exposure},     {"contrast", &LocalAdjustment::contrast},
    {"highlights", &LocalAdjustment::highlights}, {"shadows", &LocalAdjustment::shadows},
    {"whites", &LocalAdjustment::whites},         {"blacks", &LocalAdjustment::blacks},
    {"clarity", &LocalAdjustment::clarity},       {"dehaze", &LocalAdjustment::dehaze},
    {"sharpness", &LocalAdjustment::sharpness},   {"blackMist", &LocalAdjustment::blackMist},
    {"saturation", &LocalAdjustment::saturation},
};

}  // namespace

nlohmann::json toJson(const LocalAdjustment& adjust) {
  Json json = Json::object();
  for (const auto& [key, member] : fields) json[std::string(key)] = number(adjust.*member, key);
  return json;
}

LocalAdjustment localAdjustmentFromJson(const nlohmann::json& json) {
  requireObject(json);
  LocalAdjustment adjust;
  for (const auto& [key, member] : fields) take(json, key, asDouble, adjust.*member);
  return adjust;
}
