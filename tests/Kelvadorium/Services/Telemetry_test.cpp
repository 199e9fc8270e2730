// Usage counts: what a count writes, what it never writes while off, the sixty days kept, and
// files that do not read or cannot be written.
#include "Services/Telemetry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include "Services/Preferences.h"
#include "Services/WallClock.h"
#include "TestSupport/LockedFolder.h"
#include "TestSupport/ReadOnlyFolder.h"

namespace {

class TelemetryTest : public ::testing::Test {
 protected:
  std::filesystem::path dataFolder() const {
    return std::filesystem::path(folder.path().toStdString()) / "data";
  }
  std::filesystem::path usageFile() const { return dataFolder() / "Diagnostics" / "usage.json"; }
  void switchAnalytics(bool on) { preferences.setBool("telemetry.analytics", on); }
  std::unique_ptr<Telemetry> make() {
    return std::make_unique<Telemetry>(dataFolder(), preferences, clock);
  }
  QByteArray usageText() const {
    QFile file(QString::fromStdString(usageFile().string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void writeUsage(const QByteArray& text) const {
    std::filesystem::create_directories(usageFile().parent_path());
    QFile file(QString::fromStdString(usageFile().string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  void setDay(QDate day, QTime time = QTime(12, 0)) { clock.set(QDateTime(day, time)); }

  QTemporaryDir folder;
  Preferences preferences{folder.filePath("Kelvadorium.conf")};
  WallClock clock;
};

TEST_F(TelemetryTest, OffCountsNothingAndLeavesTheFileAlone) {
  writeUsage(R"({"2026-01-01":{"launch":3}})");
  const QByteArray before = usageText();
  for (const bool stored : {false, true}) {
    if (stored) switchAnalytics(false);  // absent and explicitly off read the same
    auto telemetry = make();
    telemetry->record("launch");
    EXPECT_FALSE(telemetry->analyticsEnabled());
    EXPECT_EQ(telemetry->counts().at("2026-01-01").at("launch"), 3);
    EXPECT_EQ(telemetry->counts().size(), 1u);
    EXPECT_EQ(usageText(), before);
  }
}

TEST_F(TelemetryTest, CountsPerDayAndEventWrittenCompact) {
  switchAnalytics(true);
  auto telemetry = make();
  setDay(QDate(2026, 3, 9), QTime(0, 0, 1));
  telemetry->record("launch");
  setDay(QDate(2026, 3, 9), QTime(23, 59, 59));
  telemetry->record("launch");
  telemetry->record("heal.clone");
  setDay(QDate(2026, 3, 10), QTime(0, 0));
  telemetry->record("launch");

  const Telemetry::Counts expected{{"2026-03-09", {{"launch", 2}, {"heal.clone", 1}}},
                                   {"2026-03-10", {{"launch", 1}}}};
  EXPECT_EQ(telemetry->counts(), expected);
  const QByteArray text = usageText();
  EXPECT_FALSE(text.contains('\n')) << text.toStdString();
  EXPECT_FALSE(text.contains(' ')) << text.toStdString();
  // The next instance reads back exactly what was written.
  EXPECT_EQ(make()->counts(), expected);
}

TEST_F(TelemetryTest, TheSixtyNewestDaysRemain) {
  switchAnalytics(true);
  auto telemetry = make();
  const QDate first(2025, 12, 15);  // across a year's end, so only date order sorts right
  for (int day = 0; day < 61; ++day) {
    setDay(first.addDays(day));
    telemetry->record("launch");
  }
  ASSERT_EQ(telemetry->counts().size(), Telemetry::keptDays);
  EXPECT_EQ(telemetry->counts().begin()->first, "2025-12-16");
  EXPECT_EQ(telemetry->counts().rbegin()->first, "2026-02-13");
  EXPECT_EQ(make()->counts().size(), Telemetry::keptDays);

  // A file that already holds more days (written by hand) is cut at the next count, too.
  QJsonObject many;
  for (int day = 0; day < 70; ++day) {
    many.insert(Telemetry::dayKey(QDateTime(first.addDays(day), QTime(12, 0))),
                QJsonObject{{"launch", 1}});
  }
  writeUsage(QJsonDocument(many).toJson());
  auto reread = make();
  EXPECT_EQ(reread->counts().size(), 70u);
  setDay(first.addDays(70));
  reread->record("launch");
  EXPECT_EQ(reread->counts().size(), Telemetry::keptDays);
  EXPECT_EQ(reread->counts().begin()->first, Telemetry::dayKey(QDateTime(first.addDays(11), {})));
}

TEST_F(TelemetryTest, AFileNotOfTheShapeReadsEmptyAndIsOverwrittenAtTheNextCount) {
  switchAnalytics(true);
  setDay(QDate(2026, 5, 1));
  for (const QByteArray& damaged :
       {QByteArray("{\"2026-04-30\":{\"launch\":"), QByteArray("[1,2]"),
        QByteArray(R"({"2026-04-30":5})"), QByteArray(R"({"2026-04-30":{"launch":"many"}})"),
        QByteArray(R"({"2026-04-30":{"launch":1.5}})"),
        QByteArray(R"({"2026-04-30":{"launch":-2}})"), QByteArray("\xff\xfe\x00garbage", 10)}) {
    writeUsage(damaged);
    auto telemetry = make();
    EXPECT_TRUE(telemetry->counts().empty()) << damaged.toStdString();
    telemetry->record("launch");
    EXPECT_EQ(usageText(), R"({"2026-05-01":{"launch":1}})") << damaged.toStdString();
  }
}

TEST_F(TelemetryTest, AFolderThatCannotBeWrittenIsIgnored) {
  switchAnalytics(true);
  setDay(QDate(2026, 5, 1));
  std::filesystem::create_directories(dataFolder());
  auto telemetry = make();
  {
    ReadOnlyFolder locked(dataFolder());
    telemetry->record("launch");
    telemetry->record("launch");
  }
  EXPECT_EQ(telemetry->counts().at("2026-05-01").at("launch"), 2);
  EXPECT_FALSE(std::filesystem::exists(usageFile()));
  telemetry->record("launch");
  EXPECT_EQ(usageText(), R"({"2026-05-01":{"launch":3}})");
}

// A Diagnostics folder that takes no new file and lets none be removed: usage.json is still
// brought up to date in place, and switching off still leaves no counts behind.
TEST_F(TelemetryTest, AReadOnlyDiagnosticsFolderStillKeepsTheFileTrue) {
  switchAnalytics(true);
  setDay(QDate(2026, 5, 1));
  writeUsage(R"({"2026-04-30":{"launch":1}})");
  auto telemetry = make();
  LockedFolder locked(usageFile().parent_path());
  if (!locked.locked()) GTEST_SKIP() << "no folder can be locked here";
  telemetry->record("launch");
  EXPECT_EQ(usageText(), R"({"2026-04-30":{"launch":1},"2026-05-01":{"launch":1}})");
  telemetry->setAnalyticsEnabled(false);
  EXPECT_TRUE(telemetry->counts().empty());
  EXPECT_TRUE(make()->counts().empty()) << usageText().toStdString();
  EXPECT_FALSE(usageText().contains("launch"));
}

// The day is the local date, written the same in every locale; a locale with its own digits
// or calendar would otherwise break the date order of the keys.
TEST(TelemetryDayKey, LocalDateWithAsciiDigitsInEveryLocale) {
  const QLocale saved;
  for (const char* name : {"C", "ar_EG", "fa_IR", "th_TH", "de_DE"}) {
    QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    const QDateTime utc(QDate(2026, 1, 31), QTime(23, 30), QTimeZone::utc());
    EXPECT_EQ(Telemetry::dayKey(utc), utc.toLocalTime().date().toString(Qt::ISODate)) << name;
    EXPECT_EQ(Telemetry::dayKey(QDateTime(QDate(2026, 2, 3), QTime(0, 5))), "2026-02-03") << name;
  }
  QLocale::setDefault(saved);
}

}  // namespace
