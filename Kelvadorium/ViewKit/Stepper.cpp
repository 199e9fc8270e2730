#include "ViewKit/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {
constexpr QSize arrowSize(15, 10);
constexpr int repeatDelay = 400, repeatInterval = 80;  // ms

QToolButton* arrow(Qt::ArrowType type, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setArrowType(type);
  button->setAutoRepeat(true);
  button->setAutoRepeatDelay(repeatDelay);
  button->setAutoRepeatInterval(repeatInterval);
  button->setFixedSize(arrowSize);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoRaise(false);
  return button;
}
}  // namespace

Stepper::Stepper(double lowest, double highest, double increment, QWidget* parent)
    : QWidget(parent), lowest_(lowest), highest_(highest), step_(increment) {
  up_ = arrow(Qt::UpArrow, this);
  down_ = arrow(Qt::DownArrow, this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  enableArrows();
}

double Stepper::stepped(double from, int direction) const {
  if (std::isnan(from)) return direction > 0 ? lowest_ : highest_;
  return std::clamp(from + direction * step_, lowest_, highest_);
}

void Stepper::showValue(double value) {
  shown_ = value;
  enableArrows();
}

void Stepper::step(int direction) {
  const double value = stepped(shown_, direction);
  // Shown at once, so the next repeat steps on from here even before the model answers.
  showValue(value);
  emit valueStepped(value);
}

void Stepper::enableArrows() {
  // A NaN compares false both ways: both arrows stay on.
  up_->setEnabled(!(shown_ >= highest_));
  down_->setEnabled(!(shown_ <= lowest_));
}
