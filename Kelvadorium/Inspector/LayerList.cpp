#include "Inspector/LayerList.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>

#include "Inspector/ElidedLabel.h"
#include "Model/AppModel.h"
#include "ViewKit/NamedColours.h"
#include "ViewKit/PrintfText.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/SymbolButton.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr int listPadding = 4;
constexpr qreal listRadius = 6;
constexpr qreal listOpacity = 0.05;
constexpr int itemSpacing = 6;
constexpr QMargins layerPadding(6, 4, 6, 4);
constexpr qreal layerRadius = 5;
constexpr qreal selectedOpacity = 0.25;
constexpr QMargins shapePadding(26, 2, 6, 2);
constexpr int kindWidth = 14;
constexpr int iconSide = 14;

DodgeShape kindOf(const DodgeBurnStroke& stroke) {
  return stroke.shape.value_or(DodgeShape::brush);
}

const char* kindWord(DodgeShape kind) {
  switch (kind) {
    case DodgeShape::linear:
      return "Linear ";
    case DodgeShape::radial:
      return "Radial ";
    case DodgeShape::brush:
      break;
  }
  return "Brush ";
}

QString kindSymbol(DodgeShape kind) {
  switch (kind) {
    case DodgeShape::linear:
      return "rectangle.split.1x2";
    case DodgeShape::radial:
      return "circle.dashed";
    case DodgeShape::brush:
      break;
  }
  return "paintbrush.pointed";
}

