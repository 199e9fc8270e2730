// A smooth surface over the square −1…1 × −1…1: a bivariate polynomial of total degree 4, fitted
// by least squares to scattered samples. The blank-frame correction models the fall-off of the
// light source with it.
#pragma once

#include <array>
#include <optional>
#include <vector>

struct PolynomialSurface {
  // The 15 terms x^i · y^j of total degree up to 4, in this order: term t has i = xPowers[t]
  // and j = yPowers[t].
  static constexpr int termCount = 15;
  static constexpr std::array<int, termCount> xPowers{0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 3, 3, 4};
  static constexpr std::array<int, termCount> yPowers{0, 1, 2, 3, 4, 0, 1, 2, 3, 0, 1, 2, 0, 1, 0};

  struct Sample {
    double x;
    double y;
    double value;
  };

  // One coefficient per term; the first is the value at the centre (0, 0).
  std::array<double, termCount> coefficients{};

  // The least-squares fit through the normal equations, solved by Gaussian elimination with
  // partial pivoting. Nothing when the samples cannot determine the surface: a pivot of
  // magnitude 1e-12 or less, or a coefficient that is not finite.
  static std::optional<PolynomialSurface> fit(const std::vector<Sample>& samples);

  double operator()(double x, double y) const;
};
