#include "Inspector/ToneCurveGraph.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>

#include "Model/AppModel.h"
#include "ViewKit/NamedColours.h"

namespace {

// Room around the plot for the handles of points on its edges.
constexpr double margin = 6;
constexpr double handleSide = 9;
constexpr int samples = 120;

using CurveGestures::Points;

QColor channelColour(int channel) {
  switch (channel) {
    case 1:
      return NamedColours::colour(NamedColour::red);
    case 2:
      return NamedColours::colour(NamedColour::green);
    case 3:
      return NamedColours::colour(NamedColour::blue);
    default:
      return Qt::white;
  }
}

QColor withOpacity(QColor colour, double opacity) {
  colour.setAlphaF(static_cast<float>(opacity));
  return colour;
}

std::vector<std::vector<double>> stored(const Points& points) {
  std::vector<std::vector<double>> list;
  list.reserve(points.size());
  for (const auto& p : points) list.push_back({p[0], p[1]});
  return list;
}

Points sortedByX(Points points) {
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a[0] < b[0]; });
  return points;
}

// The histogram backdrop's bin values for the channel: the brightest of the three for the
// master curve.
std::array<float, 256> backdrop(const Histogram& histogram, int channel) {
  switch (channel) {
    case 1:
      return histogram.r;
    case 2:
      return histogram.g;
    case 3:
      return histogram.b;
    default: {
      std::array<float, 256> brightest{};
      for (size_t i = 0; i < brightest.size(); ++i)
        brightest[i] = std::max({histogram.r[i], histogram.g[i], histogram.b[i]});
      return brightest;
    }
  }
}

}  // namespace

ToneCurveGraph::ToneCurveGraph(AppModel& model, std::function<CurveEditorState()> editor,
                               QWidget* parent)
    : QWidget(parent), model_(model), editor_(std::move(editor)) {
  setObjectName("graph");
  QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  policy.setHeightForWidth(true);
  setSizePolicy(policy);
  setMinimumSize(120, 120);
  connect(&model_, &AppModel::histogramChanged, this, [this] {
    backdrop_ = QImage();
    update();
  });
}

// The backdrop changes with the histogram (once a render), not with the curve: drawn once into
// an image of the plot's size and reused by every paint of a drag.
const QImage& ToneCurveGraph::backdropImage(int channel, QSizeF plotSize) {
  const qreal ratio = devicePixelRatioF();
  const QSize pixels = (plotSize * ratio).toSize();
  if (!backdrop_.isNull() && backdropChannel_ == channel && backdrop_.size() == pixels)
    return backdrop_;
  backdrop_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
  backdrop_.setDevicePixelRatio(ratio);
  backdrop_.fill(Qt::transparent);
  backdropChannel_ = channel;
  const double w = plotSize.width();
  const double h = plotSize.height();
  const std::array<float, 256> values = backdrop(*model_.histogram(), channel);
  QPainterPath shape(QPointF(0, h));
  for (size_t i = 0; i < values.size(); ++i)
    shape.lineTo(w * static_cast<double>(i) / 255, h * (1 - 0.9 * values[i]));
  shape.lineTo(w, h);
  shape.closeSubpath();
  QPainter painter(&backdrop_);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillPath(shape, withOpacity(channelColour(channel), 0.13));
  return backdrop_;
}

Points ToneCurveGraph::points() const {
  const auto index = model_.selectedIndex();
  if (!index) return ToneCurve{}.sortedPoints();
  return (model_.items()[*index].settings.curves.*editor_().curve()).sortedPoints();
}

QRectF ToneCurveGraph::plot() const {
  const double side = std::max(0.0, std::min(width(), height()) - 2 * margin);
  return {(width() - side) / 2, (height() - side) / 2, side, side};
}

QPointF ToneCurveGraph::position(CurveGestures::Point point) const {
  const QRectF r = plot();
  return {r.left() + r.width() * point[0], r.top() + r.height() * (1 - point[1])};
}

CurveGestures::Location ToneCurveGraph::local(const QPointF& widgetPosition) const {
  const QPointF p = widgetPosition - plot().topLeft();
  return {p.x(), p.y()};
}

