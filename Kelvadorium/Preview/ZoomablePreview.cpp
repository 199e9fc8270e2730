#include "Preview/ZoomablePreview.h"

#include <QGuiApplication>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QRadialGradient>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "Model/AppModel.h"
#include "Model/ZoomGeometry.h"
#include "Preview/CropOverlay.h"
#include "Preview/DodgeBurnOverlay.h"
#include "Preview/DustOverlay.h"
#include "Preview/PreviewCalls.h"
#include "Preview/RedEyeOverlay.h"
#include "Preview/SplitDivider.h"
#include "Preview/SpotOverlay.h"
#include "Preview/WBPickOverlay.h"
#include "Preview/ZoomEventCatcher.h"
#include "Rendering/PreviewImage.h"

namespace {

// A drag pans once it has gone this far from its press.
constexpr double panThreshold = 2;
// A pinch zooms once its magnifications add up to this.
constexpr double pinchThreshold = 0.01;
// The picture's shadow at the fitted zoom: black at opacity 0.5, 12 pt of blur, 4 pt down.
constexpr double shadowOpacity = 0.5;
constexpr double shadowRadius = 12;
constexpr double shadowDrop = 4;

// The shadow's opacity from the outline outwards, a blur of about half its radius.
QGradientStops shadowStops() {
  const double edge = shadowOpacity / 2;
  return {{0.0, QColor::fromRgbF(0, 0, 0, edge)},
          {0.25, QColor::fromRgbF(0, 0, 0, edge * 0.6)},
          {0.5, QColor::fromRgbF(0, 0, 0, edge * 0.3)},
          {0.75, QColor::fromRgbF(0, 0, 0, edge * 0.12)},
          {1.0, QColor::fromRgbF(0, 0, 0, 0)}};
}

}  // namespace

ZoomablePreview::ZoomablePreview(AppModel& model, const PreviewCalls& calls, QWidget* parent)
    : QWidget(parent),
      model_(model),
      calls_(calls),
      pixmaps_(this, [this] { update(); }),
      catcher_(new ZoomEventCatcher(*this)) {
  setObjectName("ZoomablePreview");
  makeSpotOverlay = [](AppModel& shown) { return std::make_unique<SpotOverlay>(shown); };
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  catcher_->onScroll = [this](const ScrollZoom::Scroll& scroll) { return onScroll(scroll); };
  catcher_->onBracket = [this](bool larger) { return model_.resizeBrush(larger); };
  catcher_->onBrowseKey = [this](BrowseKey key, bool shift) {
    return model_.handleBrowseKey(key, shift);
  };
  catcher_->onSpace = [this](bool down) { onSpace(down); };
  for (auto changed : {&AppModel::previewChanged,
                       &AppModel::beforePreviewChanged,
                       &AppModel::detailPreviewChanged,
                       &AppModel::compareModeChanged,
                       &AppModel::splitPositionChanged,
                       &AppModel::zoomChanged,
                       &AppModel::panChanged,
                       &AppModel::liveRotationChanged,
                       &AppModel::cropModeChanged,
                       &AppModel::wbPickModeChanged,
                       &AppModel::dodgeModeChanged,
                       &AppModel::redEyeModeChanged,
                       &AppModel::spotModeChanged,
                       &AppModel::previewIsUncroppedChanged,
                       &AppModel::dustCandidatesChanged,
                       &AppModel::itemsChanged,
                       &AppModel::selectionChanged,
                       &AppModel::showNegativeChanged,
                       &AppModel::analysisChanged,
                       &AppModel::fullPixelSizeChanged,
                       &AppModel::previewIsFastChanged,
                       &AppModel::showClippingChanged,
                       &AppModel::histogramChanged}) {
    connect(&model_, changed, this, &ZoomablePreview::refresh);
  }
  refresh();
}

ZoomablePreview::~ZoomablePreview() {
  endGestures();
  catcher_->setActive(false);
}

std::shared_ptr<const PreviewImage> ZoomablePreview::picture() const {
  if (!model_.preview()) return nullptr;
  if (model_.compareMode() == CompareMode::before) {
    if (auto before = model_.currentBeforePreview()) return before;
  }
  if (auto detail = model_.currentDetailPreview()) return detail;
  return model_.preview();
}

