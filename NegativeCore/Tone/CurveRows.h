// The per-pixel lookup of the tone curves over rows of a print, with vector gathers (Google
// Highway, dispatched at run time); the results equal the scalar lookup bit for bit. Internal
// to the tone-curve engine.
#pragma once

#include <array>
#include <cstddef>

#include "Record/ToneCurve.h"

namespace CurveRows {

// A lookup table ready for interpolation: entry i beside the step to entry i + 1.
struct Table {
  std::array<float, 1023> value;
  std::array<float, 1023> step;

  explicit Table(const ToneCurve::LookupTable& table);

  // v = clamp(c, 0, 1)·1023, i = min(whole part of v, 1022): value[i] + (v − i)·step[i].
  // Values outside 0…1, and not-a-number, read the end entries.
  float operator()(float c) const;
};

// Maps `count` interleaved pixels in place: every channel through `master` when there is one,
// then channel c through channels[c] when there is one.
void applyRow(float* rgb, std::size_t count, const Table* master,
              const std::array<const Table*, 3>& channels);

}  // namespace CurveRows