QToolButton* borderless(const QString& name, const QString& symbol, const QString& help,
                        QWidget* parent) {
  QToolButton* button = SymbolButton::make(name, symbol, help, parent);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

void fillRounded(QWidget& widget, qreal radius, QColor colour, qreal opacity) {
  colour.setAlphaF(colour.alphaF() * opacity);
  QPainter painter(&widget);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawRoundedRect(QRectF(widget.rect()), radius, radius);
}

template <class Row>
void setTextIfChanged(Row* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

// Takes the first row showing `id` out of `old` for reuse; none when no row shows it.
template <class Row>
Row* takeRow(std::vector<Row*>& old, const Uuid& id) {
  const auto found =
      std::find_if(old.begin(), old.end(), [&](Row* row) { return row && row->id() == id; });
  if (found == old.end()) return nullptr;
  return std::exchange(*found, nullptr);
}

// The rows show exactly these ids, in this order.
template <class Row>
bool showsIDs(const std::vector<Row*>& rows, const std::vector<Uuid>& ids) {
  return std::equal(rows.begin(), rows.end(), ids.begin(), ids.end(),
                    [](Row* row, const Uuid& id) { return row->id() == id; });
}

// The rows for `ids`, in order: the row that showed the same id, shown or spare, else a spare
// row given the id, else a new one. Rows left over are hidden and kept as spares: switching
// between a layer with many shapes and another makes no widgets.
template <class Row, class Make>
std::vector<Row*> rowsFor(const std::vector<Uuid>& ids, std::vector<Row*> old,
                          std::vector<Row*>& spares, Make make) {
  std::vector<Row*> rows(ids.size(), nullptr);
  for (size_t i = 0; i < ids.size(); ++i) rows[i] = takeRow(old, ids[i]);
  for (Row* row : old) {
    if (row) spares.push_back(row);
  }
  // A spare that showed the same id before still shows its texts and icon: nothing in it
  // changes size, so showing it lays out nothing again.
  for (size_t i = 0; i < ids.size(); ++i) {
    if (!rows[i]) rows[i] = takeRow(spares, ids[i]);
  }
  std::erase(spares, nullptr);
  for (size_t i = 0; i < ids.size(); ++i) {
    if (rows[i]) continue;
    if (spares.empty()) {
      rows[i] = make(ids[i]);
    } else {
      rows[i] = spares.back();
      spares.pop_back();
      rows[i]->rebind(ids[i]);
    }
  }
  for (Row* row : spares) {
    if (!row->isHidden()) row->hide();
  }
  return rows;
}

}  // namespace

// One layer: exposure icon, name, summary, show/hide and delete. A click elsewhere on it selects
// or deselects the layer.
class LayerList::LayerRow final : public QWidget {
 public:
  LayerRow(AppModel& model, const Uuid& id, QWidget* parent)
      : QWidget(parent), model_(model), id_(id) {
    setObjectName("layerRow");
    icon_ = new QLabel(this);
    icon_->setObjectName("exposureIcon");
    icon_->setFixedSize(iconSide, iconSide);
    name_ = new ElidedLabel(this);
    name_->setObjectName("name");
    name_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    summary_ = new QLabel(this);
    summary_->setObjectName("summary");
    summary_->setTextFormat(Qt::PlainText);
    FontRoles::apply(*summary_, FontRole::caption, true);
    eye_ = borderless("visibility", "eye", "Show / hide this layer's effect", this);
    auto* trash = borderless(
        "delete", "trash",
        "Delete this layer (" + ShortcutText::keys(QKeySequence::Undo) + " brings it back)", this);
    connect(eye_, &QToolButton::clicked, this,
            [this] { model_.editSelectedCapturing(id_, &AppModel::toggleLayerVisible); });
    connect(trash, &QToolButton::clicked, this, [this] { model_.deleteLayer(id_); });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(layerPadding);
    layout->setSpacing(itemSpacing);
    layout->addWidget(icon_);
    layout->addWidget(name_);
    layout->addWidget(summary_);
    layout->addStretch(1);
    layout->addWidget(eye_);
    layout->addWidget(trash);
  }

  const Uuid& id() const { return id_; }
  void rebind(const Uuid& id) { id_ = id; }

  void display(const LocalLayer& layer, bool selected, const QPixmap& below, const QPixmap& above) {
    const bool negative = layer.adjust.exposure < 0;
    if (negative != negative_) {
      negative_ = negative;
      icon_->setPixmap(negative ? below : above);
      icon_->setProperty("symbol", negative ? "circle.lefthalf.filled" : "circle.righthalf.filled");
    }
    const QString name = QString::fromStdString(layer.name);
    if (name_->fullText() != name) name_->setFullText(name);
    setTextIfChanged(summary_, summary(layer.adjust));
    if (layer.visible != visible_) {
      visible_ = layer.visible;
      eye_->setIcon(SymbolIcons::icon(layer.visible ? "eye" : "eye.slash"));
      eye_->setProperty("symbol", layer.visible ? "eye" : "eye.slash");
    }
    if (selected != selected_) {
      selected_ = selected;
      QFont font = name_->font();
      font.setWeight(selected ? QFont::DemiBold : QFont::Normal);
      name_->setFont(font);
      update();
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (selected_) {
      fillRounded(*this, layerRadius, palette().color(QPalette::Highlight), selectedOpacity);
    }
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) event->accept();
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) return;
    event->accept();
    model_.toggleLayerSelection(id_);
  }

 private:
  AppModel& model_;
  Uuid id_;
  QLabel* icon_;
  ElidedLabel* name_;
  QLabel* summary_;
  QToolButton* eye_;
  std::optional<bool> negative_;
  std::optional<bool> visible_;
  bool selected_ = false;
};

