#include "Inspector/InspectorView.h"

#include <QScrollBar>
#include <QVBoxLayout>
#include <array>

#include "Inspector/AdvancedSection.h"
#include "Inspector/BasicSection.h"
#include "Inspector/ColourSection.h"
#include "Inspector/CropSection.h"
#include "Inspector/DodgeBurnSection.h"
#include "Inspector/EffectsSection.h"
#include "Inspector/ExportBatchSection.h"
#include "Inspector/FilmInfoSection.h"
#include "Inspector/FilmSection.h"
#include "Inspector/FoldSection.h"
#include "Inspector/HealingSection.h"
#include "Inspector/HistogramView.h"
#include "Inspector/ToneCurveEditor.h"
#include "ViewKit/BandedScrollBar.h"
#include "ViewKit/RefreshGate.h"

namespace {

constexpr int idealWidth = 310;
constexpr int sectionSpacing = 10;
constexpr int columnMargin = 10;

using Builder = QWidget* (*)(InspectorView&);

struct SectionRow {
  const char* title;
  bool openByDefault;
  Builder content;  // none: the section's controls come later
};

QWidget* histogram(InspectorView& view) { return new HistogramView(view.model()); }

// The editor takes the inspector's black-and-white test afresh at every refresh.
QWidget* toneCurve(InspectorView& view) {
  auto* editor = new ToneCurveEditor(view.model(), view.isMonochrome());
  editor->setRefresher([editor, &view] { editor->setMonochrome(view.isMonochrome()); });
  return editor;
}

// The column, top to bottom.
constexpr std::array<SectionRow, 12> sectionRows{{
    {"Histogram", true, histogram},
    {"Film", true, FilmSection::build},
    {"Basic Settings", true, BasicSection::build},
    {"Tone Curve", true, toneCurve},
    {"Effects", true, EffectsSection::build},
    {"Dodge & Burn", true, DodgeBurnSection::build},
    {"Healing", true, HealingSection::build},
    {"Crop & Orientation", true, CropSection::build},
    {"Colour", true, ColourSection::build},
    {"Advanced", false, AdvancedSection::build},
    {"Film Info", false, FilmInfoSection::build},
    {"Export & Batch", true, ExportBatchSection::build},
}};
constexpr const char* colourTitle = "Colour";
// The HSL panel's own fold inside the Colour section.
constexpr const char* hslTitle = "HSL";

}  // namespace

InspectorView::InspectorView(AppModel& model, QWidget* parent)
    : QScrollArea(parent), model_(model) {
  setObjectName("InspectorView");
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameShape(QFrame::NoFrame);
  // The column's height changes with what the sections show; the bar repaints at each change.
  setVerticalScrollBar(new BandedScrollBar(Qt::Vertical, this));
  gate_ = new RefreshGate([this] { refresh(); }, this);

  column_ = new QWidget;
  column_->setObjectName("column");
  // It draws nothing itself: a change of its height repaints what moved, not the whole column.
  column_->setAttribute(Qt::WA_StaticContents);
  auto* layout = new QVBoxLayout(column_);
  layout->setContentsMargins(columnMargin, columnMargin, columnMargin, columnMargin);
  layout->setSpacing(sectionSpacing);
  for (const SectionRow& row : sectionRows) {
    FoldSection::Content content;
    if (row.content) content = [this, build = row.content] { return build(*this); };
    auto* section = new FoldSection(row.title, model_.preferences(), row.openByDefault,
                                    std::move(content), column_);
    layout->addWidget(section);
    sections_.push_back(section);
    if (QString(row.title) == colourTitle) colour_ = section;
  }
  layout->addStretch(1);
  setWidget(column_);

  // Every model change an inspector control shows.
  for (auto changed :
       {&AppModel::itemsChanged, &AppModel::selectionChanged, &AppModel::wbPickModeChanged,
        &AppModel::markedChanged, &AppModel::rollProgressChanged, &AppModel::matchProgressChanged,
        &AppModel::analysisChanged}) {
    connect(&model_, changed, gate_, &RefreshGate::request);
  }
  refresh();
}

bool InspectorView::isMonochrome() const {
  return model_.selectedIndex() && settingValue(&ConversionSettings::mode) == FilmMode::bwNegative;
}

FoldSection* InspectorView::section(const QString& title) const {
  for (FoldSection* section : sections_) {
    if (section->title() == title) return section;
  }
  return nullptr;
}

QStringList InspectorView::foldKeys() {
  QStringList keys;
  for (const SectionRow& row : sectionRows) keys << FoldSection::key(row.title);
  keys << FoldSection::key(hslTitle);
  return keys;
}

void InspectorView::refreshNow() { gate_->flush(); }

QSize InspectorView::sizeHint() const { return {idealWidth, QScrollArea::sizeHint().height()}; }

void InspectorView::refresh() {
  column_->setEnabled(model_.selectedIndex().has_value());
  // Left out with its header; its fold key stays as stored.
  const bool colour = !isMonochrome();
  if (colour == colour_->isHidden()) colour_->setVisible(colour);
  for (FoldSection* section : sections_) {
    if (!section->isHidden()) section->refresh();
  }
}
