#include "Color/Matrix3.h"

Matrix3 matrixProduct(const Matrix3& a, const Matrix3& b) {
  Matrix3 result{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) result[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
  return result;
}

Matrix3 matrixInverse(const Matrix3& m) {
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
               i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
          (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
          (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}
