#include "Inspector/HealingSection.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <array>

#include "Inspector/AdjustRow.h"
#include "Inspector/InspectorView.h"
#include "Preview/ToolBarTexts.h"
#include "Services/Preferences.h"
#include "ViewKit/RefreshGate.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/SymbolButton.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace HealingSection {

namespace {

constexpr int rowSpacing = 10;
constexpr int gridSpacing = 6;
constexpr int actionSpacing = 4;
constexpr int symbolSize = 16;
constexpr double backdropRadius = 6;
constexpr double backdropOpacity = 0.35;

const QKeySequence healingBrushKeys(Qt::CTRL | Qt::ALT | Qt::Key_S);
const QKeySequence redEyeKeys(Qt::CTRL | Qt::ALT | Qt::Key_E);
const QKeySequence undoKeys(Qt::CTRL | Qt::Key_Z);

QColor accent(const QWidget& widget) { return widget.palette().color(QPalette::Highlight); }

// A bordered button of the tool grid that fills its cell; while it is the current choice its
// title and symbol take the accent colour over a rounded accent backdrop.
class ToolChoice final : public QToolButton {
 public:
  ToolChoice(const QString& title, const QString& symbol, const QString& help, QWidget* parent)
      : QToolButton(parent), symbol_(symbol) {
    setObjectName(title);
    setText(title);
    setToolTip(help);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    showCurrent(false, true);
  }

  bool isCurrent() const { return current_; }
  void setCurrent(bool current) { showCurrent(current, false); }

 protected:
  // A current choice: the button's panel, the accent backdrop over it, then its title and symbol.
  void paintEvent(QPaintEvent* event) override {
    if (!current_) {
      QToolButton::paintEvent(event);
      return;
    }
    QStylePainter painter(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    painter.drawPrimitive(QStyle::PE_PanelButtonTool, option);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor backdrop = accent(*this);
    backdrop.setAlphaF(static_cast<float>(backdropOpacity));
    painter.setPen(Qt::NoPen);
    painter.setBrush(backdrop);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), backdropRadius,
                            backdropRadius);
    painter.drawControl(QStyle::CE_ToolButtonLabel, option);
  }

 private:
  void showCurrent(bool current, bool first) {
    if (current == current_ && !first) return;
    current_ = current;
    setProperty("current", current);
    QPalette tinted = parentWidget() ? parentWidget()->palette() : palette();
    if (current) tinted.setColor(QPalette::ButtonText, accent(*this));
    setPalette(tinted);
    setIcon(current
                ? QIcon(TintedSymbol::pixmap(symbol_, accent(*this), QSize(symbolSize, symbolSize),
                                             devicePixelRatioF()))
                : SymbolIcons::icon(symbol_));
    update();
  }

  QString symbol_;
  bool current_ = false;
};

QLabel* captionText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  FontRoles::apply(*label, FontRole::caption, true);
  return label;
}

QHBoxLayout* rowLayout(QWidget* row) {
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  return layout;
}

std::optional<size_t> selected(const AppModel& model) { return model.selectedIndex(); }

bool hasSpots(const AppModel& model) {
  const auto index = selected(model);
  return index && !model.items()[*index].settings.spots.empty();
}

bool hasRedEyes(const AppModel& model) {
  const auto index = selected(model);
  return index && !model.items()[*index].settings.redEyes.empty();
}

