#include "Record/ToneCurves.h"

#include <algorithm>
#include <array>
#include <optional>

#include "Print/PrintImage.h"
#include "Support/ParallelFor.h"
#include "Tone/CurveRows.h"
#include "Tone/PlaneSupport.h"

namespace {

using LookupTable = ToneCurve::LookupTable;

// Tone centres of the four region values: highlights, lights, darks, shadows.
constexpr std::array<double, 4> kRegionCenters = {0.875, 0.625, 0.375, 0.125};

// Region offset at input f: a bump of ±0.11 at each centre, zero beyond ±0.25 from it.
double regionOffset(const std::vector<double>& regions, double f) {
  double offset = 0;
  for (size_t k = 0; k < std::min(regions.size(), kRegionCenters.size()); ++k) {
    if (regions[k] == 0) continue;
    const double distance = 4 * (f - kRegionCenters[k]);
    const double bump = std::max(0.0, 1 - distance * distance);
    offset += regions[k] / 100 * 0.11 * (bump * bump);
  }
  return offset;
}

}  // namespace

bool ToneCurves::isIdentity() const {
  return rgb.isIdentity() && red.isIdentity() && green.isIdentity() && blue.isIdentity() &&
         regionsAreNeutral();
}

bool ToneCurves::regionsAreNeutral() const {
  return std::all_of(regions.begin(), regions.end(), [](double v) { return v == 0; });
}

LookupTable ToneCurves::masterLookupTable() const {
  LookupTable table = rgb.lookupTable();
  if (regionsAreNeutral()) return table;
  for (size_t i = 0; i < table.size(); ++i) {
    const double f = static_cast<double>(i) / 1023;
    // The damping fades the offset toward the ends, so 0 and 1 never move.
    const double raised = table[i] + std::min(8 * f * (1 - f), 1.0) * regionOffset(regions, f);
    const float value = std::clamp(static_cast<float>(raised), 0.0f, 1.0f);
    table[i] = i == 0 ? value : std::max(value, table[i - 1]);
  }
  return table;
}

double ToneCurves::masterValue(double x) const {
  const double position = x * 1023 + 0.5;
  const double index = position > 0 ? std::min(position, 1023.0) : 0.0;
  return masterLookupTable()[static_cast<size_t>(index)];
}

void ToneCurves::apply(PrintImage& print, bool monochrome) const {
  if (isIdentity()) return;
  std::optional<CurveRows::Table> master;
  if (!(rgb.isIdentity() && regionsAreNeutral())) master.emplace(masterLookupTable());
  std::array<std::optional<CurveRows::Table>, 3> tables;
  if (!monochrome) {
    const ToneCurve* curves[3] = {&red, &green, &blue};
    for (int c = 0; c < 3; ++c)
      if (!curves[c]->isIdentity()) tables[c].emplace(curves[c]->lookupTable());
  }
  if (!master && !tables[0] && !tables[1] && !tables[2]) return;

  const CurveRows::Table* masterTable = master ? &*master : nullptr;
  std::array<const CurveRows::Table*, 3> channels{};
  for (int c = 0; c < 3; ++c) channels[c] = tables[c] ? &*tables[c] : nullptr;
  parallelForRows(
      print.height,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y)
          CurveRows::applyRow(print.row(y), static_cast<size_t>(print.width), masterTable,
                              channels);
      },
      Adjustments::smallPlaneRows(print.width, print.height));
}
