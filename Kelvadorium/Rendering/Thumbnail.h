// A scan's thumbnail, made in one renderer job: the scan fully converted with its crop and
// border at the renderer's long edge. Only the screen copy is kept (the 16-bit image stays
// empty): nothing but the screen draws a thumbnail, and the 16-bit image of every thumbnail
// would double what a long session holds.
#pragma once

#include <filesystem>
#include <optional>

#include "Record/ConversionSettings.h"
#include "Rendering/PreviewImage.h"
#include "Rendering/RenderCache.h"

namespace Thumbnail {

// Analysis, proxy, conversion and screen copy on `cache`; nothing when no image can be made.
// Throws the decoder's DecodeError.
std::optional<PreviewImage> make(RenderCache& cache, const std::filesystem::path& url,
                                 const ConversionSettings& settings);

}  // namespace Thumbnail
