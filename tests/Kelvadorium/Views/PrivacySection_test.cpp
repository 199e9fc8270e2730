// The Privacy group: its check boxes show the stored switches, write them only when clicked and
// follow assignments from elsewhere; "Collected data" shows the summary of the moment and closes
// with Return; the export button runs the export through the window's panels.
#include "Windows/PrivacySection.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "Services/Preferences.h"
#include "Services/Telemetry.h"
#include "Services/WallClock.h"
#include "Testing/RecordingWorkspace.h"
#include "Testing/ScriptedDialogs.h"
#include "Windows/CollectedDataDialog.h"

namespace {

class PrivacySectionTest : public ::testing::Test {
 protected:
  PrivacySectionTest() { clock.set(QDateTime(QDate(2026, 3, 10), QTime(12, 0))); }
  std::filesystem::path dataFolder() const {
    return std::filesystem::path(folder.path().toStdString()) / "data";
  }
  std::unique_ptr<Telemetry> make(bool analytics, bool crashes) {
    preferences.setBool("telemetry.analytics", analytics);
    preferences.setBool("telemetry.crashes", crashes);
    return std::make_unique<Telemetry>(dataFolder(), preferences, clock);
  }
  template <class T>
  static T* control(QWidget& view, const char* name) {
    T* found = view.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  static CollectedDataDialog* openDialog(QWidget& host) {
    return host.findChild<CollectedDataDialog*>();
  }

  QTemporaryDir folder;
  Preferences preferences{folder.filePath("Kelvadorium.conf")};
  WallClock clock;
  ScriptedDialogs dialogs;
  RecordingWorkspace workspace;
};

TEST_F(PrivacySectionTest, TheBoxesShowTheSwitchesAndWriteOnlyWhenClicked) {
  auto telemetry = make(true, false);
  telemetry->record("launch");
  int stores = 0;
  QObject::connect(&preferences, &Preferences::changed, [&stores] { ++stores; });
  PrivacySection section(*telemetry, dialogs, workspace);
  auto* statistics = control<QCheckBox>(section, "shareStatistics");
  auto* crashes = control<QCheckBox>(section, "sendCrashReports");
  EXPECT_TRUE(statistics->isChecked());
  EXPECT_FALSE(crashes->isChecked());
  EXPECT_EQ(stores, 0) << "showing writes nothing";

  statistics->click();
  EXPECT_FALSE(telemetry->analyticsEnabled());
  EXPECT_FALSE(preferences.boolValue("telemetry.analytics", true));
  EXPECT_FALSE(std::filesystem::exists(dataFolder() / "Diagnostics" / "usage.json"));
  crashes->click();
  EXPECT_TRUE(telemetry->crashReportsEnabled());
  EXPECT_TRUE(preferences.boolValue("telemetry.crashes", false));

  // An assignment elsewhere (the consent question) shows at once.
  telemetry->setAnalyticsEnabled(true);
  EXPECT_TRUE(statistics->isChecked());
}

TEST_F(PrivacySectionTest, CollectedDataShowsTheSummaryOfTheMomentAndReturnCloses) {
  auto telemetry = make(true, true);
  QWidget host;
  auto* section = new PrivacySection(*telemetry, dialogs, workspace, &host);
  host.show();
  control<QCheckBox>(*section, "shareStatistics")->click();
  control<QPushButton>(*section, "showCollectedData")->click();
  CollectedDataDialog* dialog = openDialog(host);
  ASSERT_NE(dialog, nullptr);
  auto* text = control<QPlainTextEdit>(*dialog, "collectedDataText");
  EXPECT_EQ(text->toPlainText(), telemetry->summaryText());
  EXPECT_TRUE(text->toPlainText().startsWith("USAGE STATISTICS\nOff: nothing is collected."));
  EXPECT_TRUE(text->isReadOnly());
  EXPECT_EQ(text->size(), QSize(460, 320));
  EXPECT_TRUE(dialog->isVisible());
  QPointer<CollectedDataDialog> watched(dialog);
  QTest::keyClick(dialog, Qt::Key_Return);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull() || !watched->isVisible());
}

TEST_F(PrivacySectionTest, ExportWorksWithBothSwitchesOffAndACancelWritesNothing) {
  auto telemetry = make(false, false);
  PrivacySection section(*telemetry, dialogs, workspace);
  const std::filesystem::path chosen = std::filesystem::path(folder.path().toStdString()) / "out";
  std::filesystem::create_directories(chosen);
  dialogs.folderAnswers = {std::nullopt, chosen};
  auto* exportButton = control<QPushButton>(section, "exportDiagnostics");
  EXPECT_FALSE(exportButton->toolTip().isEmpty());
  exportButton->click();
  EXPECT_TRUE(std::filesystem::is_empty(chosen));
  exportButton->click();
  QFile summary(QString::fromStdString(
      (chosen / "Kelvadorium Diagnostics" / "summary.txt").string()));
  ASSERT_TRUE(summary.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(summary.readAll()), telemetry->summaryText());
  EXPECT_EQ(workspace.revealed.size(), 1u);
}

}  // namespace
