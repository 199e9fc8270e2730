#include "Record/SettingsTurning.h"

#include <utility>

namespace SettingsTurning {

namespace {

// The turn count as clockwise quarter turns 0…3; −1 acts as 3.
int quarterTurnsMod4(int64_t quarterTurns) { return static_cast<int>(quarterTurns & 3); }

struct Point {
  double x;
  double y;
};

// The written-out forms, so that no coordinate goes through 1 − v twice.
Point turned(Point p, int k) {
  switch (k) {
    case 1:
      return {1 - p.y, p.x};
    case 2:
      return {1 - p.x, 1 - p.y};
    case 3:
      return {p.y, 1 - p.x};
    default:
      return p;
  }
}

Point flipped(Point p, bool horizontal) {
  return horizontal ? Point{1 - p.x, p.y} : Point{p.x, 1 - p.y};
}

// A stored point with fewer than two numbers cannot move; it stays as it is (the mask renderer
// ignores it). Longer points come out as their two moved numbers.
template <class Move>
void movePoints(std::vector<std::vector<double>>& points, Move move) {
  for (auto& point : points) {
    if (point.size() < 2) continue;
    const Point moved = move(Point{point[0], point[1]});
    point = {moved.x, moved.y};
  }
}

DodgeBurnStroke rotatedStroke(DodgeBurnStroke stroke, int k) {
  movePoints(stroke.points, [k](Point p) { return turned(p, k); });
  if (k % 2 == 1) std::swap(stroke.rx, stroke.ry);
  return stroke;
}

DodgeBurnStroke mirroredStroke(DodgeBurnStroke stroke, bool horizontal) {
  movePoints(stroke.points, [horizontal](Point p) { return flipped(p, horizontal); });
  return stroke;
}

LocalLayer mirroredLayer(LocalLayer layer, bool horizontal) {
  for (auto& shape : layer.shapes) shape = mirroredStroke(std::move(shape), horizontal);
  return layer;
}

template <class T, class Op>
void mapInPlace(std::vector<T>& items, Op op) {
  for (auto& item : items) item = op(item);
}

}  // namespace

Spot rotated(const Spot& spot, int64_t quarterTurns) {
  const int k = quarterTurnsMod4(quarterTurns);
  Spot result = spot;
  const Point centre = turned({spot.x, spot.y}, k);
  result.x = centre.x;
  result.y = centre.y;
  if (spot.sx && spot.sy) {
    const Point source = turned({*spot.sx, *spot.sy}, k);
    result.sx = source.x;
    result.sy = source.y;
  }
  return result;
}

Spot mirrored(const Spot& spot, bool horizontal) {
  Spot result = spot;
  if (horizontal) {
    result.x = 1 - spot.x;
    if (spot.sx) result.sx = 1 - *spot.sx;
  } else {
    result.y = 1 - spot.y;
    if (spot.sy) result.sy = 1 - *spot.sy;
  }
  return result;
}

RedEye rotated(const RedEye& mark, int64_t quarterTurns) {
  RedEye result = mark;
  const Point centre = turned({mark.x, mark.y}, quarterTurnsMod4(quarterTurns));
  result.x = centre.x;
  result.y = centre.y;
  return result;
}

RedEye mirrored(const RedEye& mark, bool horizontal) {
  RedEye result = mark;
  const Point centre = flipped({mark.x, mark.y}, horizontal);
  result.x = centre.x;
  result.y = centre.y;
  return result;
}

LocalLayer rotated(const LocalLayer& layer, int64_t quarterTurns) {
  const int k = quarterTurnsMod4(quarterTurns);
  LocalLayer result = layer;
  for (auto& shape : result.shapes) shape = rotatedStroke(std::move(shape), k);
  return result;
}

void rotate(ConversionSettings& settings, int64_t quarterTurns) {
  // Unsigned arithmetic: a stored turn count near the integer limits must not overflow.
  const uint64_t sum =
      static_cast<uint64_t>(settings.rotationQuarterTurns) + static_cast<uint64_t>(quarterTurns);
  settings.rotationQuarterTurns = static_cast<int64_t>(sum & 3);

  const int k = quarterTurnsMod4(quarterTurns);
  if (k == 0) return;
  if (settings.crop) settings.crop = settings.crop->rotated(k);
  mapInPlace(settings.spots, [k](const Spot& s) { return rotated(s, k); });
  mapInPlace(settings.dodgeBurn, [k](const DodgeBurnStroke& s) { return rotatedStroke(s, k); });
  mapInPlace(settings.layers, [k](const LocalLayer& l) { return rotated(l, k); });
  mapInPlace(settings.redEyes, [k](const RedEye& m) { return rotated(m, k); });
}

void mirror(ConversionSettings& settings) {
  settings.mirrored = !settings.mirrored;
  const bool horizontal = (settings.rotationQuarterTurns & 1) == 0;
  if (settings.crop)
    settings.crop =
        horizontal ? settings.crop->mirroredHorizontally() : settings.crop->mirroredVertically();
  mapInPlace(settings.spots, [horizontal](const Spot& s) { return mirrored(s, horizontal); });
  mapInPlace(settings.dodgeBurn,
             [horizontal](const DodgeBurnStroke& s) { return mirroredStroke(s, horizontal); });
  mapInPlace(settings.layers,
             [horizontal](const LocalLayer& l) { return mirroredLayer(l, horizontal); });
  mapInPlace(settings.redEyes, [horizontal](const RedEye& m) { return mirrored(m, horizontal); });
  settings.skewDegrees = -settings.skewDegrees;
}

}  // namespace SettingsTurning