// One shape of the selected layer: kind icon, name, "Outside" for a radial, remove.
class LayerList::ShapeRow final : public QWidget {
 public:
  ShapeRow(AppModel& model, const Uuid& id, QWidget* parent)
      : QWidget(parent), model_(model), id_(id) {
    setObjectName("shapeRow");
    kind_ = new QLabel(this);
    kind_->setObjectName("kind");
    kind_->setFixedWidth(kindWidth);
    kind_->setAlignment(Qt::AlignCenter);
    name_ = new QLabel(this);
    name_->setObjectName("name");
    name_->setTextFormat(Qt::PlainText);
    FontRoles::apply(*name_, FontRole::callout);
    outside_ = new QCheckBox("Outside", this);
    outside_->setObjectName("outside");
    outside_->setToolTip("Work outside this ellipse instead of inside");
    outside_->setFont(FontRoles::font(FontRole::footnote));
    outside_->setFocusPolicy(Qt::NoFocus);
    auto* remove = borderless("remove", "xmark", "Remove this shape", this);
    connect(outside_, &QCheckBox::clicked, this, [this] {
      // The box shows the record, not the click: it goes back until the refresh shows the edit.
      {
        const QSignalBlocker blocker(outside_);
        outside_->setChecked(!outside_->isChecked());
      }
      model_.editSelectedCapturing(id_, &AppModel::toggleStrokeInvert);
    });
    connect(remove, &QToolButton::clicked, this,
            [this] { model_.editSelectedCapturing(id_, &AppModel::removeStroke); });
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(shapePadding);
    layout->setSpacing(itemSpacing);
    layout->addWidget(kind_);
    layout->addWidget(name_);
    layout->addStretch(1);
    layout->addWidget(outside_);
    layout->addWidget(remove);
  }

  const Uuid& id() const { return id_; }
  void rebind(const Uuid& id) { id_ = id; }

  void display(const DodgeBurnStroke& stroke, const QString& name, const QPixmap& kindPixmap) {
    const DodgeShape kind = kindOf(stroke);
    if (kind != shownKind_) {
      shownKind_ = kind;
      kind_->setPixmap(kindPixmap);
      kind_->setProperty("symbol", kindSymbol(kind));
      outside_->setVisible(kind == DodgeShape::radial);
    }
    setTextIfChanged(name_, name);
    const bool invert = stroke.invert.value_or(false);
    if (outside_->isChecked() != invert) {
      const QSignalBlocker blocker(outside_);
      outside_->setChecked(invert);
    }
  }

 private:
  AppModel& model_;
  Uuid id_;
  QLabel* kind_;
  QLabel* name_;
  QCheckBox* outside_;
  std::optional<DodgeShape> shownKind_;
};

LayerList::LayerList(AppModel& model, QWidget* parent) : InspectorRow(parent), model_(model) {
  setObjectName("LayerList");
  setAttribute(Qt::WA_OpaquePaintEvent);
  // A change of height repaints the rows that moved and the round ends, not the whole list.
  setAttribute(Qt::WA_StaticContents);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(listPadding, listPadding, listPadding, listPadding);
  layout->setSpacing(0);
  rowsLayout_ = new QVBoxLayout;
  rowsLayout_->setContentsMargins(0, 0, 0, 0);
  rowsLayout_->setSpacing(0);
  layout->addLayout(rowsLayout_);

  emptyText_ = new QLabel("Empty: draw on the picture to add a shape.", this);
  emptyText_->setObjectName("emptyText");
  FontRoles::apply(*emptyText_, FontRole::caption, true);
  emptyText_->setContentsMargins(shapePadding.left(), shapePadding.top(), 0, shapePadding.bottom());
  emptyText_->hide();

  newLayer_ = new QToolButton(this);
  newLayer_->setObjectName("New Layer");
  newLayer_->setText("New Layer");
  newLayer_->setIcon(SymbolIcons::icon("plus"));
  newLayer_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  newLayer_->setAutoRaise(true);
  newLayer_->setToolTip(
      "Add a new layer under the current one; the next shape you draw goes into it");
  connect(newLayer_, &QToolButton::clicked, this, [this] { model_.addLayer(); });
  auto* newRow = new QHBoxLayout;
  newRow->setContentsMargins(6, 4, 0, 0);
  newRow->addWidget(newLayer_);
  newRow->addStretch(1);
  layout->addLayout(newRow);
  // Laid out before the column gives it its new height: it grows to its least height at once
  // rather than squeezing the rows, and a height to spare goes below them rather than into them.
  layout->setSizeConstraint(QLayout::SetMinimumSize);
  layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
  layout->setStretch(layout->count() - 1, 1);
}