QSizeF ZoomablePreview::fittedSize() const {
  const auto& shown = model_.preview();
  if (!shown) return {};
  const QSize pixels(static_cast<int>(std::min<int64_t>(shown->width(), INT32_MAX)),
                     static_cast<int>(std::min<int64_t>(shown->height(), INT32_MAX)));
  return PreviewFit::fittedSize(QSizeF(size()), pixels, model_.cropMode());
}

PreviewFit::Placement ZoomablePreview::placement() const {
  return {QSizeF(size()), fittedSize(), std::max(model_.zoom(), 0.01), model_.pan(),
          PreviewFit::centringOffset(model_.cropMode())};
}

QPointF ZoomablePreview::overlayPoint(QPointF p) const {
  return PreviewFit::overlayPoint(placement(), p);
}

QPointF ZoomablePreview::widgetPoint(QPointF p) const {
  return PreviewFit::areaPoint(placement(), p);
}

double ZoomablePreview::backingScale() const {
  const QScreen* shown = QGuiApplication::primaryScreen() ? screen() : nullptr;
  return PreviewFit::backingScale(shown ? std::optional(shown->devicePixelRatio()) : std::nullopt);
}

void ZoomablePreview::refresh() {
  flags_ = PreviewLayers::flagsOf(model_);
  const OverlayKind kind = PreviewLayers::toolOverlay(flags_);
  if (kind != overlayKind_) {
    if (pressed_ == tool_.get()) pressed_ = nullptr;
    if (hovered_ == tool_.get()) hovered_ = nullptr;
    overlayKind_ = kind;
    retire(std::move(tool_));
    if (kind == OverlayKind::wbPick) tool_ = std::make_unique<WBPickOverlay>(calls_);
    if (kind == OverlayKind::crop) tool_ = makeCropOverlay();
    if (kind == OverlayKind::dust) tool_ = std::make_unique<DustOverlay>(model_);
    if (kind == OverlayKind::dodgeBurn) tool_ = std::make_unique<DodgeBurnOverlay>(model_);
    if (kind == OverlayKind::redEye) tool_ = std::make_unique<RedEyeOverlay>(model_);
    if (kind == OverlayKind::spot && makeSpotOverlay) tool_ = makeSpotOverlay(model_);
    if (tool_) {
      tool_->setRepaint([this] { update(); });
      tool_->setRepaintArea([this](const QRectF& area) {
        // Two pixels more each way for antialiased edges.
        const QRectF mapped(widgetPoint(area.topLeft()), widgetPoint(area.bottomRight()));
        update(mapped.normalized().toAlignedRect().adjusted(-2, -2, 2, 2));
      });
    }
  }
  if (auto* crop = dynamic_cast<CropOverlay*>(tool_.get())) giveCropArguments(*crop);
  beforeHalf_ = PreviewLayers::beforeHalf(flags_);
  clipMask_ = PreviewLayers::clipMask(flags_);
  const bool divider = PreviewLayers::divider(flags_);
  if (divider != bool(divider_)) {
    if (pressed_ == divider_.get()) pressed_ = nullptr;
    if (hovered_ == divider_.get()) hovered_ = nullptr;
    retire(std::move(divider_));
    if (divider) divider_ = std::make_unique<SplitDivider>(model_, calls_);
  }
  if (!target() && cursors_.empty()) unsetCursor();
  pixmaps_.keepOnly(
      {model_.preview().get(), model_.beforePreview().get(), model_.detailPreview().get()});
  publishGeometry();
  updateDetailWish();
  update();
}

void ZoomablePreview::publishGeometry() {
  const QSizeF fitted = fittedSize();
  // A picture without pixels, or no room at all: nothing to tell.
  if (fitted.isEmpty() || size().isEmpty()) return;
  const Published now{QSizeF(size()), fitted, model_.fullPixelSize(), backingScale()};
  if (published_ == now) return;
  published_ = now;
  model_.reportGeometry(now.area, now.fitted, now.scale);
  emit geometryReported();
}

void ZoomablePreview::updateDetailWish() {
  const auto& shown = model_.preview();
  const QSizeF fitted = fittedSize();
  if (!isVisible() || !shown || fitted.isEmpty()) return;
  const bool wish =
      PreviewFit::detailWish(static_cast<double>(shown->width()), model_.previewIsFast(),
                             fitted.width(), model_.zoom(), backingScale());
  if (wish_ == wish) return;
  wish_ = wish;
  model_.setWantsDetail(wish);
}

