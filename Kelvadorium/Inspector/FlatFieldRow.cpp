#include "Inspector/FlatFieldRow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "Inspector/ElidedLabel.h"
#include "Inspector/FilmTexts.h"
#include "Model/AppModel.h"
#include "ViewKit/MenuButton.h"
#include "ViewKit/NamedColours.h"
#include "Windows/FontRoles.h"

namespace {

constexpr int rowSpacing = 4;

void startChoosing(AppModel& model, bool forAll) {
  TaskHandle::start([&model, forAll](std::stop_token) { return model.chooseBlankFrame(forAll); });
}

bool blankFrameExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::path(path), error);
}

}  // namespace

FlatFieldRow::FlatFieldRow(AppModel& model, QWidget* parent) : InspectorRow(parent), model_(model) {
  setObjectName("FlatFieldRow");
  auto* title = new QLabel("Even Light Correction", this);
  title->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  fileName_ = new ElidedLabel(this);
  fileName_->setObjectName("blankFrame");
  FontRoles::apply(*fileName_, FontRole::caption);
  off_ = new QToolButton(this);
  off_->setObjectName("Off");
  off_->setText("Off");
  off_->setFont(FontRoles::font(FontRole::callout));
  connect(off_, &QToolButton::clicked, this, [this] { turnOff(); });
  choose_ = new MenuButton(FilmTexts::chooseMenuTitle(false), {}, this);
  choose_->setObjectName("chooseBlankFrame");
  choose_->setFont(FontRoles::font(FontRole::callout));
  choose_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  forTargets_ = choose_->menu()->addAction(FilmTexts::forTargetsTitle(0));
  forAll_ = choose_->menu()->addAction("For All Scans…");
  connect(forTargets_, &QAction::triggered, this, [this] { startChoosing(model_, false); });
  connect(forAll_, &QAction::triggered, this, [this] { startChoosing(model_, true); });

  auto* explanation = new QLabel(
      "Evens out darker or tinted corners from the lens and light source. First shoot a blank "
      "frame with the same lens, aperture, distance and light, with no film (or clear film base) "
      "in the holder, then choose it here.",
      this);
  explanation->setObjectName("explanation");
  explanation->setWordWrap(true);
  FontRoles::apply(*explanation, FontRole::caption, true);

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(title);
  top->addStretch(1);
  top->addWidget(fileName_, 1);
  top->addWidget(off_);
  top->addWidget(choose_);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(rowSpacing);
  column->addLayout(top);
  column->addWidget(explanation);
}

void FlatFieldRow::turnOff() { model_.setFlatField(std::nullopt, false); }

void FlatFieldRow::refreshValues() {
  std::optional<std::string> path;
  if (const auto index = model_.selectedIndex()) path = model_.items()[*index].settings.flatField;
  const size_t targets = model_.targetIDs().size();
  fileName_->setVisible(path.has_value());
  off_->setVisible(path.has_value());
  if (path) {
    const QString shown = QString::fromStdString(*path);
    const bool exists = blankFrameExists(*path);
    fileName_->setFullText(
        QString::fromStdString(std::filesystem::path(*path).filename().string()));
    fileName_->setToolTip(FilmTexts::blankFrameHelp(shown, exists));
    // Both text roles: inside the section's box a label paints with Text, not WindowText.
    const QColor colour =
        exists ? FontRoles::secondaryText(*this) : NamedColours::colour(NamedColour::red);
    QPalette palette = fileName_->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text}) palette.setColor(role, colour);
    fileName_->setPalette(palette);
    off_->setToolTip(FilmTexts::flatFieldOffHelp(targets));
  }
  choose_->setText(FilmTexts::chooseMenuTitle(path.has_value()));
  forTargets_->setText(FilmTexts::forTargetsTitle(targets));
}
