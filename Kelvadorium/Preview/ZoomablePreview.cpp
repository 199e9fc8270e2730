#include "Preview/ZoomablePreview.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "Model/AppModel.h"
#include "Preview/CropOverlay.h"
#include "Preview/DodgeBurnOverlay.h"
#include "Preview/DustOverlay.h"
#include "Preview/PreviewCalls.h"
#include "Preview/RedEyeOverlay.h"
#include "Preview/SpotOverlay.h"
#include "Preview/SplitDivider.h"
#include "Preview/WBPickOverlay.h"
#include "Rendering/PreviewImage.h"

namespace {

// Room left around the fitted picture: across (both sides together), above and below.
constexpr double marginAcross = 48;
constexpr double marginTop = 24;
constexpr double marginBottom = 24;

}  // namespace

ZoomablePreview::ZoomablePreview(AppModel& model, const PreviewCalls& calls, QWidget* parent)
    : QWidget(parent), model_(model), calls_(calls) {
  setObjectName("ZoomablePreview");
  setMouseTracking(true);
  for (auto changed :
       {&AppModel::previewChanged, &AppModel::beforePreviewChanged, &AppModel::detailPreviewChanged,
        &AppModel::compareModeChanged, &AppModel::splitPositionChanged, &AppModel::zoomChanged,
        &AppModel::panChanged, &AppModel::liveRotationChanged, &AppModel::cropModeChanged,
        &AppModel::wbPickModeChanged, &AppModel::dodgeModeChanged, &AppModel::redEyeModeChanged,
        &AppModel::spotModeChanged, &AppModel::previewIsUncroppedChanged,
        &AppModel::dustCandidatesChanged, &AppModel::itemsChanged, &AppModel::selectionChanged,
        &AppModel::showNegativeChanged, &AppModel::analysisChanged}) {
    connect(&model_, changed, this, &ZoomablePreview::refresh);
  }
  refresh();
}

ZoomablePreview::~ZoomablePreview() = default;

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
  if (!shown || shown->width() <= 0 || shown->height() <= 0) return {};
  const double w = static_cast<double>(shown->width());
  const double h = static_cast<double>(shown->height());
  const double across = std::max(width() - marginAcross, 1.0);
  const double down = std::max(height() - marginTop - marginBottom, 1.0);
  const double scale = std::min(across / w, down / h);
  return {scale * w, scale * h};
}

QPointF ZoomablePreview::overlayPoint(QPointF p) const {
  const QSizeF fitted = fittedSize();
  const double zoom = std::max(model_.zoom(), 0.01);
  const QSizeF pan = model_.pan();
  return {(p.x() - width() / 2.0 - pan.width()) / zoom + fitted.width() / 2,
          (p.y() - height() / 2.0 - pan.height()) / zoom + fitted.height() / 2};
}

QPointF ZoomablePreview::widgetPoint(QPointF p) const {
  const QSizeF fitted = fittedSize();
  const double zoom = std::max(model_.zoom(), 0.01);
  const QSizeF pan = model_.pan();
  return {(p.x() - fitted.width() / 2) * zoom + width() / 2.0 + pan.width(),
          (p.y() - fitted.height() / 2) * zoom + height() / 2.0 + pan.height()};
}

void ZoomablePreview::refresh() {
  const PreviewFlags flags = PreviewLayers::flagsOf(model_);
  const OverlayKind kind = PreviewLayers::toolOverlay(flags);
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
    if (kind == OverlayKind::spot) tool_ = std::make_unique<SpotOverlay>(model_);
    if (tool_) tool_->setRepaint([this] { update(); });
  }
  if (auto* crop = dynamic_cast<CropOverlay*>(tool_.get())) giveCropArguments(*crop);
  beforeHalf_ = PreviewLayers::beforeHalf(flags);
  const bool divider = PreviewLayers::divider(flags);
  if (divider != bool(divider_)) {
    if (pressed_ == divider_.get()) pressed_ = nullptr;
    if (hovered_ == divider_.get()) hovered_ = nullptr;
    retire(std::move(divider_));
    if (divider) divider_ = std::make_unique<SplitDivider>(model_, calls_);
  }
  if (!target()) unsetCursor();
  pixmaps_.keepOnly(
      {model_.preview().get(), model_.beforePreview().get(), model_.detailPreview().get()});
  update();
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

void ZoomablePreview::paintEvent(QPaintEvent*) {
  const auto shown = picture();
  const QSizeF fitted = fittedSize();
  if (!shown || fitted.isEmpty()) return;
  const double zoom = std::max(model_.zoom(), 0.01);
  const QRectF frame(widgetPoint(QPointF(0, 0)), fitted * zoom);

  QPainter painter(this);
  const double turn = model_.liveRotation();
  if (turn != 0 && std::isfinite(turn)) {
    painter.save();
    painter.translate(frame.center());
    painter.rotate(turn);
    pixmaps_.drawTransformed(
        painter, shown,
        QRectF(-frame.width() / 2, -frame.height() / 2, frame.width(), frame.height()));
    painter.restore();
  } else {
    pixmaps_.draw(painter, shown, frame);
  }

  if (beforeHalf_) {
    const double split = std::clamp(model_.splitPosition(), 0.0, 1.0);
    painter.save();
    painter.setClipRect(QRectF(frame.topLeft(), QSizeF(frame.width() * split, frame.height())));
    pixmaps_.draw(painter, model_.currentBeforePreview(), frame);
    painter.restore();
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
  if (overlay) {
    setCursor(overlay->cursor());
  } else {
    unsetCursor();
  }
}

void ZoomablePreview::mousePressEvent(QMouseEvent* event) {
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
  const OverlayPointer pointer = pointerOf(*event);
  if (pressed_) {
    pressed_->move(pointer);
    showCursorOf(pressed_);
    return;
  }
  PreviewOverlay* overlay = target();
  if (overlay && picture() && insidePicture(pointer.point)) {
    if (hovered_ && hovered_ != overlay) endHover();
    hovered_ = overlay;
    overlay->hover(pointer);
    showCursorOf(overlay);
  } else {
    endHover();
  }
}

void ZoomablePreview::mouseReleaseEvent(QMouseEvent* event) {
  PreviewOverlay* overlay = std::exchange(pressed_, nullptr);
  if (!overlay) return;
  overlay->release(pointerOf(*event));
  // The release may have ended the mode whose overlay this was.
  if (overlay == target()) showCursorOf(overlay);
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
