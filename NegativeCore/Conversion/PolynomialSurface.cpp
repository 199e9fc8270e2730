#include "Conversion/PolynomialSurface.h"

#include <cmath>
#include <utility>

namespace {

constexpr int n = PolynomialSurface::termCount;
using Vector = std::array<double, n>;
using Matrix = std::array<Vector, n>;

// The term values at a point; powers through std::pow, so 0^0 = 1.
Vector termValues(double x, double y) {
  Vector phi;
  for (int t = 0; t < n; ++t) {
    phi[t] = std::pow(x, static_cast<double>(PolynomialSurface::xPowers[t])) *
             std::pow(y, static_cast<double>(PolynomialSurface::yPowers[t]));
  }
  return phi;
}

// Elimination with partial pivoting (the first row of the largest magnitude on ties), then back
// substitution. Nothing when a pivot is not above 1e-12.
std::optional<Vector> solve(Matrix a, Vector b) {
  constexpr double singular = 1e-12;
  for (int column = 0; column < n; ++column) {
    int pivot = column;
    for (int row = column + 1; row < n; ++row)
      if (std::abs(a[row][column]) > std::abs(a[pivot][column])) pivot = row;
    if (!(std::abs(a[pivot][column]) > singular)) return std::nullopt;
    std::swap(a[pivot], a[column]);
    std::swap(b[pivot], b[column]);
    for (int row = column + 1; row < n; ++row) {
      const double factor = a[row][column] / a[column][column];
      if (factor == 0) continue;
      for (int k = column; k < n; ++k) a[row][k] -= factor * a[column][k];
      b[row] -= factor * b[column];
    }
  }
  Vector solution{};
  for (int row = n - 1; row >= 0; --row) {
    double sum = b[row];
    for (int k = row + 1; k < n; ++k) sum -= a[row][k] * solution[k];
    solution[row] = sum / a[row][row];
  }
  return solution;
}

}  // namespace

std::optional<PolynomialSurface> PolynomialSurface::fit(const std::vector<Sample>& samples) {
  Matrix a{};
  Vector b{};
  for (const Sample& sample : samples) {
    const Vector phi = termValues(sample.x, sample.y);
    for (int l = 0; l < n; ++l) {
      for (int m = 0; m < n; ++m) a[l][m] += phi[l] * phi[m];
      b[l] += sample.value * phi[l];
    }
  }
  const std::optional<Vector> solution = solve(a, b);
  if (!solution) return std::nullopt;
  for (double coefficient : *solution)
    if (!std::isfinite(coefficient)) return std::nullopt;
  return PolynomialSurface{*solution};
}

double PolynomialSurface::operator()(double x, double y) const {
  const Vector phi = termValues(x, y);
  double sum = 0;
  for (int t = 0; t < n; ++t) sum += coefficients[t] * phi[t];
  return sum;
}