bool ZoomablePreview::panMode() const {
  return PreviewFit::panMode(spaceHeld_, model_.zoom(), PreviewLayers::anyToolMode(flags_));
}

std::unique_ptr<PreviewOverlay> ZoomablePreview::makeCropOverlay() {
  auto crop = std::make_unique<CropOverlay>();
  crop->onCommit = [this](const NormRect& r) { calls_.setCropRect(r.x, r.y, r.w, r.h); };
  crop->onRotate = [this](double angle) { calls_.setStraightenAngle(angle); };
  crop->onRotateEnd = [this] { calls_.endLiveRotation(); };
  return crop;
}

// The crop in effect, the ratio of the selected scan's aspect and the angle shown, anew after
// every model change.
void ZoomablePreview::giveCropArguments(CropOverlay& crop) const {
  crop.rect = model_.effectiveCrop();
  const auto index = model_.selectedIndex();
  crop.ratio = index ? ratio(model_.items()[*index].settings.cropAspect) : std::nullopt;
  crop.currentAngle = model_.straightenAngle();
}

void ZoomablePreview::retire(std::unique_ptr<PreviewOverlay> overlay) {
  if (!overlay) return;
  retired_.push_back(std::move(overlay));
  QMetaObject::invokeMethod(
      this, [this] { retired_.clear(); }, Qt::QueuedConnection);
}

PreviewOverlay* ZoomablePreview::target() const { return tool_ ? tool_.get() : divider_.get(); }

// --- Drawing.

QColor ZoomablePreview::backdrop() { return QColor::fromRgbF(0.13f, 0.13f, 0.13f); }

void ZoomablePreview::paintEvent(QPaintEvent* event) {
  QPainter onto(this);
  const auto shown = picture();
  const QSizeF fitted = fittedSize();
  if (!shown || fitted.isEmpty()) {
    onto.fillRect(event->rect(), backdrop());
    return;
  }
  const double zoom = std::max(model_.zoom(), 0.01);
  const QRectF frame(widgetPoint(QPointF(0, 0)), fitted * zoom);
  const QRectF visible = QRectF(event->rect()).intersected(QRectF(rect()));
  frame_.paint(onto, size(), event->rect(), backdrop(),
               [&](QPainter& painter) { paintFrame(painter, shown, frame, visible); });
}

void ZoomablePreview::paintFrame(QPainter& painter,
                                 const std::shared_ptr<const PreviewImage>& shown,
                                 const QRectF& frame, const QRectF& visible) {
  const QSizeF fitted = fittedSize();
  const double zoom = std::max(model_.zoom(), 0.01);
  double turn = model_.liveRotation();
  if (!std::isfinite(turn)) turn = 0;
  if (zoom <= ZoomGeometry::fittedZoom) {
    painter.save();
    // The shadow follows the turning outline.
    painter.translate(frame.center());
    painter.rotate(turn);
    drawShadow(painter, frame.translated(-frame.center()));
    painter.restore();
  }
  // Interpolated at every zoom: smooth sampling from the nearest reduced copy.
  pixmaps_.draw(painter, shown, frame, visible, turn, true);

  if (beforeHalf_) {
    const double split = std::clamp(model_.splitPosition(), 0.0, 1.0);
    const QRectF half(frame.topLeft(), QSizeF(frame.width() * split, frame.height()));
    painter.save();
    painter.setClipRect(half);
    pixmaps_.draw(painter, model_.currentBeforePreview(), frame, visible.intersected(half));
    painter.restore();
  }
  if (clipMask_ && model_.histogram()) {
    PicturePixmaps::drawBlocks(painter, model_.histogram()->clipMask, frame, visible);
  }

  // The overlays draw upright in the fitted picture's points, magnified and shifted with it.
  const OverlayFrame overlayFrame{fitted, zoom};
  painter.translate(frame.topLeft());
  painter.scale(zoom, zoom);
  for (PreviewOverlay* overlay : {divider_.get(), tool_.get()}) {
    if (!overlay) continue;
    painter.save();
    overlay->paint(painter, overlayFrame);
    painter.restore();
  }
}

