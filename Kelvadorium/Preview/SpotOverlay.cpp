#include "Preview/SpotOverlay.h"

#include <QApplication>
#include <QLineF>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "Model/AppModel.h"
#include "Preview/MarkGeometry.h"
#include "Services/Preferences.h"
#include "ViewKit/NamedColours.h"

namespace {

constexpr double hitReach = 6;
constexpr double strokePointGap = 1.5;
constexpr double shortestStroke = 4;
constexpr double crossArm = 9;
constexpr double ringOpacity = 0.8;
constexpr double tintOpacity = 0.07;
constexpr double pickedOpacity = 0.45;
constexpr double hoveredOpacity = 0.2;
// A lone spot is a line this long, whose round caps draw a disc.
constexpr double discLength = 0.01;

Uuid repairID(const Spot& spot) { return spot.group.value_or(spot.id); }

QPen roundPen(const QColor& colour, double width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath lineThrough(const std::vector<QPointF>& points) {
  QPainterPath path;
  if (points.empty()) return path;
  path.reserve(static_cast<int>(points.size()));
  path.moveTo(points.front());
  for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
  return path;
}

bool isDisc(const SpotOverlay::HealedShape& shape) {
  return shape.points.size() == 2 && shape.points[1] == shape.points[0] + QPointF(discLength, 0);
}

// A ring along the edge of the band `line` of width 2 × radius: the band widened by `rim` on
// each side in `colour`, its inside erased, laid on at `opacity` as one group so the erasing
// touches nothing beneath.
void paintRing(QPainter& p, const QPainterPath& line, double radius, double rim,
               const QColor& colour, double opacity) {
  const double reach = radius + rim;
  const QRectF bounds = line.boundingRect().adjusted(-reach, -reach, reach, reach);
  OverlayLayer::group(p, bounds, opacity, [&](QPainter& inner) {
    inner.strokePath(line, roundPen(colour, 2 * reach));
    inner.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    inner.strokePath(line, roundPen(Qt::black, 2 * radius));
  });
}

// The same ring around a disc needs no group: an annulus drawn at once.
void paintDiscRing(QPainter& p, QPointF centre, double radius, double rim, const QColor& colour,
                   double opacity) {
  p.save();
  p.setOpacity(p.opacity() * opacity);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(colour, rim));
  const QPointF c = centre + QPointF(discLength / 2, 0);
  const double r = radius + discLength / 2 + rim / 2;
  p.drawEllipse(c, r, r);
  p.restore();
}

}  // namespace

SpotOverlay::SpotOverlay(AppModel& model) : model_(model) {
  for (auto changed : {&AppModel::healSourceChanged, &AppModel::selectedRepairChanged,
                       &AppModel::spotSelectingChanged}) {
    QObject::connect(&model_, changed, &watch_, [this] { repaint(); });
  }
  QObject::connect(&model_.preferences(), &Preferences::changed, &watch_,
                   [this](const QString& key) {
                     if (key == QLatin1String("spotBrush")) repaint();
                   });
}

double SpotOverlay::brushRadius(const std::optional<PreviewMapping::Frame>& frame, double spotBrush,
                                double width) {
  const double unmapped = width * PreviewMapping::unmappedLength;
  if (!frame || !PreviewMapping::previewPoint(*frame, QPointF(0.5, 0.5))) return unmapped;
  const double r = width * PreviewMapping::previewLength(*frame, spotBrush);
  return MarkGeometry::drawable(r) ? r : unmapped;
}

std::vector<SpotOverlay::HealedShape> SpotOverlay::healedShapes(
    const std::vector<Spot>& spots, const std::optional<PreviewMapping::Frame>& frame,
    QSizeF size) {
  struct Repair {
    HealedShape shape;
    bool grouped = false;
  };
  std::vector<Repair> repairs;
  if (!frame) return {};
  // Where each repair id's shape lies, so a stroke's members join it in one pass.
  std::unordered_map<Uuid, size_t> found;
  found.reserve(spots.size());
  for (const Spot& spot : spots) {
    const Uuid id = repairID(spot);
    const auto [at, isNew] = found.try_emplace(id, repairs.size());
    if (isNew) {
      repairs.push_back(Repair{HealedShape{id, {}, 0, {}}, spot.group.has_value()});
    } else if (!repairs[at->second].grouped || !spot.group) {
      // A lone spot is its repair's only member; an ungrouped spot whose id equals a group is
      // none of that group's.
      continue;
    }
    HealedShape& shape = repairs[at->second].shape;
    const auto centre = MarkGeometry::overlayPoint(*frame, spot.x, spot.y, size);
    if (!centre) continue;
    if (shape.points.empty()) {
      const auto radius = MarkGeometry::overlayLength(*frame, spot.r, size);
      if (!radius) continue;
      shape.radius = *radius;
    }
    shape.points.push_back(*centre);
  }
  std::vector<HealedShape> shapes;
  shapes.reserve(repairs.size());
  for (Repair& repair : repairs) {
    HealedShape& shape = repair.shape;
    if (shape.points.empty()) continue;
    if (shape.points.size() == 1) shape.points.push_back(shape.points[0] + QPointF(discLength, 0));
    shape.line = lineThrough(shape.points);
    shapes.push_back(std::move(shape));
  }
  return shapes;
}

