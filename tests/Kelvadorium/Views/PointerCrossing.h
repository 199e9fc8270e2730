// The pointer crossing a widget's edge, sent straight to it: what the window system reports
// when the pointer moves onto a widget and off it again, in whichever order a test chooses.
#pragma once

#include <QApplication>
#include <QEnterEvent>
#include <QWidget>

namespace PointerCrossing {

inline void enter(QWidget* widget) {
  QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(widget, &event);
}

inline void leave(QWidget* widget) {
  QEvent event(QEvent::Leave);
  QApplication::sendEvent(widget, &event);
}

}  // namespace PointerCrossing
