#include "Preview/DodgeBurnOverlay.h"

#include <QApplication>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <limits>

#include "Model/AppModel.h"
#include "Preview/MarkGeometry.h"

namespace {

constexpr double pinReach = 10;
constexpr double pinSize = 12;
constexpr double removalReach = 8;
constexpr double shortestGradient = 6;
constexpr double unselectedOpacity = 0.3;
constexpr double gradientOpacity = 0.8;
constexpr double brushOpacity = 0.7;

QColor shapeColour(bool dodge) { return dodge ? QColor(Qt::yellow) : QColor(Qt::cyan); }

QPen roundPen(const QColor& colour, double width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A dashed pen whose dashes measure `on` and `off` overlay points; the pen counts in widths.
QPen dashedPen(const QColor& colour, double width, double on, double off) {
  QPen pen(colour, width, Qt::CustomDashLine, Qt::FlatCap);
  pen.setDashPattern({on / width, off / width});
  return pen;
}

QPainterPath brushPath(const std::vector<QPointF>& points) {
  QPainterPath path(points.front());
  if (points.size() == 1) {
    // Round caps on a tiny segment make a dot.
    path.lineTo(points.front() + QPointF(0.01, 0));
  }
  for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
  return path;
}

// The coloured rim of a painted band, one hairline on each side, its inside erased: paint it in
// a group of its own.
void paintBrushOutline(QPainter& p, const DodgeBurnOverlay::Brush& brush, const QColor& colour,
                       double z) {
  const QPainterPath path = brushPath(brush.points);
  p.strokePath(path, roundPen(colour, 2 * brush.radius + 2 / z));
  p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
  p.strokePath(path, roundPen(Qt::black, 2 * brush.radius));
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void paintLinearGuides(QPainter& p, const DodgeBurnOverlay::Linear& linear, const QColor& colour,
                       QSizeF size, double z) {
  const QPointF v = linear.b - linear.a;
  const double length = std::max(std::hypot(v.x(), v.y()), 0.001);
  const QPointF across = (size.width() + size.height()) * QPointF(-v.y() / length, v.x() / length);
  p.setBrush(Qt::NoBrush);
  p.setPen(roundPen(colour, 1.5 / z));
  p.drawLine(linear.a - across, linear.a + across);
  p.setPen(dashedPen(colour, 1.5 / z, 6, 4));
  p.drawLine(linear.b - across, linear.b + across);
  p.save();
  p.setOpacity(p.opacity() * 0.6);
  p.setPen(roundPen(colour, 1 / z));
  p.drawLine(linear.a, linear.b);
  p.restore();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawEllipse(linear.a, 3.5, 3.5);
}

// The small symbol at a radial's centre: a dashed ring when it acts outside, a dot otherwise.
void paintRadialGlyph(QPainter& p, QPointF c, bool outside, const QColor& colour) {
  constexpr double glyphRadius = 4;
  if (outside) {
    p.setBrush(Qt::NoBrush);
    p.setPen(dashedPen(colour, 1, 1.5, 1.2));
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
  }
  p.drawEllipse(c, glyphRadius, glyphRadius);
}

void paintRadial(QPainter& p, const DodgeBurnOverlay::Radial& radial, const QColor& colour,
                 double z) {
  p.setBrush(Qt::NoBrush);
  p.setPen(roundPen(colour, 1.5 / z));
  p.drawEllipse(radial.c, radial.rx, radial.ry);
  p.setPen(dashedPen(colour, 1 / z, 5, 4));
  p.drawEllipse(radial.c, std::max(1.0, 2 * radial.rx * radial.inner) / 2,
                std::max(1.0, 2 * radial.ry * radial.inner) / 2);
  paintRadialGlyph(p, radial.c, radial.outside, colour);
}

void paintPin(QPainter& p, QPointF at, bool selected, double z) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(at, pinSize / 2, pinSize / 2);
  p.setBrush(selected ? QApplication::palette().color(QPalette::Highlight) : QColor(Qt::gray));
  p.drawEllipse(at, 3.0, 3.0);
  p.save();
  p.setOpacity(p.opacity() * 0.6);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::black, 1 / z));
  p.drawEllipse(at, pinSize / 2, pinSize / 2);
  p.restore();
}

