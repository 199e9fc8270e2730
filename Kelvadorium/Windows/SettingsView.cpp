#include "Windows/SettingsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <array>

#include "Desktop/WidgetDialogs.h"
#include "Model/AppModel.h"
#include "Windows/FontRoles.h"
#include "Windows/PrivacySection.h"

namespace {

constexpr std::array<std::pair<PreviewMode, const char*>, 3> previewModes{{
    {PreviewMode::full, "Full render"},
    {PreviewMode::hybrid, "Hybrid (recommended)"},
    {PreviewMode::fast, "Fast (1600 px)"},
}};
constexpr std::array<std::pair<FilmMode, const char*>, 3> filmModes{{
    {FilmMode::colorNegative, "Colour negative"},
    {FilmMode::bwNegative, "B&W negative"},
    {FilmMode::positive, "Positive / slide"},
}};
constexpr std::array<std::pair<ScannerLook, const char*>, 3> looks{{
    {ScannerLook::neutral, "Neutral"},
    {ScannerLook::frontier, "Frontier Style"},
    {ScannerLook::noritsu, "Noritsu Style"},
}};

template <class Value, size_t N>
QComboBox* picker(const std::array<std::pair<Value, const char*>, N>& options, const char* name) {
  auto* combo = new QComboBox;
  combo->setObjectName(name);
  for (const auto& option : options) combo->addItem(option.second);
  return combo;
}

template <class Value, size_t N>
int indexOf(const std::array<std::pair<Value, const char*>, N>& options, Value value) {
  for (size_t i = 0; i < N; ++i) {
    if (options[i].first == value) return static_cast<int>(i);
  }
  return 0;
}

QLabel* captionLabel(const QString& text, const char* name) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  label->setWordWrap(true);
  FontRoles::apply(*label, FontRole::caption, true);
  return label;
}

}  // namespace

SettingsView::SettingsView(AppModel& model, DialogService* dialogs, QWidget* parent)
    : QDialog(parent), model_(model), dialogs_(dialogs) {
  if (!dialogs_) {
    ownDialogs_ = std::make_unique<WidgetDialogs>(this);
    dialogs_ = ownDialogs_.get();
  }
  setWindowTitle("Settings");
  setObjectName("SettingsView");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(16, 8, 16, 8);

  auto* performance = new QGroupBox("Performance");
  auto* performanceRows = new QFormLayout(performance);
  previewPicker_ = picker(previewModes, "previewPicker");
  performanceRows->addRow("Preview while editing", previewPicker_);
  previewCaption_ = captionLabel({}, "previewCaption");
  performanceRows->addRow(previewCaption_);
  column->addWidget(performance);

  // The privacy section's place.
  auto* privacy = new QWidget;
  privacy->setObjectName("privacySection");
  auto* privacyRows = new QVBoxLayout(privacy);
  privacyRows->setContentsMargins(0, 0, 0, 0);
  privacyRows->addWidget(
      new PrivacySection(model_.telemetry(), *dialogs_, model_.workspace(), privacy));
  column->addWidget(privacy);

  auto* rows = new QFormLayout;
  askFilmType_ = new QCheckBox("Ask for the film type when scans are added");
  askFilmType_->setObjectName("askFilmType");
  rows->addRow(askFilmType_);
  defaultMode_ = picker(filmModes, "defaultMode");
  rows->addRow("New images start as", defaultMode_);
  defaultLook_ = picker(looks, "defaultLook");
  rows->addRow("New images use look", defaultLook_);
  saveSidecars_ = new QCheckBox("Save edits in the scans’ folder (one hidden file per folder)");
  saveSidecars_->setObjectName("saveSidecars");
  rows->addRow(saveSidecars_);
  rows->addRow(captionLabel(
      "File type, size, sharpening, colour space, naming and metadata are chosen in the Export "
      "dialog.",
      "exportNote"));
  column->addLayout(rows);

  connect(previewPicker_, &QComboBox::activated, this,
          [this](int index) { choosePreviewMode(previewModes[size_t(index)].first); });
  connect(askFilmType_, &QCheckBox::clicked, this, [this](bool on) { model_.setAskFilmType(on); });
  connect(defaultMode_, &QComboBox::activated, this,
          [this](int index) { model_.setDefaultMode(filmModes[size_t(index)].first); });
  connect(defaultLook_, &QComboBox::activated, this,
          [this](int index) { model_.setDefaultLook(looks[size_t(index)].first); });
  connect(saveSidecars_, &QCheckBox::clicked, this,
          [this](bool on) { model_.setSaveSidecars(on); });
  connect(&model_, &AppModel::previewModeChanged, this, &SettingsView::refresh);
  connect(&model_.preferences(), &Preferences::changed, this, &SettingsView::refresh);
  refresh();

  setFixedWidth(fixedWidth);
  setFixedHeight(column->hasHeightForWidth() ? column->heightForWidth(fixedWidth)
                                             : column->sizeHint().height());
}

