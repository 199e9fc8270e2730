// The sheet that chooses which groups of the selected scan's settings are copied, opened with the
// choice stored last time. Copy hands the choice to the model and closes the sheet; it is
// disabled while nothing is ticked or no scan is selected (there would be nothing to copy).
// Cancel, Escape and the window's close button are one path: nothing is copied or stored.
#pragma once

#include <array>
#include <set>

#include "Model/SettingsPart.h"
#include "Windows/ModelSheet.h"

class AppModel;
class QCheckBox;
class QPushButton;

class CopySettingsSheet final : public ModelSheet {
  Q_OBJECT

 public:
  CopySettingsSheet(AppModel& model, QWidget* parent);

  // The nine labels, in the order of the parts.
  static const std::array<const char*, 9>& labels();

  const std::set<SettingsPart>& parts() const { return parts_; }
  QCheckBox* box(SettingsPart part) const { return boxes_[static_cast<size_t>(part)]; }
  QPushButton* allButton() const { return all_; }
  QPushButton* noneButton() const { return none_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* copyButton() const { return copy_; }

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void refresh();
  void copy();
  void cancel();

  AppModel& model_;
  std::set<SettingsPart> parts_;
  std::array<QCheckBox*, 9> boxes_{};
  QPushButton* all_;
  QPushButton* none_;
  QPushButton* cancel_;
  QPushButton* copy_;
};
