// The white-balance eyedropper: the temperature and tint that make a picked spot of a colour
// scan print neutral, read in the print stage's density terms (normalised density, colour matrix,
// filtration; no paper curve and no look maths) less what the looks add on their own.
#pragma once

#include <cstdint>
#include <optional>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Record/ConversionSettings.h"

struct PickedWhiteBalance {
  double temperature;  // −100…100
  double tint;         // −100…100

  friend bool operator==(const PickedWhiteBalance&, const PickedWhiteBalance&) = default;
};

// The pick at (x, y) in normalised coordinates of the decoded scan (before straightening),
// averaging the square of half-size n pixels around it, cut at the image edges. Nothing for a
// black-and-white negative, a point outside the image (or not a number), or a spot too dark or
// too bright to judge: a channel outside 0.04…0.96 (ends excluded) after the filtration.
std::optional<PickedWhiteBalance> pickWhiteBalance(const LinearImage& scan,
                                                   const FilmAnalysis& analysis,
                                                   const ConversionSettings& settings, double x,
                                                   double y, int64_t n);
