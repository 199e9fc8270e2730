#include "MeasuringAids/WhiteBalancePick.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "Print/Looks.h"
#include "Print/Pipeline.h"

namespace {

using Rgb = std::array<float, 3>;

constexpr float lowestAccepted = 0.04f;
constexpr float highestAccepted = 0.96f;
constexpr double largestPick = 100;

// The pixel a normalised coordinate falls on, truncated toward zero; nothing when it lies
// outside 0…side − 1 or is not a number. The range is checked before the conversion, so no
// huge value is ever turned into an integer.
std::optional<int64_t> pixelAt(double position, int64_t side) {
  const double scaled = position * static_cast<double>(side);
  if (!std::isfinite(scaled) || scaled <= -1 || scaled >= static_cast<double>(side))
    return std::nullopt;
  return static_cast<int64_t>(scaled);
}

// The mean red, green and blue over rows py − n … py + n and columns px − n … px + n, both ends
// included, cut at the image edges; float sums divided by the pixel count.
Rgb meanAround(const LinearImage& scan, int64_t px, int64_t py, int64_t n) {
  const int64_t reach = std::clamp<int64_t>(n, 0, std::max(scan.width(), scan.height()));
  const int64_t left = std::max<int64_t>(px - reach, 0);
  const int64_t right = std::min(px + reach, scan.width() - 1);
  const int64_t top = std::max<int64_t>(py - reach, 0);
  const int64_t bottom = std::min(py + reach, scan.height() - 1);
  Rgb sum{0, 0, 0};
  for (int64_t y = top; y <= bottom; ++y) {
    const float* row = scan.row(y);
    for (int64_t x = left; x <= right; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += row[4 * x + c];
  }
  const float count = static_cast<float>((right - left + 1) * (bottom - top + 1));
  return {sum[0] / count, sum[1] / count, sum[2] / count};
}

// The spot's print values before the paper curve: normalised density (inverted for slides),
// the colour matrix about the middle for colour negatives, then the record's filtration.
Rgb printValues(const Rgb& mean, const FilmAnalysis& analysis, const ConversionSettings& settings,
                const std::array<float, 9>& matrix) {
  const bool positive = settings.mode == FilmMode::positive;
  Rgb d;
  for (size_t c = 0; c < 3; ++c)
    d[c] = Pipeline::density(positive, mean[c], static_cast<float>(analysis.dMin[c]),
                             static_cast<float>(analysis.dMax[c] - analysis.dMin[c]), 0);
  Rgb e = d;
  if (settings.mode == FilmMode::colorNegative) {
    for (size_t c = 0; c < 3; ++c)
      e[c] = matrix[3 * c] * (d[0] - 0.5f) + matrix[3 * c + 1] * (d[1] - 0.5f) +
             matrix[3 * c + 2] * (d[2] - 0.5f) + 0.5f;
  }
  Rgb p;
  for (size_t c = 0; c < 3; ++c) {
    // A filtration value the record does not hold counts as neutral.
    const float cmy = c < settings.cmy.size() ? static_cast<float>(settings.cmy[c]) : 1.0f;
    p[c] = e[c] - (cmy - 1);
  }
  return p;
}

// What the print adds to the temperature and tint sliders by itself: the colour-negative
// balance, then the balance of each look of the record's look list.
std::pair<double, double> baseBalance(const ConversionSettings& settings,
                                      const Pipeline::Tunables& tunables) {
  std::pair<double, double> base{0, 0};
  if (settings.mode == FilmMode::colorNegative) {
    base.first = tunables.colorNegativeBalance.first;
    base.second = tunables.colorNegativeBalance.second;
  }
  for (const LookParameters& look : lookList(settings)) {
    base.first += look.balance.first;
    base.second += look.balance.second;
  }
  return base;
}

}  // namespace

std::optional<PickedWhiteBalance> pickWhiteBalance(const LinearImage& scan,
                                                   const FilmAnalysis& analysis,
                                                   const ConversionSettings& settings, double x,
                                                   double y, int64_t n) {
  if (settings.mode == FilmMode::bwNegative) return std::nullopt;
  const auto px = pixelAt(x, scan.width());
  const auto py = pixelAt(y, scan.height());
  if (!px || !py) return std::nullopt;

  const Pipeline::Tunables tunables = Pipeline::tunables();
  const Rgb p = printValues(meanAround(scan, *px, *py, n), analysis, settings, tunables.matrix);
  for (float value : p)
    if (!(value > lowestAccepted && value < highestAccepted)) return std::nullopt;

  const auto [baseTemperature, baseTint] = baseBalance(settings, tunables);
  const double temperature = static_cast<double>(p[2] - p[0]) * 0.5 /
                                 static_cast<double>(Pipeline::temperatureScale) * 100 -
                             baseTemperature;
  const double tint = static_cast<double>(p[1] - (p[2] + p[0]) * 0.5f) /
                          static_cast<double>(Pipeline::tintScale) * 100 -
                      baseTint;
  return PickedWhiteBalance{std::clamp(temperature, -largestPick, largestPick),
                            std::clamp(tint, -largestPick, largestPick)};
}
