// The before/after divider over the picture: a white line with a round handle and the "Before"
// and "After" labels. A press anywhere on the picture moves it there, and so does every move of
// the drag; the model keeps it within 2 % of either edge.
#pragma once

#include <QPointF>

#include "Preview/PreviewOverlay.h"

class AppModel;
struct PreviewCalls;

class SplitDivider final : public PreviewOverlay {
 public:
  SplitDivider(const AppModel& model, const PreviewCalls& calls) : model_(model), calls_(calls) {}

  void paint(QPainter& painter, const OverlayFrame& frame) override;
  void press(const OverlayPointer& pointer) override { drag(pointer); }
  void move(const OverlayPointer& pointer) override { drag(pointer); }

  // Where the labels' centres sit on a picture W wide with the divider at X.
  static QPointF beforeLabelCentre(double x);
  static QPointF afterLabelCentre(double x, double width);

 private:
  void drag(const OverlayPointer& pointer);

  const AppModel& model_;
  const PreviewCalls& calls_;
};
