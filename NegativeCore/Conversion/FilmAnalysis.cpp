#include "Conversion/FilmAnalysis.h"

#include "Record/JsonFields.h"

using namespace JsonFields;

namespace {

std::optional<std::array<double, 3>> asChannels(const Json& value) {
  const auto numbers = numbersOfCount(3)(value);
  if (!numbers) return std::nullopt;
  return std::array<double, 3>{(*numbers)[0], (*numbers)[1], (*numbers)[2]};
}

Json channels(const std::array<double, 3>& values, std::string_view key) {
  return numbers({values.begin(), values.end()}, key);
}

}  // namespace

nlohmann::json toJson(const FilmAnalysis& analysis) {
  Json json = Json::object();
  json["dMin"] = channels(analysis.dMin, "dMin");
  json["dMax"] = channels(analysis.dMax, "dMax");
  json["baseTransmission"] = channels(analysis.baseTransmission, "baseTransmission");
  json["samples"] = analysis.samples;
  json["crop"] = toJson(analysis.crop);
  json["autoCropped"] = analysis.autoCropped;
  return json;
}

FilmAnalysis filmAnalysisFromJson(const nlohmann::json& json) {
  requireObject(json);
  FilmAnalysis analysis;
  analysis.dMin = required(json, "dMin", asChannels);
  analysis.dMax = required(json, "dMax", asChannels);
  analysis.baseTransmission = required(json, "baseTransmission", asChannels);
  analysis.samples = required(json, "samples", asInt);
  const Json* crop = find(json, "crop");
  if (!crop) throwMissing("crop");
  analysis.crop = normRectFromJson(*crop);
  analysis.autoCropped = required(json, "autoCropped", asBool);
  return analysis;
}
