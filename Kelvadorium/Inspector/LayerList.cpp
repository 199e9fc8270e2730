#include "Inspector/LayerList.h"

#include <QCheckBox>
#include <QCursor>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>

#include "Model/AppModel.h"
#include "ViewKit/NamedColours.h"
#include "ViewKit/PrintfText.h"
#include "ViewKit/ShortcutText.h"
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
const char* const emptyText = "Empty: draw on the picture to add a shape.";

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

// The looks of the rows' buttons and box: their style options, as the widgets make them.
class ButtonLook final : public QToolButton {
 public:
  using QToolButton::initStyleOption;
  using QToolButton::QToolButton;
};
class BoxLook final : public QCheckBox {
 public:
  using QCheckBox::initStyleOption;
  using QCheckBox::QCheckBox;
};

void fillRounded(QPainter& painter, const QRect& rect, qreal radius, QColor colour, qreal opacity) {
  colour.setAlphaF(colour.alphaF() * opacity);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawRoundedRect(QRectF(rect), radius, radius);
  painter.restore();
}

QString exposureSymbol(bool negative) {
  return negative ? "circle.lefthalf.filled" : "circle.righthalf.filled";
}

// A rectangle of `size` at `x`, centred in `row` from top to bottom.
QRect centred(const QRect& row, int x, QSize size) {
  return {x, row.top() + (row.height() - size.height()) / 2, size.width(), size.height()};
}

int textWidth(const QFont& font, const QString& text) {
  return static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

}  // namespace

