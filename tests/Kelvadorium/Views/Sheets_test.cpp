// The sheets and alerts over the main window: each up exactly while its model property says
// so, one at a time in their order, and the two sheets that only the model can end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "App/ModelCalls.h"
#include "Model/AppModel.h"
#include "Testing/TestServices.h"
#include "Windows/ExportSheet.h"
#include "Windows/FilmTypeSheet.h"
#include "Windows/MainWindow.h"
#include "Windows/SheetPresenter.h"

namespace {

// Alerts that stay up until the user answers, a second of virtual time after they opened.
class SlowAlerts final : public DialogService {
 public:
  explicit SlowAlerts(Clock& clock) : clock_(clock) {}
  std::vector<Alert> asked;
  QCoro::Task<std::vector<std::filesystem::path>> openPanel(OpenPanel) override { co_return {}; }
  QCoro::Task<std::optional<std::filesystem::path>> folderPanel(FolderPanel) override {
    co_return std::nullopt;
  }
  QCoro::Task<std::optional<std::filesystem::path>> savePanel(SavePanel) override {
    co_return std::nullopt;
  }
  QCoro::Task<int> alert(Alert alert) override {
    asked.push_back(alert);
    co_await clock_.sleep(seconds(1), {});
    co_return 0;
  }

 private:
  Clock& clock_;
};

class SheetsTest : public ::testing::Test {
 protected:
  SheetsTest() {
    calls.answerFilmType = [this](FilmMode mode) {
      answers.push_back(mode);
      model.setFilmTypeQuestion(std::nullopt);
    };
    window.show();
  }
  ModelServices slowServices() {
    return {services.clock, alerts, services.workspace, services.telemetry,
            services.settingsPath()};
  }
  SheetPresenter& sheets() { return window.sheets(); }
  static void settle() { QApplication::processEvents(); }
  template <class Sheet>
  Sheet* shownSheet() {
    settle();
    auto* sheet = qobject_cast<Sheet*>(sheets().sheet());
    return sheet && sheet->isVisible() ? sheet : nullptr;
  }
  // Every way the window has to end a dialog; none may end a sheet only the model ends.
  static void tryToClose(QDialog& sheet) {
    sheet.reject();
    sheet.close();
    QTest::keyClick(&sheet, Qt::Key_Escape);
    settle();
  }

  TestServices services;
  SlowAlerts alerts{services.clock};
  AppModel model{slowServices()};
  ModelCalls calls = ModelCalls::of(model);
  MainWindow window{model, calls};
  std::vector<FilmMode> answers;
};

TEST_F(SheetsTest, ExportProgressAsTheSheetShowsIt) {
  struct Case {
    ExportProgress progress;
    QString line;
    int maximum;
    int value;
  };
  const std::vector<Case> cases = {
      {{0, 10, "frame01.NEF"}, "1 of 10: frame01.NEF", 10, 0},
      {{9, 10, "frame10.NEF"}, "10 of 10: frame10.NEF", 10, 9},
      {{0, 1, "only.tif"}, "1 of 1: only.tif", 1, 0},
      {{0, 0, "none"}, "1 of 0: none", 1, 0},
      {{0, 3, "100% %1 crop.tif"}, "1 of 3: 100% %1 crop.tif", 3, 0},
  };
  for (const Case& c : cases) {
    model.setExportProgress(c.progress);
    auto* sheet = shownSheet<ExportSheet>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->progressLine()->text(), c.line);
    EXPECT_EQ(sheet->progressBar()->maximum(), c.maximum) << c.line.toStdString();
    EXPECT_EQ(sheet->progressBar()->value(), c.value) << c.line.toStdString();
    EXPECT_EQ(sheet->width(), 380);
  }
  model.setExportProgress(std::nullopt);
  EXPECT_EQ(shownSheet<ExportSheet>(), nullptr);
}

// Escape is Cancel: the export is asked to stop and the sheet stays until the job has ended.
TEST_F(SheetsTest, ExportSheetEndsOnlyWhenTheExportHasEnded) {
  Clock& clock = services.clock;
  model.plain().exportTask = TaskHandle::start(
      [&clock](std::stop_token stop) -> QCoro::Task<> { co_await clock.sleep(seconds(60), stop); });
  model.setExportProgress(ExportProgress{2, 5, "c.nef"});
  auto* sheet = shownSheet<ExportSheet>();
  ASSERT_NE(sheet, nullptr);
  sheet->reject();
  sheet->close();
  settle();
  EXPECT_FALSE(model.plain().exportTask.isCancelled());
  EXPECT_TRUE(sheet->isVisible());
  QTest::keyClick(sheet, Qt::Key_Escape);
  settle();
  EXPECT_TRUE(model.plain().exportTask.isCancelled());
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(shownSheet<ExportSheet>(), sheet);
  model.setExportProgress(std::nullopt);
  EXPECT_EQ(shownSheet<ExportSheet>(), nullptr);
  // Cancel without an export task does nothing at all.
  model.plain().exportTask = {};
  model.setExportProgress(ExportProgress{0, 1, "a.nef"});
  auto* again = shownSheet<ExportSheet>();
  ASSERT_NE(again, nullptr);
  again->cancelButton()->click();
  EXPECT_TRUE(again->isVisible());
}

