#include "Rendering/ScreenCopy.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Color/Chromaticities.h"
#include "Color/Matrix3.h"
#include "Color/SrgbCurve.h"
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
// sRGB matrix (both white D65, so no adaptation), and linear light in 65536 steps as the 8-bit
// sRGB code. Steps of 1/65535 keep every code exact up to a rounding tie, also near black.
struct Tables {
  std::vector<float> linear = std::vector<float>(65536);
  std::array<float, 9> matrix{};
  std::vector<uint8_t> encoded = std::vector<uint8_t>(65536);

  Tables() {
    for (size_t i = 0; i < linear.size(); ++i) {
      linear[i] = static_cast<float>(SrgbCurve::decode(static_cast<double>(i) / 65535));
    }
    const Matrix3 m = matrixProduct(matrixInverse(rgbToXyz(Chromaticities::sRGB())),
                                    rgbToXyz(Chromaticities::displayP3()));
    for (size_t i = 0; i < 9; ++i) matrix[i] = static_cast<float>(m[i]);
    for (size_t i = 0; i < encoded.size(); ++i) {
      const float v = SrgbCurve::encode(static_cast<float>(i) / 65535);
      encoded[i] = static_cast<uint8_t>(std::clamp(v, 0.0f, 1.0f) * 255 + 0.5f);
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

QImage make(const DisplayP3Image& image) {
  QImage screen(static_cast<int>(image.width), static_cast<int>(image.height),
                QImage::Format_RGB888);
  if (screen.isNull()) return screen;
  const Tables& t = tables();
  const float* linear = t.linear.data();
  const float* m = t.matrix.data();
  const uint8_t* encoded = t.encoded.data();
  const int64_t width = image.width;
  uchar* bits = screen.bits();
  const auto stride = static_cast<int64_t>(screen.bytesPerLine());
  parallelForRows(image.height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const uint16_t* in = image.samples.data() + y * width * 3;
      uchar* out = bits + y * stride;
      for (int64_t x = 0; x < width; ++x) {
        const float r = linear[in[3 * x]], g = linear[in[3 * x + 1]], b = linear[in[3 * x + 2]];
        for (int k = 0; k < 3; ++k) {
          const float v =
              std::clamp(m[3 * k] * r + m[3 * k + 1] * g + m[3 * k + 2] * b, 0.0f, 1.0f);
          out[3 * x + k] = encoded[static_cast<int>(v * 65535 + 0.5f)];
        }
      }
    }
  });
  return screen;
}

}  // namespace ScreenCopy
