// The picture of the selected scan: fitted to the pane within its margins, magnified by the
// model's zoom about its centre, shifted by its pan and turned by the live rotation of a
// straighten drag. Over it lie the before half of a split comparison, the split divider and at
// most one tool overlay, all upright and in the fitted picture's own points; pointer events
// reach the topmost of them. An overlay point is
//   (widget point − pane centre − pan) / zoom + (W / 2, H / 2)
// for a fitted picture of W × H points.
#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "Preview/PicturePixmaps.h"
#include "Preview/PreviewLayers.h"
#include "Preview/PreviewOverlay.h"

class AppModel;
struct PreviewCalls;
struct PreviewImage;

class ZoomablePreview final : public QWidget {
  Q_OBJECT

 public:
  ZoomablePreview(AppModel& model, const PreviewCalls& calls, QWidget* parent = nullptr);
  ~ZoomablePreview() override;

  // The fitted picture's size at zoom 1, in points; empty without a picture.
  QSizeF fittedSize() const;
  // Between widget points and overlay points.
  QPointF overlayPoint(QPointF widgetPoint) const;
  QPointF widgetPoint(QPointF overlayPoint) const;

  OverlayKind overlayKind() const { return overlayKind_; }
  PreviewOverlay* toolOverlay() const { return tool_.get(); }
  PreviewOverlay* divider() const { return divider_.get(); }
  const PicturePixmaps& pixmaps() const { return pixmaps_; }

  // The picture shown: the before image in the before view, else the 1:1 detail, else the
  // preview; null without a preview.
  std::shared_ptr<const PreviewImage> picture() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // Takes up the model's flags: which overlays lie over the picture, then a repaint.
  void refresh();
  // The overlay that takes the pointer: the tool's, else the divider.
  PreviewOverlay* target() const;
  OverlayPointer pointerOf(const QMouseEvent& event) const;
  bool insidePicture(QPointF overlayPoint) const;
  void endHover();
  void showCursorOf(const PreviewOverlay* overlay);
  // An overlay replaced while one of its own calls may still run is deleted at the next turn.
  void retire(std::unique_ptr<PreviewOverlay> overlay);

  AppModel& model_;
  const PreviewCalls& calls_;
  PicturePixmaps pixmaps_;
  OverlayKind overlayKind_ = OverlayKind::none;
  std::unique_ptr<PreviewOverlay> tool_;
  std::unique_ptr<PreviewOverlay> divider_;
  std::vector<std::unique_ptr<PreviewOverlay>> retired_;
  bool beforeHalf_ = false;
  PreviewOverlay* pressed_ = nullptr;  // the overlay a press went to, until its release
  PreviewOverlay* hovered_ = nullptr;
};
