// A continuous slider over a range of doubles: a QSlider on a fine integer scale that never snaps
// to a step. It reports only the user's own moves (drags, clicks on the groove, arrow keys);
// showing a value never reports one, and a value outside the range is shown with the handle
// pinned at that end, the value itself untouched. The wheel is left to the scrolling column
// around it, so scrolling never edits a scan.
#pragma once

#include <QColor>
#include <QSlider>

class ValueSlider final : public QSlider {
  Q_OBJECT

 public:
  static constexpr int positions = 10000;

  ValueSlider(double lowest, double highest, QWidget* parent = nullptr);

  double lowest() const { return lowest_; }
  double highest() const { return highest_; }
  // Shows the value without reporting it.
  void showValue(double value);
  // The value of the handle's place.
  double shownValue() const { return valueAt(sliderPosition()); }
  // The filled part of the groove in this colour instead of the accent colour.
  void setTint(const QColor& tint);

  int positionOf(double value) const;
  double valueAt(int position) const;

 signals:
  void valueMoved(double value);
  void editBegan();
  void editEnded();

 protected:
  void wheelEvent(QWheelEvent* event) override;

 private:
  double lowest_;
  double highest_;
};
