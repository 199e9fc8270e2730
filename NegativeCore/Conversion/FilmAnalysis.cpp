#include "Conversion/FilmAnalysis.h"

#include <nlohmann/json.hpp>
#include <string>

namespace {

using nlohmann::json;

[[noreturn]] void wrongType(const json& value, const std::string& key, const char* expected) {
  throw json::type_error::create(302, "\"" + key + "\" must be " + expected, &value);
}

const json& member(const json& object, const std::string& key) {
  if (!object.is_object()) wrongType(object, key, "in an object");
  return object.at(key);  // out_of_range when missing
}

double number(const json& object, const std::string& key) {
  const json& value = member(object, key);
  if (!value.is_number()) wrongType(value, key, "a number");
  return value.get<double>();
}

std::array<double, 3> channels(const json& object, const std::string& key) {
  const json& value = member(object, key);
  if (!value.is_array() || value.size() != 3) wrongType(value, key, "an array of three numbers");
  std::array<double, 3> result{};
  for (size_t c = 0; c < 3; ++c) {
    if (!value[c].is_number()) wrongType(value, key, "an array of three numbers");
    result[c] = value[c].get<double>();
  }
  return result;
}

}  // namespace

void to_json(json& out, const FilmAnalysis& analysis) {
  const NormRect& crop = analysis.crop;
  out = json{{"dMin", analysis.dMin},
             {"dMax", analysis.dMax},
             {"baseTransmission", analysis.baseTransmission},
             {"samples", analysis.samples},
             {"crop", {{"x", crop.x}, {"y", crop.y}, {"w", crop.w}, {"h", crop.h}}},
             {"autoCropped", analysis.autoCropped}};
}

void from_json(const json& in, FilmAnalysis& analysis) {
  FilmAnalysis read;
  read.dMin = channels(in, "dMin");
  read.dMax = channels(in, "dMax");
  read.baseTransmission = channels(in, "baseTransmission");
  const json& samples = member(in, "samples");
  if (!samples.is_number_integer()) wrongType(samples, "samples", "a whole number");
  read.samples = samples.get<int64_t>();
  const json& crop = member(in, "crop");
  if (!crop.is_object()) wrongType(crop, "crop", "an object");
  read.crop = {number(crop, "x"), number(crop, "y"), number(crop, "w"), number(crop, "h")};
  const json& autoCropped = member(in, "autoCropped");
  if (!autoCropped.is_boolean()) wrongType(autoCropped, "autoCropped", "true or false");
  read.autoCropped = autoCropped.get<bool>();
  analysis = read;
}