InspectorRow* toolGrid(AppModel& model) {
  auto* row = new InspectorRow;
  row->setObjectName("healToolGrid");
  auto* grid = new QGridLayout(row);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(gridSpacing);
  grid->setVerticalSpacing(gridSpacing);
  constexpr std::array<SpotKind, 3> tools{SpotKind::heal, SpotKind::clone, SpotKind::fill};
  std::array<ToolChoice*, 3> buttons{};
  for (size_t i = 0; i < tools.size(); ++i) {
    const SpotKind tool = tools[i];
    auto* button =
        new ToolChoice(toolName(tool), ToolBarTexts::healSymbol(false, tool), toolHelp(tool), row);
    QObject::connect(button, &QToolButton::clicked, row,
                     [&model, tool] { model.chooseHealTool(tool); });
    grid->addWidget(button, static_cast<int>(i / 2), static_cast<int>(i % 2));
    buttons[i] = button;
  }
  auto* select = new ToolChoice(selectRepairsLabel(0), "cursorarrow.rays",
                                "Shows every repair on this image. Click one to pick it, then "
                                "Delete removes it; the rest stay.",
                                row);
  select->setObjectName("selectRepairsButton");
  QObject::connect(select, &QToolButton::clicked, row, [&model] { model.chooseSelectTool(); });
  grid->addWidget(select, 2, 0, 1, 2);
  row->setRefresher([&model, buttons, tools, select] {
    const bool painting = model.spotMode() && !model.spotSelecting();
    for (size_t i = 0; i < tools.size(); ++i) {
      buttons[i]->setCurrent(painting && model.healTool() == tools[i]);
    }
    select->setCurrent(model.spotMode() && model.spotSelecting());
    select->setText(selectRepairsLabel(model.repairCount()));
  });
  return row;
}

// A bordered button with a title: a tool button, which keeps to its text's width where a push
// button would take 80 pixels at least and push the row out of the column.
QToolButton* textButton(const QString& title, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(title);
  button->setText(title);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return button;
}

InspectorRow* actionRow(AppModel& model) {
  auto* row = new InspectorRow;
  row->setObjectName("healActionRow");
  auto* layout = rowLayout(row);
  layout->setSpacing(actionSpacing);
  auto* takeBack =
      SymbolButton::make("takeBack", "arrow.uturn.backward",
                         ShortcutText::help("Undo the last spot or stroke", undoKeys), row);
  QObject::connect(takeBack, &QToolButton::clicked, row, [&model] { model.removeLastRepair(); });
  auto* removeAll = textButton("Remove All", row);
  removeAll->setObjectName("removeAllSpots");
  removeAll->setToolTip(
      "Removes healed spots and strokes on this image only (nothing else changes).");
  QObject::connect(removeAll, &QToolButton::clicked, row, [&model] { model.removeAllRepairs(); });
  auto* trash =
      SymbolButton::make("deleteRepair", "trash", "Removes the picked repair (Delete key)", row);
  QObject::connect(trash, &QToolButton::clicked, row, [&model] { model.deleteSelectedRepair(); });
  auto* cancel = textButton("Cancel", row);
  QObject::connect(cancel, &QToolButton::clicked, row, [&model] { model.cancelHealing(); });
  auto* apply = textButton("Apply", row);
  apply->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  // The accent-filled button stands for the prominent one.
  QPalette prominent = apply->palette();
  const QColor onAccent = prominent.color(QPalette::HighlightedText);
  prominent.setColor(QPalette::Button, prominent.color(QPalette::Highlight));
  prominent.setColor(QPalette::ButtonText, onAccent);
  apply->setPalette(prominent);
  apply->setIcon(QIcon(TintedSymbol::pixmap("checkmark", onAccent, QSize(symbolSize, symbolSize),
                                            apply->devicePixelRatioF())));
  QObject::connect(apply, &QToolButton::clicked, row, [&model] { model.setSpotMode(false); });
  // Five buttons share the column's width while repairs are picked.
  for (QToolButton* button : {removeAll, cancel, apply}) {
    FontRoles::apply(*button, FontRole::subheadline);
  }
  layout->addWidget(takeBack, 0, Qt::AlignVCenter);
  layout->addWidget(removeAll, 0, Qt::AlignVCenter);
  layout->addStretch(1);
  layout->addWidget(trash, 0, Qt::AlignVCenter);
  layout->addWidget(cancel, 0, Qt::AlignVCenter);
  layout->addWidget(apply, 0, Qt::AlignVCenter);
  row->setRefresher([&model, takeBack, removeAll, trash, cancel, apply] {
    const bool spots = hasSpots(model);
    takeBack->setEnabled(spots);
    removeAll->setEnabled(spots);
    const bool healing = model.spotMode();
    trash->setVisible(healing && model.spotSelecting());
    trash->setEnabled(model.selectedRepair().has_value());
    cancel->setVisible(healing);
    apply->setVisible(healing);
    cancel->setToolTip(cancelHelp(model.healTool()));
    apply->setToolTip(applyHelp(model.healTool()));
  });
  return row;
}