LayerList::LayerList(AppModel& model, QWidget* parent) : InspectorRow(parent), model_(model) {
  setObjectName("LayerList");
  setAttribute(Qt::WA_OpaquePaintEvent);
  // A change of height repaints the rows that moved and the round ends, not the whole list.
  setAttribute(Qt::WA_StaticContents);
  setMouseTracking(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(listPadding, listPadding, listPadding, listPadding);
  layout->setSpacing(0);
  rowsSpace_ = new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
  layout->addItem(rowsSpace_);

  eye_ = SymbolIcons::icon("eye");
  eyeSlash_ = SymbolIcons::icon("eye.slash");
  trash_ = SymbolIcons::icon("trash");
  xmark_ = SymbolIcons::icon("xmark");
  auto* button = new ButtonLook(this);
  button->setIcon(trash_);
  button->setAutoRaise(true);
  button->hide();
  button_ = button;
  box_ = new BoxLook("Outside", this);
  box_->setFont(FontRoles::font(FontRole::footnote));
  box_->hide();

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

QString LayerList::help(RowKind kind, Control control) {
  switch (control) {
    case Control::visibility:
      return "Show / hide this layer's effect";
    case Control::outside:
      return "Work outside this ellipse instead of inside";
    case Control::remove:
      if (kind == RowKind::shape) return "Remove this shape";
      return "Delete this layer (" + ShortcutText::keys(QKeySequence::Undo) + " brings it back)";
    case Control::select:
      break;
  }
  return {};
}

int LayerList::widthOf(TextFont font, const QString& text) {
  constexpr qsizetype most = 512;  // summaries come and go while a slider moves
  QHash<QString, int>& widths = widths_[static_cast<size_t>(font)];
  if (const auto found = widths.constFind(text); found != widths.cend()) return *found;
  if (widths.size() >= most) widths.clear();
  const Metrics& m = metrics_;
  const QFont& measured = font == TextFont::name           ? m.name
                          : font == TextFont::selectedName ? m.selectedName
                          : font == TextFont::caption      ? m.caption
                                                           : m.callout;
  const int width = textWidth(measured, text);
  widths.insert(text, width);
  return width;
}

void LayerList::measure() {
  if (measured_) return;
  measured_ = true;
  widths_ = {};
  Metrics& m = metrics_;
  m.name = font();
  m.selectedName = font();
  m.selectedName.setWeight(QFont::DemiBold);
  m.caption = FontRoles::font(FontRole::caption);
  m.callout = FontRoles::font(FontRole::callout);
  m.button = button_->sizeHint();
  m.box = box_->sizeHint();
  m.leastName = QFontMetrics(m.name).horizontalAdvance("M…M");
  m.leastSelectedName = QFontMetrics(m.selectedName).horizontalAdvance("M…M");
  const int caption = QFontMetrics(m.caption).height();
  m.layerHeight = std::max({iconSide, QFontMetrics(m.name).height(), caption, m.button.height()}) +
                  layerPadding.top() + layerPadding.bottom();
  m.shapeHeight = std::max(QFontMetrics(m.callout).height(), m.button.height()) +
                  shapePadding.top() + shapePadding.bottom();
  m.radialHeight =
      std::max(m.shapeHeight, m.box.height() + shapePadding.top() + shapePadding.bottom());
  m.emptyHeight = caption + shapePadding.top() + shapePadding.bottom();
}

int LayerList::rowHeight(const Row& row) const {
  switch (row.kind) {
    case RowKind::layer:
      return metrics_.layerHeight;
    case RowKind::shape:
      return row.radial ? metrics_.radialHeight : metrics_.shapeHeight;
    case RowKind::empty:
      break;
  }
  return metrics_.emptyHeight;
}

// What the row's widgets would have asked of the list's width: the name squeezed to its least.
int LayerList::leastWidth(const Row& row) const {
  const Metrics& m = metrics_;
  switch (row.kind) {
    case RowKind::layer:
      return layerPadding.left() + iconSide + itemSpacing +
             (row.selected ? m.leastSelectedName : m.leastName) + itemSpacing + row.summaryWidth +
             itemSpacing + m.button.width() + itemSpacing + m.button.width() + layerPadding.right();
    case RowKind::shape:
      return shapePadding.left() + kindWidth + itemSpacing + row.nameWidth +
             (row.radial ? itemSpacing + m.box.width() : 0) + itemSpacing + m.button.width() +
             shapePadding.right();
    case RowKind::empty:
      break;
  }
  return shapePadding.left() + row.nameWidth;
}

LayerList::Parts LayerList::partsOf(const Row& row) const {
  const Metrics& m = metrics_;
  Parts parts;
  if (row.kind == RowKind::layer) {
    const QRect inner = row.rect.marginsRemoved(layerPadding);
    parts.remove = centred(inner, inner.right() + 1 - m.button.width(), m.button);
    parts.visibility =
        centred(inner, parts.remove.left() - itemSpacing - m.button.width(), m.button);
    parts.icon = centred(inner, inner.left(), {iconSide, iconSide});
    const QFont& nameFont = row.selected ? m.selectedName : m.name;
    const int nameLeft = parts.icon.right() + 1 + itemSpacing;
    const int room =
        parts.visibility.left() - itemSpacing - row.summaryWidth - itemSpacing - nameLeft;
    // As a box gives a label: its text's width, down to the least when the row is narrow, and
    // never less than that least.
    const int least = row.selected ? m.leastSelectedName : m.leastName;
    const int name = std::max(least, std::min(row.nameWidth, room));
    // A name keeps its own height, centred, as the fixed-height label it replaces.
    parts.name = centred(inner, nameLeft, {name, QFontMetrics(nameFont).height()});
    parts.summary =
        QRect(parts.name.right() + 1 + itemSpacing, inner.top(), row.summaryWidth, inner.height());
  } else if (row.kind == RowKind::shape) {
    const QRect inner = row.rect.marginsRemoved(shapePadding);
    parts.remove = centred(inner, inner.right() + 1 - m.button.width(), m.button);
    if (row.radial) {
      parts.outside = centred(inner, parts.remove.left() - itemSpacing - m.box.width(), m.box);
    }
    parts.icon = QRect(inner.left(), inner.top(), kindWidth, inner.height());
    parts.name =
        QRect(parts.icon.right() + 1 + itemSpacing, inner.top(), row.nameWidth, inner.height());
  } else {
    parts.name =
        row.rect.adjusted(shapePadding.left(), shapePadding.top(), 0, -shapePadding.bottom());
  }
  return parts;
}

QRect LayerList::controlRect(size_t index, Control control) const {
  if (index >= rows_.size()) return {};
  const Row& row = rows_[index];
  const Parts parts = partsOf(row);
  if (row.kind == RowKind::layer) {
    switch (control) {
      case Control::select:
        return row.rect;
      case Control::visibility:
        return parts.visibility;
      case Control::remove:
        return parts.remove;
      case Control::outside:
        return {};
    }
  }
  if (row.kind == RowKind::shape) {
    if (control == Control::outside) return parts.outside;
    if (control == Control::remove) return parts.remove;
  }
  return {};
}

QString LayerList::shownName(size_t index) const {
  if (index >= rows_.size()) return {};
  const Row& row = rows_[index];
  if (row.kind != RowKind::layer) return row.name;
  return QFontMetrics(row.selected ? metrics_.selectedName : metrics_.name)
      .elidedText(row.name, Qt::ElideMiddle, partsOf(row).name.width());
}

// The buttons first: the select control is the rest of a layer row.
std::optional<LayerList::Target> LayerList::targetAt(QPoint point) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    if (!row.rect.contains(point)) continue;
    for (Control control : {Control::visibility, Control::outside, Control::remove}) {
      if (controlRect(i, control).contains(point)) return Target{row.id, control};
    }
    if (row.kind == RowKind::layer) return Target{row.id, Control::select};
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<size_t> LayerList::indexOf(const Uuid& id) const {
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].kind != RowKind::empty && rows_[i].id == id) return i;
  }
  return std::nullopt;
}