TEST_F(SheetsTest, FilmTypeSheetAsksAboutTheNewScans) {
  const std::vector<std::pair<size_t, QString>> messages = {
      {1, "1 new scan. You can still change the type per image later."},
      {2, "2 new scans. You can still change the type per image later."},
      {12, "12 new scans. You can still change the type per image later."},
  };
  for (const auto& [count, text] : messages) {
    model.setFilmTypeQuestion(std::vector<Uuid>(count));
    auto* sheet = shownSheet<FilmTypeSheet>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->messageLabel()->text(), text);
    tryToClose(*sheet);
    EXPECT_EQ(shownSheet<FilmTypeSheet>(), sheet) << "closed from the window";
  }
  // The titles show as written: no letter of them is taken as a mnemonic.
  auto* sheet = shownSheet<FilmTypeSheet>();
  ASSERT_NE(sheet, nullptr);
  QStringList titles;
  for (QToolButton* button : sheet->answerButtons()) {
    EXPECT_TRUE(QKeySequence::mnemonic(button->text()).isEmpty()) << button->text().toStdString();
    titles << QString(button->text()).replace("&&", "&");
  }
  EXPECT_EQ(titles, (QStringList{"B&W negative", "Colour negative", "Positive / slide"}));
  EXPECT_EQ(sheet->width(), 460);

  // Each key answers without the pointer, and the answer ends the sheet.
  const std::vector<std::pair<Qt::Key, FilmMode>> keys = {{Qt::Key_1, FilmMode::bwNegative},
                                                          {Qt::Key_2, FilmMode::colorNegative},
                                                          {Qt::Key_3, FilmMode::positive}};
  for (const auto& [key, mode] : keys) {
    model.setFilmTypeQuestion(std::vector<Uuid>(2));
    auto* sheet = shownSheet<FilmTypeSheet>();
    ASSERT_NE(sheet, nullptr);
    answers.clear();
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
    QTest::keyClick(sheet, key);
    EXPECT_EQ(answers, std::vector<FilmMode>{mode});
    EXPECT_EQ(shownSheet<FilmTypeSheet>(), nullptr);
  }
}

// Unticking the box keeps the question up and stores the preference at once; the sheet follows
// a change made elsewhere (the Settings window) without writing it back.
TEST_F(SheetsTest, FilmTypeCheckboxIsTheStoredPreference) {
  model.setFilmTypeQuestion(std::vector<Uuid>(3));
  auto* sheet = shownSheet<FilmTypeSheet>();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->askCheckBox()->isChecked());
  sheet->askCheckBox()->click();
  EXPECT_FALSE(model.askFilmType());
  EXPECT_EQ(shownSheet<FilmTypeSheet>(), sheet);
  model.setAskFilmType(true);
  EXPECT_TRUE(sheet->askCheckBox()->isChecked());
  sheet->answerButtons()[1]->click();
  EXPECT_EQ(answers, std::vector<FilmMode>{FilmMode::colorNegative});
}

// Two alerts due at once come one after the other; each answer clears its own property only.
TEST_F(SheetsTest, AlertsComeOneAtATimeInOrder) {
  model.setNotice(QString("Exported 3 images."));
  model.setErrorMessage(QString("The disk is full."));
  settle();
  ASSERT_EQ(alerts.asked.size(), 1u);
  EXPECT_EQ(alerts.asked[0].title, "Something went wrong");
  EXPECT_EQ(alerts.asked[0].text, "The disk is full.");
  EXPECT_EQ(alerts.asked[0].buttons, QStringList{"OK"});
  services.clock.advance(seconds(1));
  settle();
  EXPECT_FALSE(model.errorMessage().has_value());
  ASSERT_EQ(alerts.asked.size(), 2u);
  EXPECT_EQ(alerts.asked[1].title, "Exported 3 images.");
  EXPECT_TRUE(alerts.asked[1].text.isEmpty());
  // A newer notice written while the first is up is not lost by the first one's answer.
  model.setNotice(QString("No new scans found (RAW, TIFF or JPEG)."));
  services.clock.advance(seconds(1));
  settle();
  ASSERT_EQ(alerts.asked.size(), 3u);
  EXPECT_EQ(alerts.asked[2].title, "No new scans found (RAW, TIFF or JPEG).");
  services.clock.advance(seconds(1));
  settle();
  EXPECT_FALSE(model.notice().has_value());
  EXPECT_EQ(alerts.asked.size(), 3u);
}

// The export's sheet comes before a notice that is already due; the notice follows the sheet.
TEST_F(SheetsTest, SheetsBeforeAlerts) {
  model.setNotice(QString("Pasted onto 2 images."));
  model.setExportProgress(ExportProgress{0, 2, "a.nef"});
  settle();
  EXPECT_NE(shownSheet<ExportSheet>(), nullptr);
  EXPECT_TRUE(alerts.asked.empty());
  model.setFilmTypeQuestion(std::vector<Uuid>(1));
  model.setExportProgress(std::nullopt);
  EXPECT_NE(shownSheet<FilmTypeSheet>(), nullptr);
  EXPECT_TRUE(alerts.asked.empty());
  model.setFilmTypeQuestion(std::nullopt);
  settle();
  ASSERT_EQ(alerts.asked.size(), 1u);
  EXPECT_EQ(alerts.asked[0].title, "Pasted onto 2 images.");
  services.clock.advance(seconds(1));
  settle();
  EXPECT_FALSE(model.notice().has_value());
}

}  // namespace
