#include "Windows/PanePlaceholder.h"

#include <QPainter>

PanePlaceholder::PanePlaceholder(const QString& name, QSize ideal, QWidget* parent)
    : QWidget(parent), ideal_(ideal) {
  setObjectName(name);
  setAutoFillBackground(true);
}

void PanePlaceholder::setDropTargeted(bool targeted) {
  if (dropTargeted_ == targeted) return;
  dropTargeted_ = targeted;
  update();
}

void PanePlaceholder::paintEvent(QPaintEvent*) {
  if (!dropTargeted_) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor accent = palette().color(QPalette::Highlight);
  painter.setPen(QPen(accent, 3));
  accent.setAlphaF(0.08f);
  painter.setBrush(accent);
  painter.drawRoundedRect(QRectF(rect()).adjusted(6, 6, -6, -6), 10, 10);
}
