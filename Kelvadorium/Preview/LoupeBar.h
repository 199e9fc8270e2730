// The zoom controls floating over the preview: zoom out, the zoom read-out, zoom in, a divider,
// "Fit" and "100%", on a translucent capsule. It reads the model's zoom and 1:1 zoom and zooms
// about the area's centre through the model; "Fit" returns to the whole picture directly. The
// buttons name the View menu's keys in their tooltips and bind none themselves.
#pragma once

#include <QWidget>

class AppModel;
class QLabel;
class QToolButton;

class LoupeBar final : public QWidget {
  Q_OBJECT

 public:
  explicit LoupeBar(AppModel& model, QWidget* parent = nullptr);

  QToolButton* zoomOutButton() const { return zoomOut_; }
  QToolButton* zoomInButton() const { return zoomIn_; }
  QToolButton* fitButton() const { return fit_; }
  QToolButton* oneToOneButton() const { return oneToOne_; }
  QString readout() const;
  // Reads the zoom again; also after the preview reported new geometry, which moves the 1:1
  // zoom without a signal of its own.
  void refresh();

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  AppModel& model_;
  QToolButton* zoomOut_;
  QLabel* readout_;
  QToolButton* zoomIn_;
  QToolButton* fit_;
  QToolButton* oneToOne_;
};
