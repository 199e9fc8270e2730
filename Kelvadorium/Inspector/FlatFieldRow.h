// "Even Light Correction": which blank frame the selected scan is corrected with, a menu to
// choose one for this scan, the marked scans or every scan, and "Off". Whether the blank frame
// still exists is asked when the row refreshes, never while it paints, so a path on a
// network share that no longer answers cannot stall drawing.
#pragma once

#include "Inspector/InspectorRow.h"

class AppModel;
class MenuButton;
class QAction;
class ElidedLabel;
class QToolButton;

class FlatFieldRow final : public InspectorRow {
  Q_OBJECT

 public:
  explicit FlatFieldRow(AppModel& model, QWidget* parent = nullptr);

  ElidedLabel* fileName() const { return fileName_; }
  QToolButton* offButton() const { return off_; }
  MenuButton* chooseButton() const { return choose_; }
  QAction* forTargets() const { return forTargets_; }
  QAction* forAll() const { return forAll_; }

  // "Off": the selected or marked scans lose their blank frame.
  void turnOff();

 protected:
  void refreshValues() override;

 private:
  AppModel& model_;
  ElidedLabel* fileName_;
  QToolButton* off_;
  MenuButton* choose_;
  QAction* forTargets_;
  QAction* forAll_;
};
