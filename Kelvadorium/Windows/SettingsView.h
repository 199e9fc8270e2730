// The Settings window: how the preview renders while editing (with a confirmation before the
// slowest mode), whether new scans ask for their film type, the film type and look they start
// with, and whether edits are saved beside the scans. It binds the model's stored preferences:
// it shows what is stored and writes only on the user's own choice.
#pragma once

#include <QDialog>
#include <memory>
#include <stop_token>

#include "Model/PreviewMode.h"
#include "Services/TaskHandle.h"

class AppModel;
class DialogService;
class QCheckBox;
class QComboBox;
class QLabel;

class SettingsView final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int fixedWidth = 460;

  // `dialogs` asks "Use full render?"; without one the window asks with alerts of its own.
  SettingsView(AppModel& model, DialogService* dialogs, QWidget* parent = nullptr);
  ~SettingsView() override;

  // The caption under the preview picker for the stored mode.
  static QString caption(PreviewMode mode);

 private:
  void refresh();
  void choosePreviewMode(PreviewMode mode);
  QCoro::Task<> confirmFullRender(std::stop_token stop);

  AppModel& model_;
  std::unique_ptr<DialogService> ownDialogs_;
  DialogService* dialogs_;
  QComboBox* previewPicker_;
  QLabel* previewCaption_;
  QCheckBox* askFilmType_;
  QComboBox* defaultMode_;
  QComboBox* defaultLook_;
  QCheckBox* saveSidecars_;
  TaskHandle confirmTask_;
};
