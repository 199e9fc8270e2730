#include "Inspector/ResetEverythingButton.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QMessageBox>
#include <QPushButton>

#include "Model/AppModel.h"
#include "Windows/SymbolIcons.h"

namespace {
QString undoKeys() { return QKeySequence(QKeySequence::Undo).toString(QKeySequence::NativeText); }
}  // namespace

ResetEverythingButton::ResetEverythingButton(AppModel& model, QWidget* parent)
    : InspectorRow(parent), model_(model) {
  setObjectName("ResetEverythingButton");
  button_ = new QPushButton(SymbolIcons::icon("arrow.counterclockwise"), "Reset Everything", this);
  button_->setObjectName("Reset Everything");
  button_->setToolTip(
      "Back to the basic scan: all sliders, presets, scanner profile, film look, effects, "
      "border, healing, red-eye and dodge & burn are removed. Film type and framing stay. " +
      undoKeys() + " undoes it.");
  connect(button_, &QPushButton::clicked, this, [this] { ask(); });
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(1);
  layout->addWidget(button_);
}

void ResetEverythingButton::refreshValues() {
  button_->setEnabled(model_.selectedIndex().has_value());
}

void ResetEverythingButton::ask() {
  if (asking_ || !model_.selectedIndex()) return;
  const QString title = "Reset everything on this image?";
  auto* box = new QMessageBox(QMessageBox::Warning, title, title, QMessageBox::NoButton, window());
  box->setInformativeText(
      "All adjustments, presets, looks, effects, the border, healed spots, "
      "red-eye fixes and dodge & burn layers are removed, so you see the "
      "basic scan. Film type, rotation and crop stay. You can undo this "
      "with " +
      undoKeys() + ".");
  box->setObjectName("resetConfirmation");
  box->setWindowModality(Qt::WindowModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  QPushButton* reset = box->addButton("Reset Everything", QMessageBox::DestructiveRole);
  QPushButton* cancel = box->addButton("Cancel", QMessageBox::RejectRole);
  box->setDefaultButton(reset);
  box->setEscapeButton(cancel);
  asking_ = box;
  connect(box, &QMessageBox::finished, this, [this, box, reset] {
    const bool confirmed = box->clickedButton() == reset;
    asking_ = nullptr;
    if (confirmed) model_.resetSelectedScan();
  });
  box->open();
}
