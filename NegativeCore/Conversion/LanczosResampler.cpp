#include "Conversion/LanczosResampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "Support/ParallelFor.h"

namespace {

constexpr double lobes = 3.0;

double lanczos(double x) {
  x = std::fabs(x);
  if (x < 1e-9) return 1.0;
  if (x >= lobes) return 0.0;
  const double px = std::numbers::pi * x;
  return lobes * std::sin(px) * std::sin(px / lobes) / (px * px);
}

// For each output position along one axis: the first source index and the weights of the
// contiguous taps from there, normalised to sum to 1; and the source pixels under the kernel's
// central lobe, whose range the output is held to.
struct Taps {
  std::vector<int64_t> first;
  std::vector<int64_t> count;
  std::vector<int64_t> offset;  // into weights
  std::vector<float> weights;
  std::vector<int64_t> lobeFirst;
  std::vector<int64_t> lobeCount;
};

// Source pixels whose centres lie strictly within one lobe width of `centre`; at least the
// nearest one.
std::pair<int64_t, int64_t> centralLobe(double centre, double stretch, int64_t sourceSize) {
  int64_t begin = static_cast<int64_t>(std::floor(centre - stretch - 0.5)) + 1;
  int64_t end = static_cast<int64_t>(std::ceil(centre + stretch - 0.5));
  begin = std::clamp<int64_t>(begin, 0, sourceSize - 1);
  end = std::clamp<int64_t>(end, begin + 1, sourceSize);
  return {begin, end - begin};
}

Taps makeTaps(int64_t sourceSize, int64_t targetSize) {
  const double scale = static_cast<double>(targetSize) / static_cast<double>(sourceSize);
  const double stretch = std::max(1.0, 1.0 / scale);  // widen the kernel when shrinking
  const double support = lobes * stretch;
  Taps taps;
  taps.first.resize(targetSize);
  taps.count.resize(targetSize);
  taps.offset.resize(targetSize);
  taps.lobeFirst.resize(targetSize);
  taps.lobeCount.resize(targetSize);
  std::vector<double> local;
  for (int64_t i = 0; i < targetSize; ++i) {
    const double centre = (static_cast<double>(i) + 0.5) / scale;
    const int64_t begin = std::max<int64_t>(0, static_cast<int64_t>(std::floor(centre - support)));
    const int64_t end =
        std::min<int64_t>(sourceSize, static_cast<int64_t>(std::ceil(centre + support)) + 1);
    local.clear();
    double sum = 0;
    for (int64_t j = begin; j < end; ++j) {
      const double weight = lanczos((static_cast<double>(j) + 0.5 - centre) / stretch);
      local.push_back(weight);
      sum += weight;
    }
    // Trim zero weights at both ends so the loops touch only contributing pixels.
    size_t lo = 0, hi = local.size();
    while (lo < hi && local[lo] == 0) ++lo;
    while (hi > lo && local[hi - 1] == 0) --hi;
    if (lo == hi || sum == 0) {  // cannot happen for sane sizes; take the nearest pixel
      lo = 0;
      hi = 1;
      local.assign(1, 1.0);
      sum = 1;
    }
    taps.first[i] = begin + static_cast<int64_t>(lo);
    taps.count[i] = static_cast<int64_t>(hi - lo);
    taps.offset[i] = static_cast<int64_t>(taps.weights.size());
    for (size_t k = lo; k < hi; ++k) taps.weights.push_back(static_cast<float>(local[k] / sum));
    std::tie(taps.lobeFirst[i], taps.lobeCount[i]) = centralLobe(centre, stretch, sourceSize);
  }
  return taps;
}

// Rows keep their count; each row is resampled to the new width.
LinearImage resampleRows(int64_t sourceWidth, int64_t sourceHeight,
                         const LanczosResampler::RowSource& rows, int64_t width) {
  const Taps taps = makeTaps(sourceWidth, width);
  LinearImage result(width, sourceHeight);
  float* target = result.mutablePixels();
  parallelForRows(sourceHeight, [&](int64_t begin, int64_t end) {
    std::vector<float> scratch(static_cast<size_t>(sourceWidth) * 4);
    for (int64_t y = begin; y < end; ++y) {
      const float* in = rows(y, scratch.data());
      float* out = target + y * width * 4;
      if (width == sourceWidth) {
        std::copy_n(in, width * 4, out);
        continue;
      }
      for (int64_t x = 0; x < width; ++x, out += 4) {
        const float* w = taps.weights.data() + taps.offset[x];
        const float* p = in + taps.first[x] * 4;
        // Four independent sums, so consecutive taps do not wait on each other's additions.
        float sums[4][4] = {};
        const int64_t count = taps.count[x];
        int64_t k = 0;
        for (; k + 4 <= count; k += 4, p += 16)
          for (int lane = 0; lane < 4; ++lane)
            for (int c = 0; c < 4; ++c) sums[lane][c] += w[k + lane] * p[lane * 4 + c];
        for (; k < count; ++k, p += 4)
          for (int c = 0; c < 4; ++c) sums[0][c] += w[k] * p[c];
        const float* lobe = in + taps.lobeFirst[x] * 4;
        for (int c = 0; c < 4; ++c) {
          float low = lobe[c], high = lobe[c];
          for (int64_t j = 1; j < taps.lobeCount[x]; ++j) {
            low = std::min(low, lobe[j * 4 + c]);
            high = std::max(high, lobe[j * 4 + c]);
          }
          const float sum = (sums[0][c] + sums[1][c]) + (sums[2][c] + sums[3][c]);
          out[c] = std::clamp(sum, low, high);
        }
      }
    }
  });
  return result;
}

LinearImage resampleRows(const LinearImage& image, int64_t width) {
  return resampleRows(
      image.width(), image.height(), [&](int64_t y, float*) { return image.row(y); }, width);
}

// Columns keep their count; each output row is a weighted sum of whole source rows.
LinearImage resampleColumns(const LinearImage& image, int64_t height) {
  const Taps taps = makeTaps(image.height(), height);
  const int64_t values = image.width() * 4;
  LinearImage result(image.width(), height);
  float* target = result.mutablePixels();
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    std::vector<float> low(static_cast<size_t>(values)), high(static_cast<size_t>(values));
    for (int64_t y = begin; y < end; ++y) {
      float* out = target + y * values;
      const float* w = taps.weights.data() + taps.offset[y];
      std::fill_n(out, values, 0.0f);
      for (int64_t k = 0; k < taps.count[y]; ++k) {
        const float* in = image.row(taps.first[y] + k);
        const float weight = w[k];
        for (int64_t i = 0; i < values; ++i) out[i] += weight * in[i];
      }
      const float* first = image.row(taps.lobeFirst[y]);
      std::copy_n(first, values, low.data());
      std::copy_n(first, values, high.data());
      for (int64_t j = 1; j < taps.lobeCount[y]; ++j) {
        const float* in = image.row(taps.lobeFirst[y] + j);
        for (int64_t i = 0; i < values; ++i) {
          low[i] = std::min(low[i], in[i]);
          high[i] = std::max(high[i], in[i]);
        }
      }
      for (int64_t i = 0; i < values; ++i) out[i] = std::clamp(out[i], low[i], high[i]);
    }
  });
  return result;
}

}  // namespace