std::optional<size_t> SpotOverlay::shapeAt(const std::vector<HealedShape>& shapes, QPointF p) {
  for (size_t i = shapes.size(); i-- > 0;) {
    if (polylineDistance(p, shapes[i].points) <= std::max(shapes[i].radius, hitReach)) return i;
  }
  return std::nullopt;
}

std::vector<QPointF> SpotOverlay::thinned(const std::vector<QPointF>& points, double spacing) {
  std::vector<QPointF> kept;
  if (points.empty()) return kept;
  kept.push_back(points.front());
  for (size_t i = 1; i < points.size(); ++i) {
    if (QLineF(kept.back(), points[i]).length() >= spacing) kept.push_back(points[i]);
  }
  if (kept.back() != points.back()) kept.push_back(points.back());
  return kept;
}

double SpotOverlay::polylineDistance(QPointF p, const std::vector<QPointF>& points) {
  if (points.empty()) return std::numeric_limits<double>::infinity();
  if (points.size() == 1) return QLineF(points.front(), p).length();
  double nearest = std::numeric_limits<double>::infinity();
  for (size_t i = 1; i < points.size(); ++i) {
    nearest = std::min(nearest, MarkGeometry::distanceToSegment(p, points[i - 1], points[i]));
  }
  return nearest;
}

double SpotOverlay::thinningSpacing(double brushRadius) {
  return std::max(0.35 * brushRadius, 2.0);
}

bool SpotOverlay::isClick(const std::vector<QPointF>& thinnedStroke) {
  double length = 0;
  for (size_t i = 1; i < thinnedStroke.size(); ++i) {
    length += QLineF(thinnedStroke[i - 1], thinnedStroke[i]).length();
  }
  return thinnedStroke.empty() || length < shortestStroke;
}

const std::vector<Spot>& SpotOverlay::selectedSpots() const {
  static const std::vector<Spot> none;
  const auto index = model_.selectedIndex();
  return index ? model_.items()[*index].settings.spots : none;
}

const std::vector<SpotOverlay::HealedShape>& SpotOverlay::currentShapes(QSizeF size) {
  const std::vector<Spot>& spots = selectedSpots();
  const auto frame = model_.mappingFrame();
  if (!shapesValid_ || shapesSize_ != size || !MarkGeometry::sameFrame(shapesFrame_, frame) ||
      shapesOf_ != spots) {
    shapesOf_ = spots;
    shapesFrame_ = frame;
    shapesSize_ = size;
    shapes_ = healedShapes(spots, frame, size);
    shapesValid_ = true;
    layer_.invalidate();
  }
  return shapes_;
}

double SpotOverlay::brushRadius(QSizeF size) const {
  return brushRadius(model_.mappingFrame(), model_.spotBrush(), size.width());
}

void SpotOverlay::paint(QPainter& painter, const OverlayFrame& frame) {
  const QSizeF size = frame.size;
  const double z = std::max(frame.zoom, 0.01);
  currentShapes(size);
  const bool selecting = model_.spotSelecting();
  const LayerKey key{z, selecting, selecting ? model_.selectedRepair() : std::nullopt,
                     selecting ? hoverShape_ : std::nullopt};
  if (!(key == layerKey_)) layer_.invalidate();
  layerKey_ = key;
  painter.setRenderHint(QPainter::Antialiasing);
  layer_.draw(painter, size, [&](QPainter& p) { paintShapes(p, size, z); });
  painter.setClipRect(QRectF(QPointF(0, 0), size));
  paintLive(painter, size, z);
}

// Highlight, ring and tint of each shape in turn, so a later repair covers an earlier one.
void SpotOverlay::paintShapes(QPainter& p, QSizeF, double z) const {
  const QColor accent = QApplication::palette().color(QPalette::Highlight);
  const QColor white(Qt::white);
  for (const HealedShape& shape : shapes_) {
    const double width = 2 * shape.radius;
    if (layerKey_.selecting) {
      const bool picked = shape.id == layerKey_.picked;
      if (picked || shape.id == layerKey_.hovered) {
        p.save();
        p.setOpacity(picked ? pickedOpacity : hoveredOpacity);
        p.strokePath(shape.line, roundPen(accent, width + 6 / z));
        p.restore();
      }
    }
    const double rim = 1.25 / z;
    if (isDisc(shape)) {
      paintDiscRing(p, shape.points[0], shape.radius, rim, white, ringOpacity);
      p.save();
      p.setOpacity(tintOpacity);
      p.setPen(Qt::NoPen);
      p.setBrush(white);
      const double r = shape.radius + discLength / 2;
      p.drawEllipse(shape.points[0] + QPointF(discLength / 2, 0), r, r);
      p.restore();
      continue;
    }
    paintRing(p, shape.line, shape.radius, rim, white, ringOpacity);
    p.save();
    p.setOpacity(tintOpacity);
    p.strokePath(shape.line, roundPen(white, width));
    p.restore();
  }
}