// Soft bands around the picture's outline moved 4 pt down; the picture covers the rest.
void ZoomablePreview::drawShadow(QPainter& painter, const QRectF& frame) const {
  const QRectF box = frame.translated(0, shadowDrop);
  const double r = shadowRadius;
  const QGradientStops stops = shadowStops();
  painter.setPen(Qt::NoPen);
  auto band = [&](const QRectF& area, QPointF from, QPointF to) {
    QLinearGradient fade(from, to);
    fade.setStops(stops);
    painter.fillRect(area, fade);
  };
  band(QRectF(box.left(), box.top() - r, box.width(), r), {0, box.top()}, {0, box.top() - r});
  band(QRectF(box.left(), box.bottom(), box.width(), r), {0, box.bottom()}, {0, box.bottom() + r});
  band(QRectF(box.left() - r, box.top(), r, box.height()), {box.left(), 0}, {box.left() - r, 0});
  band(QRectF(box.right(), box.top(), r, box.height()), {box.right(), 0}, {box.right() + r, 0});
  for (QPointF corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()}) {
    QRadialGradient fade(corner, r);
    fade.setStops(stops);
    const double dx = corner.x() == box.left() ? -r : 0;
    const double dy = corner.y() == box.top() ? -r : 0;
    painter.fillRect(QRectF(corner.x() + dx, corner.y() + dy, r, r), fade);
  }
  // Inside the dropped outline, below the picture.
  painter.fillRect(QRectF(box.left(), frame.bottom(), box.width(), shadowDrop),
                   QColor::fromRgbF(0, 0, 0, shadowOpacity / 2));
}

// --- Events.

bool ZoomablePreview::event(QEvent* event) {
  if (event->type() == QEvent::NativeGesture) return pinch(event);
  if (event->type() == QEvent::ToolTip) return showToolTip(event);
  // The window lost the keyboard: the space's release and the mouse's will go elsewhere.
  if (event->type() == QEvent::WindowDeactivate) endGestures();
  return QWidget::event(event);
}

void ZoomablePreview::resizeEvent(QResizeEvent*) {
  publishGeometry();
  updateDetailWish();
}

void ZoomablePreview::showEvent(QShowEvent*) {
  catcher_->setActive(true);
  publishGeometry();
  wish_.reset();  // on screen again: the wish is told anew
  updateDetailWish();
}

void ZoomablePreview::hideEvent(QHideEvent*) {
  endGestures();
  catcher_->setActive(false);
}

OverlayPointer ZoomablePreview::pointerOf(const QMouseEvent& event) const {
  return {overlayPoint(event.position()), event.buttons(), event.modifiers(),
          OverlayFrame{fittedSize(), std::max(model_.zoom(), 0.01)}};
}

bool ZoomablePreview::insidePicture(QPointF p) const {
  const QSizeF fitted = fittedSize();
  return !fitted.isEmpty() && p.x() >= 0 && p.y() >= 0 && p.x() <= fitted.width() &&
         p.y() <= fitted.height();
}

void ZoomablePreview::showCursorOf(const PreviewOverlay* overlay) {
  if (!cursors_.empty()) {
    setCursor(cursors_.back());
  } else if (overlay) {
    setCursor(overlay->cursor());
  } else {
    unsetCursor();
  }
}

void ZoomablePreview::pushCursor(Qt::CursorShape shape) {
  cursors_.push_back(shape);
  setCursor(shape);
}

void ZoomablePreview::popCursor() {
  if (!cursors_.empty()) cursors_.pop_back();
  showCursorOf(hovered_);
}

void ZoomablePreview::onSpace(bool down) {
  if (down == spaceHeld_) return;
  spaceHeld_ = down;
  if (down) {
    // While space is held the overlays receive nothing.
    if (!pressed_) endHover();
    pushCursor(Qt::OpenHandCursor);
  } else {
    popCursor();
  }
}

bool ZoomablePreview::onScroll(const ScrollZoom::Scroll& scroll) {
  if (!picture() || fittedSize().isEmpty()) return false;
  const ScrollZoom::Outcome outcome = ScrollZoom::decide(scroll, model_.zoom(), QSizeF(size()));
  switch (outcome.kind) {
    case ScrollZoom::Outcome::Kind::zoom:
      model_.setZoom(model_.zoom() * outcome.factor, outcome.anchor.x(), outcome.anchor.y());
      return true;
    case ScrollZoom::Outcome::Kind::pan: {
      const QSizeF pan = model_.pan() + outcome.panBy;
      model_.setPan(model_.clampedPan(pan));
      return true;
    }
    case ScrollZoom::Outcome::Kind::pass:
      return false;
  }
  return false;
}

