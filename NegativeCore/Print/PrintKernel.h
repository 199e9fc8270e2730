// The per-pixel arithmetic of the print stage in vector form (Google Highway, dispatched at run
// time to the best instruction set of the machine). Every operation keeps the order of the
// scalar formula, without fused multiply-adds; the logarithm and exponential are within a few
// ULP of the scalar functions.
#pragma once

#include <array>
#include <cstddef>

namespace PrintKernel {

// What the paper step of one render needs, settled before the pixel loop.
struct Paper {
  std::array<float, 3> dMin;
  std::array<float, 3> range;
  std::array<float, 3> offset;
  float expShift;
  float contrast;
  bool useMatrix;
  std::array<float, 9> matrix;
  bool mono;
  bool inverted;
  float k;  // the paper curve
  float lo;
  float span;
};

// The paper-curve values of n RGBA pixels (alpha ignored) into three planes: luminance mix for
// black-and-white negatives, density (6 for values at most 10⁻⁶ or not finite), normalisation,
// matrix, offsets, exposure, contrast and curve.
void paper(const Paper& paper, const float* rgba, size_t n, float* r, float* g, float* b);

// The record's saturation (when `saturate`), the clamp to 0…1 (0 for anything not finite) and
// the interleaving of the planes into n RGB pixels.
void finish(const float* r, const float* g, const float* b, size_t n, bool saturate,
            float saturation, float* rgb);

}  // namespace PrintKernel
