#include "ViewKit/MonospacedDigits.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace MonospacedDigits {

bool hasEqualDigits(const QFont& font) {
  const QFontMetricsF metrics(font);
  const qreal zero = metrics.horizontalAdvance(QChar('0'));
  for (char digit = '1'; digit <= '9'; ++digit) {
    if (metrics.horizontalAdvance(QChar(digit)) != zero) return false;
  }
  return true;
}

QFont font(const QFont& base) {
  if (hasEqualDigits(base)) return base;
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  if (base.pointSizeF() > 0) {
    fixed.setPointSizeF(base.pointSizeF());
  } else {
    fixed.setPixelSize(base.pixelSize());
  }
  fixed.setWeight(base.weight());
  return fixed;
}

}  // namespace MonospacedDigits
