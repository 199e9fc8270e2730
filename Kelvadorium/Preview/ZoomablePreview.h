// The picture of the selected scan: fitted to the pane within its margins (wider ones in crop
// mode, where the picture also sits 38 pt higher), magnified by the model's zoom about its
// centre, shifted by its pan and turned by the live rotation of a straighten drag. Over it lie
// the before half of a split comparison, the clipping mask, the split divider and at most one
// tool overlay, all upright and in the fitted picture's own points; pointer events reach the
// topmost of them. An overlay point is
//   (widget point − pane centre − pan − (0, centring offset)) / zoom + (W / 2, H / 2)
// for a fitted picture of W × H points.
//
// It turns pan drags (space held, or magnified with no tool on), pinches, scrolls, the space bar
// and the browse and brush keys of its event catcher into model calls, publishes the geometry the
// model's zoom arithmetic needs, and tells the model when a full-resolution detail is worth
// having. One widget lives as long as the pane and takes each new image as the model publishes
// it; a held space, a pan or a pinch ends when the window loses the keyboard or the preview goes.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Preview/BufferedFrame.h"
#include "Preview/PicturePixmaps.h"
#include "Preview/PreviewFit.h"
#include "Preview/PreviewLayers.h"
#include "Preview/PreviewOverlay.h"
#include "Preview/ScrollZoom.h"

class AppModel;
class CropOverlay;
class ZoomEventCatcher;
struct PreviewCalls;
struct PreviewImage;

class ZoomablePreview final : public QWidget {
  Q_OBJECT

 public:
  ZoomablePreview(AppModel& model, const PreviewCalls& calls, QWidget* parent = nullptr);
  ~ZoomablePreview() override;

  // Makes the healing overlay when healing mode wants it (the spot overlay; tests put their own).
  std::function<std::unique_ptr<PreviewOverlay>(AppModel&)> makeSpotOverlay;

  // The fitted picture's size at zoom 1, in points; empty without a picture.
  QSizeF fittedSize() const;
  PreviewFit::Placement placement() const;
  // Between widget points and overlay points.
  QPointF overlayPoint(QPointF widgetPoint) const;
  QPointF widgetPoint(QPointF overlayPoint) const;
  // The device pixels per point the preview counts with: the screen's, 2 without one.
  double backingScale() const;

  OverlayKind overlayKind() const { return overlayKind_; }
  PreviewOverlay* toolOverlay() const { return tool_.get(); }
  PreviewOverlay* divider() const { return divider_.get(); }
  const PicturePixmaps& pixmaps() const { return pixmaps_; }
  // The flat colour around the picture; the preview paints it itself, so its frames are opaque.
  static QColor backdrop();
  ZoomEventCatcher& catcher() const { return *catcher_; }
  bool spaceHeld() const { return spaceHeld_; }
  bool panning() const { return panStart_.has_value(); }
  // Cursors pushed by the space bar and pan drags, the last on top.
  const std::vector<Qt::CursorShape>& pushedCursors() const { return cursors_; }

  // The picture shown: the before image in the before view, else the 1:1 detail, else the
  // preview; null without a preview.
  std::shared_ptr<const PreviewImage> picture() const;

 signals:
  // The model was given new geometry (its 1:1 zoom may have moved).
  void geometryReported();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  // The picture, its shadow, the split's before half, the clipping mask and the overlays.
  void paintFrame(QPainter& painter, const std::shared_ptr<const PreviewImage>& shown,
                  const QRectF& frame, const QRectF& visible);
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Takes up the model's flags: which overlays lie over the picture, the geometry, the detail
  // wish, then a repaint.
  void refresh();
  void publishGeometry();
  void updateDetailWish();
  bool panMode() const;
  // The overlay that takes the pointer: the tool's, else the divider.
  PreviewOverlay* target() const;
  OverlayPointer pointerOf(const QMouseEvent& event) const;
  bool insidePicture(QPointF overlayPoint) const;
  void endHover();
  void showCursorOf(const PreviewOverlay* overlay);
  void pushCursor(Qt::CursorShape shape);
  void popCursor();
  void onSpace(bool down);
  bool onScroll(const ScrollZoom::Scroll& scroll);
  bool pinch(QEvent* event);
  void endPan();
  // A held space, a pan and a pinch end, every pushed cursor goes.
  void endGestures();
  bool showToolTip(QEvent* event);
  void drawShadow(QPainter& painter, const QRectF& frame) const;
  // An overlay replaced while one of its own calls may still run is deleted at the next turn.
  void retire(std::unique_ptr<PreviewOverlay> overlay);
  std::unique_ptr<PreviewOverlay> makeCropOverlay();
  void giveCropArguments(CropOverlay& crop) const;

  AppModel& model_;
  const PreviewCalls& calls_;
  PicturePixmaps pixmaps_;
  BufferedFrame frame_;
  ZoomEventCatcher* catcher_;
  PreviewFlags flags_;
  OverlayKind overlayKind_ = OverlayKind::none;
  std::unique_ptr<PreviewOverlay> tool_;
  std::unique_ptr<PreviewOverlay> divider_;
  std::vector<std::unique_ptr<PreviewOverlay>> retired_;
  bool beforeHalf_ = false;
  bool clipMask_ = false;
  PreviewOverlay* pressed_ = nullptr;  // the overlay a press went to, until its release
  PreviewOverlay* hovered_ = nullptr;

  // Gestures.
  std::optional<QPointF> panPress_;   // a press in pan mode, until its release
  OverlayPointer panPressPointer_;    // that press, for a click that never moved
  std::optional<QSizeF> panStart_;    // the pan when the drag began moving
  std::optional<double> pinchStart_;  // the zoom when the pinch began
  double pinchSum_ = 0;
  bool pinchMoving_ = false;
  bool spaceHeld_ = false;
  std::vector<Qt::CursorShape> cursors_;

  // What was last published, so that only a change publishes again.
  struct Published {
    QSizeF area;
    QSizeF fitted;
    QSizeF fullPixels;
    double scale = 0;
    bool operator==(const Published&) const = default;
  };
  std::optional<Published> published_;
  std::optional<bool> wish_;
};
