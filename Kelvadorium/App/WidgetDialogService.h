// The panels and alerts of the program, as Qt widgets over the main window: each opened
// window-modal with open() and awaited, never a nested event loop. Qt's own file dialog, so one
// panel can show the labels the model gives.
#pragma once

#include <QPointer>
#include <QWidget>

#include "Services/DialogService.h"

class WidgetDialogService final : public DialogService {
 public:
  // The window the dialogs belong to; without one they are free windows.
  void setWindow(QWidget* window) { window_ = window; }

  QCoro::Task<std::vector<std::filesystem::path>> openPanel(OpenPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> folderPanel(FolderPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> savePanel(SavePanel panel) override;
  QCoro::Task<int> alert(Alert alert) override;

 private:
  QPointer<QWidget> window_;
};
