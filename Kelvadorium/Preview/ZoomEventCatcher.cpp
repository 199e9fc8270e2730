#include "Preview/ZoomEventCatcher.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include "Preview/CatcherRules.h"
#include "Preview/TextFocus.h"

ZoomEventCatcher::ZoomEventCatcher(QWidget& area) : QObject(&area), area_(area) {}

ZoomEventCatcher::~ZoomEventCatcher() { setActive(false); }

void ZoomEventCatcher::setActive(bool active) {
  if (active == active_ || !qApp) return;
  active_ = active;
  if (active) {
    qApp->installEventFilter(this);
  } else {
    qApp->removeEventFilter(this);
  }
}

void ZoomEventCatcher::releaseSpace() {
  if (!spaceDown_) return;
  spaceDown_ = false;
  if (onSpace) onSpace(false);
}

bool ZoomEventCatcher::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::Wheel) {
    return false;
  }
  // Only the system's own delivery to a window, once per event: widgets then see the event
  // again, passed along their parents, and must not report it twice.
  if (!watched->isWindowType()) return false;
  const QWidget* top = area_.window();
  const bool ownWindow = top && watched == top->windowHandle();
  if (type == QEvent::Wheel) return ownWindow && wheel(event);
  return key(event, ownWindow);
}

bool ZoomEventCatcher::key(QEvent* event, bool ownWindow) {
  const auto* k = static_cast<QKeyEvent*>(event);
  CatcherRules::Key facts;
  facts.press = event->type() == QEvent::KeyPress;
  facts.key = k->key();
  facts.text = k->text();
  facts.modifiers = k->modifiers();
  facts.autoRepeat = k->isAutoRepeat();
  facts.ownWindow = ownWindow;
  facts.textFocus = TextFocus::held(QApplication::focusWidget());
  facts.spaceDown = spaceDown_;
  const CatcherRules::Decision d = CatcherRules::decide(facts);
  using Report = CatcherRules::Decision::Report;
  switch (d.report) {
    case Report::none:
      return d.swallow;
    case Report::spaceDown:
      spaceDown_ = true;
      if (onSpace) onSpace(true);
      return true;
    case Report::spaceUp:
      spaceDown_ = false;
      if (onSpace) onSpace(false);
      return d.swallow;
    case Report::bracket:
      return onBracket && onBracket(d.larger);
    case Report::browse:
      return onBrowseKey && onBrowseKey(d.browse, d.shift);
  }
  return false;
}

bool ZoomEventCatcher::wheel(QEvent* event) {
  const auto* w = static_cast<QWheelEvent*>(event);
  const QWidget* top = area_.window();
  const QPointF at = area_.mapFrom(top, w->position());
  const bool inside = area_.isVisible() && QRectF(area_.rect()).contains(at);
  if (!CatcherRules::takesScroll(true, inside) || !onScroll) return false;
  const bool ctrl = w->modifiers() & Qt::ControlModifier;
  return onScroll(ScrollZoom::fromWheel(w->pixelDelta(), w->angleDelta(), ctrl, at));
}
