#include "Inspector/DodgeBurnSection.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Inspector/AdjustRow.h"
#include "Inspector/InspectorView.h"
#include "Inspector/LayerList.h"
#include "Inspector/SectionSignals.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace DodgeBurnSection {

namespace {

constexpr int rowSpacing = 8;
constexpr int shapeSpacing = 4;
constexpr qreal backdropRadius = 6;
constexpr qreal activeOpacity = 0.35;
constexpr qreal chosenOpacity = 0.08;
constexpr int symbolSide = 16;
constexpr int headerSpacing = 4;

const QKeySequence dodgeModeKeys(Qt::CTRL | Qt::ALT | Qt::Key_D);

using A = LocalAdjustment;

// The selected layer of the selected scan; none when no layer is selected or the id names none.
const LocalLayer* selectedLayer(const AppModel& model) {
  const auto scan = model.selectedIndex();
  const std::optional<int> layer = model.selectedLayerIndex();
  if (!scan || !layer) return nullptr;
  return &model.items()[*scan].settings.layers[static_cast<size_t>(*layer)];
}

bool scanHasLayers(const AppModel& model) {
  const auto scan = model.selectedIndex();
  return scan && !model.items()[*scan].settings.layers.empty();
}

bool holdsRadial(const LocalLayer* layer) {
  return layer &&
         std::any_of(layer->shapes.begin(), layer->shapes.end(),
                     [](const DodgeBurnStroke& s) { return s.shape == DodgeShape::radial; });
}

QHBoxLayout* rowLayout(QWidget* row) {
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  return layout;
}

// A bordered shape entry over its backdrop; the look follows the model at each refresh.
class ShapeButton final : public QToolButton {
 public:
  ShapeButton(const ShapeEntry& entry, QWidget* parent) : QToolButton(parent), entry_(entry) {
    setObjectName(entry.title);
    setText(entry.title);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::NoFocus);
    setAutoRaise(false);
    plainPalette_ = palette();
    showLook(ShapeLook::plain, true);
  }

  ShapeLook look() const { return look_; }
  // The backdrop's fill; transparent for a plain entry.
  QColor backdrop() const {
    QColor colour = Qt::transparent;
    if (look_ == ShapeLook::active) {
      colour = plainPalette_.color(QPalette::Highlight);
      colour.setAlphaF(activeOpacity);
    } else if (look_ == ShapeLook::chosen) {
      colour = plainPalette_.color(QPalette::WindowText);
      colour.setAlphaF(chosenOpacity);
    }
    return colour;
  }

  void showLook(ShapeLook look, bool force = false) {
    if (look == look_ && !force) return;
    look_ = look;
    setProperty("look", look == ShapeLook::active   ? "active"
                        : look == ShapeLook::chosen ? "chosen"
                                                    : "plain");
    if (look == ShapeLook::active) {
      QPalette tinted = plainPalette_;
      const QColor accent = plainPalette_.color(QPalette::Highlight);
      tinted.setColor(QPalette::ButtonText, accent);
      setPalette(tinted);
      setIcon(QIcon(TintedSymbol::pixmap(entry_.symbol, accent, QSize(symbolSide, symbolSide),
                                         devicePixelRatioF())));
    } else {
      setPalette(plainPalette_);
      setIcon(SymbolIcons::icon(entry_.symbol));
    }
    update();
  }

 protected:
  // The bezel is opaque here: the backdrop is laid over it, translucent, where the platform
  // shows it through a translucent bezel.
  void paintEvent(QPaintEvent* event) override {
    QToolButton::paintEvent(event);
    const QColor fill = backdrop();
    if (fill.alpha() == 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), backdropRadius, backdropRadius);
  }

 private:
  ShapeEntry entry_;
  QPalette plainPalette_;
  ShapeLook look_ = ShapeLook::plain;
};

