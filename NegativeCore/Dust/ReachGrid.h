// A spatial index of discs for the clone-source search: does a query point lie strictly inside
// the reach of any disc, hypot(x − qx, y − qy) < reach? Answers equal a test against every disc,
// with that same expression, for any input (non-finite or huge values included); a uniform grid
// over the area where queries fall only spares the discs that cannot answer yes.
#pragma once

#include <cstdint>
#include <vector>

namespace Healer {

class ReachGrid {
 public:
  struct Disc {
    double x;
    double y;
    double reach;
  };

  // Queries are expected in [x0, x1] × [y0, y1]; discs of reach up to `typicalReach` are filed
  // in the grid, larger ones are tested on every query. A query outside that area is answered
  // by testing every disc.
  ReachGrid(const std::vector<Disc>& discs, double x0, double y0, double x1, double y1,
            double typicalReach);

  bool reaches(double qx, double qy) const;

 private:
  bool gridded_ = false;
  double originX_ = 0;
  double originY_ = 0;
  double cell_ = 1;
  int64_t columns_ = 0;
  int64_t rows_ = 0;
  std::vector<int64_t> cellStart_;  // columns_·rows_ + 1 offsets into cellDiscs_
  std::vector<Disc> cellDiscs_;
  double x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  std::vector<Disc> everywhere_;  // tested on every query
  std::vector<Disc> all_;         // every disc that can hold a point, for queries elsewhere
};

}  // namespace Healer
