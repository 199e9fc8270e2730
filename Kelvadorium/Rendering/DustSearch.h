// The dust search of one scan at a renderer's proxy size, run inside one job on the renderer's
// worker: the scan's own finds (the dust model's, else the classic finder's), the classic finds
// of up to four neighbouring frames decoded at the proxy's size, and the blank frame's specks,
// refined and grouped by DustAcrossFrames. Neighbouring frames are decoded beside the cache,
// never kept in it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <utility>
#include <vector>

#include "Conversion/LinearImage.h"
#include "Record/ConversionSettings.h"
#include "Record/Spot.h"
#include "Rendering/RenderCache.h"

namespace DustSearch {

// A neighbouring frame: its file and its own record.
using Sample = std::pair<std::filesystem::path, ConversionSettings>;

// Only the first this many samples are looked at, whatever becomes of them.
inline constexpr size_t maxSamples = 4;

// The classic finds of each usable sample among the first four, in order, at min(sensitivity +
// 0.2, 1). A sample turned or mirrored otherwise than the scan is passed over before any
// decoding; one that does not decode, or decodes to another size than the proxy, is passed over
// silently.
std::vector<std::vector<Spot>> sampleFinds(const RenderCache::Backend& backend,
                                           const LinearImage& proxy,
                                           const ConversionSettings& settings,
                                           const std::vector<Sample>& samples, double sensitivity);

// The whole search, finds in normalised coordinates of the turned, unstraightened scan. Throws
// the decoder's error when the scan itself cannot be decoded or measured.
std::vector<std::vector<Spot>> run(RenderCache& cache, const std::filesystem::path& url,
                                   const ConversionSettings& settings,
                                   const std::vector<Sample>& samples, double sensitivity);

}  // namespace DustSearch