InspectorRow* dodgeBurnHeader(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("dodgeBurnHeader");
  auto* toggle = new QToolButton(row);
  toggle->setObjectName("Dodge & Burn");
  toggle->setText("Dodge && Burn");  // a lone & would mark a mnemonic
  toggle->setIcon(SymbolIcons::icon("paintbrush.pointed"));
  toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toggle->setCheckable(true);
  toggle->setFocusPolicy(Qt::NoFocus);
  toggle->setToolTip(
      ShortcutText::help("Local adjustments in layers, like Lightroom's masks", dodgeModeKeys));
  auto* removeAll = new QPushButton("Remove All", row);
  removeAll->setObjectName("dodge.Remove All");
  removeAll->setAutoDefault(false);
  removeAll->setToolTip("Removes all layers on this image (" +
                        ShortcutText::keys(QKeySequence::Undo) + " brings them back)");
  const auto showMode = [toggle, &model] {
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(model.dodgeMode());
  };
  QObject::connect(toggle, &QToolButton::clicked, row, [&model, showMode](bool on) {
    model.setDodgeMode(on);
    showMode();
  });
  QObject::connect(removeAll, &QPushButton::clicked, row, [&model] {
    model.removeAllLayers();
    model.setSelectedLayerID(std::nullopt);
  });
  auto* layout = rowLayout(row);
  layout->addWidget(toggle);
  layout->addStretch(1);
  layout->addWidget(removeAll);
  row->setRefresher([showMode, removeAll, &model] {
    showMode();
    removeAll->setEnabled(scanHasLayers(model));
  });
  return row;
}

InspectorRow* shapeRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("shapeChoiceRow");
  row->setToolTip(
      "Brush: paint. Linear: a straight fade, e.g. a darker sky. Radial: an ellipse. Clicking one "
      "switches Dodge & Burn on.");
  auto* layout = rowLayout(row);
  layout->setSpacing(shapeSpacing);
  std::vector<ShapeButton*> buttons;
  for (const ShapeEntry& entry : shapeEntries()) {
    auto* button = new ShapeButton(entry, row);
    QObject::connect(button, &QToolButton::clicked, row, [&model, shape = entry.shape] {
      model.setDodgeShape(shape);
      model.setDodgeMode(true);
    });
    layout->addWidget(button, 1);
    buttons.push_back(button);
  }
  row->setRefresher([buttons, &model] {
    const DodgeShape chosen = model.dodgeShape();
    const bool on = model.dodgeMode();
    for (size_t i = 0; i < buttons.size(); ++i) {
      buttons[i]->showLook(shapeLook(shapeEntries()[i].shape, chosen, on));
    }
  });
  return row;
}

InspectorRow* outsideSwitch(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("outsideRow");
  auto* box = new QCheckBox("Outside the ellipse", row);
  box->setObjectName("Outside the ellipse");
  box->setToolTip(
      "Off: the layer works inside the ellipse. On: everything around it, like a darkroom "
      "vignette. Each radial in the layer list can also be flipped.");
  const auto showOutside = [box, &model] {
    const QSignalBlocker blocker(box);
    box->setChecked(model.radialOutside());
  };
  QObject::connect(box, &QCheckBox::clicked, row, [&model, showOutside](bool on) {
    model.setRadialOutside(on);
    showOutside();
  });
  auto* layout = rowLayout(row);
  layout->addWidget(box);
  layout->addStretch(1);
  row->setShownWhen(
      [&model] { return toolRows(model.dodgeShape(), holdsRadial(selectedLayer(model))).outside; });
  row->setRefresher(showOutside);
  return row;
}