void ToneCurveGraph::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF r = plot();
  const double w = r.width();
  const double h = r.height();
  painter.translate(r.topLeft());
  const CurveEditorState editor = editor_();
  const QColor colour = channelColour(editor.channel);

  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.35f));
  painter.drawRoundedRect(QRectF(0, 0, w, h), 4, 4);

  painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.08f), 1));
  for (const double f : {0.25, 0.5, 0.75}) {
    painter.drawLine(QPointF(w * f, 0), QPointF(w * f, h));
    painter.drawLine(QPointF(0, h * f), QPointF(w, h * f));
  }

  if (model_.histogram()) painter.drawImage(QRectF(0, 0, w, h), backdropImage(editor.channel, r.size()));

  QPen dashed(QColor::fromRgbF(1, 1, 1, 0.15f), 1);
  dashed.setDashPattern({3, 3});
  painter.setPen(dashed);
  painter.drawLine(QPointF(0, h), QPointF(w, 0));

  const auto index = model_.selectedIndex();
  QPolygonF curve(samples + 1);
  if (editor.channel == 0 || editor.curve() == &ToneCurves::rgb) {
    // One master table a paint; the region bumps show in it.
    std::optional<ToneCurve::LookupTable> master;
    if (index) master = model_.items()[*index].settings.curves.masterLookupTable();
    for (int i = 0; i <= samples; ++i) {
      const double t = static_cast<double>(i) / samples;
      const double y = master ? (*master)[static_cast<size_t>(t * 1023 + 0.5)] : t;
      curve[i] = {w * t, h * (1 - y)};
    }
  } else {
    const ToneCurve shown =
        index ? model_.items()[*index].settings.curves.*editor.curve() : ToneCurve{};
    for (int i = 0; i <= samples; ++i) {
      const double t = static_cast<double>(i) / samples;
      curve[i] = {w * t, h * (1 - shown.value(t))};
    }
  }
  painter.setPen(QPen(withOpacity(colour, 0.9), 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawPolyline(curve);

  const Points handles = points();
  painter.setPen(QPen(colour, 1.5));
  for (size_t k = 0; k < handles.size(); ++k) {
    painter.setBrush(dragIndex_ == k ? colour : QColor(Qt::black));
    const QPointF centre(w * handles[k][0], h * (1 - handles[k][1]));
    painter.drawEllipse(centre, handleSide / 2, handleSide / 2);
  }
}

void ToneCurveGraph::begin(const QPointF& widgetPosition) {
  dragging_ = true;
  start_ = local(widgetPosition);
  scan_ = model_.selection();
  channel_ = editor_().channel;
  stored_.reset();
  dragIndex_.reset();
  tap_.reset();
}

void ToneCurveGraph::change(const QPointF& widgetPosition) {
  if (!dragging_) return;
  const CurveEditorState editor = editor_();
  const Points current = points();
  // The list is re-read at every event: the drag goes on only over the curve it left.
  const bool same = scan_ && model_.selection() == scan_ && editor.channel == channel_ &&
                    (!stored_ || *stored_ == current);
  const QRectF r = plot();
  const auto step = same ? CurveGestures::drag(current, dragIndex_, start_, local(widgetPosition),
                                               r.width(), r.height())
                         : std::nullopt;
  if (!step) {
    end();
    return;
  }
  dragIndex_ = step->index;
  stored_ = sortedByX(step->points);
  model_.setCurvePoints(editor, ToneCurve{stored(step->points)});
  update();
}

void ToneCurveGraph::end() {
  dragging_ = false;
  dragIndex_.reset();
  stored_.reset();
  update();
}

void ToneCurveGraph::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  event->accept();
  begin(event->position());
  change(event->position());
}

void ToneCurveGraph::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  event->accept();
  change(event->position());
}

// The second click of a double-click arrives as this event in place of a press: it drags as a
// press does, and the removal waits for its release, after the drag has ended.
void ToneCurveGraph::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  event->accept();
  begin(event->position());
  tap_ = local(event->position());
  change(event->position());
}

void ToneCurveGraph::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  event->accept();
  end();
  const auto tap = std::exchange(tap_, std::nullopt);
  if (!tap || !model_.selectedIndex()) return;
  const QRectF r = plot();
  if (const auto left = CurveGestures::removal(points(), *tap, r.width(), r.height()))
    model_.removeCurvePoint(editor_(), stored(*left));
}