void SpotOverlay::paintLive(QPainter& painter, QSizeF size, double z) const {
  const double r = brushRadius(size);
  if (stroke_.size() >= 2) {
    paintRing(painter, lineThrough(stroke_), r, 0.75 / z, NamedColours::colour(NamedColour::yellow),
              1);
  }
  painter.setBrush(Qt::NoBrush);
  if (const auto& source = model_.healSource()) {
    if (const auto s = model_.previewPoint(source->x(), source->y())) {
      const QPointF at(s->x() * size.width(), s->y() * size.height());
      if (MarkGeometry::drawable(at, size)) {
        const QColor cyan = NamedColours::colour(NamedColour::cyan);
        painter.setPen(QPen(cyan, 1.5 / z));
        painter.drawLine(at - QPointF(crossArm, 0), at + QPointF(crossArm, 0));
        painter.drawLine(at - QPointF(0, crossArm), at + QPointF(0, crossArm));
        painter.setPen(QPen(cyan, 1 / z));
        painter.drawEllipse(at, r, r);
      }
    }
  }
  if (hover_ && !model_.spotSelecting()) {
    painter.setPen(QPen(NamedColours::colour(NamedColour::yellow), 0.75 / z));
    painter.drawEllipse(*hover_, r, r);
  }
}

void SpotOverlay::press(const OverlayPointer& pointer) {
  if (!(pointer.buttons & Qt::LeftButton)) return;
  pressedAt_ = pointer.point;
  dragChanged(pointer);
}

void SpotOverlay::move(const OverlayPointer& pointer) {
  if (pressedAt_) dragChanged(pointer);
}

void SpotOverlay::release(const OverlayPointer& pointer) {
  if (pressedAt_) dragEnded(pointer);
}

void SpotOverlay::hover(const OverlayPointer& pointer) {
  hover_ = pointer.point;
  hoverShape_.reset();
  if (model_.spotSelecting()) {
    const std::vector<HealedShape>& all = currentShapes(pointer.frame.size);
    if (const auto hit = shapeAt(all, *hover_)) hoverShape_ = all[*hit].id;
  }
  repaint();
}

void SpotOverlay::hoverEnd() {
  hover_.reset();
  hoverShape_.reset();
  repaint();
}

void SpotOverlay::dragChanged(const OverlayPointer& pointer) {
  if (model_.spotSelecting()) return;
  if (stroke_.empty()) stroke_.push_back(*pressedAt_);
  if (QLineF(stroke_.back(), pointer.point).length() > strokePointGap) {
    stroke_.push_back(pointer.point);
  }
  hover_ = pointer.point;
  repaint();
}

void SpotOverlay::dragEnded(const OverlayPointer& pointer) {
  pressedAt_.reset();
  const QSizeF size = pointer.frame.size;
  const QPointF end = pointer.point;
  if (model_.spotSelecting()) {
    const std::vector<HealedShape>& all = currentShapes(size);
    const auto hit = shapeAt(all, end);
    model_.setSelectedRepair(hit ? std::optional(all[*hit].id) : std::nullopt);
    return;
  }
  const std::vector<QPointF> points = thinned(stroke_, thinningSpacing(brushRadius(size)));
  stroke_.clear();
  repaint();
  const double w = size.width();
  const double h = size.height();
  if (optionHeld(pointer.modifiers)) {
    // Outside the photo the source stays where it was.
    if (const auto source = model_.imagePoint(end.x() / w, end.y() / h)) {
      model_.setHealSource(*source);
    }
    return;
  }
  if (isClick(points)) {
    const std::vector<HealedShape>& all = currentShapes(size);
    if (const auto hit = shapeAt(all, end)) {
      const Uuid id = all[*hit].id;
      const std::vector<Spot>& spots = selectedSpots();
      const auto first = std::find_if(spots.begin(), spots.end(),
                                      [&](const Spot& spot) { return repairID(spot) == id; });
      if (first != spots.end()) {
        const Uuid spotID = first->id;  // the removal replaces the list it lies in
        model_.removeRepair(spotID);
      }
      return;
    }
    model_.addRepairSpot(end.x() / w, end.y() / h);
    return;
  }
  std::vector<QPointF> shares;
  shares.reserve(points.size());
  for (const QPointF& p : points) shares.emplace_back(p.x() / w, p.y() / h);
  model_.addRepairStroke(shares);
}
