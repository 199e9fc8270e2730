// The finds of Find Dust over the picture, each where it lies: a speck as a disc, a hair as a
// band along its chain of spots; red while the removal will heal it, grey (orange when faint)
// while it stays. A click on a find switches it between the two and the find under the pointer
// is tinted more strongly. Placing, the distance and the pick are pure functions over overlay
// points.
#pragma once

#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <optional>
#include <set>
#include <vector>

#include "Model/PreviewMapping.h"
#include "Preview/OverlayLayer.h"
#include "Preview/PreviewOverlay.h"
#include "Record/Spot.h"
#include "Support/Uuid.h"

class AppModel;

class DustOverlay final : public PreviewOverlay {
 public:
  struct Find {
    Uuid key;
    std::vector<QPointF> points;
    double radius = 0;
  };

  explicit DustOverlay(AppModel& model);

  void paint(QPainter& painter, const OverlayFrame& frame) override;
  void press(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer& pointer) override;
  void hoverEnd() override;

  // The candidates with at least one spot that maps, in overlay points of a W × H overlay.
  static std::vector<Find> finds(const std::vector<std::vector<Spot>>& candidates,
                                 const std::optional<PreviewMapping::Frame>& frame, QSizeF size);
  // From p to the nearest spot centre of the find; infinite without points.
  static double distance(const Find& find, QPointF p);
  // The nearest find (the earlier of equally near ones), when p lies within its tolerance.
  static std::optional<size_t> pick(const std::vector<Find>& finds, QPointF p, double zoom);
  // The width of a find's halo: 60 % of the radius beyond the spot, at least 3 screen points.
  static double haloWidth(double radius, double zoom);

  const std::optional<Uuid>& hovered() const { return hover_; }

 private:
  const std::vector<Find>& currentFinds(QSizeF size);

  AppModel& model_;
  std::optional<Uuid> hover_;
  std::optional<QPointF> pressedAt_;

  std::vector<Find> finds_;
  std::vector<std::vector<Spot>> findsOf_;
  std::optional<PreviewMapping::Frame> findsFrame_;
  QSizeF findsSize_;
  bool findsValid_ = false;
  OverlayLayer layer_;
  double layerZoom_ = 0;
  std::set<Uuid> layerKept_;
  std::optional<Uuid> layerHover_;
  QObject watch_;  // the model's signals that the host does not take up
};
