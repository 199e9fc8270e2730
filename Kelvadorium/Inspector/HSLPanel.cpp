#include "Inspector/HSLPanel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "Inspector/AdjustRow.h"
#include "Inspector/ElementBinding.h"
#include "Inspector/FoldHeader.h"
#include "Model/AppModel.h"
#include "Services/Preferences.h"
#include "ViewKit/NamedColours.h"
#include "ViewKit/SegmentedPicker.h"
#include "Windows/FontRoles.h"

namespace {

constexpr int spacing = 6;
constexpr std::array<const char*, 3> modeNames = {"Hue", "Saturation", "Luminance"};
constexpr std::array<std::vector<double> HSLAdjustments::*, 3> lists = {
    &HSLAdjustments::hue, &HSLAdjustments::saturation, &HSLAdjustments::luminance};

}  // namespace

const QString HSLPanel::foldKey = "fold.HSL";

const std::array<QColor, 8>& HSLPanel::swatches() {
  static const std::array<QColor, 8> colours{
      NamedColours::colour(NamedColour::red),    NamedColours::colour(NamedColour::orange),
      NamedColours::colour(NamedColour::yellow), NamedColours::colour(NamedColour::green),
      QColor::fromRgbF(0, 0.8f, 0.8f),           NamedColours::colour(NamedColour::blue),
      NamedColours::colour(NamedColour::purple), QColor::fromRgbF(0.9f, 0, 0.7f)};
  return colours;
}

QString HSLPanel::help(int mode) {
  switch (mode) {
    case 0:
      return "Shifts this colour toward its neighbours.";
    case 1:
      return "Right is more colourful, left is greyer.";
    default:
      return "Right is brighter, left is darker.";
  }
}

HSLPanel::HSLPanel(AppModel& model, QWidget* parent) : InspectorRow(parent), model_(model) {
  setObjectName("HSLPanel");
  Preferences& preferences = model_.preferences();
  header_ = new FoldHeader(
      "HSL",
      Binding<bool>{[&preferences] { return preferences.boolValue(foldKey, true); },
                    [&preferences](bool open) { preferences.setBool(foldKey, open); }},
      this);
  reset_ = new QPushButton("Reset", this);
  reset_->setObjectName("Reset");
  reset_->setFont(FontRoles::font(FontRole::footnote));
  connect(reset_, &QPushButton::clicked, this, [this] { model_.resetHSL(); });
  auto* top = new QHBoxLayout;
  top->addWidget(header_, 1);
  top->addWidget(reset_);

  picker_ = new SegmentedPicker(this);
  picker_->setObjectName("HSL");
  for (int i = 0; i < 3; ++i) picker_->addSegment(i, modeNames[static_cast<size_t>(i)]);
  connect(picker_, &SegmentedPicker::chosen, this, [this](int id) {
    mode_ = id;
    refreshRows();
  });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  layout->addLayout(top);
  layout->addWidget(picker_);
  // Three sets of rows, one shown: a row's binding and help never change.
  for (int m = 0; m < 3; ++m) {
    for (size_t band = 0; band < 8; ++band) {
      auto* row = new AdjustRow(
          HSLAdjustments::bandNames[band],
          elementBinding(model_, &ConversionSettings::hsl, lists[static_cast<size_t>(m)], band),
          {-100, 100}, 1, swatches()[band], "%+.0f", 1, help(m), 0, this);
      row->setShownWhen([this, m] { return expanded() && mode_ == m; });
      rows_[static_cast<size_t>(m)][band] = row;
      layout->addWidget(row);
    }
  }

  connect(&preferences, &Preferences::changed, this, [this](const QString& key) {
    if (key != foldKey) return;
    refreshValues();
    refreshRows();
  });
  refreshValues();
  refreshRows();
}

bool HSLPanel::expanded() const { return model_.preferences().boolValue(foldKey, true); }

AdjustRow* HSLPanel::row(int mode, size_t band) const {
  return rows_[static_cast<size_t>(mode < 0 || mode > 2 ? 2 : mode)][band];
}

void HSLPanel::refreshValues() {
  InspectorRow::refreshValues();
  const bool open = expanded();
  header_->showExpanded(open);
  if (picker_->isHidden() == open) picker_->setVisible(open);
  picker_->showCurrent(mode_);
  const auto index = model_.selectedIndex();
  reset_->setEnabled(index && !model_.items()[*index].settings.hsl.isNeutral());
}

void HSLPanel::refreshRows() {
  for (const auto& set : rows_) {
    for (AdjustRow* row : set) row->refresh();
  }
}
