// Measuring a preview for its histogram: the picture is reduced to at most 640 pixels on its long
// side in 8 bits per channel, its Display P3 values taken as they are, then every pixel is
// counted in three 256-bin histograms and marked when it clips. Pure functions of their inputs;
// any thread.
#pragma once

#include <QSize>
#include <cstdint>

#include "Export/DisplayP3Image.h"
#include "Model/Histogram.h"

namespace HistogramMeasure {

// The measured size: s = min(640 / the larger side, 1); each side s × side truncated, at least 1.
QSize measuredSize(int64_t width, int64_t height);

// The histogram of `width` × `height` pixels of 8-bit red, green, blue and alpha (alpha ignored),
// rows of exactly 4 × width bytes.
Histogram count(const uint8_t* rgba, int width, int height);

// The 16-bit image scaled smoothly to its measured size, then counted. An empty image is measured
// as one black pixel.
Histogram measure(const DisplayP3Image& image);

}  // namespace HistogramMeasure
