// Learning a roll's colour balance from several measurements and imposing it on one: frames of
// a roll share film and processing, so red's and blue's relation to green is the same on all.
#include <algorithm>
#include <cmath>

#include "Conversion/FilmAnalysis.h"
#include "Record/RollBalance.h"
#include "Support/Median.h"

namespace {

constexpr size_t red = 0, green = 1, blue = 2;
constexpr double smallestGreenRange = 0.02;

double greenRange(const FilmAnalysis& analysis) {
  const double range = analysis.dMax[green] - analysis.dMin[green];
  return range < smallestGreenRange ? smallestGreenRange : range;
}

// The median of one measure over the analyses.
template <typename Measure>
double median(const std::vector<FilmAnalysis>& analyses, Measure measure) {
  std::vector<double> values;
  values.reserve(analyses.size());
  for (const FilmAnalysis& analysis : analyses) values.push_back(measure(analysis));
  return Median::ofValues<double>(values);
}

}  // namespace

std::optional<RollBalance> RollBalance::learn(const std::vector<FilmAnalysis>& analyses) {
  if (analyses.size() < 2) return std::nullopt;
  RollBalance balance{{0, 0, 0}, {1, 1, 1}, static_cast<int64_t>(analyses.size())};
  for (const size_t c : {red, blue}) {
    balance.offsets[c] =
        median(analyses, [c](const FilmAnalysis& a) { return a.dMin[c] - a.dMin[green]; });
    balance.ratios[c] = median(
        analyses, [c](const FilmAnalysis& a) { return (a.dMax[c] - a.dMin[c]) / greenRange(a); });
  }
  return balance;
}

FilmAnalysis RollBalance::apply(const FilmAnalysis& analysis) const {
  if (offsets.size() < 3 || ratios.size() < 3) return analysis;
  FilmAnalysis balanced = analysis;
  const double base = analysis.dMin[green];
  const double range = greenRange(analysis);
  for (const size_t c : {red, blue}) {
    balanced.dMin[c] = base + offsets[c];
    balanced.dMax[c] = balanced.dMin[c] + range * ratios[c];
  }
  return balanced;
}
