#include "Windows/CopySettingsSheet.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "Model/AppModel.h"
#include "ViewKit/ShortcutText.h"
#include "Windows/FontRoles.h"

namespace {
// The wrapped text of a check box; a click on it is a click on the box.
class ClickableLabel final : public QLabel {
 public:
  ClickableLabel(const QString& text, QCheckBox* box) : QLabel(text), box_(box) {
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (rect().contains(event->position().toPoint())) box_->click();
  }

 private:
  QCheckBox* box_;
};
}  // namespace

const std::array<const char*, 9>& CopySettingsSheet::labels() {
  static const std::array<const char*, 9> names{
      "Film type, Even Light Correction",
      "Basic Settings (exposure, contrast, tones, clarity, dehaze, sharpness, black mist, "
      "saturation)",
      "Colour (look, white balance, C/M/Y, HSL, roll balance)",
      "Tone Curve",
      "Effects (grain reduction, grain, vignette, glow, border)",
      "Healed spots, red-eye fixes, dodge & burn",
      "Crop, rotation, mirroring",
      "Measurement (ignore edges, black/white clip)",
      "Film Info (camera, lens, film, ISO, exposure, credits)",
  };
  return names;
}

CopySettingsSheet::CopySettingsSheet(AppModel& model, QWidget* parent)
    : ModelSheet(parent), model_(model) {
  setWindowTitle("Copy Settings");
  auto* column = new QVBoxLayout(this);
  column->setSpacing(12);
  column->setContentsMargins(20, 20, 20, 20);
  auto* title = new QLabel("Copy Settings");
  FontRoles::apply(*title, FontRole::headline);
  column->addWidget(title);
  const QString paste = ShortcutText::keys(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));
  auto* explanation = new QLabel(
      QString("Choose what to copy from this image. Paste with %1 onto the selected images.")
          .arg(paste));
  explanation->setWordWrap(true);
  explanation->setTextFormat(Qt::PlainText);
  FontRoles::apply(*explanation, FontRole::callout, true);
  column->addWidget(explanation);

  for (const auto& [part, name] : EnumNames<SettingsPart>::cases) {
    // A check box does not wrap its text: the label beside it does, and a click on it ticks.
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    auto* box = new QCheckBox;
    box->setAccessibleName(labels()[static_cast<size_t>(part)]);
    auto* text = new ClickableLabel(labels()[static_cast<size_t>(part)], box);
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    const SettingsPart chosen = part;
    connect(box, &QCheckBox::clicked, this, [this, chosen](bool on) {
      if (on) {
        parts_.insert(chosen);
      } else {
        parts_.erase(chosen);
      }
      refresh();
    });
    column->addLayout(row);
    boxes_[static_cast<size_t>(part)] = box;
  }

  auto* buttons = new QHBoxLayout;
  all_ = new QPushButton("All");
  none_ = new QPushButton("None");
  cancel_ = new QPushButton("Cancel");
  copy_ = new QPushButton("Copy");
  for (QPushButton* button : {all_, none_, cancel_}) button->setAutoDefault(false);
  copy_->setDefault(true);
  connect(all_, &QPushButton::clicked, this, [this] {
    parts_.clear();
    for (const auto& [part, name] : EnumNames<SettingsPart>::cases) parts_.insert(part);
    refresh();
  });
  connect(none_, &QPushButton::clicked, this, [this] {
    parts_.clear();
    refresh();
  });
  connect(cancel_, &QPushButton::clicked, this, &CopySettingsSheet::cancel);
  connect(copy_, &QPushButton::clicked, this, &CopySettingsSheet::copy);
  buttons->addWidget(all_);
  buttons->addWidget(none_);
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  buttons->addWidget(copy_);
  column->addLayout(buttons);
  fixWidth(*column, 520);

  connect(&model_, &AppModel::selectionChanged, this, &CopySettingsSheet::refresh);
  connect(&model_, &AppModel::itemsChanged, this, &CopySettingsSheet::refresh);
  refresh();
}

void CopySettingsSheet::showEvent(QShowEvent* event) {
  parts_ = model_.storedCopyParts();
  refresh();
  ModelSheet::showEvent(event);
}

void CopySettingsSheet::refresh() {
  for (const auto& [part, name] : EnumNames<SettingsPart>::cases) {
    QCheckBox* box = boxes_[static_cast<size_t>(part)];
    const QSignalBlocker blocker(box);
    box->setChecked(parts_.contains(part));
  }
  copy_->setEnabled(!parts_.empty() && model_.selectedIndex().has_value());
}

void CopySettingsSheet::copy() {
  if (parts_.empty() || !model_.selectedIndex()) return;
  model_.copySettings(parts_);
  model_.setShowCopySheet(false);
}

void CopySettingsSheet::cancel() { model_.setShowCopySheet(false); }

void CopySettingsSheet::reject() { cancel(); }

void CopySettingsSheet::closeEvent(QCloseEvent* event) {
  cancel();
  ModelSheet::closeEvent(event);
}
