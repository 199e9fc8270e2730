#include "Export/SettingsSidecar.h"

#include <nlohmann/json.hpp>

#include "Export/FileBytes.h"
#include "Export/FolderEdits.h"

namespace SettingsSidecar {

namespace {

std::filesystem::path appended(const std::filesystem::path& image, std::string_view suffix) {
  std::filesystem::path result = image;
  result += suffix;
  return result;
}

std::optional<ConversionSettings> readSidecar(const std::filesystem::path& sidecar) {
  try {
    return decode(FileBytes::read(sidecar));
  } catch (const std::filesystem::filesystem_error&) {
    return std::nullopt;
  }
}

}  // namespace

std::filesystem::path sidecarURL(const std::filesystem::path& image) {
  return appended(image, ".kelvadorium.json");
}

std::filesystem::path legacySidecarURL(const std::filesystem::path& image) {
  return appended(image, ".tressimbora.json");
}

std::optional<ConversionSettings> load(const std::filesystem::path& image) {
  if (auto stored = FolderEdits::settings(image)) return stored;
  if (auto stored = readSidecar(sidecarURL(image))) return stored;
  return readSidecar(legacySidecarURL(image));
}

void save(const ConversionSettings& settings, const std::filesystem::path& image) {
  FolderEdits::setSettings(settings, image);
}

std::optional<ConversionSettings> decode(std::string_view bytes) {
  const nlohmann::json json = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return std::nullopt;  // also a parse failure (discarded value)
  return settingsFromJson(json);
}

}  // namespace SettingsSidecar
