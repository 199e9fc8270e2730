#include "Preview/SpotOverlay.h"

#include <QApplication>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "Model/AppModel.h"
#include "Preview/MarkGeometry.h"
#include "Services/Preferences.h"
#include "Support/ParallelFor.h"
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

QColor withAlpha(QColor colour, double alpha) {
  colour.setAlphaF(static_cast<float>(alpha));
  return colour;
}

// Device pixels per overlay point under the painter's transform.
double pixelsPerPoint(const QPainter& p) {
  return std::sqrt(std::abs(p.transform().determinant())) * p.device()->devicePixelRatioF();
}

// From q to the segment a–b, squared; a segment of no length is a.
double squaredDistanceToSegment(QPointF q, QPointF a, QPointF b) {
  const QPointF v = b - a;
  const double lengthSquared = QPointF::dotProduct(v, v);
  const double t =
      lengthSquared > 0 ? std::clamp(QPointF::dotProduct(q - a, v) / lengthSquared, 0.0, 1.0) : 0;
  const QPointF d = q - (a + t * v);
  return QPointF::dotProduct(d, d);
}

// The points of a band that change its pixels: a point lying within `tolerance` of the line
// between the points kept around it is left out (Douglas-Peucker). A painted stroke's spots lie a
// fraction of a pixel apart, so its thousands of points draw as a few dozen.
std::vector<QPointF> simplified(const std::vector<QPointF>& points, double tolerance) {
  if (points.size() <= 2) return points;
  std::vector<bool> keep(points.size(), false);
  keep.front() = keep.back() = true;
  std::vector<std::pair<size_t, size_t>> spans{{0, points.size() - 1}};
  while (!spans.empty()) {
    const auto [a, b] = spans.back();
    spans.pop_back();
    double farthest = tolerance * tolerance;
    size_t at = a;
    for (size_t i = a + 1; i < b; ++i) {
      const double d = squaredDistanceToSegment(points[i], points[a], points[b]);
      if (d > farthest) {
        farthest = d;
        at = i;
      }
    }
    if (at == a) continue;
    keep[at] = true;
    spans.emplace_back(a, at);
    spans.emplace_back(at, b);
  }
  std::vector<QPointF> kept;
  for (size_t i = 0; i < points.size(); ++i) {
    if (keep[i]) kept.push_back(points[i]);
  }
  return kept;
}

// Device pixels a drawn line may move: none that shows.
constexpr double pixelTolerance = 0.25;

// The line of a shape as it is drawn on this painter.
QPainterPath drawnLine(const QPainter& p, const std::vector<QPointF>& points) {
  return lineThrough(simplified(points, pixelTolerance / std::max(pixelsPerPoint(p), 1e-9)));
}

// The rings of the repairs: a band widened by a rim on each side, its inside erased, laid on as
// one group so the erasing touches nothing beneath. Every group is painted on one transparent
// scratch image the size of the painter's device (the visible viewport, never the magnified
// picture), kept between paints and cleared where each ring was.
class RingGroups {
 public:
  RingGroups(QPainter& target, QImage& scratch) : target_(target), scratch_(scratch) {}

  void ring(const QPainterPath& line, double radius, double rim, const QColor& colour,
            double opacity) {
    const double reach = radius + rim;
    const QRectF bounds = line.boundingRect().adjusted(-reach, -reach, reach, reach);
    const QPaintDevice* device = target_.device();
    const qreal ratio = device->devicePixelRatioF();
    // The device in the painter's untransformed points: an image counts in its own pixel ratio.
    const qreal logical = device->devType() == QInternal::Image ? ratio : 1;
    const QRectF deviceRect(0, 0, device->width() / logical, device->height() / logical);
    const QRect part = target_.transform().mapRect(bounds).intersected(deviceRect).toAlignedRect();
    if (part.isEmpty()) return;
    const QSize pixelSize = (deviceRect.size() * ratio).toSize();
    if (scratch_.size() != pixelSize || scratch_.devicePixelRatio() != ratio) {
      scratch_ = QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
      scratch_.setDevicePixelRatio(ratio);
      scratch_.fill(Qt::transparent);
    }
    {
      QPainter inner(&scratch_);
      inner.setRenderHints(target_.renderHints());
      inner.setClipRect(part);
      inner.setTransform(target_.transform());
      inner.strokePath(line, roundPen(colour, 2 * reach));
      inner.setCompositionMode(QPainter::CompositionMode_DestinationOut);
      inner.strokePath(line, roundPen(Qt::black, 2 * radius));
    }
    const QRect pixels =
        QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio).toAlignedRect() &
        scratch_.rect();
    target_.save();
    target_.resetTransform();
    target_.setOpacity(target_.opacity() * opacity);
    target_.drawImage(QRectF(part), scratch_, QRectF(pixels));
    target_.restore();
    // Transparent again for the next group.
    const auto rowBytes = static_cast<size_t>(pixels.width()) * sizeof(QRgb);
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
      std::memset(reinterpret_cast<QRgb*>(scratch_.scanLine(y)) + pixels.left(), 0, rowBytes);
    }
  }

 private:
  QPainter& target_;
  QImage& scratch_;
};

