// Finding and storing one scan's edit record. Records are stored in the folder sidecar; the
// older per-image sidecars ("<image>.kelvadorium.json", before that "<image>.tressimbora.json")
// are only read, and deleted once the folder sidecar holds their record.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "Record/ConversionSettings.h"

namespace SettingsSidecar {

// IMG_1.CR3 → IMG_1.CR3.kelvadorium.json beside it.
std::filesystem::path sidecarURL(const std::filesystem::path& image);
// IMG_1.CR3 → IMG_1.CR3.tressimbora.json beside it.
std::filesystem::path legacySidecarURL(const std::filesystem::path& image);

// The scan's stored record: the folder sidecar's entry, else a per-image sidecar that reads,
// else the legacy one; nothing when none does. Deletes and migrates nothing.
std::optional<ConversionSettings> load(const std::filesystem::path& image);

// Exactly FolderEdits::setSettings.
void save(const ConversionSettings& settings, const std::filesystem::path& image);

// The record held by a per-image sidecar's bytes; nothing when they are not a JSON object.
std::optional<ConversionSettings> decode(std::string_view bytes);

}  // namespace SettingsSidecar
