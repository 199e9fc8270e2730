#include "Inspector/ElidedLabel.h"

#include <QFontMetrics>
#include <cmath>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void ElidedLabel::setFullText(const QString& text) {
  if (text == full_) return;
  full_ = text;
  updateGeometry();
  elide();
}

QSize ElidedLabel::minimumSizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance("M…M"), metrics.height()};
}

// The text's width rounded up: rounded to the nearest, some texts got less than they need and
// were elided with room to spare.
QSize ElidedLabel::sizeHint() const {
  const QFontMetricsF metrics(font());
  return {static_cast<int>(std::ceil(metrics.horizontalAdvance(full_))),
          QFontMetrics(font()).height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  elide();
}

void ElidedLabel::elide() {
  setText(QFontMetrics(font()).elidedText(full_, Qt::ElideMiddle, width()));
}
