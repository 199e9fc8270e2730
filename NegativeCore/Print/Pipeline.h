// The print stage: turns the straightened, cropped scan into a positive print the way an
// enlarger and paper would. Transmission becomes density, normalised between the film's measured
// base and dense end; colour negatives pass a colour matrix; a logistic paper curve, shifted by
// exposure and filtration and steepened by contrast, gives the print value; the looks, the
// record's saturation and a clamp to 0…1 follow.
#pragma once

#include <array>
#include <utility>

#include "Conversion/FilmAnalysis.h"
#include "Conversion/LinearImage.h"
#include "Print/PrintImage.h"
#include "Record/ConversionSettings.h"

namespace Pipeline {

inline constexpr float k = 3.2f;                 // paper curve steepness
inline constexpr double densityPerStop = 0.12;   // density shift of one stop of exposure
inline constexpr float temperatureScale = 0.1f;  // density shift per 100 units of temperature
inline constexpr float tintScale = 0.08f;        // density shift per 100 units of tint

// The process-wide tunables. Nothing in the library changes them, but a host may; a render
// reads both once, as one snapshot, before its pixel loop, so concurrent renders and a change
// never overlap.
struct Tunables {
  // Row-major 3 × 3 colour matrix for colour negatives (each initial row sums to 1).
  std::array<float, 9> matrix{1.09f, -0.06f, -0.03f, 0.21f, 0.775f, 0.015f, 0.12f, 0.26f, 0.62f};
  // Added to the temperature and tint of colour negatives.
  std::pair<float, float> colorNegativeBalance{0, 0};
};

Tunables tunables();
std::array<float, 9> matrix();
void setMatrix(const std::array<float, 9>& matrix);
std::pair<float, float> colorNegativeBalance();
void setColorNegativeBalance(std::pair<float, float> balance);

// The normalised density of one channel value, minus offset: 0 at the film base and 1 at the
// dense end for negatives, the other way round when inverted (slides). Values at most 10⁻⁶ or
// not finite take density 6.
float density(bool inverted, float value, float dMin, float range, float offset);

// The print of the image (alpha ignored), of the same size, every value in 0…1.
PrintImage render(const LinearImage& image, const FilmAnalysis& analysis,
                  const ConversionSettings& settings);
// The same print; when no other image shares the pixels it is made in their own memory, so a
// full-size render needs no second full-size plane.
PrintImage render(LinearImage&& image, const FilmAnalysis& analysis,
                  const ConversionSettings& settings);

}  // namespace Pipeline