// The share of a pixel whose centre lies `d` from a circle's centre that the circle of radius
// `radius` covers, as a one-pixel ramp across its edge.
float coverage(float radius, float d) { return std::clamp(radius - d + 0.5f, 0.0f, 1.0f); }

// A straight colour as 0…255 floats, red, green, blue.
struct Rgb {
  float r, g, b;
  explicit Rgb(const QColor& c)
      : r(static_cast<float>(c.red())),
        g(static_cast<float>(c.green())),
        b(static_cast<float>(c.blue())) {}
};

// Lays `colour` at `alpha` over one premultiplied pixel (alpha, red, green, blue), in floats.
void over(float (&pixel)[4], const Rgb& colour, float alpha) {
  if (!(alpha > 0)) return;
  const float keep = 1 - alpha;
  pixel[0] = alpha * 255 + pixel[0] * keep;
  pixel[1] = alpha * colour.r + pixel[1] * keep;
  pixel[2] = alpha * colour.g + pixel[2] * keep;
  pixel[3] = alpha * colour.b + pixel[3] * keep;
}

// One channel of a premultiplied pixel moved the share `alpha` toward 255.
int towardWhite(int c, float alpha) {
  return c + static_cast<int>(alpha * static_cast<float>(255 - c) + 0.5f);
}

// Lays white at `alpha` over a premultiplied pixel: every channel moves that share toward 255.
QRgb whiteOver(QRgb pixel, float alpha) {
  return qRgba(towardWhite(qRed(pixel), alpha), towardWhite(qGreen(pixel), alpha),
               towardWhite(qBlue(pixel), alpha), towardWhite(qAlpha(pixel), alpha));
}

// The painter's opacity and what it makes of the layers. The inside of a band without highlight
// lays the tint's white at one alpha, the bulk of the pixels written: a table of each channel
// value as whiteOver makes it.
struct Opacity {
  explicit Opacity(float opacity) : opacity(opacity) {
    const float alpha = static_cast<float>(tintOpacity) * opacity;
    for (int c = 0; c < 256; ++c) tinted[static_cast<size_t>(c)] = towardWhite(c, alpha);
  }
  QRgb tint(QRgb pixel) const {
    return qRgba(tinted[qRed(pixel)], tinted[qGreen(pixel)], tinted[qBlue(pixel)],
                 tinted[qAlpha(pixel)]);
  }
  float opacity;
  std::array<int, 256> tinted{};
};

// One shape's highlight, ring and tint: the band of the line through its points widened to
// `inner`, `outer` and the highlight's radius, round at its ends and joins.
struct Band {
  const std::vector<QPointF>& points;
  double inner = 0;
  double outer = 0;
  std::optional<std::pair<double, QColor>> highlight;
};

// The painter's image when bands can be written straight into it: a premultiplied image under a
// transform that only scales evenly and shifts. Null when they cannot.
QImage* rasterTarget(QPainter& p) {
  auto* image = dynamic_cast<QImage*>(p.device());
  const QTransform t = p.transform();
  if (!image || image->format() != QImage::Format_ARGB32_Premultiplied ||
      t.type() > QTransform::TxScale || t.m11() != t.m22() || !(t.m11() > 0)) {
    return nullptr;
  }
  return image;
}

// The pixels of the image the painter may write: all of them, or those of its clip.
QRect writablePixels(const QPainter& p, const QImage& image) {
  QRect area = image.rect();
  if (p.hasClipping()) {
    const double ratio = image.devicePixelRatio();
    const QRectF clip = p.transform().mapRect(p.clipBoundingRect());
    area &= QRectF(clip.topLeft() * ratio, clip.size() * ratio).toAlignedRect();
  }
  return area;
}

// A band in the image's pixels: its line, thinned to the points that change a pixel, its radii
// and the pixels it may reach (empty when none). Made once per paint, then written rows at a time.
struct DeviceBand {
  std::vector<QPointF> device;
  float rt = 0;
  float ro = 0;
  float rh = 0;
  float edge = 0;
  std::optional<QColor> highlight;
  QRect area;
};

