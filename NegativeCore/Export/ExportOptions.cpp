#include "Export/ExportOptions.h"

#include <nlohmann/json.hpp>

#include "Record/JsonFields.h"

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

// Tolerant: a key that is missing or does not convert keeps its default; a list of formats
// with one unknown name is ignored as a whole; the quality is taken as any number (the writer
// limits it), the long edge only as a number written as an integer.
std::optional<ExportOptions> exportOptionsFromJSON(const nlohmann::json& json) {
  using namespace JsonFields;
  if (!json.is_object()) return std::nullopt;
  ExportOptions options;
  take(json, "formats", listOf(asEnum<ExportFormat>), options.formats);
  take(json, "jpegQuality", asAnyDouble, options.jpegQuality);
  take(json, "longEdge", asWrittenInt, options.longEdge);
  take(json, "sharpening", asEnum<OutputSharpening>, options.sharpening);
  take(json, "colorSpace", asEnum<ExportColorSpace>, options.colorSpace);
  take(json, "suffix", asString, options.suffix);
  take(json, "filmStock", asString, options.filmStock);
  take(json, "camera", asString, options.camera);
  take(json, "iso", asString, options.iso);
  take(json, "notes", asString, options.notes);
  return options;
}

std::optional<ExportOptions> exportOptionsFromJSON(std::string_view text) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded()) return std::nullopt;
  return exportOptionsFromJSON(json);
}