// Where a shape's drawing lies, in overlay points, for the scratch image of its group.
QRectF boundsOf(const DodgeBurnOverlay::Geo& geo, QSizeF size, double z) {
  if (const auto* brush = std::get_if<DodgeBurnOverlay::Brush>(&geo)) {
    const double reach = brush->radius + 2 / z;
    return brushPath(brush->points).boundingRect().adjusted(-reach, -reach, reach, reach);
  }
  if (const auto* radial = std::get_if<DodgeBurnOverlay::Radial>(&geo)) {
    const double rx = std::max(radial->rx, 6.0) + 2 / z;
    const double ry = std::max(radial->ry, 6.0) + 2 / z;
    return QRectF(radial->c - QPointF(rx, ry), radial->c + QPointF(rx, ry));
  }
  // The guides cross the whole overlay.
  return QRectF(QPointF(0, 0), size);
}

void paintShape(QPainter& p, const DodgeBurnOverlay::Shape& shape, QSizeF size, double z) {
  const QColor colour = shapeColour(shape.dodge);
  const double selectedOpacity = shape.selected ? 1 : unselectedOpacity;
  const bool brush = std::holds_alternative<DodgeBurnOverlay::Brush>(shape.geo);
  OverlayLayer::group(
      p, boundsOf(shape.geo, size, z), selectedOpacity * (brush ? brushOpacity : gradientOpacity),
      [&](QPainter& inner) {
        if (const auto* b = std::get_if<DodgeBurnOverlay::Brush>(&shape.geo)) {
          paintBrushOutline(inner, *b, colour, z);
        } else if (const auto* l = std::get_if<DodgeBurnOverlay::Linear>(&shape.geo)) {
          paintLinearGuides(inner, *l, colour, size, z);
        } else {
          paintRadial(inner, std::get<DodgeBurnOverlay::Radial>(shape.geo), colour, z);
        }
      });
}

bool radialHits(const DodgeBurnOverlay::Radial& radial, QPointF q) {
  const QPointF d = q - radial.c;
  if (std::hypot(d.x(), d.y()) <= pinReach) return true;
  const double s = std::hypot(d.x() / std::max(radial.rx, 1.0), d.y() / std::max(radial.ry, 1.0));
  return std::min(radial.rx, radial.ry) * std::abs(s - 1) <= removalReach;
}

bool linearHits(const DodgeBurnOverlay::Linear& linear, QPointF q) {
  const QPointF v = linear.b - linear.a;
  const double length = std::max(std::hypot(v.x(), v.y()), 0.001);
  return std::abs(QPointF::dotProduct(q - linear.a, v)) / length <= removalReach ||
         std::abs(QPointF::dotProduct(q - linear.b, v)) / length <= removalReach ||
         MarkGeometry::distanceToSegment(q, linear.a, linear.b) <= removalReach;
}

const DodgeBurnStroke* strokeOf(const LocalLayer& layer, const Uuid& id) {
  const auto found = std::find_if(layer.shapes.begin(), layer.shapes.end(),
                                  [&](const DodgeBurnStroke& s) { return s.id == id; });
  return found == layer.shapes.end() ? nullptr : &*found;
}

// The stroke with this id among the layers.
const DodgeBurnStroke* strokeOf(const std::vector<LocalLayer>& layers, const Uuid& id) {
  for (const LocalLayer& layer : layers) {
    if (const DodgeBurnStroke* stroke = strokeOf(layer, id)) return stroke;
  }
  return nullptr;
}

std::vector<QPointF> dividedBy(const std::vector<QPointF>& points, QSizeF size) {
  std::vector<QPointF> shares;
  shares.reserve(points.size());
  for (const QPointF& p : points) shares.emplace_back(p.x() / size.width(), p.y() / size.height());
  return shares;
}

}  // namespace

DodgeBurnOverlay::DodgeBurnOverlay(AppModel& model) : model_(model) {
  QObject::connect(&model_, &AppModel::selectedLayerIDChanged, &watch_, [this] { repaint(); });
}