QString LayerList::summary(const LocalAdjustment& adjust) {
  QStringList parts;
  if (adjust.exposure != 0) parts << PrintfText::format("%+.2f EV", adjust.exposure);
  const std::array others{adjust.contrast,  adjust.highlights, adjust.shadows, adjust.whites,
                          adjust.blacks,    adjust.clarity,    adjust.dehaze,  adjust.sharpness,
                          adjust.blackMist, adjust.saturation};
  const auto changed = std::count_if(others.begin(), others.end(), [](double v) { return v != 0; });
  if (changed > 0) parts << "+" + QString::number(changed);
  return parts.join(' ');
}

QString LayerList::strokeName(const std::vector<DodgeBurnStroke>& shapes, size_t index) {
  if (index >= shapes.size()) return {};
  const DodgeShape kind = kindOf(shapes[index]);
  const auto number = std::count_if(shapes.begin(), shapes.begin() + static_cast<long>(index) + 1,
                                    [kind](const DodgeBurnStroke& s) { return kindOf(s) == kind; });
  return kindWord(kind) + QString::number(number);
}

// Drawn once per kind: a row given another shape takes its icon without rendering it again.
const QPixmap& LayerList::kindPixmap(DodgeShape kind) {
  QPixmap& pixmap = kindPixmaps_[static_cast<size_t>(kind)];
  if (pixmap.isNull()) {
    pixmap = SymbolIcons::icon(kindSymbol(kind)).pixmap(QSize(kindWidth, kindWidth));
  }
  return pixmap;
}

std::vector<QWidget*> LayerList::rows() const {
  std::vector<QWidget*> widgets;
  for (int i = 0; i < rowsLayout_->count(); ++i)
    widgets.push_back(rowsLayout_->itemAt(i)->widget());
  return widgets;
}

void LayerList::refreshValues() {
  static const std::vector<LocalLayer> none;
  const auto scan = model_.selectedIndex();
  const std::vector<LocalLayer>& layers = scan ? model_.items()[*scan].settings.layers : none;
  // Looked up afresh: an id that names no layer counts as no selection.
  const std::optional<int> selected = model_.selectedLayerIndex();
  const qreal scale = devicePixelRatioF();

  // Most refreshes follow a change elsewhere (a slider of the layer, another section): the
  // rows showing the same thing, nothing is looked at further.
  Shown shown{{}, selected, {}, scale};
  shown.layers.reserve(layers.size());
  for (const LocalLayer& layer : layers)
    shown.layers.push_back({layer.id, layer.name, layer.adjust, layer.visible});
  if (selected) {
    for (const DodgeBurnStroke& shape : layers[static_cast<size_t>(*selected)].shapes)
      shown.shapes.push_back({shape.id, kindOf(shape), shape.invert.value_or(false)});
  }
  if (shown_ == shown) return;
  shown_ = std::move(shown);

  if (scale != iconScale_) {
    iconScale_ = scale;
    kindPixmaps_ = {};
    below_ = TintedSymbol::pixmap("circle.lefthalf.filled", NamedColours::colour(NamedColour::cyan),
                                  {iconSide, iconSide}, scale);
    above_ =
        TintedSymbol::pixmap("circle.righthalf.filled", NamedColours::colour(NamedColour::yellow),
                             {iconSide, iconSide}, scale);
  }

  std::vector<Uuid> layerIDs;
  for (const LocalLayer& layer : layers) layerIDs.push_back(layer.id);
  const std::vector<DodgeBurnStroke>* shapes =
      selected ? &layers[static_cast<size_t>(*selected)].shapes : nullptr;
  std::vector<Uuid> shapeIDs;
  if (shapes) {
    for (const DodgeBurnStroke& shape : *shapes) shapeIDs.push_back(shape.id);
  }
  const bool emptyShown = shapes && shapes->empty();
  // A row shown inside a visible list lays out the list and the column at once: with the
  // list's layout off, the rows shown and hidden here cost one layout together. Hiding the list
  // instead would hide and show every row and each of its children.
  const bool batch = !showsIDs(layerRows_, layerIDs) || !showsIDs(shapeRows_, shapeIDs) ||
                     emptyShown == emptyText_->isHidden();
  if (batch) layout()->setEnabled(false);
  layerRows_ = rowsFor(layerIDs, std::move(layerRows_), spareLayers_,
                       [this](const Uuid& id) { return new LayerRow(model_, id, this); });
  shapeRows_ = rowsFor(shapeIDs, std::move(shapeRows_), spareShapes_,
                       [this](const Uuid& id) { return new ShapeRow(model_, id, this); });

  std::vector<QWidget*> order;
  for (size_t i = 0; i < layers.size(); ++i) {
    const bool isSelected = selected && static_cast<size_t>(*selected) == i;
    layerRows_[i]->display(layers[i], isSelected, below_, above_);
    order.push_back(layerRows_[i]);
    if (!isSelected) continue;
    if (emptyShown) order.push_back(emptyText_);
    for (size_t s = 0; s < shapes->size(); ++s) {
      const DodgeBurnStroke& shape = (*shapes)[s];
      shapeRows_[s]->display(shape, strokeName(*shapes, s), kindPixmap(kindOf(shape)));
      order.push_back(shapeRows_[s]);
    }
  }

  if (rows() != order) {
    // The items are put back in the new order rather than made anew: each keeps the sizes it
    // read from its row, which a new item would ask every row for again.
    std::unordered_map<QWidget*, QLayoutItem*> items;
    while (rowsLayout_->count() > 0) {
      QLayoutItem* item = rowsLayout_->takeAt(0);
      items.emplace(item->widget(), item);
    }
    for (QWidget* widget : order) {
      const auto kept = items.find(widget);
      if (kept == items.end()) {
        rowsLayout_->addWidget(widget);
      } else {
        rowsLayout_->addItem(kept->second);
        items.erase(kept);
      }
    }
    for (const auto& [widget, item] : items) delete item;
  }
  if (!emptyShown && !emptyText_->isHidden()) emptyText_->hide();
  for (QWidget* widget : order) {
    if (widget->isHidden()) widget->setVisible(true);
  }
  if (batch) {
    layout()->setEnabled(true);
    layout()->activate();
  }
}

