// The continuous straighten slider, -45 to +45 degrees: dragging turns the picture live through
// the model, letting go commits the angle as one edit. A keyboard or wheel step is a whole edit.
// A drag cut short (the slider hidden or destroyed, the mouse grab lost, the window deactivated
// mid-drag) ends as a release would, so the picture is never left turned with nothing committed.
#pragma once

#include <QSlider>

class AppModel;

class StraightenSlider final : public QSlider {
 public:
  explicit StraightenSlider(AppModel& model, QWidget* parent = nullptr);
  ~StraightenSlider() override;

  // Steps of the slider per degree: fine enough to feel continuous.
  static constexpr int stepsPerDegree = 100;

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void showModelAngle();
  void onAction(int action);
  void endDrag();

  AppModel& model_;
  bool dragging_{false};
};