std::vector<DodgeBurnOverlay::Shape> DodgeBurnOverlay::shapes(
    const std::vector<LocalLayer>& layers, const std::optional<Uuid>& selectedLayerID,
    const std::optional<PreviewMapping::Frame>& frame, QSizeF size) {
  std::vector<Shape> all;
  if (!frame) return all;
  for (const LocalLayer& layer : layers) {
    if (!layer.visible) continue;
    const bool dodge = layer.adjust.exposure >= 0;
    const bool selected = !selectedLayerID || *selectedLayerID == layer.id;
    for (const DodgeBurnStroke& stroke : layer.shapes) {
      std::vector<QPointF> points;
      for (const auto& stored : stroke.points) {
        if (auto p = MarkGeometry::overlayPoint(*frame, stored, size)) points.push_back(*p);
      }
      if (points.empty()) continue;
      Shape shape{stroke.id, Brush{}, dodge, selected};
      switch (stroke.shape.value_or(DodgeShape::brush)) {
        case DodgeShape::linear:
          if (points.size() < 2) continue;
          shape.geo = Linear{points[0], points[1]};
          break;
        case DodgeShape::radial: {
          const auto rx =
              MarkGeometry::overlayLength(*frame, stroke.rx.value_or(stroke.radius), size);
          const auto ry =
              MarkGeometry::overlayLength(*frame, stroke.ry.value_or(stroke.radius), size);
          if (!rx || !ry) continue;
          const double inner = !(stroke.feather > 0.02) ? 0.98 : 1 - std::min(stroke.feather, 1.0);
          shape.geo = Radial{points[0], *rx, *ry, inner, stroke.invert.value_or(false)};
          break;
        }
        case DodgeShape::brush: {
          const auto radius = MarkGeometry::overlayLength(*frame, stroke.radius, size);
          if (!radius) continue;
          shape.geo = Brush{std::move(points), *radius};
          break;
        }
      }
      all.push_back(std::move(shape));
    }
  }
  return all;
}

std::optional<QPointF> DodgeBurnOverlay::pinOf(const Shape& shape) {
  if (const auto* linear = std::get_if<Linear>(&shape.geo)) return (linear->a + linear->b) / 2;
  if (const auto* radial = std::get_if<Radial>(&shape.geo)) return radial->c;
  return std::nullopt;
}

std::optional<size_t> DodgeBurnOverlay::centrePinHit(const std::vector<Shape>& shapes, QPointF q) {
  std::optional<size_t> last;
  std::optional<size_t> lastSelected;
  for (size_t i = 0; i < shapes.size(); ++i) {
    const auto pin = pinOf(shapes[i]);
    if (!pin || QLineF(*pin, q).length() > pinReach) continue;
    last = i;
    if (shapes[i].selected) lastSelected = i;
  }
  return lastSelected ? lastSelected : last;
}

double DodgeBurnOverlay::distanceToPolyline(const std::vector<QPointF>& points, QPointF q) {
  return MarkGeometry::distanceToPolyline(q, points);
}

bool DodgeBurnOverlay::removalHits(const Shape& shape, QPointF q) {
  if (const auto* brush = std::get_if<Brush>(&shape.geo)) {
    return distanceToPolyline(brush->points, q) <= std::max(brush->radius, removalReach);
  }
  if (const auto* radial = std::get_if<Radial>(&shape.geo)) return radialHits(*radial, q);
  return linearHits(std::get<Linear>(shape.geo), q);
}

std::optional<size_t> DodgeBurnOverlay::removalHit(const std::vector<Shape>& shapes, QPointF q) {
  for (bool selectedOnly : {true, false}) {
    for (size_t i = shapes.size(); i-- > 0;) {
      if ((!selectedOnly || shapes[i].selected) && removalHits(shapes[i], q)) return i;
    }
  }
  return std::nullopt;
}

DodgeBurnOverlay::DragMode DodgeBurnOverlay::firstMode(bool optionHeld, bool startsMove,
                                                       DodgeShape tool, bool brushOnly) {
  if (optionHeld) return DragMode::blocked;
  if (startsMove) return DragMode::move;
  if (tool == DodgeShape::brush) return DragMode::paint;
  return brushOnly ? DragMode::gradient : DragMode::blocked;
}

DodgeBurnOverlay::EndAction DodgeBurnOverlay::endAction(DragMode taken, bool optionHeld) {
  if (taken == DragMode::move) return EndAction::selectLayer;
  if (optionHeld) return EndAction::remove;
  if (taken == DragMode::blocked) return EndAction::nothing;
  return EndAction::add;
}

