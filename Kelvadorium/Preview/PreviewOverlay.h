// The one interface of every on-picture overlay. The host lays the overlay over the fitted,
// unmagnified picture: points are in that picture's own points, (0, 0) at its top-left corner
// and (W, H) at its bottom-right, whatever the zoom and pan; the host's painter is already
// magnified and shifted with the picture, so lengths that must keep their size on screen are
// divided by the zoom. A press outside the picture never arrives; moves and the release of a
// press that began inside arrive wherever the pointer goes.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <Qt>
#include <functional>

class QPainter;

// What every call is given: the picture's fitted size W × H and the current zoom.
struct OverlayFrame {
  QSizeF size;
  double zoom = 1;
};

// One pointer event in overlay points, with the buttons held and the modifiers of that event.
struct OverlayPointer {
  QPointF point;
  Qt::MouseButtons buttons = Qt::NoButton;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  OverlayFrame frame;
};

class PreviewOverlay {
 public:
  virtual ~PreviewOverlay() = default;

  virtual void paint(QPainter& painter, const OverlayFrame& frame) = 0;
  virtual void press(const OverlayPointer&) {}
  virtual void move(const OverlayPointer&) {}
  virtual void release(const OverlayPointer&) {}
  // The pointer moving over the picture with no press running, and its leaving the picture.
  virtual void hover(const OverlayPointer&) {}
  virtual void hoverEnd() {}
  // The cursor the overlay wants over the picture now; the host asks after every call above.
  virtual Qt::CursorShape cursor() const { return Qt::ArrowCursor; }
  // The help shown while the pointer rests at this point of the picture; none by default.
  virtual QString toolTip(QPointF) const { return {}; }

  // The host's repaint; an overlay calls it when what it draws changed without a model change.
  void setRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }
  // The host's repaint of a part of the picture, given in overlay points.
  void setRepaintArea(std::function<void(const QRectF&)> repaintArea) {
    repaintArea_ = std::move(repaintArea);
  }

  // The option key of clicks and drags on the picture: Alt, or Ctrl where the desktop keeps
  // Alt-drags for moving windows.
  static bool optionHeld(Qt::KeyboardModifiers modifiers) {
    return modifiers & (Qt::AltModifier | Qt::ControlModifier);
  }

 protected:
  void repaint() const {
    if (repaint_) repaint_();
  }
  // Only `area` changed; the whole when the host repaints no parts.
  void repaintArea(const QRectF& area) const {
    if (repaintArea_) {
      repaintArea_(area);
    } else {
      repaint();
    }
  }

 private:
  std::function<void()> repaint_;
  std::function<void(const QRectF&)> repaintArea_;
};