AdjustRow* toolRow(InspectorView& view, bool size) {
  AppModel& model = view.model();
  AdjustRow* row;
  if (size) {
    row = new AdjustRow(
        "Size",
        {[&model] { return model.dodgeSize(); }, [&model](double v) { model.setDodgeSize(v); }},
        {0.005, 0.2}, 0.005, std::nullopt, "%.1f%%", 100,
        QString("Brush radius, as a share of the long edge. Right is bigger. [ and ] also change "
                "it."),
        0.03);
  } else {
    row = new AdjustRow("Feather",
                        {[&model] { return model.dodgeFeather(); },
                         [&model](double v) { model.setDodgeFeather(v); }},
                        {0, 100}, 1, std::nullopt, "%.0f", 1,
                        QString("Softness of the edge of new shapes. Right is softer."), 50);
  }
  // Named apart from other sections' rows of the same labels.
  row->setObjectName(size ? "dodge.Size" : "dodge.Feather");
  row->setShownWhen([&model, size] {
    const ToolRows shown = toolRows(model.dodgeShape(), false);
    return size ? shown.size : shown.feather;
  });
  return row;
}

InspectorRow* layerAdjustHeader(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("layerAdjustHeader");
  auto* title = new QLabel(row);
  title->setObjectName("layerTitle");
  title->setTextFormat(Qt::PlainText);
  // A long name is cut at the buttons rather than widening the column.
  title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont font = FontRoles::font(FontRole::callout);
  font.setWeight(QFont::DemiBold);
  title->setFont(font);
  // Tool buttons: a push button's least width would push the row out of the column.
  const auto small = [row](const QString& text, const QString& help) {
    auto* button = new QToolButton(row);
    button->setText(text);
    button->setObjectName("layer." + text);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(FontRoles::font(FontRole::footnote));
    if (!help.isEmpty()) button->setToolTip(help);
    return button;
  };
  auto* dodge = small("Dodge", "Exposure +0.5 stop");
  auto* burn = small("Burn", "Exposure \u22120.5 stop");
  auto* reset = small("Reset", {});
  // Set, never added: like the Exposure slider, one edit through the selected layer.
  QObject::connect(dodge, &QToolButton::clicked, row,
                   [&model] { model.setSelectedLayerValue(&A::exposure, 0.5); });
  QObject::connect(burn, &QToolButton::clicked, row,
                   [&model] { model.setSelectedLayerValue(&A::exposure, -0.5); });
  QObject::connect(reset, &QToolButton::clicked, row, [&model] {
    if (const std::optional<int> layer = model.selectedLayerIndex()) {
      model.resetLayerAdjustments(*layer);
    }
  });
  auto* layout = rowLayout(row);
  layout->setSpacing(headerSpacing);
  layout->addWidget(title, 1);
  layout->addWidget(dodge);
  layout->addWidget(burn);
  layout->addWidget(reset);
  row->setRefresher([title, &model] {
    const LocalLayer* layer = selectedLayer(model);
    const QString text = layer ? QString::fromStdString(layer->name) + " adjustments" : QString();
    if (title->text() != text) title->setText(text);
  });
  return row;
}

AdjustRow* layerSlider(InspectorView& view, const LayerRow& r) {
  AppModel& model = view.model();
  auto* row = new AdjustRow(
      r.label,
      {[&model, field = r.field] { return model.selectedLayerValue(field); },
       [&model, field = r.field](double v) { model.setSelectedLayerValue(field, v); }},
      {r.lowest, r.highest}, r.step, std::nullopt, r.format, 1, QString(r.help), 0);
  // Named apart from the Basic Settings rows of the same labels.
  row->setObjectName(QString("layer.") + r.label);
  if (r.colourOnly) row->setShownWhen([&view] { return !view.isMonochrome(); });
  return row;
}

InspectorRow* layerAdjustments(InspectorView& view) {
  auto* group = new InspectorRow;
  group->setObjectName("layerAdjustments");
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  auto* divider = new QFrame(group);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  layout->addWidget(divider);
  layout->addWidget(layerAdjustHeader(view));
  for (const LayerRow& r : layerRows()) layout->addWidget(layerSlider(view, r));
  group->setShownWhen([&model = view.model()] { return selectedLayer(model) != nullptr; });
  return group;
}

InspectorRow* hintRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("dodgeHintRow");
  auto* text = new QLabel(row);
  text->setObjectName("dodgeHint");
  text->setWordWrap(true);
  FontRoles::apply(*text, FontRole::caption, true);
  rowLayout(row)->addWidget(text);
  row->setShownWhen([&model] { return selectedLayer(model) == nullptr; });
  row->setRefresher([text, &model] {
    const QString shown = hint(scanHasLayers(model));
    if (text->text() != shown) text->setText(shown);
  });
  return row;
}

}  // namespace

