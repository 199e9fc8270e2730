#include "Export/ExportOptions.h"

#include <nlohmann/json.hpp>

std::string_view fileExtension(ExportFormat format) {
  return format == ExportFormat::jpeg ? "jpg" : "tif";
}

std::string_view label(ExportColorSpace space) {
  switch (space) {
    case ExportColorSpace::sRGB:
      return "sRGB (web, social media)";
    case ExportColorSpace::displayP3:
      return "Display P3 (wide-gamut screens)";
    case ExportColorSpace::adobeRGB:
      return "Adobe RGB (print)";
    case ExportColorSpace::proPhotoRGB:
      return "ProPhoto RGB (editing)";
  }
  return {};
}

std::string_view label(OutputSharpening sharpening) {
  switch (sharpening) {
    case OutputSharpening::none:
      return "None";
    case OutputSharpening::screen:
      return "Screen";
    case OutputSharpening::matte:
      return "Matte paper";
    case OutputSharpening::glossy:
      return "Glossy paper";
  }
  return {};
}

nlohmann::json toJSON(const ExportOptions& options) {
  nlohmann::json formats = nlohmann::json::array();
  for (ExportFormat f : options.formats) formats.push_back(toString(f));
  nlohmann::json json = {
      {"formats", formats},
      {"jpegQuality", options.jpegQuality},
      {"sharpening", toString(options.sharpening)},
      {"colorSpace", toString(options.colorSpace)},
      {"suffix", options.suffix},
      {"filmStock", options.filmStock},
      {"camera", options.camera},
      {"iso", options.iso},
      {"notes", options.notes},
  };
  if (options.longEdge) json["longEdge"] = *options.longEdge;
  return json;
}

namespace {

std::optional<std::vector<ExportFormat>> readFormats(const nlohmann::json& value) {
  if (!value.is_array()) return std::nullopt;
  std::vector<ExportFormat> formats;
  for (const auto& element : value) {
    if (!element.is_string()) return std::nullopt;
    const auto format = fromString<ExportFormat>(element.get_ref<const std::string&>());
    if (!format) return std::nullopt;
    formats.push_back(*format);
  }
  return formats;
}

template <NamedEnum E>
void readEnum(const nlohmann::json& json, const char* key, E& field) {
  const auto it = json.find(key);
  if (it == json.end() || !it->is_string()) return;
  if (const auto value = fromString<E>(it->get_ref<const std::string&>())) field = *value;
}

void readString(const nlohmann::json& json, const char* key, std::string& field) {
  const auto it = json.find(key);
  if (it != json.end() && it->is_string()) field = it->get<std::string>();
}

}  // namespace

std::optional<ExportOptions> exportOptionsFromJSON(const nlohmann::json& json) {
  if (!json.is_object()) return std::nullopt;
  ExportOptions options;
  if (const auto it = json.find("formats"); it != json.end()) {
    if (auto formats = readFormats(*it)) options.formats = std::move(*formats);
  }
  if (const auto it = json.find("jpegQuality"); it != json.end() && it->is_number()) {
    options.jpegQuality = it->get<double>();
  }
  if (const auto it = json.find("longEdge"); it != json.end() && it->is_number_integer()) {
    if (it->is_number_unsigned()) {
      const uint64_t value = it->get<uint64_t>();
      if (value <= static_cast<uint64_t>(INT64_MAX)) options.longEdge = static_cast<int64_t>(value);
    } else {
      options.longEdge = it->get<int64_t>();
    }
  }
  readEnum(json, "sharpening", options.sharpening);
  readEnum(json, "colorSpace", options.colorSpace);
  readString(json, "suffix", options.suffix);
  readString(json, "filmStock", options.filmStock);
  readString(json, "camera", options.camera);
  readString(json, "iso", options.iso);
  readString(json, "notes", options.notes);
  return options;
}

std::optional<ExportOptions> exportOptionsFromJSON(std::string_view text) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return exportOptionsFromJSON(json);
}
