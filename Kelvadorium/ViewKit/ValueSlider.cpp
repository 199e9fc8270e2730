#include "ViewKit/ValueSlider.h"

#include <QWheelEvent>
#include <algorithm>
#include <cmath>

ValueSlider::ValueSlider(double lowest, double highest, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), lowest_(lowest), highest_(highest) {
  setRange(0, positions);
  setSingleStep(positions / 100);
  setPageStep(positions / 10);
  setFocusPolicy(Qt::StrongFocus);
  connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
    if (action == QAbstractSlider::SliderNoAction) return;
    // The place the action moved the handle to; the value follows it after this signal.
    emit valueMoved(valueAt(sliderPosition()));
  });
  connect(this, &QAbstractSlider::sliderPressed, this, &ValueSlider::editBegan);
  connect(this, &QAbstractSlider::sliderReleased, this, &ValueSlider::editEnded);
}

int ValueSlider::positionOf(double value) const {
  const double span = highest_ - lowest_;
  if (!(span > 0) || std::isnan(value)) return 0;
  // Clamped in floating point first: a value far outside the range must not overflow an int.
  const double fraction = std::clamp((value - lowest_) / span, 0.0, 1.0);
  return static_cast<int>(std::lround(fraction * positions));
}

double ValueSlider::valueAt(int position) const {
  if (position <= 0) return lowest_;
  if (position >= positions) return highest_;
  return lowest_ + (highest_ - lowest_) * position / positions;
}

void ValueSlider::showValue(double value) {
  const QSignalBlocker blocker(this);
  setValue(positionOf(value));
}

void ValueSlider::setTint(const QColor& tint) {
  // A disabled slider keeps the desktop's grey.
  QPalette colours = palette();
  colours.setColor(QPalette::Active, QPalette::Highlight, tint);
  colours.setColor(QPalette::Inactive, QPalette::Highlight, tint);
  setPalette(colours);
}

void ValueSlider::wheelEvent(QWheelEvent* event) { event->ignore(); }
