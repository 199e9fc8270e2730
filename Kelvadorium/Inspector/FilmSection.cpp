#include "Inspector/FilmSection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "Inspector/AdjustRow.h"
#include "Inspector/FilmTexts.h"
#include "Inspector/FlatFieldRow.h"
#include "Inspector/InspectorView.h"
#include "Inspector/LookPicker.h"
#include "Inspector/ResetEverythingButton.h"
#include "Print/FilmPresets.h"
#include "ViewKit/MenuButton.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace FilmSection {

namespace {

constexpr int rowSpacing = 10;
constexpr int blockSpacing = 4;
constexpr int rollBarWidth = 70;
constexpr int matchBarWidth = 80;
// The match's fraction on the bar's integer scale.
constexpr int matchSteps = 1000;

QHBoxLayout* rowLayout(QWidget* row) {
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  return layout;
}

QLabel* captionText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  FontRoles::apply(*label, FontRole::caption, true);
  return label;
}

// A picker the wheel passes over: the wheel scrolls the column.
class TypePicker final : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
};

InspectorRow* typeRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("typeRow");
  auto* picker = new TypePicker(row);
  picker->setObjectName("Type");
  picker->setFocusPolicy(Qt::StrongFocus);
  for (FilmMode mode : allCases<FilmMode>()) picker->addItem(FilmTexts::filmModeLabel(mode));
  auto* layout = rowLayout(row);
  layout->addWidget(new QLabel("Type", row));
  layout->addStretch(1);
  layout->addWidget(picker);
  Binding<FilmMode> mode = view.settingBinding(&ConversionSettings::mode);
  QObject::connect(picker, &QComboBox::activated, row, [mode](int index) {
    mode.set(allCases<FilmMode>()[static_cast<size_t>(index)]);
  });
  row->setRefresher([picker, mode] {
    const QSignalBlocker blocker(picker);
    picker->setCurrentIndex(static_cast<int>(mode.get()));
  });
  return row;
}

InspectorRow* presetRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("presetRow");
  auto* button = new MenuButton("Preset", {}, row);
  button->setObjectName("Preset");
  button->setToolTip("Apply a built-in starting point");
  std::vector<std::pair<BuiltInPreset, QAction*>> actions;
  // Every preset once; the monochrome one shows only for black-and-white negatives.
  for (const auto& [preset, label] : FilmTexts::presetsFor(FilmMode::bwNegative)) {
    QAction* action = button->menu()->addAction(label);
    actions.emplace_back(preset, action);
    QObject::connect(action, &QAction::triggered, row, [&model = view.model(), preset] {
      model.applyBuiltInPreset(preset);
      model.telemetry().record("preset");
    });
  }
  auto* layout = rowLayout(row);
  layout->addWidget(button);
  layout->addStretch(1);
  row->setRefresher([&view, actions] {
    const FilmMode mode = view.settingValue(&ConversionSettings::mode);
    for (const auto& [preset, action] : actions) action->setVisible(isAvailable(preset, mode));
  });
  return row;
}

AdjustRow* lookAmountRow(InspectorView& view) {
  auto* row = new AdjustRow("Look Amount", view.settingBinding(&ConversionSettings::lookAmount),
                            {0, 100}, 1, std::nullopt, "%.0f%%", 1,
                            QString("How strongly the look is applied. Right is stronger."), 100);
  return row;
}

InspectorRow* lookGroup(InspectorView& view) {
  AppModel& model = view.model();
  auto* group = new InspectorRow;
  group->setObjectName("lookGroup");
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  LookPicker* scanner = LookPicker::scanner(model);
  scanner->setToolTip(
      "Step 1, like the lab machine: how your camera scan is rendered. Neutral, Frontier Style "
      "(warm, with soft blacks, measured on Frontier lab scans) or Noritsu Style (our own "
      "interpretation: flatter and warmer, softer contrast). Not affiliated with Fujifilm or "
      "Noritsu.");
  LookPicker* film = LookPicker::filmLook(model);
  film->setToolTip(
      "Step 2, like the lab technician: a look on top of the scanner rendering (Natural, Rich or "
      "Moody per film stock). Hover over a look to preview it; click to apply.");
  AdjustRow* amount = lookAmountRow(view);
  layout->addWidget(scanner);
  layout->addWidget(film);
  layout->addWidget(amount);
  layout->addWidget(rollAnalysisBlock(view));
  group->setShownWhen([&view] { return !view.isMonochrome(); });
  group->setRefresher([&view, amount] {
    const bool known =
        view.model().selectedIndex() &&
        FilmPresets::preset(view.settingValue(&ConversionSettings::filmPreset)).has_value();
    amount->setEnabled(known);
  });
  return group;
}

}  // namespace