SettingsView::~SettingsView() { confirmTask_.cancel(); }

QString SettingsView::caption(PreviewMode mode) {
  switch (mode) {
    case PreviewMode::full:
      return "Every change and every scan is rendered at full preview size (2400 px): always "
             "sharp, but sliders, tools and browsing respond more slowly.";
    case PreviewMode::hybrid:
      return "While you move a slider the preview is drawn at half size, then sharp (2400 px) "
             "as soon as you pause. Browsing shows the thumbnail at once, then the sharp render.";
    case PreviewMode::fast:
      return "Everything is worked at 1600 px: quickest sliders and browsing (about 0.3 s per "
             "new scan instead of 0.7 s), a little softer on big screens. Zooming in still shows "
             "full resolution, and exports are always full quality.";
  }
  return {};
}

// Shows what is stored; the user's own choices are the only writes.
void SettingsView::refresh() {
  const PreviewMode mode = model_.previewMode();
  {
    const QSignalBlocker blocker(previewPicker_);
    previewPicker_->setCurrentIndex(indexOf(previewModes, mode));
  }
  previewCaption_->setText(caption(mode));
  const QSignalBlocker askBlocker(askFilmType_);
  askFilmType_->setChecked(model_.askFilmType());
  const QSignalBlocker modeBlocker(defaultMode_);
  defaultMode_->setCurrentIndex(indexOf(filmModes, model_.defaultMode()));
  const QSignalBlocker lookBlocker(defaultLook_);
  defaultLook_->setCurrentIndex(indexOf(looks, model_.defaultLook()));
  const QSignalBlocker sidecarBlocker(saveSidecars_);
  saveSidecars_->setChecked(model_.saveSidecars());
}

void SettingsView::choosePreviewMode(PreviewMode mode) {
  if (mode == PreviewMode::full && model_.previewMode() != PreviewMode::full) {
    if (confirmTask_ && !confirmTask_.isFinished()) return;
    confirmTask_ =
        TaskHandle::start([this](std::stop_token stop) { return confirmFullRender(stop); });
    return;
  }
  // The model drops the preview and renders again when the mode really changed.
  model_.setPreviewMode(mode);
}

QCoro::Task<> SettingsView::confirmFullRender(std::stop_token stop) {
  const QString keep = model_.previewMode() == PreviewMode::fast ? "Fast" : "Hybrid";
  DialogService::Alert alert{
      "Use full render?",
      "Every change will be rendered at full preview size. This affects performance: sliders, "
      "brushes, tools and browsing respond more slowly, especially with Black Mist, Glow, HSL or "
      "dodge & burn layers and on large scans. Exports are always full quality either way.",
      {"Use Full Render", "Keep " + keep}};
  const int answer = co_await dialogs_->alert(std::move(alert));
  if (stop.stop_requested()) co_return;
  if (answer == 0) {
    model_.setPreviewMode(PreviewMode::full);
  } else {
    refresh();  // the picker shows the stored mode again
  }
}