double DodgeBurnOverlay::pointSpacing(double brushRadius) {
  return std::max(2.0, 0.3 * brushRadius);
}

std::optional<QPointF> DodgeBurnOverlay::radialRadii(QPointF d) {
  if (!(std::hypot(d.x(), d.y()) > shortestGradient)) return std::nullopt;
  double rx = std::abs(d.x());
  double ry = std::abs(d.y());
  if (rx < shortestGradient) {
    rx = ry;
  } else if (ry < shortestGradient) {
    ry = rx;
  }
  return QPointF(rx, ry);
}

QColor DodgeBurnOverlay::toolColour(const LocalLayer* selectedLayer) {
  return shapeColour(!selectedLayer || !(selectedLayer->adjust.exposure < 0));
}

const std::vector<LocalLayer>& DodgeBurnOverlay::selectedLayers() const {
  static const std::vector<LocalLayer> none;
  const auto index = model_.selectedIndex();
  return index ? model_.items()[*index].settings.layers : none;
}

const std::vector<DodgeBurnOverlay::Shape>& DodgeBurnOverlay::currentShapes(QSizeF size) {
  const std::vector<LocalLayer>& layers = selectedLayers();
  const auto frame = model_.mappingFrame();
  if (!shapesValid_ || shapesSize_ != size || shapesSelected_ != model_.selectedLayerID() ||
      !MarkGeometry::sameFrame(shapesFrame_, frame) || shapesOf_ != layers) {
    shapesOf_ = layers;
    shapesSelected_ = model_.selectedLayerID();
    shapesFrame_ = frame;
    shapesSize_ = size;
    shapes_ = shapes(layers, shapesSelected_, frame, size);
    shapesValid_ = true;
    layer_.invalidate();
  }
  return shapes_;
}

double DodgeBurnOverlay::brushRadius(QSizeF size) const {
  return size.width() * model_.previewLength(model_.dodgeSize());
}

void DodgeBurnOverlay::paint(QPainter& painter, const OverlayFrame& frame) {
  const QSizeF size = frame.size;
  const double z = std::max(frame.zoom, 0.01);
  const std::vector<Shape>& all = currentShapes(size);
  if (layerZoom_ != z) layer_.invalidate();
  layerZoom_ = z;
  painter.setRenderHint(QPainter::Antialiasing);
  layer_.draw(painter, size, [&](QPainter& p) {
    for (const Shape& shape : all) paintShape(p, shape, size, z);
    for (const Shape& shape : all) {
      if (const auto pin = pinOf(shape)) paintPin(p, *pin, shape.selected, z);
    }
  });
  painter.setClipRect(QRectF(QPointF(0, 0), size));
  paintLive(painter, size, z);
}

void DodgeBurnOverlay::paintLive(QPainter& painter, QSizeF size, double z) {
  const DodgeShape tool = model_.dodgeShape();
  const auto selectedIndex = model_.selectedLayerIndex();
  const QColor colour =
      toolColour(selectedIndex ? &selectedLayers()[static_cast<size_t>(*selectedIndex)] : nullptr);
  const double r = brushRadius(size);
  if (tool == DodgeShape::brush && stroke_.size() >= 2) {
    painter.save();
    painter.setOpacity(0.35);
    painter.strokePath(brushPath(stroke_), roundPen(colour, 2 * r));
    painter.restore();
  }
  if (dragStart_ && dragNow_ && mode_ == DragMode::gradient) {
    painter.save();
    if (tool == DodgeShape::linear) {
      paintLinearGuides(painter, Linear{*dragStart_, *dragNow_}, colour, size, z);
    } else {
      const double inner = 1 - (model_.dodgeFeather() / 100 * 0.98 + 0.02);
      const Radial radial{*dragStart_, std::abs(dragNow_->x() - dragStart_->x()),
                          std::abs(dragNow_->y() - dragStart_->y()), inner, model_.dodgeOutside()};
      paintRadial(painter, radial, colour, z);
    }
    painter.restore();
  }
  if (hover_ && tool == DodgeShape::brush && !centrePinHit(shapes_, *hover_)) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, 1 / z));
    painter.drawEllipse(*hover_, r, r);
  }
}

void DodgeBurnOverlay::press(const OverlayPointer& pointer) {
  if (!(pointer.buttons & Qt::LeftButton)) return;
  pressedAt_ = pointer.point;
  dragChanged(pointer);
}

