// The model's panels and alerts as Qt Widgets: Qt's own file dialog (so one Add panel returns
// files and folders together, and the model's labels show), and QMessageBox alerts. Every
// dialog is window-modal over the main window and opened with open(), never a nested exec();
// the model's coroutine resumes when it closes.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "Services/DialogService.h"

class QFileDialog;
class QMessageBox;

class WidgetDialogs final : public DialogService {
 public:
  // `window` is the window the dialogs are modal to; none before the main window exists.
  explicit WidgetDialogs(QWidget* window = nullptr) : window_(window) {}
  // The main window is made after the model that needs the dialogs.
  void setWindow(QWidget* window) { window_ = window; }

  QCoro::Task<std::vector<std::filesystem::path>> openPanel(OpenPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> folderPanel(FolderPanel panel) override;
  QCoro::Task<std::optional<std::filesystem::path>> savePanel(SavePanel panel) override;
  QCoro::Task<int> alert(Alert alert) override;

  // The open panel as shown, not yet opened: Qt's own dialog, window-modal, hidden names not
  // listed; with files and folders, a selection holding folders is returned as it is.
  static std::unique_ptr<QFileDialog> makeOpenPanel(const OpenPanel& panel, QWidget* parent);
  // The alert as shown, not yet opened: the title as its text, the text as its informative
  // text, the buttons with roles (the first accepts and is the default, "Cancel" rejects and
  // is the escape button), each knowing its index in the alert's order.
  static std::unique_ptr<QMessageBox> makeAlert(const Alert& alert, QWidget* parent);
  // The index of the button that closed the box; the escape button's (else the last) when the
  // box was closed otherwise.
  static int answerOf(const QMessageBox& box);

 private:
  QPointer<QWidget> window_;
};
