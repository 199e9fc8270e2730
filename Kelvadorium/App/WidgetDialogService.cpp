#include "App/WidgetDialogService.h"

#include <QCoro/QCoroSignal>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace {

std::filesystem::path toPath(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString()).lexically_normal();
}
QString fromPath(const std::filesystem::path& path) { return QFile::decodeName(path.c_str()); }

// A file dialog of Qt's own, window-modal, deleted when its answer has been read.
std::unique_ptr<QFileDialog, void (*)(QFileDialog*)> fileDialog(
    QWidget* window, const QString& title, const std::filesystem::path& folder) {
  auto* dialog = new QFileDialog(window, title, fromPath(folder));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setWindowModality(Qt::WindowModal);
  return {dialog, [](QFileDialog* d) { d->deleteLater(); }};
}

}  // namespace

QCoro::Task<std::vector<std::filesystem::path>> WidgetDialogService::openPanel(OpenPanel panel) {
  auto dialog = fileDialog(window_, panel.title, panel.directory);
  if (!panel.prompt.isEmpty()) dialog->setLabelText(QFileDialog::Accept, panel.prompt);
  if (panel.files) {
    dialog->setFileMode(panel.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!panel.extensions.isEmpty()) {
      QStringList patterns;
      for (const QString& extension : panel.extensions) patterns << "*." + extension;
      dialog->setNameFilter(patterns.join(' '));
    }
  } else {
    dialog->setFileMode(QFileDialog::Directory);
  }
  dialog->open();
  const int result = co_await qCoro(dialog.get(), &QDialog::finished);
  std::vector<std::filesystem::path> chosen;
  if (result != QDialog::Accepted) co_return chosen;
  for (const QString& name : dialog->selectedFiles()) chosen.push_back(toPath(name));
  co_return chosen;
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetDialogService::folderPanel(
    FolderPanel panel) {
  auto dialog = fileDialog(window_, panel.title, panel.directory);
  if (!panel.prompt.isEmpty()) dialog->setLabelText(QFileDialog::Accept, panel.prompt);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  dialog->open();
  const int result = co_await qCoro(dialog.get(), &QDialog::finished);
  if (result != QDialog::Accepted || dialog->selectedFiles().isEmpty()) co_return std::nullopt;
  co_return toPath(dialog->selectedFiles().front());
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetDialogService::savePanel(SavePanel panel) {
  auto dialog = fileDialog(window_, panel.title, panel.directory);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  if (!panel.nameFilter.isEmpty()) dialog->setNameFilter(panel.nameFilter);
  if (!panel.extension.isEmpty()) dialog->setDefaultSuffix(panel.extension);
  if (!panel.suggestedName.isEmpty()) dialog->selectFile(panel.suggestedName);
  dialog->open();
  const int result = co_await qCoro(dialog.get(), &QDialog::finished);
  if (result != QDialog::Accepted || dialog->selectedFiles().isEmpty()) co_return std::nullopt;
  co_return toPath(dialog->selectedFiles().front());
}

QCoro::Task<int> WidgetDialogService::alert(Alert alert) {
  auto* box = new QMessageBox(window_);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::NoIcon);
  box->setTextFormat(Qt::PlainText);
  box->setText(alert.title);
  if (!alert.text.isEmpty()) box->setInformativeText(alert.text);
  const QStringList titles = alert.buttons.isEmpty() ? QStringList{"OK"} : alert.buttons;
  std::vector<QPushButton*> buttons;
  for (const QString& title : titles) {
    const bool cancel = title == "Cancel";
    buttons.push_back(
        box->addButton(title, cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    if (cancel) box->setEscapeButton(buttons.back());
  }
  box->setDefaultButton(buttons.front());
  if (!box->escapeButton() && buttons.size() == 1) box->setEscapeButton(buttons.front());
  box->open();
  co_await qCoro(box, &QDialog::finished);
  int answer = static_cast<int>(buttons.size()) - 1;
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (box->clickedButton() == buttons[i]) answer = static_cast<int>(i);
  }
  box->deleteLater();
  co_return answer;
}
