// The on-picture tool of red-eye mode: the selected scan's marks as red circles and the brush
// circle under the pointer. A click adds a mark of the brush size where it lands, a drag from an
// eye's centre sizes the mark by its length, and with the option key a click removes the
// top-most mark under it. Placing, sizing and the removal hit are pure functions over overlay
// points.
#pragma once

#include <QPointF>
#include <QSizeF>
#include <optional>
#include <utility>
#include <vector>

#include "Model/PreviewMapping.h"
#include "Preview/OverlayLayer.h"
#include "Preview/PreviewOverlay.h"
#include "Record/RedEye.h"
#include "Support/Uuid.h"

class AppModel;

class RedEyeOverlay final : public PreviewOverlay {
 public:
  struct Mark {
    Uuid id;
    QPointF centre;
    double radius = 0;
  };

  explicit RedEyeOverlay(AppModel& model) : model_(model) {}

  void paint(QPainter& painter, const OverlayFrame& frame) override;
  void press(const OverlayPointer& pointer) override;
  void move(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer& pointer) override;
  void hoverEnd() override;

  // The marks that map, in overlay points of a W × H overlay, in stored order.
  static std::vector<Mark> marks(const std::vector<RedEye>& redEyes,
                                 const std::optional<PreviewMapping::Frame>& frame, QSizeF size);
  // The top-most mark whose centre lies within max(radius, 8) of s.
  static std::optional<size_t> removalHit(const std::vector<Mark>& marks, QPointF s);
  // The radius of a mark added by a drag of `length` points on an overlay `width` points wide,
  // where the scan's long edge spans `longEdge` of the preview's width.
  static double addedSize(double length, double width, double longEdge, double brushSize);
  // The dashed size circle shows once a drag is longer than this.
  static constexpr double sizingDrag = 3;

 private:
  const std::vector<Mark>& currentMarks(QSizeF size);

  AppModel& model_;
  std::optional<QPointF> hover_;
  std::optional<std::pair<QPointF, QPointF>> drag_;

  std::vector<Mark> marks_;
  std::vector<RedEye> marksOf_;
  std::optional<PreviewMapping::Frame> marksFrame_;
  QSizeF marksSize_;
  bool marksValid_ = false;
  OverlayLayer layer_;
  double layerZoom_ = 0;
};