const std::array<ShapeEntry, 3>& shapeEntries() {
  static const std::array<ShapeEntry, 3> entries{{
      {DodgeShape::brush, "Brush", "paintbrush.pointed"},
      {DodgeShape::linear, "Linear", "rectangle.split.1x2"},
      {DodgeShape::radial, "Radial", "circle.dashed"},
  }};
  return entries;
}

ShapeLook shapeLook(DodgeShape entry, DodgeShape chosen, bool toolOn) {
  if (entry != chosen) return ShapeLook::plain;
  return toolOn ? ShapeLook::active : ShapeLook::chosen;
}

ToolRows toolRows(DodgeShape shape, bool selectedLayerHasRadial) {
  return {shape == DodgeShape::brush, shape != DodgeShape::linear,
          shape == DodgeShape::radial || selectedLayerHasRadial};
}

QString hint(bool scanHasLayers) {
  return scanHasLayers
             ? "Select a layer to change its adjustments, or draw to start a new layer."
             : "Draw on the picture to make the first layer, then set its adjustments here.";
}

const std::array<LayerRow, 11>& layerRows() {
  static const std::array<LayerRow, 11> table{{
      {"Exposure", &A::exposure, -3, 3, 0.05, "%+.2f",
       "Exposure in stops inside the layer. Right is brighter.", false},
      {"Contrast", &A::contrast, -100, 100, 1, "%+.0f", "Right is more contrast inside the layer.",
       false},
      {"Highlights", &A::highlights, -100, 100, 1, "%+.0f",
       "Bright areas. Left recovers detail, right brightens.", false},
      {"Shadows", &A::shadows, -100, 100, 1, "%+.0f",
       "Dark areas. Right opens them up, left deepens.", false},
      {"Whites", &A::whites, -100, 100, 1, "%+.0f", "The brightest tones. Right is brighter.",
       false},
      {"Blacks", &A::blacks, -100, 100, 1, "%+.0f",
       "The darkest tones. Right lifts them, left deepens.", false},
      {"Clarity", &A::clarity, -100, 100, 1, "%+.0f",
       "Local midtone contrast. Right is stronger; left softens.", false},
      {"Dehaze", &A::dehaze, -100, 100, 1, "%+.0f", "Right removes haze, left adds it.", false},
      {"Sharpness", &A::sharpness, 0, 150, 1, "%.0f", "Right is sharper.", false},
      {"Black Mist", &A::blackMist, 0, 100, 1, "%.0f",
       "Glowing highlights, softer contrast. Right is stronger.", false},
      {"Saturation", &A::saturation, -100, 100, 1, "%+.0f",
       "Right is more colourful, left is greyer.", true},
  }};
  return table;
}

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new QWidget;
  content->setObjectName("Dodge & Burn content");
  // Draws nothing itself: the list growing repaints what moved, not the whole section.
  content->setAttribute(Qt::WA_StaticContents);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(dodgeBurnHeader(view));
  layout->addWidget(new LayerList(model));
  layout->addWidget(shapeRow(view));
  layout->addWidget(toolRow(view, true));
  layout->addWidget(toolRow(view, false));
  layout->addWidget(outsideSwitch(view));
  layout->addWidget(layerAdjustments(view));
  layout->addWidget(hintRow(view));
  // The list changes height here without a turn between: like the list, the content grows at
  // once rather than squeezing its rows, and keeps a height to spare below them.
  layout->setSizeConstraint(QLayout::SetMinimumSize);
  layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
  layout->setStretch(layout->count() - 1, 1);
  SectionSignals::follow(*content, model,
                         {&AppModel::dodgeModeChanged, &AppModel::selectedLayerIDChanged}, true);
  return content;
}

}  // namespace DodgeBurnSection
