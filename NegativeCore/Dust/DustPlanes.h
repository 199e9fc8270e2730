// The plane operations the classic dust finders and the dust feature maps share: the density
// planes of a scan, box passes, separable minimum and maximum filters, and robust statistics.
// A plane is width × height 32-bit floats, row-major (index y·width + x). Whole-plane operations
// split rows and column blocks over the worker pool; inputs and outputs must not overlap unless
// a function says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace DustDetector {

// A working plane whose values start undefined: the pass that fills it touches its memory first,
// in parallel. Large planes ask the kernel for huge pages, which saves most page faults.
class Plane {
 public:
  Plane() = default;
  explicit Plane(size_t count);

  float* data() { return values_.get(); }
  const float* data() const { return values_.get(); }
  float& operator[](size_t i) { return values_[i]; }
  float operator[](size_t i) const { return values_[i]; }

 private:
  struct Free {
    void operator()(float* p) const;
  };
  std::unique_ptr<float[], Free> values_;
};

// Density of a linear RGBA pixel's luminance v (Color/LuminanceWeights.h): −log10(v),
// and 5 where v ≤ 0.00001 or v is not finite. `pixels` holds 4·width·height values.
void densityPlane(int64_t width, int64_t height, const float* pixels, float* out);
// The same of one channel (0 red, 1 green, 2 blue) on its own.
void channelDensityPlane(int64_t width, int64_t height, const float* pixels, int channel,
                         float* out);

// `passes` box passes of `radius` at full size: each the row pass over every row, then the
// column pass over every column (Tone/BoxBlur.h). `in` may equal `out`; `scratch` is a third
// plane. With passes ≤ 0 `out` receives a copy of `in`.
void boxPasses(const float* in, float* out, float* scratch, int64_t width, int64_t height,
               int64_t radius, int64_t passes);

// Minimum (or, with `maximum`, maximum) of the values at positions max(0, i − radius) …
// min(length − 1, i + radius): minRow along row y, minColumn along the `count` adjacent columns
// x … x + count − 1. Both cost the same per value whatever the radius (van Herk/Gil-Werman
// blocks of 2·radius + 1 values). `scratch` holds at least (length + 2·radius)·count floats.
void minRow(const float* in, float* out, int64_t width, int64_t radius, int64_t y, bool maximum,
            float* scratch);
void minColumn(const float* in, float* out, int64_t width, int64_t height, int64_t radius,
               int64_t x, int64_t count, bool maximum, float* scratch);

// The square minimum (maximum) filter: minRow over every row into `scratch`, then minColumn over
// every column into `out`.
void minFilter(const float* in, float* out, float* scratch, int64_t width, int64_t height,
               int64_t radius, bool maximum);

// The grey-level opening of `in` with a square window of the radius: the minimum filter, then
// the maximum filter. Needs two scratch planes.
void opening(const float* in, float* out, float* scratch1, float* scratch2, int64_t width,
             int64_t height, int64_t radius);

// The values plane[0], plane[stride], plane[2·stride], … below count.
std::vector<float> strideSamples(const float* plane, int64_t count, int64_t stride);
// Element n/2 of the n samples in ascending order (the samples are reordered); 0 when empty.
float medianElement(std::vector<float>& samples);
// The median absolute deviation of the samples from their median (element n/2 of each sorted
// list); the samples are overwritten.
struct MedianAndDeviation {
  float median = 0;
  float deviation = 0;
};
MedianAndDeviation medianAndDeviation(std::vector<float>& samples);

// max(1.4826·MAD, 0.0001) of every stride-th value of the plane from index 0.
float robustSigma(const float* plane, int64_t count, int64_t stride);

}  // namespace DustDetector
