// The on-picture tool of healing mode: the selected scan's repairs (clicked spots as discs,
// painted strokes as bands with round ends, each outlined by a thin white ring), the stroke being
// painted, the clone source's cross and the brush circle under the pointer. A click adds a spot
// or removes the repair under it, a drag paints a stroke, a release with the option key sets the
// clone source, and while repairs are being picked a click picks one. The shapes, the hit test,
// the thinning of a painted stroke and the click-or-stroke decision are pure functions over
// overlay points; the overlay keeps only the pointer's state.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <optional>
#include <vector>

#include "Model/PreviewMapping.h"
#include "Preview/OverlayLayer.h"
#include "Preview/PreviewOverlay.h"
#include "Record/Spot.h"
#include "Support/Uuid.h"

class AppModel;

class SpotOverlay final : public PreviewOverlay {
 public:
  // One repair as drawn: a clicked spot, or every spot of a painted stroke's group.
  struct HealedShape {
    Uuid id;  // the repair id: the spots' group, or the lone spot's own id
    // The mapped centres in overlay points, always two or more; drawn as a polyline.
    std::vector<QPointF> points;
    double radius = 0;  // half the painted width, overlay points
  };

  explicit SpotOverlay(AppModel& model);

  void paint(QPainter& painter, const OverlayFrame& frame) override;
  void press(const OverlayPointer& pointer) override;
  void move(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer& pointer) override;
  void hoverEnd() override;

  // The brush radius R on an overlay `width` points wide: a spot of radius `spotBrush` at the
  // middle of the picture as mapped, else a hundredth of the width while nothing maps.
  static double brushRadius(const std::optional<PreviewMapping::Frame>& frame, double spotBrush,
                            double width);
  // The repairs of `spots` in the order of each repair's first spot, their members in list order;
  // members that do not map are left out, and a repair with none left has no shape. One pass over
  // the spots, so a stroke of thousands of spots costs no more than as many clicks.
  static std::vector<HealedShape> healedShapes(const std::vector<Spot>& spots,
                                               const std::optional<PreviewMapping::Frame>& frame,
                                               QSizeF size);
  // The topmost shape within max(radius, 6) of p.
  static std::optional<size_t> shapeAt(const std::vector<HealedShape>& shapes, QPointF p);
  // The first point, each later one at least `spacing` from the last kept, and the last input
  // point when it is not the last kept.
  static std::vector<QPointF> thinned(const std::vector<QPointF>& points, double spacing);
  // From p to the polyline through `points`: infinite for none, to the point for one.
  static double polylineDistance(QPointF p, const std::vector<QPointF>& points);
  // The spacing a painted stroke is thinned to for a brush of radius R.
  static double thinningSpacing(double brushRadius);
  // A released drag counts as a click when its thinned stroke is empty or shorter than 4 points.
  static bool isClick(const std::vector<QPointF>& thinnedStroke);

  const std::optional<QPointF>& hoverPoint() const { return hover_; }
  const std::vector<QPointF>& stroke() const { return stroke_; }
  const std::optional<Uuid>& hoverShape() const { return hoverShape_; }

 private:
  // The selected scan's spots; none without a selection.
  const std::vector<Spot>& selectedSpots() const;
  // The shapes as last drawn, made again when the spots, the mapping or the size changed.
  const std::vector<HealedShape>& currentShapes(QSizeF size);
  double brushRadius(QSizeF size) const;
  void repaintBrush(const std::optional<QPointF>& at) const;
  void dragChanged(const OverlayPointer& pointer);
  void dragEnded(const OverlayPointer& pointer);
  void paintShapes(QPainter& painter, QSizeF size, double z) const;
  void paintLive(QPainter& painter, QSizeF size, double z) const;

  AppModel& model_;
  std::optional<QPointF> hover_;
  std::vector<QPointF> stroke_;
  std::optional<Uuid> hoverShape_;
  OverlayFrame hoverFrame_;  // the frame of the last hover, for the circle it drew
  std::optional<QPointF> pressedAt_;

  std::vector<HealedShape> shapes_;
  std::vector<Spot> shapesOf_;
  std::optional<PreviewMapping::Frame> shapesFrame_;
  QSizeF shapesSize_;
  bool shapesValid_ = false;

  // What the cached picture of the shapes was drawn for besides the shapes themselves.
  struct LayerKey {
    double zoom = 0;
    bool selecting = false;
    std::optional<Uuid> picked;
    std::optional<Uuid> hovered;
    friend bool operator==(const LayerKey&, const LayerKey&) = default;
  };
  OverlayLayer layer_;
  LayerKey layerKey_;
  // The rings' scratch image, the size of the device painted on; kept between paints.
  mutable QImage ringScratch_;
  QObject watch_;  // the model's signals that the host does not take up
};
