// How scans are exported: which files, which colour space, what size, which output sharpening,
// which name suffix, and which film notes fill in empty metadata. Stored as JSON in the
// application's preferences; the reader is tolerant key by key.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Record/EnumText.h"

enum class ExportFormat { tiff16, tiff8, jpeg };
enum class ExportColorSpace { sRGB, displayP3, adobeRGB, proPhotoRGB };
enum class OutputSharpening { none, screen, matte, glossy };

template <>
struct EnumNames<ExportFormat> {
  static constexpr std::array<std::pair<ExportFormat, std::string_view>, 3> cases{{
      {ExportFormat::tiff16, "tiff16"},
      {ExportFormat::tiff8, "tiff8"},
      {ExportFormat::jpeg, "jpeg"},
  }};
};

template <>
struct EnumNames<ExportColorSpace> {
  static constexpr std::array<std::pair<ExportColorSpace, std::string_view>, 4> cases{{
      {ExportColorSpace::sRGB, "sRGB"},
      {ExportColorSpace::displayP3, "displayP3"},
      {ExportColorSpace::adobeRGB, "adobeRGB"},
      {ExportColorSpace::proPhotoRGB, "proPhotoRGB"},
  }};
};

template <>
struct EnumNames<OutputSharpening> {
  static constexpr std::array<std::pair<OutputSharpening, std::string_view>, 4> cases{{
      {OutputSharpening::none, "none"},
      {OutputSharpening::screen, "screen"},
      {OutputSharpening::matte, "matte"},
      {OutputSharpening::glossy, "glossy"},
  }};
};

// "tif" for the two TIFF formats, "jpg" for JPEG.
std::string_view fileExtension(ExportFormat format);
// The texts the export options sheet shows.
std::string_view label(ExportColorSpace space);
std::string_view label(OutputSharpening sharpening);

struct ExportOptions {
  std::vector<ExportFormat> formats = {ExportFormat::tiff16};
  double jpegQuality = 0.92;
  std::optional<int64_t> longEdge;
  OutputSharpening sharpening = OutputSharpening::none;
  ExportColorSpace colorSpace = ExportColorSpace::displayP3;
  std::string suffix;
  std::string filmStock;
  std::string camera;
  std::string iso;
  std::string notes;

  friend bool operator==(const ExportOptions&, const ExportOptions&) = default;
};

// The JSON object of the options, one key per field; no "longEdge" key when it is absent.
nlohmann::json toJSON(const ExportOptions& options);
// Reads options starting from the defaults: a key that is missing, null, mistyped or unknown
// keeps its default. No value when the input is not a JSON object.
std::optional<ExportOptions> exportOptionsFromJSON(const nlohmann::json& json);
// The same from JSON text; text that does not parse gives no value too.
std::optional<ExportOptions> exportOptionsFromJSON(std::string_view text);
