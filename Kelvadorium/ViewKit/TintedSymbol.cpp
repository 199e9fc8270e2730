#include "ViewKit/TintedSymbol.h"

#include <QPainter>

#include "Windows/SymbolIcons.h"

namespace TintedSymbol {

QPixmap pixmap(const QString& symbol, const QColor& colour, QSize size, qreal scale) {
  const QSize pixels = (QSizeF(size) * scale).toSize();
  QPixmap shape = SymbolIcons::icon(symbol).pixmap(pixels);
  QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.drawPixmap(QRect(QPoint(0, 0), pixels), shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
  }
  QPixmap result = QPixmap::fromImage(std::move(image));
  result.setDevicePixelRatio(scale);
  return result;
}

}  // namespace TintedSymbol