// Opaque, over the section's base colour: the tint is mixed here and the list filled as a plain
// rectangle, which the raster engine fills at once, with only its four corners drawn round. A
// translucent rounded fill is split in bands over the engine's threads, and the section's
// background under it painted first: on a busy machine these cost more than the rows.
void LayerList::paintEvent(QPaintEvent* event) {
  const QColor base = palette().color(QPalette::Base);
  const QColor ink = palette().color(QPalette::WindowText);
  const qreal share = ink.alphaF() * listOpacity;
  const auto mix = [share](qreal under, qreal over) { return under + (over - under) * share; };
  const QColor tint = QColor::fromRgbF(static_cast<float>(mix(base.redF(), ink.redF())),
                                       static_cast<float>(mix(base.greenF(), ink.greenF())),
                                       static_cast<float>(mix(base.blueF(), ink.blueF())));
  QPainter painter(this);
  const QRect dirty = event->rect();
  painter.fillRect(dirty, tint);
  const int side = static_cast<int>(std::ceil(listRadius));
  const std::array corners{QRect(0, 0, side, side), QRect(width() - side, 0, side, side),
                           QRect(0, height() - side, side, side),
                           QRect(width() - side, height() - side, side, side)};
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(tint);
  for (const QRect& corner : corners) {
    if (!corner.intersects(dirty)) continue;
    painter.save();
    painter.setClipRect(corner);
    painter.fillRect(corner, base);
    painter.drawRoundedRect(QRectF(rect()), listRadius, listRadius);
    painter.restore();
  }
}

void LayerList::resizeEvent(QResizeEvent* event) {
  InspectorRow::resizeEvent(event);
  const QSize old = event->oldSize();
  if (old.width() != width()) {
    update();
    return;
  }
  // The round ends at the old bottom, now inside the list or cut off, and at the new one.
  const int side = static_cast<int>(std::ceil(listRadius));
  update(QRect(0, std::min(old.height(), height()) - side, width(), side));
  update(QRect(0, height() - side, width(), side));
}
