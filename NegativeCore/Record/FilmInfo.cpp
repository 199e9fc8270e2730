#include "Record/FilmInfo.h"

#include <string_view>
#include <utility>

#include "Record/JsonFields.h"

using namespace JsonFields;

namespace {

constexpr std::pair<std::string_view, std::string FilmInfo::*> fields[] = {
    {"camera", &FilmInfo::camera},
    {"lens", &FilmInfo::lens},
    {"film", &FilmInfo::film},
    {"iso", &FilmInfo::iso},
    {"shutter", &FilmInfo::shutter},
    {"aperture", &FilmInfo::aperture},
    {"focalLength", &FilmInfo::focalLength},
    {"dateTaken", &FilmInfo::dateTaken},
    {"photographer", &FilmInfo::photographer},
    {"copyright", &FilmInfo::copyright},
    {"notes", &FilmInfo::notes},
};

}  // namespace

nlohmann::json toJson(const FilmInfo& info) {
  Json json = Json::object();
  for (const auto& [key, member] : fields) json[std::string(key)] = info.*member;
  return json;
}

FilmInfo filmInfoFromJson(const nlohmann::json& json) {
  requireObject(json);
  FilmInfo info;
  for (const auto& [key, member] : fields) take(json, key, asString, info.*member);
  return info;
}