DeviceBand deviceBand(const QPainter& p, const QImage& image, QRect writable, const Band& band) {
  const QTransform t = p.transform();
  const double ratio = image.devicePixelRatio();
  const double scale = t.m11() * ratio;
  DeviceBand b;
  b.device.reserve(band.points.size());
  for (const QPointF& point : band.points) b.device.push_back(t.map(point) * ratio);
  b.device = simplified(b.device, pixelTolerance);
  b.rt = static_cast<float>(band.inner * scale);
  b.ro = static_cast<float>(band.outer * scale);
  b.rh = static_cast<float>(band.highlight ? band.highlight->first * scale : 0);
  b.edge = std::max(b.ro, b.rh) + 0.5f;
  if (band.highlight) b.highlight = band.highlight->second;
  double left = b.device.front().x(), right = left, top = b.device.front().y(), bottom = top;
  for (const QPointF& q : b.device) {
    left = std::min(left, q.x());
    right = std::max(right, q.x());
    top = std::min(top, q.y());
    bottom = std::max(bottom, q.y());
  }
  const float edge = b.edge;
  const QRectF reach(QPointF(left - edge, top - edge), QPointF(right + edge, bottom + edge));
  b.area = writable & reach.toAlignedRect();
  return b;
}

// The capsule of one segment: the squared distance of a pixel's centre from it.
struct Segment {
  float ax, ay, vx, vy, inverse;
  explicit Segment(QPointF a, QPointF b)
      : ax(static_cast<float>(a.x())),
        ay(static_cast<float>(a.y())),
        vx(static_cast<float>(b.x() - a.x())),
        vy(static_cast<float>(b.y() - a.y())) {
    const float lengthSquared = vx * vx + vy * vy;
    inverse = lengthSquared > 0 ? 1 / lengthSquared : 0;
  }
};

// What writing a band needs besides the image, kept by one range of rows across its bands.
struct RowScratch {
  std::vector<float> field;
  std::vector<std::pair<int, int>> spans;
};

