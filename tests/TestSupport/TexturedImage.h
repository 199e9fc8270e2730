// Synthetic scans for tests and benchmarks of pixel operations that rely on robust statistics
// (flat images make them degenerate): smooth colour gradients with a woven texture and
// per-pixel grain, all deterministic for a given seed.
#pragma once

#include <cstdint>

#include "Conversion/LinearImage.h"

// Linear RGBA, values roughly 0.05…0.8, alpha 1. The grain is log-normal with a standard
// deviation of about `grainLog10` in log10 units; the texture adds about ±0.04 in log10.
LinearImage texturedImage(int64_t width, int64_t height, uint64_t seed, double grainLog10 = 0.03);