void LayerList::updateTarget(const std::optional<Target>& target) {
  if (!target) return;
  if (const auto index = indexOf(target->id)) update(controlRect(*index, target->control));
}

void LayerList::setHover(std::optional<Target> hover) {
  if (hover && hover->control == Control::select) hover.reset();  // the row shows no hover
  if (hover == hover_) return;
  updateTarget(hover_);
  hover_ = hover;
  updateTarget(hover_);
}

void LayerList::act(const Target& target) {
  switch (target.control) {
    case Control::select:
      model_.toggleLayerSelection(target.id);
      return;
    case Control::visibility:
      model_.editSelectedCapturing(target.id, &AppModel::toggleLayerVisible);
      return;
    case Control::outside:
      model_.editSelectedCapturing(target.id, &AppModel::toggleStrokeInvert);
      return;
    case Control::remove:
      if (rows_[*indexOf(target.id)].kind == RowKind::layer) {
        model_.deleteLayer(target.id);
      } else {
        model_.editSelectedCapturing(target.id, &AppModel::removeStroke);
      }
      return;
  }
}

void LayerList::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return InspectorRow::mousePressEvent(event);
  event->accept();
  pressed_ = targetAt(event->position().toPoint());
  updateTarget(pressed_);
}

void LayerList::mouseMoveEvent(QMouseEvent* event) {
  setHover(targetAt(event->position().toPoint()));
  if (pressed_) updateTarget(pressed_);
}

void LayerList::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return InspectorRow::mouseReleaseEvent(event);
  event->accept();
  const std::optional<Target> pressed = std::exchange(pressed_, std::nullopt);
  updateTarget(pressed);
  const std::optional<Target> released = targetAt(event->position().toPoint());
  // The row named by the press, found again by id: the list may have changed under the pointer.
  if (pressed && released && *pressed == *released) act(*released);
}

void LayerList::leaveEvent(QEvent* event) {
  setHover(std::nullopt);
  InspectorRow::leaveEvent(event);
}

