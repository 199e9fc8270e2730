#include "Preview/DustOverlay.h"

#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <limits>

#include "Model/AppModel.h"
#include "Model/DustFinds.h"
#include "Preview/MarkGeometry.h"

namespace {

// A press and release further apart than this, in screen points, are a drag, not a click.
constexpr double clickSlop = 4;

QPen roundPen(const QColor& colour, double width) {
  return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QColor colourOf(bool kept, bool faint) {
  if (!kept) return Qt::red;
  return faint ? QColor(255, 149, 0) : QColor(Qt::gray);
}

// A halo of width w along the find's path and a rim 0.75 / z wide along its outer edge.
void paintFind(QPainter& p, const DustOverlay::Find& find, const QColor& colour, bool hovered,
               bool kept, double z) {
  const double w = DustOverlay::haloWidth(find.radius, z);
  const double rim = 1.5 / z;
  const double haloOpacity = hovered ? 0.35 : 0.15;
  const double rimOpacity = kept ? 0.6 : 1;
  if (find.points.size() == 1) {
    // A dot: the two strokes of the group are a disc and the ring left around it.
    const QPointF c = find.points.front();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.setOpacity(haloOpacity);
    p.drawEllipse(c, w / 2, w / 2);
    QPainterPath ring;
    ring.setFillRule(Qt::OddEvenFill);
    ring.addEllipse(c, (w + rim) / 2, (w + rim) / 2);
    ring.addEllipse(c, w / 2, w / 2);
    p.setOpacity(rimOpacity);
    p.fillPath(ring, colour);
    return;
  }
  QPainterPath path(find.points.front());
  for (size_t i = 1; i < find.points.size(); ++i) path.lineTo(find.points[i]);
  p.setOpacity(haloOpacity);
  p.strokePath(path, roundPen(colour, w));
  p.setOpacity(1);
  const double reach = (w + rim) / 2;
  OverlayLayer::group(p, path.boundingRect().adjusted(-reach, -reach, reach, reach), rimOpacity,
                      [&](QPainter& inner) {
                        inner.strokePath(path, roundPen(colour, w + rim));
                        inner.setCompositionMode(QPainter::CompositionMode_DestinationOut);
                        inner.strokePath(path, roundPen(Qt::black, w));
                      });
}

}  // namespace

DustOverlay::DustOverlay(AppModel& model) : model_(model) {
  QObject::connect(&model_, &AppModel::keptDustChanged, &watch_, [this] { repaint(); });
}

std::vector<DustOverlay::Find> DustOverlay::finds(const std::vector<std::vector<Spot>>& candidates,
                                                  const std::optional<PreviewMapping::Frame>& frame,
                                                  QSizeF size) {
  std::vector<Find> all;
  if (!frame) return all;
  for (const std::vector<Spot>& candidate : candidates) {
    Find find{DustFinds::candidateID(candidate), {}, 0};
    std::optional<double> radius;
    for (const Spot& spot : candidate) {
      const auto centre = MarkGeometry::overlayPoint(*frame, spot.x, spot.y, size);
      if (!centre) continue;
      if (find.points.empty()) radius = MarkGeometry::overlayLength(*frame, spot.r, size);
      find.points.push_back(*centre);
    }
    if (find.points.empty() || !radius) continue;
    find.radius = *radius;
    all.push_back(std::move(find));
  }
  return all;
}

double DustOverlay::distance(const Find& find, QPointF p) {
  double nearest = std::numeric_limits<double>::infinity();
  for (const QPointF& point : find.points) nearest = std::min(nearest, QLineF(point, p).length());
  return nearest;
}

std::optional<size_t> DustOverlay::pick(const std::vector<Find>& finds, QPointF p, double zoom) {
  if (finds.empty()) return std::nullopt;
  size_t nearest = 0;
  double best = distance(finds[0], p);
  for (size_t i = 1; i < finds.size(); ++i) {
    const double d = distance(finds[i], p);
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  const double tolerance = std::max(2.2 * finds[nearest].radius, 8 / std::max(zoom, 0.01));
  if (best <= tolerance) return nearest;
  return std::nullopt;
}

double DustOverlay::haloWidth(double radius, double zoom) {
  return 2 * (radius + std::max(0.6 * radius, 3 / std::max(zoom, 0.01)));
}

const std::vector<DustOverlay::Find>& DustOverlay::currentFinds(QSizeF size) {
  const auto& candidates = model_.dustCandidates();
  const auto frame = model_.mappingFrame();
  if (!findsValid_ || findsSize_ != size || !MarkGeometry::sameFrame(findsFrame_, frame) ||
      findsOf_ != candidates) {
    findsOf_ = candidates;
    findsFrame_ = frame;
    findsSize_ = size;
    finds_ = finds(candidates, frame, size);
    findsValid_ = true;
    layer_.invalidate();
  }
  return finds_;
}

void DustOverlay::paint(QPainter& painter, const OverlayFrame& frame) {
  const QSizeF size = frame.size;
  const double z = std::max(frame.zoom, 0.01);
  const std::vector<Find>& all = currentFinds(size);
  const std::set<Uuid>& kept = model_.keptDust();
  if (layerZoom_ != z || layerKept_ != kept || layerHover_ != hover_) layer_.invalidate();
  layerZoom_ = z;
  layerKept_ = kept;
  layerHover_ = hover_;
  painter.setRenderHint(QPainter::Antialiasing);
  layer_.draw(painter, size, [&](QPainter& p) {
    for (const Find& find : all) {
      const bool isKept = kept.count(find.key) > 0;
      const QColor colour = colourOf(isKept, isKept && model_.isFaintDust(find.key));
      p.save();
      paintFind(p, find, colour, hover_ == find.key, isKept, z);
      p.restore();
    }
  });
}

void DustOverlay::press(const OverlayPointer& pointer) {
  pressedAt_.reset();
  if (pointer.buttons & Qt::LeftButton) pressedAt_ = pointer.point;
}

void DustOverlay::release(const OverlayPointer& pointer) {
  const auto at = std::exchange(pressedAt_, std::nullopt);
  const double zoom = std::max(pointer.frame.zoom, 0.01);
  if (!at || QLineF(*at, pointer.point).length() * zoom > clickSlop) return;
  if (const auto picked = pick(currentFinds(pointer.frame.size), pointer.point, zoom)) {
    model_.toggleKeptDust(finds_[*picked].key);
  }
}

void DustOverlay::hover(const OverlayPointer& pointer) {
  const auto picked = pick(currentFinds(pointer.frame.size), pointer.point, pointer.frame.zoom);
  const std::optional<Uuid> key = picked ? std::optional(finds_[*picked].key) : std::nullopt;
  if (key == hover_) return;
  hover_ = key;
  repaint();
}

void DustOverlay::hoverEnd() {
  if (!hover_) return;
  hover_.reset();
  repaint();
}