// Writes rows `top` to `bottom` of the band into the image: a distance field over the pixels the
// band reaches in them (the nearest of its segments, each a capsule), then the three layers laid
// over each pixel in turn. Every pixel's value depends on its own position alone, so any split
// into row ranges writes the same pixels.
void rasterRows(uchar* bits, qsizetype stride, const DeviceBand& band, const Opacity& layers,
                int top, int bottom, RowScratch& scratch) {
  const QRect area(QPoint(band.area.left(), std::max(top, band.area.top())),
                   QPoint(band.area.right(), std::min(bottom, band.area.bottom())));
  if (area.isEmpty()) return;
  const std::vector<QPointF>& device = band.device;
  const float rt = band.rt;
  const float ro = band.ro;
  const float rh = band.rh;
  const float edge = band.edge;
  // A lone spot is one segment and needs no field.
  const bool single = device.size() <= 2;
  const Segment first(device.front(), device.size() > 1 ? device[1] : device.front());
  const int w = area.width();
  // Per row, the columns some capsule reached; the rest of the row stays untouched.
  std::vector<std::pair<int, int>>& spans = scratch.spans;
  spans.assign(static_cast<size_t>(area.height()), {area.right() + 1, area.left() - 1});
  if (single) {
    // The rows of a lone spot's circle: from one edge to the other (its segment is a hundredth
    // of a point long).
    for (int y = area.top(); y <= area.bottom(); ++y) {
      const float dy = static_cast<float>(y) + 0.5f - first.ay;
      const float across = edge * edge - dy * dy;
      auto& span = spans[static_cast<size_t>(y - area.top())];
      if (!(across > 0)) continue;
      const float half = std::sqrt(across);
      const float left = std::min(first.ax, first.ax + first.vx) - half;
      const float right = std::max(first.ax, first.ax + first.vx) + half;
      span = {std::max(area.left(), static_cast<int>(std::floor(left - 0.5f))),
              std::min(area.right(), static_cast<int>(std::ceil(right - 0.5f)))};
    }
  }
  std::vector<float>& field = scratch.field;
  if (!single) {
    field.assign(static_cast<size_t>(w) * static_cast<size_t>(area.height()),
                 std::numeric_limits<float>::infinity());
    for (size_t i = 0; i + 1 < device.size(); ++i) {
      const QPointF a = device[i];
      const QPointF b = device[i + 1];
      const QRect box =
          QRectF(QPointF(std::min(a.x(), b.x()) - edge, std::min(a.y(), b.y()) - edge),
                 QPointF(std::max(a.x(), b.x()) + edge, std::max(a.y(), b.y()) + edge))
              .toAlignedRect() &
          area;
      const Segment segment(a, b);
      for (int y = box.top(); y <= box.bottom(); ++y) {
        float* __restrict__ row = field.data() +
                                  static_cast<size_t>(y - area.top()) * static_cast<size_t>(w) +
                                  (box.left() - area.left());
        const float dy = static_cast<float>(y) + 0.5f - segment.ay;
        const float dx0 = static_cast<float>(box.left()) + 0.5f - segment.ax;
        const float vx = segment.vx;
        const float vy = segment.vy;
        const float inverse = segment.inverse;
        const int count = box.width();
        // Branch-free, so the compiler runs it several pixels at a time.
        for (int i = 0; i < count; ++i) {
          const float dx = dx0 + static_cast<float>(i);
          float along = (dx * vx + dy * vy) * inverse;
          along = along < 0.0f ? 0.0f : along;
          along = along > 1.0f ? 1.0f : along;
          const float ex = dx - along * vx;
          const float ey = dy - along * vy;
          const float squared = ex * ex + ey * ey;
          row[i] = row[i] < squared ? row[i] : squared;
        }
        auto& span = spans[static_cast<size_t>(y - area.top())];
        span = {std::min(span.first, box.left()), std::max(span.second, box.right())};
      }
    }
  }

  const float opacity = layers.opacity;
  const Rgb white(Qt::white);
  const Rgb lit(band.highlight ? *band.highlight : QColor(Qt::white));
  const auto litAlpha = static_cast<float>(band.highlight ? band.highlight->alphaF() : 0) * opacity;
  const auto ringAlpha = static_cast<float>(ringOpacity) * opacity;
  const auto tintAlpha = static_cast<float>(tintOpacity) * opacity;
  const float edgeSquared = edge * edge;
  // Inside this every layer covers the pixel whole and the ring none of it.
  const float solid = std::max(rt - 0.5f, 0.0f);
  const float solidSquared = solid * solid;
  const auto channel = [](float v) { return static_cast<int>(std::min(v, 255.0f) + 0.5f); };
  // A lone spot's distances are worked out a row at a time into the field's first row.
  if (single && field.size() < static_cast<size_t>(w)) field.resize(static_cast<size_t>(w));
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const float dy = static_cast<float>(y) + 0.5f - first.ay;
    auto* line = reinterpret_cast<QRgb*>(bits + static_cast<qsizetype>(y) * stride);
    const auto [from, to] = spans[static_cast<size_t>(y - area.top())];
    const float* row =
        field.data() + (single ? 0 : static_cast<size_t>(y - area.top()) * static_cast<size_t>(w));
    if (single) {
      // Branch-free, so the compiler runs it several pixels at a time.
      float* __restrict__ out = field.data() + (from - area.left());
      const float ax = first.ax;
      const float vx = first.vx;
      const float vy = first.vy;
      const float inverse = first.inverse;
      const int count = to - from + 1;
      for (int i = 0; i < count; ++i) {
        const float dx = static_cast<float>(from + i) + 0.5f - ax;
        float along = (dx * vx + dy * vy) * inverse;
        along = along < 0.0f ? 0.0f : along;
        along = along > 1.0f ? 1.0f : along;
        const float ex = dx - along * vx;
        const float ey = dy - along * vy;
        out[i] = ex * ex + ey * ey;
      }
    }
    for (int x = from; x <= to; ++x) {
      const float squared = row[x - area.left()];
      if (!(squared < edgeSquared)) continue;
      if (!band.highlight) {
        // White rings and tints only: the two layers are one white layer of their joint alpha.
        if (squared < solidSquared) {
          line[x] = layers.tint(line[x]);
          continue;
        }
        const float d = std::sqrt(squared);
        const float tint = coverage(rt, d);
        const float ring = ringAlpha * (coverage(ro, d) - tint);
        const float alpha = 1 - (1 - ring) * (1 - tintAlpha * tint);
        if (alpha > 0) line[x] = whiteOver(line[x], alpha);
        continue;
      }
      const QRgb old = line[x];
      float pixel[4] = {static_cast<float>(qAlpha(old)), static_cast<float>(qRed(old)),
                        static_cast<float>(qGreen(old)), static_cast<float>(qBlue(old))};
      const float d = std::sqrt(squared);
      const float tint = coverage(rt, d);
      over(pixel, lit, litAlpha * coverage(rh, d));
      over(pixel, white, ringAlpha * (coverage(ro, d) - tint));
      over(pixel, white, tintAlpha * tint);
      line[x] = qRgba(channel(pixel[1]), channel(pixel[2]), channel(pixel[3]), channel(pixel[0]));
    }
  }
}

