// The white-balance pick over the whole picture: a crosshair while the pointer is over it, and a
// click hands the clicked point, in shares of the picture, to the model, which decides whether
// it can be used.
#pragma once

#include <QPointF>
#include <optional>

#include "Preview/PreviewOverlay.h"

struct PreviewCalls;

class WBPickOverlay final : public PreviewOverlay {
 public:
  explicit WBPickOverlay(const PreviewCalls& calls) : calls_(calls) {}

  void paint(QPainter&, const OverlayFrame&) override {}
  void press(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer&) override { cursor_ = Qt::CrossCursor; }
  void hoverEnd() override { cursor_ = Qt::ArrowCursor; }
  Qt::CursorShape cursor() const override { return cursor_; }

 private:
  const PreviewCalls& calls_;
  Qt::CursorShape cursor_ = Qt::ArrowCursor;
  std::optional<QPointF> pressedAt_;
};