InspectorRow* descriptionRow(AppModel& model) {
  auto* row = new InspectorRow;
  row->setObjectName("healToolDescription");
  QLabel* text = captionText({}, row);
  text->setObjectName("description");
  rowLayout(row)->addWidget(text);
  row->setRefresher([&model, text] {
    const QString description = toolDescription(model.healTool());
    if (text->text() != description) text->setText(description);
  });
  return row;
}

AdjustRow* preferenceRow(const QString& label, double (AppModel::*get)() const,
                         void (AppModel::*set)(double), AdjustRange range, double step,
                         RowFormat format, double scale, const QString& help, double neutral,
                         AppModel& model) {
  return new AdjustRow(label,
                       Binding<double>{[&model, get] { return (model.*get)(); },
                                       [&model, set](double value) { (model.*set)(value); }},
                       range, step, std::nullopt, std::move(format), scale, help, neutral);
}

InspectorRow* sourceRow(AppModel& model) {
  auto* row = new InspectorRow;
  row->setObjectName("healSourceRow");
  auto* layout = rowLayout(row);
  layout->addWidget(
      captionText("Source set: the next spot or stroke copies from the cyan cross.", row), 1,
      Qt::AlignVCenter);
  auto* clear = textButton("Clear", row);
  FontRoles::apply(*clear, FontRole::footnote);
  QObject::connect(clear, &QToolButton::clicked, row,
                   [&model] { model.setHealSource(std::nullopt); });
  layout->addWidget(clear, 0, Qt::AlignVCenter);
  row->setShownWhen([&model] { return model.healSource().has_value(); });
  return row;
}

InspectorRow* redEyeRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("redEyeRow");
  auto* layout = new QVBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  auto* divider = new QFrame(row);
  divider->setFrameShape(QFrame::HLine);
  divider->setFrameShadow(QFrame::Sunken);
  layout->addWidget(divider);
  auto* title = new QLabel("Red Eye", row);
  QFont titleFont = FontRoles::font(FontRole::callout);
  titleFont.setWeight(QFont::DemiBold);
  title->setFont(titleFont);
  layout->addWidget(title);

  auto* buttons = new QWidget(row);
  auto* buttonLayout = rowLayout(buttons);
  auto* toggle = new QToolButton(buttons);
  toggle->setObjectName("redEyeToggle");
  toggle->setText("Red Eye");
  toggle->setIcon(SymbolIcons::icon("eye"));
  toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toggle->setCheckable(true);
  toggle->setToolTip(ShortcutText::help(
      "Fix red pupils from flash photography: click a red pupil, or drag from its centre outward",
      redEyeKeys));
  QObject::connect(toggle, &QToolButton::clicked, row,
                   [&model](bool on) { model.setRedEyeMode(on); });
  auto* removeAll = textButton("Remove All", buttons);
  removeAll->setObjectName("removeAllRedEyes");
  removeAll->setToolTip("Removes all red-eye fixes on this image (" + ShortcutText::keys(undoKeys) +
                        " brings them back)");
  QObject::connect(removeAll, &QToolButton::clicked, row, [&model] { model.removeAllRedEyes(); });
  buttonLayout->addWidget(toggle, 0, Qt::AlignVCenter);
  buttonLayout->addStretch(1);
  buttonLayout->addWidget(removeAll, 0, Qt::AlignVCenter);
  layout->addWidget(buttons);

  AdjustRow* size = preferenceRow(
      "Size", &AppModel::redEyeSize, &AppModel::setRedEyeSize, {0.003, 0.05}, 0.001, "%.1f%%", 100,
      "Circle radius for a click, as a share of the long edge. [ and ] also change it.", 0.012,
      model);
  size->setObjectName("redEyeSize");
  size->setParent(row);
  layout->addWidget(size);
  layout->addWidget(
      captionText("Only red inside the circle turns dark; skin and the white of the "
                  "eye stay as they are, so the circle can be a bit bigger than the "
                  "pupil.",
                  row));

  row->setShownWhen([&view] { return !view.isMonochrome(); });
  row->setRefresher([&model, toggle, removeAll] {
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(model.redEyeMode());
    removeAll->setEnabled(hasRedEyes(model));
  });
  return row;
}

}  // namespace

