// The on-picture tool of dodge & burn: every shape of the selected scan's visible layers with a
// centre pin on each gradient, the brush cursor, the stroke being painted and the gradient being
// dragged out. A drag paints, drags out a gradient or moves one by its pin; with the option key at
// the release it removes the shape under the pointer instead. The geometry, hit tests and drag
// rules are pure functions over overlay points; the overlay holds only the running drag.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QSizeF>
#include <optional>
#include <variant>
#include <vector>

#include "Model/PreviewMapping.h"
#include "Preview/OverlayLayer.h"
#include "Preview/PreviewOverlay.h"
#include "Record/DodgeShape.h"
#include "Record/LocalLayer.h"
#include "Support/Uuid.h"

class AppModel;

class DodgeBurnOverlay final : public PreviewOverlay {
 public:
  enum class DragMode { paint, gradient, move, blocked };

  struct Brush {
    std::vector<QPointF> points;
    double radius = 0;
  };
  struct Linear {
    QPointF a;
    QPointF b;
  };
  struct Radial {
    QPointF c;
    double rx = 0;
    double ry = 0;
    double inner = 0;  // where the feather begins, as a share of the radii
    bool outside = false;
  };
  using Geo = std::variant<Brush, Linear, Radial>;
  struct Shape {
    Uuid id;
    Geo geo;
    bool dodge = true;
    bool selected = true;
  };

  // What the end of a drag does.
  enum class EndAction { selectLayer, remove, nothing, add };

  explicit DodgeBurnOverlay(AppModel& model);

  void paint(QPainter& painter, const OverlayFrame& frame) override;
  void press(const OverlayPointer& pointer) override;
  void move(const OverlayPointer& pointer) override;
  void release(const OverlayPointer& pointer) override;
  void hover(const OverlayPointer& pointer) override;
  void hoverEnd() override;

  // The shapes of the visible layers in drawing order, in overlay points of a W × H overlay;
  // points that do not map are left out, and so are shapes with too few points left.
  static std::vector<Shape> shapes(const std::vector<LocalLayer>& layers,
                                   const std::optional<Uuid>& selectedLayerID,
                                   const std::optional<PreviewMapping::Frame>& frame, QSizeF size);
  static std::optional<QPointF> pinOf(const Shape& shape);
  // The shape whose pin lies within 10 points: the last selected one, else the last one.
  static std::optional<size_t> centrePinHit(const std::vector<Shape>& shapes, QPointF q);
  static double distanceToPolyline(const std::vector<QPointF>& points, QPointF q);
  static bool removalHits(const Shape& shape, QPointF q);
  // Selected shapes from the top down first, then all of them from the top down.
  static std::optional<size_t> removalHit(const std::vector<Shape>& shapes, QPointF q);
  // The mode the first change of a drag fixes.
  static DragMode firstMode(bool optionHeld, bool startsMove, DodgeShape tool, bool brushOnly);
  static EndAction endAction(DragMode taken, bool optionHeld);
  // A painted point is kept beyond this distance from the last one.
  static double pointSpacing(double brushRadius);
  // The radii a radial drag of d gives, nothing for a drag of 6 points or less.
  static std::optional<QPointF> radialRadii(QPointF d);
  // The colour of the tool: cyan while the selected layer exists and burns.
  static QColor toolColour(const LocalLayer* selectedLayer);

  const std::vector<QPointF>& stroke() const { return stroke_; }
  std::optional<DragMode> mode() const { return mode_; }

 private:
  struct Moving {
    Uuid id;
    std::vector<std::vector<double>> original;
    QPointF start;
  };

  // The selected scan's layers, hidden ones included; none without a selection.
  const std::vector<LocalLayer>& selectedLayers() const;
  // The shapes as last drawn, made again when the record, the mapping or the size changed.
  const std::vector<Shape>& currentShapes(QSizeF size);
  double brushRadius(QSizeF size) const;
  void dragChanged(const OverlayPointer& pointer);
  void dragEnded(const OverlayPointer& pointer);
  void paintLive(QPainter& painter, QSizeF size, double zoom);

  AppModel& model_;
  std::optional<QPointF> hover_;
  std::vector<QPointF> stroke_;
  std::optional<QPointF> dragStart_;
  std::optional<QPointF> dragNow_;
  std::optional<DragMode> mode_;
  std::optional<Moving> moving_;
  std::optional<QPointF> pressedAt_;

  std::vector<Shape> shapes_;
  std::vector<LocalLayer> shapesOf_;
  std::optional<Uuid> shapesSelected_;
  std::optional<PreviewMapping::Frame> shapesFrame_;
  QSizeF shapesSize_;
  bool shapesValid_ = false;
  OverlayLayer layer_;
  double layerZoom_ = 0;
  QObject watch_;  // the model's signals that the host does not take up
};
