// Measures the film on a decoded scan: samples an inset region at a stride set by the sample
// budget, turns each sample into optical densities, drops samples far denser than the film base
// (film-holder edges) and takes per-channel percentiles. The sampling pass runs in parallel over
// rows; the per-channel steps run as three parallel iterations.
#pragma once

#include <cstdint>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Record/ConversionSettings.h"

namespace Analyzer {

// Reads analysisInset, blackClip, whiteClip and mode. The crop is (0, 0, 1, 1) and autoCropped
// false; the conversion driver fills them in. Never fails: a region without a finite pixel gives
// samples 0, dMin (0, 0, 0), dMax (1, 1, 1) and baseTransmission (0, 0, 0).
FilmAnalysis analyze(const LinearImage& image, const ConversionSettings& settings,
                     int64_t maxSamples);

}  // namespace Analyzer