bool LayerList::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<Target> target = targetAt(help->pos());
    const QString text =
        target ? LayerList::help(rows_[*indexOf(target->id)].kind, target->control) : QString();
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this,
                         controlRect(*indexOf(target->id), target->control));
    }
    return true;
  }
  return InspectorRow::event(event);
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

  measure();
  std::vector<Row> rows;
  const int left = listPadding;
  const int width = std::max(0, this->width() - 2 * listPadding);
  int y = listPadding;
  int least = 0;
  const auto place = [&](Row row) {
    row.rect = QRect(left, y, width, rowHeight(row));
    y += row.rect.height();
    least = std::max(least, leastWidth(row));
    rows.push_back(std::move(row));
  };
  for (size_t i = 0; i < layers.size(); ++i) {
    const LocalLayer& layer = layers[i];
    const bool isSelected = selected && static_cast<size_t>(*selected) == i;
    Row row;
    row.kind = RowKind::layer;
    row.id = layer.id;
    row.name = QString::fromStdString(layer.name);
    row.summary = summary(layer.adjust);
    row.symbol = exposureSymbol(layer.adjust.exposure < 0);
    row.visible = layer.visible;
    row.selected = isSelected;
    row.nameWidth = widthOf(isSelected ? TextFont::selectedName : TextFont::name, row.name);
    row.summaryWidth = widthOf(TextFont::caption, row.summary);
    place(std::move(row));
    if (!isSelected) continue;
    if (layer.shapes.empty()) {
      Row empty;
      empty.name = emptyText;
      empty.nameWidth = widthOf(TextFont::caption, empty.name);
      place(std::move(empty));
    }
    for (size_t s = 0; s < layer.shapes.size(); ++s) {
      const DodgeBurnStroke& shape = layer.shapes[s];
      Row shapeRow;
      shapeRow.kind = RowKind::shape;
      shapeRow.id = shape.id;
      shapeRow.name = strokeName(layer.shapes, s);
      shapeRow.shape = kindOf(shape);
      shapeRow.symbol = kindSymbol(shapeRow.shape);
      shapeRow.radial = kindOf(shape) == DodgeShape::radial;
      shapeRow.outside = shape.invert.value_or(false);
      shapeRow.nameWidth = widthOf(TextFont::callout, shapeRow.name);
      place(std::move(shapeRow));
    }
  }

  // Only the rows that show something else, or lie elsewhere, are painted again.
  QRegion dirty;
  for (size_t i = 0; i < std::max(rows.size(), rows_.size()); ++i) {
    const bool before = i < rows_.size();
    const bool after = i < rows.size();
    if (before && after && rows_[i] == rows[i]) continue;
    if (before) dirty += QRect(0, rows_[i].rect.top(), this->width(), rows_[i].rect.height());
    if (after) dirty += QRect(0, rows[i].rect.top(), this->width(), rows[i].rect.height());
  }
  rows_ = std::move(rows);
  if (!dirty.isEmpty()) update(dirty);
  // The pointer now rests over another control, or none, without having moved.
  if (hover_ || pressed_) {
    setHover(underMouse() ? targetAt(mapFromGlobal(QCursor::pos())) : std::nullopt);
  }
  const QSize space(least, y - listPadding);
  if (rowsSpace_->sizeHint() != space) {
    rowsSpace_->changeSize(space.width(), space.height(), QSizePolicy::Minimum, QSizePolicy::Fixed);
    layout()->invalidate();
    layout()->activate();
  }
}

