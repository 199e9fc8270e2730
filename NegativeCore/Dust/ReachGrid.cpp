#include "Dust/ReachGrid.h"

#include <algorithm>
#include <cmath>

namespace Healer {

namespace {

// Grids of more cells than this (or than a few per disc) get larger cells instead.
constexpr double kMaxCells = 1 << 22;
// Extents beyond this many pixels lose the sub-pixel precision the cell slack relies on.
constexpr double kMaxExtent = 1e9;

bool inside(double v, double lo, double hi) { return v >= lo && v <= hi; }

}  // namespace

ReachGrid::ReachGrid(const std::vector<Disc>& discs, double x0, double y0, double x1, double y1,
                     double typicalReach) {
  // A disc whose centre is not finite, or whose reach is not a positive number, never holds a
  // query strictly inside: hypot is then infinite or NaN, or the reach is ≤ 0 or NaN.
  std::vector<Disc>& useful = all_;
  useful.reserve(discs.size());
  for (const Disc& d : discs)
    if (std::isfinite(d.x) && std::isfinite(d.y) && d.reach > 0) useful.push_back(d);

  const double extent = std::max(x1 - x0, y1 - y0);
  const bool usable = std::isfinite(x0) && std::isfinite(y0) && x1 >= x0 && y1 >= y0 &&
                      extent <= kMaxExtent && typicalReach > 0 && typicalReach <= kMaxExtent;
  if (!usable) return;  // every query then tests every disc
  x0_ = x0;
  y0_ = y0;
  x1_ = x1;
  y1_ = y1;

  // One pixel of slack keeps rounding in the cell arithmetic far from the reach boundary: a disc
  // two cells away from the query's cell is more than typicalReach away from it on one axis.
  const double wanted = std::max(static_cast<double>(useful.size()) * 4.0 + 1024.0, 1.0);
  const double area = (x1 - x0 + 2 * typicalReach) * (y1 - y0 + 2 * typicalReach);
  cell_ = std::max({typicalReach + 1.0, std::sqrt(area / std::min(wanted, kMaxCells))});
  originX_ = x0 - cell_;
  originY_ = y0 - cell_;
  columns_ = static_cast<int64_t>((x1 - originX_) / cell_) + 2;
  rows_ = static_cast<int64_t>((y1 - originY_) / cell_) + 2;
  gridded_ = true;

  // A gridded disc farther than one cell outside the query area cannot reach any query.
  const double farX0 = x0 - cell_, farX1 = x1 + cell_, farY0 = y0 - cell_, farY1 = y1 + cell_;
  std::vector<int64_t> cellOf;
  std::vector<Disc> filed;
  for (const Disc& d : useful) {
    if (d.reach > typicalReach) {
      everywhere_.push_back(d);
    } else if (inside(d.x, farX0, farX1) && inside(d.y, farY0, farY1)) {
      const auto cx = std::min(static_cast<int64_t>((d.x - originX_) / cell_), columns_ - 1);
      const auto cy = std::min(static_cast<int64_t>((d.y - originY_) / cell_), rows_ - 1);
      cellOf.push_back(cy * columns_ + cx);
      filed.push_back(d);
    }
  }
  cellStart_.assign(static_cast<size_t>(columns_ * rows_ + 1), 0);
  for (int64_t c : cellOf) ++cellStart_[c + 1];
  for (size_t i = 1; i < cellStart_.size(); ++i) cellStart_[i] += cellStart_[i - 1];
  cellDiscs_.resize(filed.size());
  std::vector<int64_t> next(cellStart_.begin(), cellStart_.end() - 1);
  for (size_t i = 0; i < filed.size(); ++i) cellDiscs_[next[cellOf[i]]++] = filed[i];
}

bool ReachGrid::reaches(double qx, double qy) const {
  const auto hit = [&](const Disc& d) { return std::hypot(d.x - qx, d.y - qy) < d.reach; };
  if (!gridded_ || !inside(qx, x0_, x1_) || !inside(qy, y0_, y1_))
    return std::any_of(all_.begin(), all_.end(), hit);
  if (std::any_of(everywhere_.begin(), everywhere_.end(), hit)) return true;

  // The query's cell and its eight neighbours.
  const auto cx = std::min(static_cast<int64_t>((qx - originX_) / cell_), columns_ - 1);
  const auto cy = std::min(static_cast<int64_t>((qy - originY_) / cell_), rows_ - 1);
  for (int64_t y = std::max<int64_t>(cy - 1, 0); y <= std::min(cy + 1, rows_ - 1); ++y)
    for (int64_t x = std::max<int64_t>(cx - 1, 0); x <= std::min(cx + 1, columns_ - 1); ++x) {
      const int64_t c = y * columns_ + x;
      for (int64_t i = cellStart_[c]; i < cellStart_[c + 1]; ++i)
        if (hit(cellDiscs_[i])) return true;
    }
  return false;
}

}  // namespace Healer
