#include "Inspector/ElidedLabel.h"

#include <QFontMetrics>

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

QSize ElidedLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  return {metrics.horizontalAdvance(full_), metrics.height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  elide();
}

void ElidedLabel::elide() {
  setText(QFontMetrics(font()).elidedText(full_, Qt::ElideMiddle, width()));
}
