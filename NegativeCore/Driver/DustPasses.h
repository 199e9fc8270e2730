// The dust passes of the conversion driver: proposed repairs for one scan from the classic
// finders or from the dust model over a re-render of the scan, normalised to the unstraightened,
// uncropped scan, with a clone source for every find of a scan pass. They read
// DustDetector::tuning()'s hairFinder and darkSpecks as they reach those steps. The blank-frame
// pass is FlatField::findDust.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Record/ConversionSettings.h"
#include "Record/Spot.h"

namespace Converter {

// The classic pass over the decoded scan the caller holds: finds inside the measured crop after
// straightening, per-channel evidence for colour negatives, a density ceiling from the
// analysis's dMax for negatives, a clone source for every find. Never fails.
std::vector<Spot> detectDust(const LinearImage& scan, const FilmAnalysis& analysis,
                             const ConversionSettings& settings, double sensitivity);

// The model pass: the scan re-rendered without repairs, masks, rotation, grain, vignette or
// glow, as BT.601 luminance through the dust model, finds inside the measured crop (shrunk by
// 0.6 % a side) after straightening, a clone source for every find searched on `scan`. A scan
// held at under 4000 pixels is replaced by a decode of `url` at up to 4000 (through the
// blank-frame correction). Nothing when the model is unavailable, the decode throws or the
// prediction fails; the caller then runs detectDust. With KV_DUMPLUMA set, the luminance plane
// is written to "<value>_<w>x<h>.f32" (raw floats, machine order).
std::optional<std::vector<Spot>> detectDustWithModel(const std::filesystem::path& url,
                                                     const LinearImage& scan,
                                                     const FilmAnalysis& analysis,
                                                     const ConversionSettings& settings,
                                                     double sensitivity);

// The model pass's finds on an image already at the size it is rendered from (no re-decode, no
// clone sources): render, reduction of a print above 4008 pixels to 4000, luminance, prediction
// and spots. Nothing when there is no model or the prediction fails.
std::optional<std::vector<Spot>> modelFinds(const LinearImage& image, const FilmAnalysis& analysis,
                                            const ConversionSettings& settings, double sensitivity);

}  // namespace Converter
