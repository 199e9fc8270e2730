#include "Record/ToneCurve.h"

#include <algorithm>
#include <cmath>

namespace {

// The monotone cubic through sorted points: tangents settled once, then evaluated per x.
class MonotoneSpline {
 public:
  explicit MonotoneSpline(std::vector<std::array<double, 2>> points) : p_(std::move(points)) {
    if (p_.size() >= 2) settleTangents();
  }

  double operator()(double x) const {
    const size_t n = p_.size();
    if (n < 2) return x;
    if (x <= p_[0][0]) return p_[0][1];
    if (x >= p_[n - 1][0]) return p_[n - 1][1];
    size_t k = n - 1;
    for (size_t i = 1; i + 1 < n; ++i) {
      if (p_[i][0] >= x) {
        k = i;
        break;
      }
    }
    const double h = p_[k][0] - p_[k - 1][0];
    const double t = (x - p_[k - 1][0]) / h;
    const double t2 = t * t;
    const double t3 = t2 * t;
    return (2 * t3 - 3 * t2 + 1) * p_[k - 1][1] + (t3 - 2 * t2 + t) * h * m_[k - 1] +
           (-2 * t3 + 3 * t2) * p_[k][1] + (t3 - t2) * h * m_[k];
  }

 private:
  // Fritsch-Carlson: average secants, flatten at extrema and flat segments, then limit the
  // tangents so that no segment overshoots.
  void settleTangents() {
    const size_t n = p_.size();
    std::vector<double> d(n - 1);
    for (size_t i = 0; i + 1 < n; ++i)
      d[i] = (p_[i + 1][1] - p_[i][1]) / std::max(p_[i + 1][0] - p_[i][0], 0.000000001);
    m_.assign(n, 0.0);
    m_[0] = d[0];
    m_[n - 1] = d[n - 2];
    for (size_t i = 1; i + 1 < n; ++i) m_[i] = d[i - 1] * d[i] <= 0 ? 0 : (d[i - 1] + d[i]) / 2;
    for (size_t i = 0; i + 1 < n; ++i) {
      if (d[i] == 0) m_[i] = m_[i + 1] = 0;
    }
    for (size_t i = 0; i + 1 < n; ++i) {
      if (d[i] == 0) continue;
      const double a = m_[i] / d[i];
      const double b = m_[i + 1] / d[i];
      const double length2 = a * a + b * b;
      if (length2 > 9) {
        const double tau = 3 / std::sqrt(length2);
        m_[i] = tau * a * d[i];
        m_[i + 1] = tau * b * d[i];
      }
    }
  }

  std::vector<std::array<double, 2>> p_;
  std::vector<double> m_;
};

}  // namespace

std::vector<std::array<double, 2>> ToneCurve::sortedPoints() const {
  std::vector<std::array<double, 2>> usable;
  usable.reserve(points.size());
  for (const auto& point : points)
    if (point.size() == 2) usable.push_back({point[0], point[1]});
  std::stable_sort(usable.begin(), usable.end(),
                   [](const auto& a, const auto& b) { return a[0] < b[0]; });
  return usable;
}

bool ToneCurve::isIdentity() const {
  const auto sorted = sortedPoints();
  return sorted.size() == 2 && std::abs(sorted[0][0]) < 0.000001 &&
         std::abs(sorted[0][1]) < 0.000001 && std::abs(sorted[1][0] - 1) < 0.000001 &&
         std::abs(sorted[1][1] - 1) < 0.000001;
}

double ToneCurve::value(double x) const { return MonotoneSpline(sortedPoints())(x); }

ToneCurve::LookupTable ToneCurve::lookupTable() const {
  const MonotoneSpline spline(sortedPoints());
  LookupTable table;
  for (size_t i = 0; i < table.size(); ++i)
    table[i] = static_cast<float>(std::clamp(spline(static_cast<double>(i) / 1023), 0.0, 1.0));
  return table;
}