QWidget* rollAnalysisBlock(InspectorView& view) {
  AppModel& model = view.model();
  auto* block = new QWidget;
  block->setObjectName("rollAnalysisBlock");
  auto* column = new QVBoxLayout(block);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(blockSpacing);

  auto* buttonRow = new InspectorRow(block);
  buttonRow->setObjectName("rollAnalysisButtonRow");
  auto* analyse = new QPushButton("Analyse Roll", buttonRow);
  analyse->setObjectName("Analyse Roll");
  analyse->setToolTip(
      "Measure the colour balance across the roll (the selected frames, or every frame of this "
      "film type) so all frames get the same colours.");
  QObject::connect(analyse, &QPushButton::clicked, buttonRow, [&model] { model.analyseRoll(); });
  auto* progress = new QProgressBar(buttonRow);
  progress->setObjectName("rollProgress");
  progress->setFixedWidth(rollBarWidth);
  progress->setTextVisible(false);
  auto* buttons = rowLayout(buttonRow);
  buttons->addWidget(new QLabel("Roll Analysis", buttonRow));
  buttons->addStretch(1);
  buttons->addWidget(analyse);
  buttons->addWidget(progress);
  buttonRow->setRefresher([&model, analyse, progress] {
    const auto& running = model.rollProgress();
    analyse->setVisible(!running);
    progress->setVisible(running.has_value());
    if (running) {
      progress->setRange(0, std::max(1, running->second));
      progress->setValue(std::clamp(running->first, 0, std::max(1, running->second)));
    }
  });

  auto selectedBalance = [&model]() -> std::optional<RollBalance> {
    const auto index = model.selectedIndex();
    if (!index) return std::nullopt;
    return model.items()[*index].settings.rollBalance;
  };
  auto* balanceRow = new InspectorRow(block);
  balanceRow->setObjectName("rollBalanceRow");
  QLabel* balanceText = captionText({}, balanceRow);
  auto* off = new QToolButton(balanceRow);
  off->setObjectName("Off");
  off->setText("Off");
  off->setFont(FontRoles::font(FontRole::callout));
  off->setToolTip("Use this frame's own colour balance again");
  QObject::connect(off, &QToolButton::clicked, balanceRow,
                   [&model] { model.clearRollBalance(model.targetIDs()); });
  auto* balance = rowLayout(balanceRow);
  balance->addWidget(balanceText);
  balance->addStretch(1);
  balance->addWidget(off);
  balanceRow->setShownWhen([selectedBalance] { return selectedBalance().has_value(); });
  balanceRow->setRefresher([selectedBalance, balanceText] {
    balanceText->setText(FilmTexts::rollBalanceLine(selectedBalance()->frames));
  });

  auto* countRow = new InspectorRow(block);
  countRow->setObjectName("frameCountRow");
  QLabel* countText = captionText({}, countRow);
  rowLayout(countRow)->addWidget(countText);
  countRow->setShownWhen([selectedBalance] { return !selectedBalance().has_value(); });
  countRow->setRefresher([&model, countText] {
    countText->setText(
        FilmTexts::frameCountLine(static_cast<long long>(model.rollFrames().size())));
  });

  column->addWidget(buttonRow);
  column->addWidget(balanceRow);
  column->addWidget(countRow);
  return block;
}

QWidget* referenceMatchRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("referenceMatchRow");
  auto* match = new QPushButton(SymbolIcons::icon("wand.and.stars"), "Match Reference…", row);
  match->setObjectName("Match Reference…");
  match->setToolTip(
      "Make this frame look like a reference photo, as a lab technician would: the lab's scan of "
      "the same frame matches point by point; any other photo matches its overall tones and "
      "colours. Adjusts exposure, contrast, tones, white balance, saturation, the colour curves "
      "and HSL; everything stays editable.");
  QObject::connect(match, &QPushButton::clicked, row, [&model] {
    TaskHandle::start([&model](std::stop_token) { return model.chooseReferencePhoto(); });
  });
  auto* progress = new QProgressBar(row);
  progress->setObjectName("matchProgress");
  progress->setFixedWidth(matchBarWidth);
  progress->setTextVisible(false);
  progress->setRange(0, matchSteps);
  QLabel* matching = captionText("Matching…", row);
  auto* layout = rowLayout(row);
  layout->addWidget(match);
  layout->addWidget(progress);
  layout->addWidget(matching);
  layout->addStretch(1);
  row->setRefresher([&model, match, progress, matching] {
    const auto& fraction = model.matchProgress();
    match->setVisible(!fraction);
    match->setEnabled(model.selectedIndex().has_value());
    progress->setVisible(fraction.has_value());
    matching->setVisible(fraction.has_value());
    if (fraction) {
      progress->setValue(static_cast<int>(std::clamp(*fraction, 0.0, 1.0) * matchSteps + 0.5));
    }
  });
  return row;
}

QWidget* build(InspectorView& view) {
  auto* content = new QWidget;
  content->setObjectName("Film content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);
  layout->addWidget(typeRow(view));
  layout->addWidget(new ResetEverythingButton(view.model()));
  layout->addWidget(new FlatFieldRow(view.model()));
  layout->addWidget(presetRow(view));
  layout->addWidget(lookGroup(view));
  layout->addWidget(referenceMatchRow(view));
  return content;
}

}  // namespace FilmSection
