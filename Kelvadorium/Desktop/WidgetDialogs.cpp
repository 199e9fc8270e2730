#include "Desktop/WidgetDialogs.h"

#include <QAbstractButton>
#include <QCoro/QCoroSignal>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace {

const char* const indexProperty = "kvAnswerIndex";

std::filesystem::path pathOf(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

QString nameOf(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

// Qt's own dialog: in files-and-folders mode a selection that holds folders is returned as it
// is, where the stock dialog would open the folder instead.
class ScanPanel final : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;
  bool foldersToo = false;

  void accept() override {
    if (foldersToo && !selectedFiles().isEmpty()) {
      QDialog::accept();
      return;
    }
    QFileDialog::accept();
  }
};

void prepare(QFileDialog& dialog, const QString& title, const QString& prompt,
             const std::filesystem::path& directory) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setWindowModality(Qt::WindowModal);
  if (!title.isEmpty()) dialog.setWindowTitle(title);
  if (!prompt.isEmpty()) dialog.setLabelText(QFileDialog::Accept, prompt);
  if (!directory.empty()) dialog.setDirectory(nameOf(directory));
}

// A wrapped line of text above everything else in Qt's own dialog, whose grid is moved down a
// row to make room.
void addMessage(QFileDialog& dialog, const QString& message) {
  auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
  if (!grid) return;
  struct Placed {
    QLayoutItem* item;
    int row, column, rowSpan, columnSpan;
  };
  std::vector<Placed> placed;
  while (grid->count() > 0) {
    Placed p{nullptr, 0, 0, 0, 0};
    grid->getItemPosition(0, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
    p.item = grid->takeAt(0);
    placed.push_back(p);
  }
  auto* label = new QLabel(message, &dialog);
  label->setObjectName("panelMessage");
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  grid->addWidget(label, 0, 0, 1, -1);
  for (const Placed& p : placed) {
    grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
  }
}

// Finishes when the dialog closes, with its result code.
QCoro::Task<int> finished(QDialog& dialog) {
  dialog.open();
  const int result = co_await qCoro(&dialog, &QDialog::finished);
  co_return result;
}

}  // namespace

QCoro::Task<std::vector<std::filesystem::path>> WidgetDialogs::openPanel(OpenPanel panel) {
  const std::unique_ptr<QFileDialog> dialog = makeOpenPanel(panel, window_);
  const int result = co_await finished(*dialog);
  std::vector<std::filesystem::path> chosen;
  if (result != QDialog::Accepted) co_return chosen;
  for (const QString& name : dialog->selectedFiles()) chosen.push_back(pathOf(name));
  co_return chosen;
}

std::unique_ptr<QFileDialog> WidgetDialogs::makeOpenPanel(const OpenPanel& panel,
                                                          QWidget* parent) {
  auto dialog = std::make_unique<ScanPanel>(parent);
  prepare(*dialog, panel.title, panel.prompt, panel.directory);
  if (!panel.message.isEmpty()) addMessage(*dialog, panel.message);
  if (panel.folders && !panel.files) {
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
  } else {
    dialog->setFileMode(panel.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog->foldersToo = panel.folders;
  }
  if (!panel.extensions.isEmpty()) {
    QStringList patterns;
    for (const QString& extension : panel.extensions) patterns.append("*." + extension);
    dialog->setNameFilter(QStringLiteral("Scans (%1)").arg(patterns.join(' ')));
    // Names are matched without regard to letter case: IMG_1.NEF as well as img_1.nef.
    dialog->setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
  }
  return dialog;
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetDialogs::folderPanel(FolderPanel panel) {
  QFileDialog dialog(window_);
  prepare(dialog, panel.title, panel.prompt, panel.directory);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const int result = co_await finished(dialog);
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) co_return std::nullopt;
  co_return pathOf(dialog.selectedFiles().front());
}

QCoro::Task<std::optional<std::filesystem::path>> WidgetDialogs::savePanel(SavePanel panel) {
  QFileDialog dialog(window_);
  prepare(dialog, panel.title, QString(), panel.directory);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (!panel.nameFilter.isEmpty()) dialog.setNameFilter(panel.nameFilter);
  if (!panel.extension.isEmpty()) dialog.setDefaultSuffix(panel.extension);
  if (!panel.suggestedName.isEmpty()) dialog.selectFile(panel.suggestedName);
  const int result = co_await finished(dialog);
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) co_return std::nullopt;
  co_return pathOf(dialog.selectedFiles().front());
}

QCoro::Task<int> WidgetDialogs::alert(Alert alert) {
  const std::unique_ptr<QMessageBox> box = makeAlert(alert, window_);
  co_await finished(*box);
  co_return answerOf(*box);
}

std::unique_ptr<QMessageBox> WidgetDialogs::makeAlert(const Alert& alert, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(parent);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Warning);
  box->setText(alert.title);
  box->setInformativeText(alert.text);
  for (int i = 0; i < alert.buttons.size(); ++i) {
    const QString& text = alert.buttons[i];
    QMessageBox::ButtonRole role = QMessageBox::ActionRole;
    if (i == 0) {
      role = QMessageBox::AcceptRole;
    } else if (text == QLatin1String("Cancel")) {
      role = QMessageBox::RejectRole;
    }
    QPushButton* button = box->addButton(text, role);
    button->setProperty(indexProperty, i);
    if (i == 0) box->setDefaultButton(button);
    if (role == QMessageBox::RejectRole) box->setEscapeButton(button);
  }
  return box;
}

int WidgetDialogs::answerOf(const QMessageBox& box) {
  const QAbstractButton* button = box.clickedButton();
  if (!button) button = box.escapeButton();
  if (button) {
    bool ok = false;
    const int index = button->property(indexProperty).toInt(&ok);
    if (ok) return index;
  }
  return static_cast<int>(box.buttons().size()) - 1;
}