bool ZoomablePreview::pinch(QEvent* event) {
  const auto* gesture = static_cast<QNativeGestureEvent*>(event);
  switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
      pinchStart_.reset();
      return true;
    case Qt::ZoomNativeGesture: {
      if (!pinchStart_) {
        pinchStart_ = model_.zoom();
        pinchSum_ = 0;
        pinchMoving_ = false;
      }
      const double step = gesture->value();
      if (std::isfinite(step)) pinchSum_ += step;
      if (!pinchMoving_ && std::abs(pinchSum_) < pinchThreshold) return true;
      pinchMoving_ = true;
      model_.setZoom(ScrollZoom::pinchZoom(*pinchStart_, pinchSum_), 0, 0);
      return true;
    }
    case Qt::EndNativeGesture:
      pinchStart_.reset();
      return true;
    default:
      return QWidget::event(event);
  }
}

void ZoomablePreview::mousePressEvent(QMouseEvent* event) {
  if (panPress_) return;
  if (panMode() && picture()) {
    // Anywhere in the area, the margins too. It pans once it moves; a click that never moves
    // still reaches the overlay at its release, unless space is held.
    panPress_ = event->position();
    panPressPointer_ = pointerOf(*event);
    return;
  }
  PreviewOverlay* overlay = target();
  if (pressed_ || !overlay || !picture()) return;
  const OverlayPointer pointer = pointerOf(*event);
  if (!insidePicture(pointer.point)) return;
  pressed_ = overlay;
  overlay->press(pointer);
  showCursorOf(overlay);
}

// A double click is the second press of two.
void ZoomablePreview::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void ZoomablePreview::mouseMoveEvent(QMouseEvent* event) {
  if (panPress_) {
    const QPointF moved = event->position() - *panPress_;
    if (!panStart_ && std::hypot(moved.x(), moved.y()) < panThreshold) return;
    if (!panStart_) {
      panStart_ = model_.pan();
      pushCursor(Qt::ClosedHandCursor);
    }
    model_.setPan(model_.clampedPan(*panStart_ + QSizeF(moved.x(), moved.y())));
    return;
  }
  const OverlayPointer pointer = pointerOf(*event);
  if (pressed_) {
    pressed_->move(pointer);
    showCursorOf(pressed_);
    return;
  }
  PreviewOverlay* overlay = target();
  if (!spaceHeld_ && overlay && picture() && insidePicture(pointer.point)) {
    if (hovered_ && hovered_ != overlay) endHover();
    hovered_ = overlay;
    overlay->hover(pointer);
    showCursorOf(overlay);
  } else {
    endHover();
  }
}

void ZoomablePreview::mouseReleaseEvent(QMouseEvent* event) {
  if (panPress_) {
    const bool click = !panStart_ && !spaceHeld_;
    endPan();
    PreviewOverlay* overlay = target();
    if (click && overlay && insidePicture(panPressPointer_.point)) {
      overlay->press(panPressPointer_);
      overlay->release(pointerOf(*event));
      if (overlay == target()) showCursorOf(overlay);
    }
    return;
  }
  PreviewOverlay* overlay = std::exchange(pressed_, nullptr);
  if (!overlay) return;
  overlay->release(pointerOf(*event));
  // The release may have ended the mode whose overlay this was.
  if (overlay == target()) showCursorOf(overlay);
}

void ZoomablePreview::endPan() {
  panPress_.reset();
  if (panStart_) {
    panStart_.reset();
    popCursor();
  }
}

void ZoomablePreview::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  if (!pressed_) endHover();
}

void ZoomablePreview::endHover() {
  if (PreviewOverlay* overlay = std::exchange(hovered_, nullptr)) {
    overlay->hoverEnd();
    showCursorOf(overlay);
  }
}

void ZoomablePreview::endGestures() {
  catcher_->releaseSpace();
  spaceHeld_ = false;
  endPan();
  pinchStart_.reset();
  cursors_.clear();
  showCursorOf(hovered_);
}

bool ZoomablePreview::showToolTip(QEvent* event) {
  const auto* help = static_cast<QHelpEvent*>(event);
  PreviewOverlay* overlay = target();
  const QPointF point = overlayPoint(help->pos());
  const QString text =
      overlay && !spaceHeld_ && insidePicture(point) ? overlay->toolTip(point) : QString();
  if (text.isEmpty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), text, this);
  }
  return true;
}