void DodgeBurnOverlay::move(const OverlayPointer& pointer) {
  if (pressedAt_) dragChanged(pointer);
}

void DodgeBurnOverlay::release(const OverlayPointer& pointer) {
  if (pressedAt_) dragEnded(pointer);
}

void DodgeBurnOverlay::hover(const OverlayPointer& pointer) {
  hover_ = pointer.point;
  repaint();
}

void DodgeBurnOverlay::hoverEnd() {
  hover_.reset();
  repaint();
}

void DodgeBurnOverlay::dragChanged(const OverlayPointer& pointer) {
  const QSizeF size = pointer.frame.size;
  const QPointF start = *pressedAt_;
  const QPointF location = pointer.point;
  hover_ = location;
  if (!mode_) {
    const bool option = optionHeld(pointer.modifiers);
    if (!option) {
      const std::vector<Shape>& all = currentShapes(size);
      if (const auto hit = centrePinHit(all, start)) {
        const auto s = model_.imagePoint(start.x() / size.width(), start.y() / size.height());
        const DodgeBurnStroke* stroke = strokeOf(selectedLayers(), all[*hit].id);
        if (s && stroke) moving_ = Moving{stroke->id, stroke->points, *s};
      }
    }
    mode_ = firstMode(option, moving_.has_value(), model_.dodgeShape(),
                      model_.selectedLayerIsBrushOnly());
  }
  switch (*mode_) {
    case DragMode::paint:
      if (stroke_.empty()) stroke_.push_back(start);
      if (QLineF(stroke_.back(), location).length() > pointSpacing(brushRadius(size))) {
        stroke_.push_back(location);
      }
      break;
    case DragMode::gradient:
      dragStart_ = start;
      dragNow_ = location;
      break;
    case DragMode::move:
      if (const auto p =
              model_.imagePoint(location.x() / size.width(), location.y() / size.height())) {
        model_.dragStroke(moving_->id, moving_->original, p->x() - moving_->start.x(),
                          p->y() - moving_->start.y());
      }
      break;
    case DragMode::blocked:
      break;
  }
  repaint();
}

void DodgeBurnOverlay::dragEnded(const OverlayPointer& pointer) {
  const QSizeF size = pointer.frame.size;
  const QPointF start = *pressedAt_;
  const QPointF end = pointer.point;
  std::vector<QPointF> points = stroke_.size() < 2 ? std::vector<QPointF>{} : stroke_;
  points.push_back(end);
  const DragMode taken = mode_.value_or(DragMode::blocked);
  const std::optional<Uuid> movedID = moving_ ? std::optional(moving_->id) : std::nullopt;
  stroke_.clear();
  dragStart_.reset();
  dragNow_.reset();
  mode_.reset();
  moving_.reset();
  pressedAt_.reset();
  repaint();

  switch (endAction(taken, optionHeld(pointer.modifiers))) {
    case EndAction::selectLayer:
      for (const LocalLayer& layer : selectedLayers()) {
        if (movedID && strokeOf(layer, *movedID)) {
          model_.setSelectedLayerID(layer.id);
          break;
        }
      }
      return;
    case EndAction::remove:
      if (const auto hit = removalHit(currentShapes(size), end)) {
        const Uuid id = shapes_[*hit].id;
        model_.editSelected([&](ConversionSettings& s) { AppModel::removeStroke(s, id); });
      }
      return;
    case EndAction::nothing:
      return;
    case EndAction::add:
      break;
  }
  const QPointF d = end - start;
  const double w = size.width();
  const double h = size.height();
  switch (model_.dodgeShape()) {
    case DodgeShape::brush:
      model_.addBrushStroke(dividedBy(points, size));
      break;
    case DodgeShape::linear:
      if (std::hypot(d.x(), d.y()) > shortestGradient) {
        model_.addLinearGradient(QPointF(start.x() / w, start.y() / h),
                                 QPointF(end.x() / w, end.y() / h));
      }
      break;
    case DodgeShape::radial:
      if (const auto radii = radialRadii(d)) {
        model_.addRadialGradient(QPointF(start.x() / w, start.y() / h), radii->x() / w,
                                 radii->y() / w);
      }
      break;
  }
}
