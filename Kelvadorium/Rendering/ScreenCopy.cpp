#include "Rendering/ScreenCopy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "Color/Chromaticities.h"
#include "Color/Matrix3.h"
#include "Color/SrgbCurve.h"
#include "Support/LargePages.h"
#include "Support/ParallelFor.h"

namespace ScreenCopy {

namespace {

// Linear RGB to XYZ of a space given by its primaries and white, columns the primaries scaled
// so that white has Y = 1.
Matrix3 rgbToXyz(const Chromaticities& c) {
  const auto column = [](double x, double y) {
    return std::array<double, 3>{x / y, 1, (1 - x - y) / y};
  };
  const auto r = column(c.redX, c.redY), g = column(c.greenX, c.greenY),
             b = column(c.blueX, c.blueY), w = column(c.whiteX, c.whiteY);
  const Matrix3 primaries{r[0], g[0], b[0], r[1], g[1], b[1], r[2], g[2], b[2]};
  const Matrix3 inverse = matrixInverse(primaries);
  std::array<double, 3> s{};
  for (int i = 0; i < 3; ++i) {
    s[i] = inverse[3 * i] * w[0] + inverse[3 * i + 1] * w[1] + inverse[3 * i + 2] * w[2];
  }
  Matrix3 m{};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) m[3 * row + col] = primaries[3 * row + col] * s[col];
  }
  return m;
}

// Tables made once: the 16-bit Display P3 code as linear light, the linear Display P3 to linear
// sRGB matrix (both white D65, so no adaptation), and linear light in 16384 steps as the 8-bit
// sRGB code. Half a step moves a code by at most 0.1 (the steepest slope, 12.92 near black), so
// every code stays within one of the exact conversion, and the table (16 KB) stays in the
// first-level cache beside the pixels.
constexpr int kEncodeSteps = 16384;

struct Tables {
  std::vector<float> linear = std::vector<float>(65536);
  std::array<float, 9> matrix{};
  std::vector<uint8_t> encoded = std::vector<uint8_t>(kEncodeSteps + 1);

  Tables() {
    for (size_t i = 0; i < linear.size(); ++i) {
      linear[i] = static_cast<float>(SrgbCurve::decode(static_cast<double>(i) / 65535));
    }
    const Matrix3 m = matrixProduct(matrixInverse(rgbToXyz(Chromaticities::sRGB())),
                                    rgbToXyz(Chromaticities::displayP3()));
    for (size_t i = 0; i < 9; ++i) matrix[i] = static_cast<float>(m[i]);
    for (size_t i = 0; i < encoded.size(); ++i) {
      const float v = SrgbCurve::encode(static_cast<float>(i) / kEncodeSteps);
      encoded[i] = static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f);
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

// One row. The matrix and the clamp run on four pixels at once; the table reads stay scalar.
// Locals and restrict keep the compiler from reloading the tables after every byte stored.
void convertRow(const uint16_t* __restrict in, uchar* __restrict out, int64_t width,
                const Tables& t) {
  const float* __restrict linear = t.linear.data();
  const uint8_t* __restrict encoded = t.encoded.data();
  const std::array<float, 9> m = t.matrix;
  int64_t x = 0;
#ifdef __SSE2__
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1), steps = _mm_set1_ps(kEncodeSteps),
               half = _mm_set1_ps(0.5f);
  __m128 mv[9];
  for (size_t i = 0; i < 9; ++i) mv[i] = _mm_set1_ps(m[i]);
  for (; x + 4 <= width; x += 4) {
    const uint16_t* p = in + 3 * x;
    const __m128 r = _mm_setr_ps(linear[p[0]], linear[p[3]], linear[p[6]], linear[p[9]]);
    const __m128 g = _mm_setr_ps(linear[p[1]], linear[p[4]], linear[p[7]], linear[p[10]]);
    const __m128 b = _mm_setr_ps(linear[p[2]], linear[p[5]], linear[p[8]], linear[p[11]]);
    alignas(16) std::array<std::array<int32_t, 4>, 3> index{};
    for (int k = 0; k < 3; ++k) {
      __m128 v = _mm_add_ps(_mm_add_ps(_mm_mul_ps(mv[3 * k], r), _mm_mul_ps(mv[3 * k + 1], g)),
                            _mm_mul_ps(mv[3 * k + 2], b));
      v = _mm_min_ps(_mm_max_ps(v, zero), one);
      _mm_store_si128(reinterpret_cast<__m128i*>(index[k].data()),
                      _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(v, steps), half)));
    }
    uchar* q = out + 3 * x;
    for (int j = 0; j < 4; ++j) {
      q[3 * j] = encoded[index[0][j]];
      q[3 * j + 1] = encoded[index[1][j]];
      q[3 * j + 2] = encoded[index[2][j]];
    }
  }
#endif
  for (; x < width; ++x) {
    const float r = linear[in[3 * x]], g = linear[in[3 * x + 1]], b = linear[in[3 * x + 2]];
    for (int k = 0; k < 3; ++k) {
      const float v = std::clamp(m[3 * k] * r + m[3 * k + 1] * g + m[3 * k + 2] * b, 0.0f, 1.0f);
      out[3 * x + k] = encoded[static_cast<int>(v * kEncodeSteps + 0.5f)];
    }
  }
}

}  // namespace

QImage make(const DisplayP3Image& image) {
  QImage screen(static_cast<int>(image.width), static_cast<int>(image.height),
                QImage::Format_RGB888);
  if (screen.isNull()) return screen;
  // New memory, first written by the rows below on all cores; huge pages spare most faults.
  LargePages::advise(screen.bits(), static_cast<size_t>(screen.sizeInBytes()));
  const Tables& t = tables();
  const int64_t width = image.width;
  uchar* bits = screen.bits();
  const auto stride = static_cast<int64_t>(screen.bytesPerLine());
  parallelForRows(image.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      convertRow(image.samples.data() + y * width * 3, bits + y * stride, width, t);
    }
  });
  return screen;
}

}  // namespace ScreenCopy
