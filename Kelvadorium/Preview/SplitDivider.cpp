#include "Preview/SplitDivider.h"

#include <QPainter>
#include <algorithm>

#include "Model/AppModel.h"
#include "Preview/PreviewCalls.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr double lineWidth = 1.5;
constexpr double handleSize = 22;
constexpr double labelTop = 14;

void drawLabel(QPainter& painter, const QString& text, QPointF centre) {
  QFont font = FontRoles::font(FontRole::caption);
  font.setBold(true);
  painter.setFont(font);
  const QFontMetricsF metrics(font);
  const QSizeF size(metrics.horizontalAdvance(text) + 12, metrics.height() + 4);
  const QRectF capsule(centre - QPointF(size.width() / 2, size.height() / 2), size);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
  painter.drawRoundedRect(capsule, size.height() / 2, size.height() / 2);
  painter.setPen(Qt::white);
  painter.drawText(capsule, Qt::AlignCenter, text);
}

}  // namespace

QPointF SplitDivider::beforeLabelCentre(double x) { return {std::max(x - 40, 34.0), labelTop}; }

QPointF SplitDivider::afterLabelCentre(double x, double width) {
  return {std::min(x + 36, width - 30), labelTop};
}

void SplitDivider::paint(QPainter& painter, const OverlayFrame& frame) {
  const double w = frame.size.width();
  const double h = frame.size.height();
  const double x = model_.splitPosition() * w;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(QRectF(x - lineWidth / 2, 0, lineWidth, h), Qt::white);

  const QRectF handle(x - handleSize / 2, h / 2 - handleSize / 2, handleSize, handleSize);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(handle);
  SymbolIcons::icon("arrow.left.and.right")
      .paint(&painter, handle.adjusted(5, 5, -5, -5).toAlignedRect());

  drawLabel(painter, "Before", beforeLabelCentre(x));
  drawLabel(painter, "After", afterLabelCentre(x, w));
  painter.restore();
}

void SplitDivider::drag(const OverlayPointer& pointer) {
  if (!(pointer.buttons & Qt::LeftButton)) return;
  calls_.dragSplitDivider(pointer.point.x(), pointer.frame.size.width());
}
