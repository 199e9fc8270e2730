// The red, green and blue histogram of the preview on screen, at the top of the inspector, with
// two triangles that light when a noticeable share of the picture is crushed to black (blue) or
// blown to white (red), the "Show clipping" check box, and the two clipped shares. It computes
// nothing: the model publishes the histogram after every finished preview render.
#pragma once

#include <QPainterPath>
#include <QSizeF>
#include <QWidget>
#include <optional>
#include <span>

#include "Model/Histogram.h"

class AppModel;
class QAbstractButton;
class QCheckBox;
class QLabel;
class RefreshGate;

class HistogramView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int boxHeight = 96;  // pt
  static constexpr int inset = 4;       // pt, of the drawing and the triangles

  explicit HistogramView(AppModel& model, QWidget* parent = nullptr);

  // A share of the picture lights its triangle strictly above 0.1 %.
  static bool lit(double fraction) { return fraction > 0.001; }
  // "<name>: <percent with two decimals>% of the picture".
  static QString indicatorHelp(const QString& name, double fraction);
  // The shares under the box: "Shadows 0.1% · Highlights 0.0%".
  static QString clipText(const Histogram& histogram);
  // One channel's filled outline over a canvas of `size`: from the bottom left through each bin
  // (bin i at x = width · i / 255, a value v at y = height · (1 − v)) to the bottom right.
  static QPainterPath outline(std::span<const float> values, QSizeF size);

  QCheckBox* clippingBox() const { return clipping_; }
  QAbstractButton* shadowIndicator() const { return shadows_; }
  QAbstractButton* highlightIndicator() const { return highlights_; }
  QLabel* clipLabel() const { return clipText_; }
  QWidget* box() const { return box_; }

 private:
  void refresh();

  AppModel& model_;
  QWidget* box_;
  QAbstractButton* shadows_;
  QAbstractButton* highlights_;
  QCheckBox* clipping_;
  QLabel* clipText_;
  RefreshGate* gate_;
};
