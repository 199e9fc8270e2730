// Row-major 3 × 3 matrices of colour conversions, in double precision: converting saturated
// colours subtracts nearly equal terms.
#pragma once

#include <array>

using Matrix3 = std::array<double, 9>;

Matrix3 matrixProduct(const Matrix3& a, const Matrix3& b);
// By cofactors over the determinant; a singular matrix gives infinities or NaN.
Matrix3 matrixInverse(const Matrix3& m);
