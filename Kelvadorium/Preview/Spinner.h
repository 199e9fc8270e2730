// A small indeterminate progress spinner: an arc that turns while the spinner is shown. The
// turning only draws; it stops while the spinner is hidden.
#pragma once

#include <QBasicTimer>
#include <QWidget>

class Spinner final : public QWidget {
  Q_OBJECT

 public:
  explicit Spinner(QWidget* parent = nullptr);
  QSize sizeHint() const override { return {16, 16}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  QBasicTimer timer_;
  int step_ = 0;
};
