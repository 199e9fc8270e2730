// The selected scan's local adjustment layers inside the Dodge & Burn section: one row per layer
// (exposure icon, name, a short summary, show/hide and delete), the selected layer's shapes under
// it (name, "Outside" for a radial, remove), and "New Layer" at the end. A click on a layer row
// off its buttons selects or deselects its layer.
//
// The list paints its rows itself: a row is a record of what it shows, its controls rectangles
// hit-tested under the pointer. Switching to a layer of many shapes makes, shows and lays out no
// widgets. A control acts when the press and the release land on it, and every action names its
// layer or shape by id, never by position: an undo or a change on the preview between the
// refresh and the click cannot make it hit another layer or shape, and an id that is gone
// changes nothing.
#pragma once

#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "Inspector/InspectorRow.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/DodgeShape.h"
#include "Record/LocalAdjustment.h"

class AppModel;
class QCheckBox;
class QSpacerItem;
class QToolButton;

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

  enum class RowKind { layer, shape, empty };
  // A layer row: select (the row off its buttons), visibility, remove (delete the layer). A shape
  // row: outside (radials only) and remove.
  enum class Control { select, visibility, outside, remove };

  // What one row shows, and where, in the list's coordinates.
  struct Row {
    RowKind kind = RowKind::empty;
    Uuid id;  // the layer's or the shape's
    QString name;
    QString summary;                       // layers only
    QString symbol;                        // the exposure icon's or the shape kind's
    DodgeShape shape = DodgeShape::brush;  // shapes only
    bool visible = true;
    bool selected = false;
    bool radial = false;
    bool outside = false;
    QRect rect;
    // The name's and the summary's widths in their fonts, measured once per refresh.
    int nameWidth = 0;
    int summaryWidth = 0;
    friend bool operator==(const Row&, const Row&) = default;
  };

  const std::vector<Row>& rows() const { return rows_; }
  // Where `control` of rows()[index] lies; empty when the row has no such control.
  QRect controlRect(size_t index, Control control) const;
  // The layer name as painted, shortened in the middle when the row is too narrow.
  QString shownName(size_t index) const;
  // The help a control shows under the pointer.
  static QString help(RowKind kind, Control control);
  QToolButton* newLayerButton() const { return newLayer_; }

 protected:
  void refreshValues() override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // A control of one row, by the row's id: it names the same control after the rows moved.
  struct Target {
    Uuid id;
    Control control;
    friend bool operator==(const Target&, const Target&) = default;
  };
  // The row's parts, laid out as a box of widgets would lay them out.
  struct Parts {
    QRect icon, name, summary, visibility, outside, remove;
  };

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

  // The fonts and the sizes the rows are laid out with, taken once per refresh that changes them.
  struct Metrics {
    QFont name, selectedName, caption, callout;
    QSize button, box;
    int leastName = 0, leastSelectedName = 0;
    int layerHeight = 0, shapeHeight = 0, radialHeight = 0, emptyHeight = 0;
  };
  void measure();
  // The width of `text` in one of the rows' fonts, remembered: a refresh measures only the
  // texts that changed.
  enum class TextFont { name, selectedName, caption, callout };
  int widthOf(TextFont font, const QString& text);

  const QPixmap& kindPixmap(DodgeShape kind);
  Parts partsOf(const Row& row) const;
  int rowHeight(const Row& row) const;
  int leastWidth(const Row& row) const;
  std::optional<size_t> indexOf(const Uuid& id) const;
  std::optional<Target> targetAt(QPoint point) const;
  void setHover(std::optional<Target> hover);
  void updateTarget(const std::optional<Target>& target);
  void act(const Target& target);
  void paintRow(QPainter& painter, const Row& row);

  AppModel& model_;
  std::vector<Row> rows_;
  QSpacerItem* rowsSpace_;
  QToolButton* newLayer_;
  // Never shown: the sizes and the looks of the rows' buttons and box come from them.
  QToolButton* button_;
  QCheckBox* box_;
  std::optional<Target> hover_;
  std::optional<Target> pressed_;
  // The two exposure icons, drawn for the screen's scale.
  QPixmap below_;
  QPixmap above_;
  qreal iconScale_ = 0;
  // The buttons' icons, made once: an icon made afresh draws its symbol afresh.
  QIcon eye_;
  QIcon eyeSlash_;
  QIcon trash_;
  QIcon xmark_;
  // The shape rows' kind icons, by DodgeShape.
  std::array<QPixmap, 3> kindPixmaps_;
  std::optional<Shown> shown_;
  Metrics metrics_;
  bool measured_ = false;
  std::array<QHash<QString, int>, 4> widths_;
};
