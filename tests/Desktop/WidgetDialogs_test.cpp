// The real save prompt, built offscreen and never shown: the alert the model asks for becomes a
// message box with the prompt's texts, "Save…" as the default and "Cancel" as the escape
// button, and each button answers its index in the prompt's order. The Add panel returns files
// and folders chosen together.
#include "Desktop/WidgetDialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <fstream>

#include "Model/AppModel.h"
#include "Services/TaskHandle.h"
#include "TestSupport/TempDir.h"
#include "Testing/TestServices.h"

namespace {

// The alert the model's save prompt asks for, with or without an open project.
DialogService::Alert savePrompt(bool withProject) {
  TempDir dir;
  std::ofstream(dir / "a.tif") << "x";
  TestServices services;
  AppModel model(services.services());
  model.addScans({dir / "a.tif"});
  if (withProject) model.setProjectURL(dir / "Roll 12.kelvadorium");
  services.dialogs.alertAnswers.push_back(2);
  auto asked = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model.confirmSaveBeforeClosing();
  });
  VirtualClock::settle();
  return services.dialogs.alertsAsked.at(0);
}

QStringList buttonTexts(const QMessageBox& box) {
  QStringList texts;
  for (const QAbstractButton* button : box.buttons()) texts.append(button->text());
  texts.sort();
  return texts;
}

TEST(WidgetDialogs, TheSavePromptOffscreen) {
  for (bool withProject : {false, true}) {
    SCOPED_TRACE(withProject ? "with a project" : "without a project");
    const DialogService::Alert alert = savePrompt(withProject);
    const auto box = WidgetDialogs::makeAlert(alert, nullptr);
    EXPECT_FALSE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->text(), withProject ? alert.title : QString("Save these scans as a project?"));
    EXPECT_TRUE(box->text().startsWith(withProject ? QString::fromUtf8("Save changes to \u201C")
                                                   : QString("Save these")));
    EXPECT_EQ(box->informativeText(),
              "Settings are also kept next to each scan, but a project remembers the whole "
              "session.");
    EXPECT_EQ(buttonTexts(*box), (QStringList{"Cancel", QString::fromUtf8("Don\u2019t Save"),
                                              QString::fromUtf8("Save\u2026")}));
    ASSERT_TRUE(box->defaultButton());
    EXPECT_EQ(box->defaultButton()->text(), QString::fromUtf8("Save\u2026"));
    ASSERT_TRUE(box->escapeButton());
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");
    EXPECT_EQ(box->buttonRole(box->defaultButton()), QMessageBox::AcceptRole);
    EXPECT_EQ(box->buttonRole(box->escapeButton()), QMessageBox::RejectRole);
  }
}

// A click on each button, and closing the box without one, answer the index the model expects.
TEST(WidgetDialogs, EachButtonAnswersItsIndex) {
  const DialogService::Alert alert = savePrompt(false);
  for (int index = 0; index < alert.buttons.size(); ++index) {
    const auto box = WidgetDialogs::makeAlert(alert, nullptr);
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == alert.buttons[index]) button->click();
    }
    EXPECT_EQ(WidgetDialogs::answerOf(*box), index) << alert.buttons[index].toStdString();
    EXPECT_FALSE(box->isVisible());
  }
  const auto closed = WidgetDialogs::makeAlert(alert, nullptr);
  closed->reject();
  EXPECT_EQ(WidgetDialogs::answerOf(*closed), 2);
}

// The panel the model asks for, with a folder and a file chosen in Qt's own dialog: "Add"
// returns both rather than opening the folder.
TEST(WidgetDialogs, TheAddPanelReturnsFilesAndFoldersTogether) {
  TempDir dir;
  std::filesystem::create_directories(dir / "roll");
  std::ofstream(dir / "A.NEF") << "x";
  TestServices services;
  AppModel model(services.services());
  auto asked = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model.showAddPanel();
  });
  VirtualClock::settle();
  DialogService::OpenPanel panel = services.dialogs.openAsked.at(0);
  panel.directory = dir.path();
  const auto dialog = WidgetDialogs::makeOpenPanel(panel, nullptr);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Add");
  EXPECT_EQ(dialog->windowTitle(), "Choose scans or a folder of scans");
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
  ASSERT_EQ(dialog->nameFilters().size(), 1);
  EXPECT_TRUE(dialog->nameFilters()[0].contains("*.nef"));
  EXPECT_FALSE(dialog->filter().testFlag(QDir::CaseSensitive));
  EXPECT_FALSE(dialog->filter().testFlag(QDir::Hidden));

  dialog->selectFile(R"("roll" "A.NEF")");
  static_cast<QDialog&>(*dialog).accept();  // the "Add" button
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  QStringList chosen = dialog->selectedFiles();
  chosen.sort();
  EXPECT_EQ(chosen, (QStringList{QString::fromStdString((dir / "A.NEF").string()),
                                 QString::fromStdString((dir / "roll").string())}));
}

// The blank-frame panel shows its message inside the dialog, above the files, and its prompt on
// the accept button; any file may be chosen.
TEST(WidgetDialogs, ThePanelsMessageStandsAboveTheFiles) {
  TempDir dir;
  std::ofstream(dir / "a.tif") << "x";
  TestServices services;
  AppModel model(services.services());
  model.addScans({dir / "a.tif"});
  model.setSelection(model.items().at(0).id);
  auto asked = TaskHandle::start([&](std::stop_token) -> QCoro::Task<> {
    co_await model.chooseBlankFrame(false);
  });
  VirtualClock::settle();
  const DialogService::OpenPanel panel = services.dialogs.openAsked.at(0);
  const auto dialog = WidgetDialogs::makeOpenPanel(panel, nullptr);
  EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Use for Even Light Correction");
  EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
  EXPECT_TRUE(dialog->nameFilters().isEmpty() || dialog->nameFilters()[0].contains("(*)"));
  const auto* label = dialog->findChild<QLabel*>("panelMessage");
  ASSERT_TRUE(label);
  EXPECT_EQ(label->text(), panel.message);
  EXPECT_TRUE(label->text().startsWith("Choose the blank frame: "));
  auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
  ASSERT_TRUE(grid);
  int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
  grid->getItemPosition(grid->indexOf(label), &row, &column, &rowSpan, &columnSpan);
  EXPECT_EQ(row, 0);
  // Nothing else shares its row.
  for (int i = 0; i < grid->count(); ++i) {
    int r = -1, c = -1, rs = 0, cs = 0;
    grid->getItemPosition(i, &r, &c, &rs, &cs);
    if (grid->itemAt(i)->widget() != label) {
      EXPECT_GT(r, 0) << i;
    }
  }
}

}  // namespace
