#include "Preview/DropHighlight.h"

#include <QPainter>

namespace {
constexpr double inset = 12;
constexpr double radius = 12;
constexpr double lineWidth = 3;
}  // namespace

DropHighlight::DropHighlight(QWidget* parent) : QWidget(parent) {
  setObjectName("DropHighlight");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
}

void DropHighlight::paintEvent(QPaintEvent*) {
  const QRectF shape = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
  if (shape.isEmpty()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  // The outline lies inside the shape's edge: the stroke's centre half a width in.
  const double half = lineWidth / 2;
  QPen pen(palette().color(QPalette::Highlight), lineWidth, Qt::CustomDashLine, Qt::FlatCap,
           Qt::MiterJoin);
  pen.setMiterLimit(10);
  // Dash lengths are in line widths: 10 on, 6 off.
  pen.setDashPattern({10 / lineWidth, 6 / lineWidth});
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRoundedRect(shape.adjusted(half, half, -half, -half), radius - half, radius - half);
}
