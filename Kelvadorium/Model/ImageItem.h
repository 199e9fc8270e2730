// One scan of the session: its identity, its file, its edit record, its thumbnail once made, and
// whether Export All leaves it out. Identified by `id`; no equality of its own.
#pragma once

#include <filesystem>
#include <memory>

#include "Record/ConversionSettings.h"
#include "Rendering/PreviewImage.h"
#include "Support/Uuid.h"

struct ImageItem {
  Uuid id = Uuid::random();
  std::filesystem::path url;  // absolute and lexically normal
  ConversionSettings settings;
  std::shared_ptr<const PreviewImage> thumbnail;
  bool skipped = false;
};
