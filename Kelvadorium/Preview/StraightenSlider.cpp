#include "Preview/StraightenSlider.h"

#include <QMouseEvent>
#include <QSignalBlocker>
#include <cmath>

#include "Model/AppModel.h"

StraightenSlider::StraightenSlider(AppModel& model, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), model_(model) {
  setRange(-45 * stepsPerDegree, 45 * stepsPerDegree);
  setSingleStep(5);  // 0.05°
  setPageStep(100);
  setTracking(true);
  setAttribute(Qt::WA_MacSmallSize);
  showModelAngle();
  connect(&model_, &AppModel::liveRotationChanged, this, &StraightenSlider::showModelAngle);
  connect(&model_, &AppModel::itemsChanged, this, &StraightenSlider::showModelAngle);
  connect(&model_, &AppModel::selectionChanged, this, &StraightenSlider::showModelAngle);
  connect(this, &QSlider::sliderPressed, this, [this] { dragging_ = true; });
  connect(this, &QSlider::sliderMoved, this,
          [this](int value) { model_.setStraightenAngle(double(value) / stepsPerDegree); });
  connect(this, &QSlider::sliderReleased, this, &StraightenSlider::endDrag);
  connect(this, &QAbstractSlider::actionTriggered, this, &StraightenSlider::onAction);
}

StraightenSlider::~StraightenSlider() { endDrag(); }

void StraightenSlider::showModelAngle() {
  if (dragging_) return;  // the knob follows the hand, not the echo
  const double angle = model_.straightenAngle();
  const QSignalBlocker quiet(this);
  setValue(std::isfinite(angle) ? int(std::lround(angle * stepsPerDegree)) : 0);
}

void StraightenSlider::onAction(int action) {
  if (action == SliderMove || action == SliderNoAction) return;
  // Keys, wheel and clicks on the groove: the position is the one the action lands on.
  const double angle = double(sliderPosition()) / stepsPerDegree;
  model_.setStraightenAngle(angle);
  model_.endLiveRotation();
}

void StraightenSlider::endDrag() {
  if (!dragging_) return;
  dragging_ = false;
  model_.endLiveRotation();
  showModelAngle();
}

bool StraightenSlider::event(QEvent* event) {
  // The window lost the pointer and keyboard with it: the release goes elsewhere.
  if (event->type() == QEvent::WindowDeactivate && isSliderDown()) {
    setSliderDown(false);  // emits sliderReleased, which ends the drag
    endDrag();
  }
  return QSlider::event(event);
}

void StraightenSlider::hideEvent(QHideEvent* event) {
  endDrag();
  QSlider::hideEvent(event);
}

void StraightenSlider::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  // A release that QSlider did not count as the end of a drag (grab lost) still ends it.
  if (!isSliderDown()) endDrag();
}
