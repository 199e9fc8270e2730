#include "Inspector/EffectsSection.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "Finishing/FilmFrames.h"
#include "Inspector/AdjustRow.h"
#include "Inspector/InspectorView.h"
#include "Inspector/WheelPass.h"
#include "Services/Preferences.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace EffectsSection {

namespace {

constexpr int rowSpacing = 10;
using S = ConversionSettings;

bool grainUsed(const S& s) { return s.grainAmount > 0.5; }
bool vignetteUsed(const S& s) { return std::abs(s.vignetteAmount) > 0.5; }
bool glowUsed(const S& s) { return s.glowAmount > 0.5; }
bool evenBorder(const S& s) { return s.border == BorderStyle::white || s.border == BorderStyle::black; }

QFrame* divider() {
  auto* line = new QFrame;
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

AdjustRow* sliderRow(InspectorView& view, const Row& r) {
  auto* row = new AdjustRow(r.label, view.settingBinding(r.field), {r.lowest, r.highest}, r.step,
                            std::nullopt, r.format, 1, QString(r.help), r.neutral);
  if (r.shownFor) {
    row->setShownWhen([&view, shownFor = r.shownFor] {
      const auto index = view.model().selectedIndex();
      return index && shownFor(view.model().items()[*index].settings);
    });
  }
  return row;
}

AdjustRow* sensitivityRow(AppModel& model) {
  auto* row = new AdjustRow(
      "Sensitivity",
      Binding<double>{[&model] { return model.dustSensitivity(); },
                      [&model](double value) { model.setDustSensitivity(value); }},
      {0, 1}, 0.05, std::nullopt, "%.0f%%", 100,
      QString("How faint a speck Find Dust still reports. Right finds more (and more that is not "
              "dust)."),
      0.5);
  // A preference, not a field of the record: its own change refreshes the row.
  QObject::connect(&model.preferences(), &Preferences::changed, row, [row](const QString& key) {
    if (key == "dustSensitivity") row->refresh();
  });
  return row;
}

InspectorRow* borderRow(InspectorView& view) {
  auto* row = new InspectorRow;
  row->setObjectName("borderRow");
  auto* label = new QLabel("Border", row);
  auto* picker = new QComboBox(row);
  picker->setObjectName("Border");
  picker->setToolTip("An even white or black border around the picture.");
  // Long frame names are elided rather than widening the column.
  picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  picker->setMinimumContentsLength(8);
  WheelPass::install(*picker);
  label->setToolTip(picker->toolTip());
  // Nothing but a chosen entry writes.
  QObject::connect(picker, &QComboBox::activated, row, [picker, &model = view.model()](int i) {
    const QVariant tag = picker->itemData(i);
    if (tag.isValid()) model.setBorderTag(tag.toString().toStdString());
  });
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label);
  layout->addWidget(picker, 1);

  row->setRefresher([picker, &view] {
    const QSignalBlocker blocker(picker);
    const BorderChoices choices = borderChoices(view);
    std::vector<BorderChoice> shown;
    for (int i = 0; i < picker->count(); ++i) {
      if (picker->itemData(i).isValid())
        shown.push_back({picker->itemText(i), picker->itemData(i).toString().toStdString()});
    }
    std::vector<BorderChoice> wanted = choices.styles;
    wanted.insert(wanted.end(), choices.frames.begin(), choices.frames.end());
    if (shown != wanted) {
      picker->clear();
      for (const BorderChoice& c : choices.styles) picker->addItem(c.title, QString::fromStdString(c.tag));
      if (!choices.frames.empty()) picker->insertSeparator(picker->count());
      for (const BorderChoice& c : choices.frames) picker->addItem(c.title, QString::fromStdString(c.tag));
    }
    // A frame not offered for this film type (or unknown) shows no entry.
    picker->setCurrentIndex(picker->findData(QString::fromStdString(view.model().borderTag())));
  });
  return row;
}

}  // namespace