namespace LanczosResampler {

LinearImage resample(const LinearImage& image, int64_t width, int64_t height) {
  if (width < 1 || height < 1) throw std::invalid_argument("LanczosResampler: empty size");
  if (width == image.width() && height == image.height()) return image;
  // The pass that shrinks more goes first, so the second pass has less to do.
  const double shrinkX = static_cast<double>(width) / image.width();
  const double shrinkY = static_cast<double>(height) / image.height();
  if (shrinkX <= shrinkY) {
    LinearImage narrowed = width == image.width() ? image : resampleRows(image, width);
    return height == image.height() ? narrowed : resampleColumns(narrowed, height);
  }
  LinearImage shortened = resampleColumns(image, height);
  return width == image.width() ? shortened : resampleRows(shortened, width);
}

LinearImage resample(int64_t sourceWidth, int64_t sourceHeight, const RowSource& rows,
                     int64_t width, int64_t height) {
  if (width < 1 || height < 1) throw std::invalid_argument("LanczosResampler: empty size");
  // Rows arrive one at a time, so the row pass goes first.
  LinearImage narrowed = resampleRows(sourceWidth, sourceHeight, rows, width);
  return height == sourceHeight ? narrowed : resampleColumns(narrowed, height);
}

}  // namespace LanczosResampler
