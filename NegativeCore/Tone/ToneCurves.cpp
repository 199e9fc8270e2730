#include "Record/ToneCurves.h"

#include <algorithm>
#include <array>
#include <optional>

#include "Print/PrintImage.h"
#include "Support/ParallelFor.h"
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

// A table with the step to the next entry beside each entry, ready for interpolation.
struct Interpolated {
  std::array<float, 1023> value;
  std::array<float, 1023> step;

  explicit Interpolated(const LookupTable& table) {
    for (size_t i = 0; i < value.size(); ++i) {
      value[i] = table[i];
      step[i] = table[i + 1] - table[i];
    }
  }

  // Values outside 0…1 (and not-a-number) read the end entries.
  float operator()(float c) const {
    const float v = (c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f) * 1023.0f;
    const int64_t i = std::min<int64_t>(static_cast<int64_t>(v), 1022);
    return value[i] + (v - static_cast<float>(i)) * step[i];
  }
};

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
  std::optional<Interpolated> master;
  if (!(rgb.isIdentity() && regionsAreNeutral())) master.emplace(masterLookupTable());
  std::array<std::optional<Interpolated>, 3> channels;
  if (!monochrome) {
    const ToneCurve* curves[3] = {&red, &green, &blue};
    for (int c = 0; c < 3; ++c)
      if (!curves[c]->isIdentity()) channels[c].emplace(curves[c]->lookupTable());
  }
  if (!master && !channels[0] && !channels[1] && !channels[2]) return;

  // The master table over all values of a row, then each channel's own table.
  parallelForRows(
      print.height,
      [&](int64_t begin, int64_t end) {
        for (int64_t y = begin; y < end; ++y) {
          float* row = print.row(y);
          if (master)
            for (int64_t k = 0; k < 3 * print.width; ++k) row[k] = (*master)(row[k]);
          for (int c = 0; c < 3; ++c)
            if (channels[c])
              for (int64_t x = 0; x < print.width; ++x)
                row[3 * x + c] = (*channels[c])(row[3 * x + c]);
        }
      },
      Adjustments::smallPlaneRows(print.width, print.height));
}