const std::array<Row, 10>& rows() {
  static const std::array<Row, 10> table{{
      {"Grain Reduction", &S::grainReduction, 0, 100, 1, "%.0f",
       "Smooths film grain while keeping edges. Right is smoother.", 0, nullptr},
      {"Grain", &S::grainAmount, 0, 100, 1, "%.0f",
       "Film grain, like push-processed film. Strongest in the midtones. Right is more.", 0,
       nullptr},
      {"Grain size", &S::grainSize, 0, 100, 1, "%.0f",
       "Fine (slow film) to coarse (fast or pushed film).", 25, grainUsed},
      {"Roughness", &S::grainRoughness, 0, 100, 1, "%.0f", "Smooth to clumpy grain.", 50,
       grainUsed},
      {"Vignette", &S::vignetteAmount, -100, 100, 1, "%+.0f",
       "Left darkens the edges (edge burning, like in the darkroom), right lightens them.", 0,
       nullptr},
      {"Midpoint", &S::vignetteMidpoint, 0, 100, 1, "%.0f",
       "Where the vignette starts: left reaches further into the picture.", 50, vignetteUsed},
      {"Feather", &S::vignetteFeather, 0, 100, 1, "%.0f",
       "Softness of the transition. Right is softer.", 50, vignetteUsed},
      {"Glow", &S::glowAmount, 0, 100, 1, "%.0f",
       "Halation / bloom: bright areas spill light into the dark around them (warm on colour "
       "film). Right is more.",
       0, nullptr},
      {"Glow size", &S::glowSize, 0, 100, 1, "%.0f", "How far the glow reaches.", 30, glowUsed},
      {"Border size", &S::borderSize, 0.5, 25, 0.5, "%.1f%%",
       "Width as a share of the picture's short side, the same on all four sides. Right is wider.",
       5, evenBorder},
  }};
  return table;
}

BorderChoices borderChoices(const std::vector<FilmFrame>& frames, FilmMode mode) {
  BorderChoices choices;
  choices.styles = {{"None", "none"}, {"White", "white"}, {"Black", "black"}};
  for (const FilmFrame& frame : frames) {
    if (frame.isAvailable(mode))
      choices.frames.push_back({QString::fromStdString(frame.name), "film:" + frame.id});
  }
  return choices;
}

BorderChoices borderChoices(const InspectorView& view) {
  const auto index = view.model().selectedIndex();
  const FilmMode mode =
      index ? view.model().items()[*index].settings.mode : FilmMode::colorNegative;
  return borderChoices(FilmFrames::all(), mode);
}

InspectorRow* findDustRow(InspectorView& view) {
  AppModel& model = view.model();
  auto* row = new InspectorRow;
  row->setObjectName("findDustRow");
  auto* button = new QPushButton(SymbolIcons::icon("aqi.medium"), "Find Dust", row);
  button->setObjectName("Find Dust");
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  button->setToolTip(
      "Looks for dust specks and hairs with a dust finder trained on real film scans. Still in "
      "training: check the finds before removing them.");
  QObject::connect(button, &QPushButton::clicked, row, [&model] { model.findDust(); });
  auto* spinner = new QProgressBar(row);
  spinner->setObjectName("searching");
  spinner->setRange(0, 0);
  spinner->setTextVisible(false);
  spinner->setFixedSize(40, 8);
  spinner->hide();
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(button, 1, Qt::AlignVCenter);
  layout->addWidget(spinner, 0, Qt::AlignVCenter);

  row->setRefresher([button, spinner, &model] {
    const bool searching = model.isFindingDust();
    button->setText(searching ? "Finding Dust…" : "Find Dust");
    // Finds waiting for a decision on the preview keep it disabled too.
    button->setEnabled(!searching && model.dustCandidates().empty());
    if (spinner->isHidden() == searching) spinner->setVisible(searching);
  });
  // The search's state is not part of the record.
  for (auto changed : {&AppModel::isFindingDustChanged, &AppModel::dustCandidatesChanged})
    QObject::connect(&model, changed, row, [row] { row->refresh(); });
  return row;
}

QWidget* build(InspectorView& view) {
  auto* content = new QWidget;
  content->setObjectName("Effects content");
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(rowSpacing);

  auto* title = new QLabel("Dust & Scratches", content);
  QFont font = FontRoles::font(FontRole::callout);
  font.setWeight(QFont::DemiBold);
  title->setFont(font);
  layout->addWidget(title);
  layout->addWidget(findDustRow(view));
  layout->addWidget(sensitivityRow(view.model()));
  auto* note = new QLabel(
      "Find Dust is still in training. It catches most specks and hairs, but can miss some and "
      "sometimes marks something that isn't dust, so check the finds first. Red finds are "
      "removed with Remove All Dust; orange ones are doubtful and stay unless you click them. "
      "Updates keep improving it.",
      content);
  note->setObjectName("dustNote");
  note->setWordWrap(true);
  FontRoles::apply(*note, FontRole::caption, true);
  layout->addWidget(note);
  layout->addWidget(divider());

  const auto& table = rows();
  layout->addWidget(sliderRow(view, table[0]));  // Grain Reduction
  layout->addWidget(divider());
  for (size_t i = 1; i + 1 < table.size(); ++i) layout->addWidget(sliderRow(view, table[i]));
  layout->addWidget(divider());
  layout->addWidget(borderRow(view));
  layout->addWidget(sliderRow(view, table.back()));  // Border size
  return content;
}

}  // namespace EffectsSection