void LayerList::paintRow(QPainter& painter, const Row& row) {
  const Parts parts = partsOf(row);
  const QColor ink = palette().color(QPalette::WindowText);
  if (row.kind == RowKind::empty) {
    painter.setFont(metrics_.caption);
    painter.setPen(FontRoles::secondaryText(*this));
    painter.drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter, row.name);
    return;
  }
  if (row.kind == RowKind::layer) {
    if (row.selected) {
      fillRounded(painter, row.rect, layerRadius, palette().color(QPalette::Highlight),
                  selectedOpacity);
    }
    painter.drawPixmap(parts.icon.topLeft(), row.symbol == exposureSymbol(true) ? below_ : above_);
    const QFont& nameFont = row.selected ? metrics_.selectedName : metrics_.name;
    painter.setFont(nameFont);
    painter.setPen(ink);
    const QString name =
        row.nameWidth <= parts.name.width()
            ? row.name
            : QFontMetrics(nameFont).elidedText(row.name, Qt::ElideMiddle, parts.name.width());
    painter.drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (!row.summary.isEmpty()) {
      painter.setFont(metrics_.caption);
      painter.setPen(FontRoles::secondaryText(*this));
      painter.drawText(parts.summary, Qt::AlignLeft | Qt::AlignVCenter, row.summary);
    }
  } else {
    const QPixmap& kind = kindPixmap(row.shape);
    const QSize kindSize = (QSizeF(kind.size()) / kind.devicePixelRatio()).toSize();
    painter.drawPixmap(
        QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, kindSize, parts.icon), kind);
    painter.setFont(metrics_.callout);
    painter.setPen(ink);
    painter.drawText(parts.name, Qt::AlignLeft | Qt::AlignVCenter, row.name);
  }

  const auto state = [&](Control control) {
    const Target target{row.id, control};
    QStyle::State flags;
    const bool over = hover_ && *hover_ == target;
    if (over) flags |= QStyle::State_MouseOver;
    if (over && pressed_ && *pressed_ == target) flags |= QStyle::State_Sunken;
    return flags;
  };
  const auto button = [&](const QRect& rect, const QIcon& icon, Control control) {
    QStyleOptionToolButton option;
    static_cast<ButtonLook*>(button_)->initStyleOption(&option);
    option.rect = rect;
    option.icon = icon;
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_Raised);
    const QStyle::State flags = state(control);
    option.state |= flags;
    if (!(flags & QStyle::State_Sunken)) option.state |= QStyle::State_Raised;
    style()->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, button_);
  };
  if (row.kind == RowKind::layer) {
    button(parts.visibility, row.visible ? eye_ : eyeSlash_, Control::visibility);
    button(parts.remove, trash_, Control::remove);
    return;
  }
  if (row.radial) {
    QStyleOptionButton option;
    static_cast<BoxLook*>(box_)->initStyleOption(&option);
    option.rect = parts.outside;
    option.state &=
        ~(QStyle::State_On | QStyle::State_Off | QStyle::State_MouseOver | QStyle::State_Sunken);
    option.state |= (row.outside ? QStyle::State_On : QStyle::State_Off) | state(Control::outside);
    painter.setFont(box_->font());
    style()->drawControl(QStyle::CE_CheckBox, &option, &painter, box_);
  }
  button(parts.remove, xmark_, Control::remove);
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
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const Row& row : rows_) {
    if (row.rect.bottom() < dirty.top()) continue;
    if (row.rect.top() > dirty.bottom()) break;
    paintRow(painter, row);
  }
}

// The rows' heights and widths follow the font and the style: laid out again at once.
void LayerList::changeEvent(QEvent* event) {
  InspectorRow::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    measured_ = false;
    shown_.reset();
    refreshValues();
    update();
  }
}

void LayerList::resizeEvent(QResizeEvent* event) {
  InspectorRow::resizeEvent(event);
  const QSize old = event->oldSize();
  if (old.width() != width()) {
    for (Row& row : rows_) row.rect.setWidth(std::max(0, width() - 2 * listPadding));
    update();
    return;
  }
  // The round ends at the old bottom, now inside the list or cut off, and at the new one.
  const int side = static_cast<int>(std::ceil(listRadius));
  update(QRect(0, std::min(old.height(), height()) - side, width(), side));
  update(QRect(0, height() - side, width(), side));
}
