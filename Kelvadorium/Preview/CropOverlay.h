// The on-image tool of crop mode: the shade outside the crop, the thirds grid, eight handles and
// a rotate handle. Its geometry is pure functions over overlay points (the fitted picture's own
// points, y down), so every rule is testable without a window; the overlay itself holds only the
// running drag.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "Preview/PreviewOverlay.h"
#include "Record/NormRect.h"

class CropOverlay final : public PreviewOverlay {
 public:
  enum class Grab { move, n, s, e, w, ne, nw, se, sw, rotate };

  // (minX, minY), (midX, minY), (maxX, minY), (minX, midY), (maxX, midY), (minX, maxY),
  // (midX, maxY), (maxX, maxY).
  static std::array<QPointF, 8> handlePoints(const QRectF& rect);
  // Corners before edges, top before bottom, left before right; nothing outside the 12-pt band.
  static std::optional<Grab> hitTest(QPointF point, const QRectF& rect);
  static QPointF rotateHandleCentre(const QRectF& rect, double width, double height);
  // The rectangle a move or resize gives, always from the committed rectangle and the drag's
  // total translation; `ratio` is long side over short side.
  static QRectF draggedRect(Grab grab, const QRectF& start, QPointF translation, double width,
                            double height, std::optional<double> ratio);
  // The straighten angle of a rotation drag about the overlay's middle, within ±45°.
  static double rotatedAngle(QPointF start, QPointF location, double width, double height,
                             double rotateStart);
  static Qt::CursorShape cursor(std::optional<Grab> grab);
  // "%+.2f°" without the process locale.
  static QString angleLabel(double degrees);
  // Within this distance of the rotate handle's centre a drag rotates and the pointer points.
  static constexpr double rotateHandleReach = 18;

  // What the preview gives: the crop in effect (normalised), the ratio to keep, the angle shown,
  // the picture's size in overlay points, and where finished changes go.
  NormRect rect = NormRect::full;
  std::optional<double> ratio;
  double currentAngle = 0;
  double width = 0;
  double height = 0;
  std::function<void(const NormRect&)> onCommit;
  std::function<void(double)> onRotate;
  std::function<void()> onRotateEnd;

  // Every change of a drag, with its start, where it is now and the total translation; the
  // first change fixes what the drag holds.
  void dragChanged(QPointF start, QPointF location);
  void dragEnded();
  // The cursor for a hover at `point`, or the arrow when the hover ended.
  Qt::CursorShape hoverCursor(std::optional<QPointF> point) const;

  // The shown rectangle S (the running draft, else the crop) and the committed one C, in points.
  QRectF shownRect() const;
  QRectF committedRect() const;
  const std::optional<NormRect>& draft() const { return draft_; }
  const std::optional<Grab>& grab() const { return grab_; }

  // Shade, thirds grid, the fine grid and angle label while rotating, frame, rotate handle and
  // the eight handles, back to front.
  void paint(QPainter& painter, const OverlayFrame& frame) override;
  // One drag, begun once the pointer has moved 1 pt from the press.
  void press(const OverlayPointer& pointer) override;
  void move(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer& pointer) override;
  void hoverEnd() override;
  Qt::CursorShape cursor() const override { return cursor_; }
  // "Drag to rotate freely" over the rotate handle.
  QString toolTip(QPointF point) const override;

 private:
  enum class Handle { square, rotate };
  // Kind, device pixels per point × 64, quarter-pixel position.
  using HandleKey = std::tuple<int, int, int>;
  void takeSize(const OverlayFrame& frame);
  void drawHandle(QPainter& painter, QPointF centre, Handle handle);
  static QImage handlePicture(Handle handle, double scale, double offsetX, double offsetY);

  std::optional<QPointF> pressedAt_;
  bool dragging_ = false;
  Qt::CursorShape cursor_ = Qt::ArrowCursor;
  std::optional<NormRect> draft_;
  std::optional<Grab> grab_;
  double rotateStart_ = 0;
  std::map<HandleKey, QImage> handles_;  // drawn handles, kept for the next frames
};