// Writes the bands straight into the image, in list order so a later one covers an earlier one.
// Hundreds of clicked spots and a stroke of thousands cost a few milliseconds this way, where the
// painter's antialiased fills and wide strokes cost tens of microseconds per spot and
// milliseconds per stroke. The rows are split among the threads: each range of rows is written by
// one thread alone, every band in turn, so each pixel sees the same layers in the same order.
void rasterBands(QImage& image, const std::vector<DeviceBand>& bands, float opacity) {
  if (bands.empty()) return;
  const Opacity layers(opacity);
  // Detaches here, once; scanLine() on several threads would each touch the image's data.
  uchar* bits = image.bits();
  const qsizetype stride = image.bytesPerLine();
  parallelForRows(image.height(), [&](int64_t begin, int64_t end) {
    RowScratch scratch;
    for (const DeviceBand& band : bands) {
      rasterRows(bits, stride, band, layers, static_cast<int>(begin), static_cast<int>(end - 1),
                 scratch);
    }
  });
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
      repairs.push_back(Repair{HealedShape{id, {}, 0}, spot.group.has_value()});
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
  return MarkGeometry::distanceToPolyline(p, points);
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
  const double rim = 1.25 / z;
  const auto highlightOf = [&](const HealedShape& shape) {
    std::optional<std::pair<double, QColor>> highlight;
    if (layerKey_.selecting) {
      if (shape.id == layerKey_.picked) {
        highlight = std::pair(shape.radius + 3 / z, withAlpha(accent, pickedOpacity));
      } else if (shape.id == layerKey_.hovered) {
        highlight = std::pair(shape.radius + 3 / z, withAlpha(accent, hoveredOpacity));
      }
    }
    return highlight;
  };
  if (QImage* image = rasterTarget(p)) {
    const QRect writable = writablePixels(p, *image);
    std::vector<DeviceBand> bands;
    bands.reserve(shapes_.size());
    for (const HealedShape& shape : shapes_) {
      DeviceBand band =
          deviceBand(p, *image, writable,
                     Band{shape.points, shape.radius, shape.radius + rim, highlightOf(shape)});
      if (!band.area.isEmpty()) bands.push_back(std::move(band));
    }
    rasterBands(*image, bands, static_cast<float>(p.opacity()));
    return;
  }
  RingGroups groups(p, ringScratch_);
  for (const HealedShape& shape : shapes_) {
    const auto highlight = highlightOf(shape);
    const QPainterPath line = drawnLine(p, shape.points);
    const double width = 2 * shape.radius;
    if (highlight) p.strokePath(line, roundPen(highlight->second, 2 * highlight->first));
    groups.ring(line, shape.radius, rim, Qt::white, ringOpacity);
    p.strokePath(line, roundPen(withAlpha(Qt::white, tintOpacity), width));
  }
}

void SpotOverlay::paintLive(QPainter& painter, QSizeF size, double z) const {
  const double r = brushRadius(size);
  if (stroke_.size() >= 2) {
    RingGroups(painter, ringScratch_)
        .ring(drawnLine(painter, stroke_), r, 0.75 / z, NamedColours::colour(NamedColour::yellow),
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
  const std::optional<QPointF> before = hover_;
  const std::optional<Uuid> shapeBefore = hoverShape_;
  hover_ = pointer.point;
  hoverFrame_ = pointer.frame;
  hoverShape_.reset();
  if (model_.spotSelecting()) {
    const std::vector<HealedShape>& all = currentShapes(pointer.frame.size);
    if (const auto hit = shapeAt(all, *hover_)) hoverShape_ = all[*hit].id;
    // Picking draws no brush circle: only another hovered repair changes the picture.
    if (hoverShape_ != shapeBefore) repaint();
    return;
  }
  repaintBrush(before);
  repaintBrush(hover_);
}

void SpotOverlay::hoverEnd() {
  const std::optional<QPointF> before = hover_;
  const bool highlighted = hoverShape_.has_value();
  hover_.reset();
  hoverShape_.reset();
  if (highlighted) {
    repaint();
  } else if (!model_.spotSelecting()) {
    repaintBrush(before);
  }
}

// The brush circle's square at `at`, its pen included.
void SpotOverlay::repaintBrush(const std::optional<QPointF>& at) const {
  if (!at) return;
  const double reach = brushRadius(hoverFrame_.size) + 2 / std::max(hoverFrame_.zoom, 0.01);
  repaintArea(QRectF(*at - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)));
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
