// The selected scan's local adjustment layers inside the Dodge & Burn section: one row per layer
// (exposure icon, name, a short summary, show/hide and delete), the selected layer's shapes under
// it (name, "Outside" for a radial, remove), and "New Layer" at the end. A click on a row selects
// or deselects its layer.
//
// The rows are remade at each refresh from the record, reusing the row of the same id, and every
// action names its layer or shape by id, never by position: an undo or a change on the preview
// between the refresh and the click cannot make it hit another layer or shape, and an id that
// is gone changes nothing.
#pragma once

#include <QPixmap>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "Inspector/InspectorRow.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/LocalAdjustment.h"

class AppModel;
class QLabel;
class QToolButton;
class QVBoxLayout;

class LayerList final : public InspectorRow {
  Q_OBJECT

 public:
  explicit LayerList(AppModel& model, QWidget* parent = nullptr);

  // "%+.2f EV" for an exposure that is not 0, then "+N" for the N other values that are not 0,
  // one blank between; empty when every value is 0.
  static QString summary(const LocalAdjustment& adjust);
  // The name of shapes[index]: its kind ("Brush" for none) and its number among the shapes of
  // that kind up to it, counted from 1 in list order.
  static QString strokeName(const std::vector<DodgeBurnStroke>& shapes, size_t index);

  // The row widgets in list order, for looking at; shape rows and the empty text included.
  std::vector<QWidget*> rows() const;
  QToolButton* newLayerButton() const { return newLayer_; }

 protected:
  void refreshValues() override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class LayerRow;
  class ShapeRow;

  // What the rows show of the record: a refresh that finds the same does nothing.
  struct ShownLayer {
    Uuid id;
    std::string name;
    LocalAdjustment adjust;
    bool visible;
    friend bool operator==(const ShownLayer&, const ShownLayer&) = default;
  };
  struct ShownShape {
    Uuid id;
    DodgeShape kind;
    bool invert;
    friend bool operator==(const ShownShape&, const ShownShape&) = default;
  };
  struct Shown {
    std::vector<ShownLayer> layers;
    std::optional<int> selected;
    std::vector<ShownShape> shapes;
    qreal scale = 0;
    friend bool operator==(const Shown&, const Shown&) = default;
  };

  const QPixmap& kindPixmap(DodgeShape kind);

  AppModel& model_;
  QVBoxLayout* rowsLayout_;
  std::vector<LayerRow*> layerRows_;
  std::vector<ShapeRow*> shapeRows_;
  // Rows not shown now, hidden, for the next refresh that needs rows.
  std::vector<LayerRow*> spareLayers_;
  std::vector<ShapeRow*> spareShapes_;
  QLabel* emptyText_;
  QToolButton* newLayer_;
  // The two exposure icons, drawn for the screen's scale.
  QPixmap below_;
  QPixmap above_;
  qreal iconScale_ = 0;
  // The shape rows' kind icons, by DodgeShape.
  std::array<QPixmap, 3> kindPixmaps_;
  std::optional<Shown> shown_;
};