QString toolName(SpotKind tool) {
  switch (tool) {
    case SpotKind::heal:
      return QStringLiteral("Heal");
    case SpotKind::clone:
      return QStringLiteral("Clone");
    case SpotKind::fill:
      return QStringLiteral("Fill");
    case SpotKind::ai:
      return QStringLiteral("AI Remove");
  }
  return {};
}

QString toolDescription(SpotKind tool) {
  switch (tool) {
    case SpotKind::heal:
      return QStringLiteral(
          "Copies texture from a nearby area and blends it with the surroundings. Best for dust "
          "and hairs. Alt-click to pick the source.");
    case SpotKind::clone:
      return QStringLiteral(
          "Copies a nearby area exactly, without blending. For hard edges and patterns. Alt-click "
          "to pick the source.");
    case SpotKind::fill:
      return QStringLiteral(
          "Content-aware: rebuilds the area from its surroundings, so lines and gradients carry "
          "through, and adds film grain.");
    case SpotKind::ai:
      break;
  }
  return {};
}

QString toolHelp(SpotKind tool) {
  switch (tool) {
    case SpotKind::heal:
      return ShortcutText::help(
          "Heal: copies texture from nearby and blends it in. For dust and hairs",
          healingBrushKeys);
    case SpotKind::clone:
      return QStringLiteral("Clone: copies a nearby area exactly. For hard edges and patterns");
    case SpotKind::fill:
      return QStringLiteral("Fill: rebuilds the area from its surroundings");
    case SpotKind::ai:
      break;
  }
  return {};
}

QString cancelHelp(SpotKind tool) {
  return "Ends " + toolName(tool) + " and takes back what you painted since you started it (Esc)";
}

QString applyHelp(SpotKind tool) {
  return "Keeps the repairs and ends " + toolName(tool) + " (Return)";
}

QString selectRepairsLabel(int repairs) {
  return "Select Repairs (" + QString::number(repairs) + ")";
}

std::string sizePattern(double size) { return size < 0.01 ? "%.2f%%" : "%.1f%%"; }

QWidget* build(InspectorView& view) {
  AppModel& model = view.model();
  auto* content = new QWidget;
  content->setObjectName("Healing content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(toolGrid(model));
  layout->addWidget(actionRow(model));
  layout->addWidget(descriptionRow(model));
  layout->addWidget(preferenceRow(
      "Size", &AppModel::spotBrush, &AppModel::setSpotBrush, {0.0005, 0.04}, 0.0005,
      RowFormat(sizePattern), 100,
      "Brush radius, as a share of the long edge. Right is bigger. [ and ] also change it.", 0.008,
      model));
  layout->addWidget(preferenceRow("Feather", &AppModel::spotFeather, &AppModel::setSpotFeather,
                                  {0, 100}, 1, "%.0f", 1,
                                  "Soft edge of new repairs. Right is softer.", 25, model));
  layout->addWidget(preferenceRow("Opacity", &AppModel::spotOpacity, &AppModel::setSpotOpacity,
                                  {0, 100}, 1, "%.0f%%", 1,
                                  "Strength of new repairs. Right is stronger.", 100, model));
  layout->addWidget(sourceRow(model));
  layout->addWidget(redEyeRow(view));

  // The column refreshes on record and selection changes; the tool modes, the picking, the
  // clone source and the tool preferences are this section's alone.
  auto* gate = new RefreshGate(
      [content] {
        for (InspectorRow* row : content->findChildren<InspectorRow*>()) row->refresh();
      },
      content);
  for (auto changed : {&AppModel::spotModeChanged, &AppModel::spotSelectingChanged,
                       &AppModel::selectedRepairChanged, &AppModel::healSourceChanged,
                       &AppModel::redEyeModeChanged}) {
    QObject::connect(&model, changed, gate, &RefreshGate::request);
  }
  QObject::connect(&model.preferences(), &Preferences::changed, gate, &RefreshGate::request);
  return content;
}

}  // namespace HealingSection
