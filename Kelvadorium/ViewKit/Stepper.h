// Two small auto-repeating arrow buttons that step a value up or down by a fixed step within a
// range. A step from a value outside the range lands inside it; the arrow pointing further out
// is disabled at each end. It reports only the user's clicks, never a value shown.
#pragma once

#include <QWidget>

class QToolButton;

class Stepper final : public QWidget {
  Q_OBJECT

 public:
  Stepper(double lowest, double highest, double increment, QWidget* parent = nullptr);

  void showValue(double value);
  double shownValue() const { return shown_; }
  QToolButton* upButton() const { return up_; }
  QToolButton* downButton() const { return down_; }
  // The value one step up (+1) or down (−1) from `from`, within the range.
  double stepped(double from, int direction) const;

 signals:
  void valueStepped(double value);

 private:
  void step(int direction);
  void enableArrows();

  double lowest_;
  double highest_;
  double step_;
  double shown_ = 0;
  QToolButton* up_;
  QToolButton* down_;
};
