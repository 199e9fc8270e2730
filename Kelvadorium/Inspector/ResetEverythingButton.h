// "Reset Everything" at the trailing edge of its row: after a confirmation, the selected scan
// goes back to the basic scan (its film type and framing kept) as one undoable edit.
#pragma once

#include "Inspector/InspectorRow.h"

class AppModel;
class QMessageBox;
class QPushButton;

class ResetEverythingButton final : public InspectorRow {
  Q_OBJECT

 public:
  explicit ResetEverythingButton(AppModel& model, QWidget* parent = nullptr);

  QPushButton* button() const { return button_; }
  // The confirmation while it is shown; null otherwise.
  QMessageBox* asking() const { return asking_; }

 protected:
  void refreshValues() override;

 private:
  void ask();

  AppModel& model_;
  QPushButton* button_;
  QMessageBox* asking_ = nullptr;
};
