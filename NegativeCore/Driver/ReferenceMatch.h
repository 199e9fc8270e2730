// Reference-photo matching: adjusts a scan's edit record so that its print resembles a reference
// photo, by printing the scan again and again with candidate records and measuring each print
// against the reference (MeasuringAids/ReferenceMeasures.h). Runs on the caller's thread, keeps
// nothing between calls and reports progress only through the callback it is given.
#pragma once

#include <functional>

#include "Conversion/LinearImage.h"
#include "MeasuringAids/ReferencePicture.h"
#include "Record/ConversionSettings.h"

namespace ReferenceMatch {

struct Result {
  ConversionSettings settings;  // the matched record
  double before;                // error of the starting record
  double after;                 // error of the matched record
  // The reference showed the same picture: placed with a correlation above 0.55 and with flat
  // areas to sample. The errors are then colour errors at sample points, otherwise statistics
  // errors.
  bool samePicture;
};

// Called with values in 0…1 that never decrease: 0.1, after each sweep of the slider descent
// 0.1 + halvings/10, 0.75 after the channel curves, 1 at the end.
using Progress = std::function<void(double)>;

// The record matched to the reference, starting from `settings`, for a small decode of the scan
// (before straightening; the application's long side is at most 450 pixels). The match changes
// only the sliders exposure, contrast, temperature, tint, highlights, shadows, whites, blacks and
// saturation, the red, green and blue curves and, for the same picture, the saturation and
// luminance of the hue bands. Never fails. With KELVADORIUM_MATCH_DEBUG set (to any value) it
// prints its steps to standard output.
Result match(const LinearImage& scan, const ConversionSettings& settings,
             const ReferencePicture& reference, const Progress& progress = {});

}  // namespace ReferenceMatch
