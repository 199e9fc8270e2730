// The edit record's JSON form: the writer, and the tolerant reader with its two conversions of
// older records (the `density` key and dodge & burn strokes kept outside layers).
#include <cmath>
#include <string_view>
#include <utility>

#include "Record/ConversionSettings.h"
#include "Record/JsonFields.h"
#include "Support/StoredName.h"

using namespace JsonFields;
using CS = ConversionSettings;

namespace {

template <class T>
using Field = std::pair<std::string_view, T CS::*>;

constexpr Field<double> doubleFields[] = {
    {"contrast", &CS::contrast},
    {"exposure", &CS::exposure},
    {"saturation", &CS::saturation},
    {"analysisInset", &CS::analysisInset},
    {"blackClip", &CS::blackClip},
    {"whiteClip", &CS::whiteClip},
    {"skewDegrees", &CS::skewDegrees},
    {"autoCropMargin", &CS::autoCropMargin},
    {"temperature", &CS::temperature},
    {"tint", &CS::tint},
    {"clarity", &CS::clarity},
    {"highlights", &CS::highlights},
    {"shadows", &CS::shadows},
    {"whites", &CS::whites},
    {"blacks", &CS::blacks},
    {"sharpness", &CS::sharpness},
    {"dehaze", &CS::dehaze},
    {"blackMist", &CS::blackMist},
    {"grainReduction", &CS::grainReduction},
    {"borderSize", &CS::borderSize},
    {"grainAmount", &CS::grainAmount},
    {"grainSize", &CS::grainSize},
    {"grainRoughness", &CS::grainRoughness},
    {"vignetteAmount", &CS::vignetteAmount},
    {"vignetteMidpoint", &CS::vignetteMidpoint},
    {"vignetteFeather", &CS::vignetteFeather},
    {"glowAmount", &CS::glowAmount},
    {"glowSize", &CS::glowSize},
    {"lookAmount", &CS::lookAmount},
};

constexpr Field<int64_t> intFields[] = {
    {"version", &CS::version},
    {"rotationQuarterTurns", &CS::rotationQuarterTurns},
};

constexpr Field<bool> boolFields[] = {
    {"mirrored", &CS::mirrored},
    {"autoCrop", &CS::autoCrop},
};

constexpr Field<std::optional<std::string>> optionalTextFields[] = {
    {"filmPreset", &CS::filmPreset},
    {"flatField", &CS::flatField},
};

// Exposure in hundredths from the density of records older than the exposure control; nothing
// when a density beyond about 1.1e307 would overflow, so the exposure keeps its default.
std::optional<double> exposureFromDensity(double density) {
  const double exposure = std::round((1.0 - density) / 0.12 * 100.0) / 100.0;
  if (!std::isfinite(exposure)) return std::nullopt;
  return exposure;
}

template <class T>
Json list(const std::vector<T>& items) {
  Json json = Json::array();
  for (const auto& item : items) json.push_back(toJson(item));
  return json;
}

void writeScalars(const CS& s, Json& json) {
  for (const auto& [key, member] : doubleFields) json[std::string(key)] = number(s.*member, key);
  for (const auto& [key, member] : intFields) json[std::string(key)] = s.*member;
  for (const auto& [key, member] : boolFields) json[std::string(key)] = s.*member;
  for (const auto& [key, member] : optionalTextFields) putOptional(json, key, s.*member);
  // The blank frame's path may be any bytes (a Latin-1 file name); JSON holds UTF-8 only.
  if (s.flatField) json["flatField"] = StoredName::encode(*s.flatField);
  json["mode"] = toString(s.mode);
  json["cropAspect"] = toString(s.cropAspect);
  json["look"] = toString(s.look);
  json["border"] = toString(s.border);
  json["borderFrame"] = s.borderFrame;
  json["cmy"] = numbers(s.cmy, "cmy");
}

void writeMembers(const CS& s, Json& json) {
  if (s.crop) json["crop"] = toJson(*s.crop);
  if (s.rollBalance) json["rollBalance"] = toJson(*s.rollBalance);
  json["hsl"] = toJson(s.hsl);
  json["curves"] = toJson(s.curves);
  json["filmInfo"] = toJson(s.filmInfo);
  json["spots"] = list(s.spots);
  json["dodgeBurn"] = list(s.dodgeBurn);
  json["redEyes"] = list(s.redEyes);
  json["layers"] = list(s.layers);
}

void readScalars(const Json& json, CS& s) {
  for (const auto& [key, member] : doubleFields) take(json, key, asDouble, s.*member);
  for (const auto& [key, member] : intFields) take(json, key, asInt, s.*member);
  for (const auto& [key, member] : boolFields) take(json, key, asBool, s.*member);
  for (const auto& [key, member] : optionalTextFields) take(json, key, asString, s.*member);
  if (s.flatField) s.flatField = StoredName::decode(*s.flatField);
  take(json, "mode", asEnum<FilmMode>, s.mode);
  take(json, "cropAspect", asEnum<CropAspect>, s.cropAspect);
  take(json, "look", asEnum<ScannerLook>, s.look);
  take(json, "border", asEnum<BorderStyle>, s.border);
  take(json, "borderFrame", asString, s.borderFrame);
  take(json, "cmy", numbersOfCount(3), s.cmy);
}

void readMembers(const Json& json, CS& s) {
  take(json, "crop", readable(normRectFromJson), s.crop);
  take(json, "rollBalance", readable(rollBalanceFromJson), s.rollBalance);
  take(json, "hsl", readable(hslAdjustmentsFromJson), s.hsl);
  take(json, "curves", readable(toneCurvesFromJson), s.curves);
  take(json, "filmInfo", readable(filmInfoFromJson), s.filmInfo);
  s.spots = readableElements(json, "spots", spotFromJson);
  s.dodgeBurn = readableElements(json, "dodgeBurn", dodgeBurnStrokeFromJson);
  s.redEyes = readableElements(json, "redEyes", redEyeFromJson);
  s.layers = readableElements(json, "layers", localLayerFromJson);
}

// A present numeric `exposure` always wins over the legacy `density`.
void convertLegacyDensity(const Json& json, CS& s) {
  if (tolerant(json, "exposure", asDouble)) return;
  if (auto density = tolerant(json, "density", asDouble)) {
    if (const auto exposure = exposureFromDensity(*density)) s.exposure = *exposure;
  }
}

// Strokes from before layers become layers, grouped by exposure, when there are no layers.
void convertLegacyStrokes(CS& s) {
  if (!s.layers.empty() || s.dodgeBurn.empty()) return;
  s.layers = layersFromStrokes(s.dodgeBurn);
  s.dodgeBurn.clear();
}

}  // namespace

nlohmann::json toJson(const ConversionSettings& settings) {
  Json json = Json::object();
  writeScalars(settings, json);
  writeMembers(settings, json);
  return json;
}

ConversionSettings settingsFromJson(const nlohmann::json& json) {
  requireObject(json);
  ConversionSettings settings;
  readScalars(json, settings);
  readMembers(json, settings);
  convertLegacyDensity(json, settings);
  convertLegacyStrokes(settings);
  return settings;
}
