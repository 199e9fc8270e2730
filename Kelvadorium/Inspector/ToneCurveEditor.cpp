#include "Inspector/ToneCurveEditor.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "Inspector/AdjustRow.h"
#include "Inspector/ElementBinding.h"
#include "Inspector/ToneCurveGraph.h"
#include "Model/AppModel.h"
#include "ViewKit/MenuButton.h"
#include "ViewKit/SegmentedPicker.h"
#include "Windows/FontRoles.h"

namespace {

constexpr int spacing = 8;

struct Region {
  const char* label;
  const char* help;
};
constexpr std::array<Region, 4> regions{{
    {"Highlights", "The brightest quarter of the tones."},
    {"Lights", "Upper midtones."},
    {"Darks", "Lower midtones."},
    {"Shadows", "The darkest quarter of the tones."},
}};

QLabel* caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  FontRoles::apply(*label, FontRole::caption, true);
  return label;
}

}  // namespace

std::vector<CurvePreset> ToneCurveEditor::presets(bool monochrome) {
  std::vector<CurvePreset> list;
  for (const auto& [preset, name] : EnumNames<CurvePreset>::cases) {
    if (!(monochrome && isColor(preset))) list.push_back(preset);
  }
  return list;
}

bool ToneCurveEditor::resetEnabled(int channel, const std::optional<ToneCurves>& selected) {
  const CurveEditorState editor{channel, false};
  const bool identity = selected ? ((*selected).*editor.curve()).isIdentity() : true;
  if (!identity) return true;
  return channel == 0 && selected && !selected->regionsAreNeutral();
}

ToneCurveEditor::ToneCurveEditor(AppModel& model, bool monochrome, QWidget* parent)
    : InspectorRow(parent), model_(model), monochrome_(monochrome) {
  setObjectName("ToneCurveEditor");

  presets_ = new MenuButton("Presets", {}, this);
  presets_->setObjectName("Presets");
  presets_->setToolTip(
      "Ready-made curves: contrast S-curves, matte/faded blacks, softer highlights and more.");
  for (CurvePreset preset : presets(false)) {
    QAction* entry =
        presets_->menu()->addAction(QString::fromUtf8(displayName(preset).data(),
                                                      static_cast<qsizetype>(displayName(preset).size())));
    entry->setData(static_cast<int>(preset));
    connect(entry, &QAction::triggered, this, [this, preset] {
      model_.applyCurvePreset(preset, state());
      showChannel(0);
    });
  }
  auto* presetRow = new QHBoxLayout;
  presetRow->addWidget(presets_);
  presetRow->addStretch(1);

  picker_ = new SegmentedPicker(this);
  picker_->setObjectName("Channel");
  for (int i = 0; i < 4; ++i) picker_->addSegment(i, channelNames[static_cast<size_t>(i)]);
  connect(picker_, &SegmentedPicker::chosen, this, [this](int id) { showChannel(id); });

  graph_ = new ToneCurveGraph(model_, [this] { return state(); }, this);

  auto* regionsTitle = caption("Regions", this);
  regionsTitle->setContentsMargins(0, 2, 0, 0);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  layout->addLayout(presetRow);
  layout->addWidget(picker_);
  layout->addWidget(graph_);
  layout->addWidget(regionsTitle);
  for (size_t i = 0; i < regions.size(); ++i) {
    layout->addWidget(new AdjustRow(
        regions[i].label, elementBinding(model_, &ConversionSettings::curves, &ToneCurves::regions, i),
        {-100, 100}, 1, std::nullopt, "%+.0f", 1,
        QString(regions[i].help) + " Right is brighter.", 0, this));
  }

  reset_ = new QPushButton("Reset", this);
  reset_->setObjectName("Reset");
  reset_->setFont(FontRoles::font(FontRole::footnote));
  connect(reset_, &QPushButton::clicked, this, [this] {
    model_.resetCurveChannel(state());
    refreshValues();
  });
  auto* hintRow = new QHBoxLayout;
  // Wrapped, so the column's width decides and not the hint's.
  auto* hint = caption("Drag points; click to add; double-click to remove.", this);
  hint->setWordWrap(true);
  hintRow->addWidget(hint, 1);
  hintRow->addWidget(reset_, 0, Qt::AlignVCenter);
  layout->addLayout(hintRow);

  refreshValues();
}

void ToneCurveEditor::setMonochrome(bool monochrome) {
  if (monochrome == monochrome_) return;
  monochrome_ = monochrome;
  if (monochrome) channel_ = 0;
}

void ToneCurveEditor::showChannel(int channel) {
  channel_ = channel;
  refreshValues();
}

void ToneCurveEditor::refreshValues() {
  InspectorRow::refreshValues();
  for (QAction* entry : presets_->menu()->actions())
    entry->setVisible(!(monochrome_ && isColor(static_cast<CurvePreset>(entry->data().toInt()))));
  if (picker_->isHidden() != monochrome_) picker_->setVisible(!monochrome_);
  picker_->showCurrent(channel_);
  const auto index = model_.selectedIndex();
  std::optional<ToneCurves> curves;
  if (index) curves = model_.items()[*index].settings.curves;
  reset_->setEnabled(resetEnabled(channel_, curves));
  graph_->update();
}
