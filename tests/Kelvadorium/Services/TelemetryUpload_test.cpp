// The upload against a local server: what the document holds for each switch, when it is due,
// what an accepted answer changes and what a refusal leaves alone; the consent question and the
// effects of switching data off.
#include <gtest/gtest.h>

#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QCoreApplication>

#include "Services/Preferences.h"
#include "Services/Telemetry.h"
#include "Services/WallClock.h"
#include "Testing/ScriptedDialogs.h"
#include "Testing/TestHttpServer.h"

namespace {

const QDateTime start(QDate(2026, 3, 10), QTime(12, 0), QTimeZone::utc());

class TelemetryUploadTest : public ::testing::Test {
 protected:
  TelemetryUploadTest() {
    clock.set(start);
    std::filesystem::create_directories(crashFolder());
  }
  std::filesystem::path dataFolder() const {
    return std::filesystem::path(folder.path().toStdString()) / "data";
  }
  std::filesystem::path crashFolder() const {
    return dataFolder() / "Diagnostics" / "CrashReports";
  }
  std::unique_ptr<Telemetry> make(bool analytics, bool crashes) {
    preferences.setBool("telemetry.analytics", analytics);
    preferences.setBool("telemetry.crashes", crashes);
    auto telemetry = std::make_unique<Telemetry>(dataFolder(), preferences, clock);
    telemetry->setEndpoint(server.url());
    return telemetry;
  }
  void writeCrash(const std::string& name, const QByteArray& bytes) const {
    QFile file(QString::fromStdString((crashFolder() / name).string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  // Starts an upload when due and waits until it is over; false when nothing was sent.
  bool upload(Telemetry& telemetry) {
    bool sent = false;
    const QMetaObject::Connection finished =
        QObject::connect(&telemetry, &Telemetry::uploadFinished, [&] { sent = true; });
    telemetry.sendIfDue();
    QDeadlineTimer deadline(10000);
    while (telemetry.uploadInFlight() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    QObject::disconnect(finished);
    EXPECT_FALSE(telemetry.uploadInFlight());
    return sent;
  }
  QJsonObject lastDocument() const {
    return QJsonDocument::fromJson(server.requests.back().body).object();
  }
  QByteArray usageText() const {
    QFile file(QString::fromStdString((dataFolder() / "Diagnostics" / "usage.json").string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("absent");
  }
  size_t crashFileCount() const {
    size_t count = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator it(crashFolder(), error), end; !error && it != end;
         it.increment(error)) {
      ++count;
    }
    return count;
  }

  QTemporaryDir folder;
  Preferences preferences{folder.filePath("Kelvadorium.conf")};
  WallClock clock;
  TestHttpServer server;
};

TEST_F(TelemetryUploadTest, TheDocumentForEachSwitchSetting) {
  struct Case {
    bool analytics, crashes;
    bool sent;
    QStringList keys;
  };
  const Case cases[] = {
      {false, false, false, {}},
      {true, false, true, {"usage"}},
      {false, true, true, {"crashes", "environment"}},
      {true, true, true, {"crashes", "environment", "usage"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.analytics << c.crashes);
    preferences.remove("telemetry.lastSent");
    std::filesystem::remove(dataFolder() / "Diagnostics" / "usage.json");
    writeCrash("Kelvadorium-1.crash", "first report");
    writeCrash("Kelvadorium-0.crash", "zeroth report");
    auto telemetry = make(c.analytics, c.crashes);
    telemetry->record("launch");
    const qsizetype before = server.requests.size();
    EXPECT_EQ(upload(*telemetry), c.sent);
    ASSERT_EQ(server.requests.size(), before + (c.sent ? 1 : 0));
    if (!c.sent) continue;
    const TestHttpServer::Request& request = server.requests.back();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/telemetry");
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    EXPECT_FALSE(request.body.contains('\n')) << "compact JSON";
    const QJsonObject document = lastDocument();
    EXPECT_EQ(document.keys(), c.keys);
    if (c.crashes) {
      EXPECT_EQ(document["crashes"].toArray(), QJsonArray({"zeroth report", "first report"}));
      EXPECT_EQ(document["environment"].toObject().keys(),
                QStringList({"app", "linux", "processor"}));
    }
    if (c.analytics) {
      const QJsonObject usage = document["usage"].toObject();
      EXPECT_EQ(usage["id"].toString().size(), 36);
      EXPECT_EQ(usage["id"].toString(), usage["id"].toString().toUpper());
      EXPECT_EQ(usage["days"].toObject()["2026-03-10"].toObject()["launch"].toInt(), 1);
    }
  }
}

TEST_F(TelemetryUploadTest, DueAtOnceThenAfterOneDayWithReportsAndSevenWithout) {
  auto telemetry = make(true, true);
  telemetry->record("launch");
  ASSERT_TRUE(upload(*telemetry));  // nothing sent before: due at once
  EXPECT_EQ(telemetry->lastSentDate(), start);

  clock.set(start.addSecs(86'399));
  writeCrash("Kelvadorium-a.crash", "report");
  EXPECT_FALSE(upload(*telemetry));
  clock.set(start.addSecs(86'400));
  EXPECT_TRUE(upload(*telemetry));
  EXPECT_EQ(crashFileCount(), 0u);

  const QDateTime sent = start.addSecs(86'400);
  clock.set(sent.addSecs(604'799));
  EXPECT_FALSE(upload(*telemetry));
  clock.set(sent.addSecs(604'800));
  EXPECT_TRUE(upload(*telemetry));
  EXPECT_EQ(server.requests.size(), 3);
}

TEST_F(TelemetryUploadTest, AnAcceptedUploadKeepsOnlyTodayAndDeletesEveryFileSent) {
  auto telemetry = make(true, true);
  for (int day = 0; day < 3; ++day) {
    clock.set(start.addDays(day));
    telemetry->record("launch");
  }
  writeCrash("Kelvadorium-a.crash", "readable");
  writeCrash("Kelvadorium-b.crash", QByteArray("\xff\xfe not text", 11));
  ASSERT_TRUE(upload(*telemetry));
  EXPECT_EQ(lastDocument()["crashes"].toArray(), QJsonArray({"readable"}));
  EXPECT_EQ(lastDocument()["usage"].toObject()["days"].toObject().size(), 3);
  EXPECT_EQ(crashFileCount(), 0u) << "the unreadable file goes too";
  EXPECT_EQ(usageText(), R"({"2026-03-12":{"launch":1}})");
  EXPECT_EQ(telemetry->counts().size(), 1u);
  EXPECT_EQ(preferences.stringValue("telemetry.lastSent", {}), "2026-03-12T12:00:00.000Z");

  // A later day with nothing counted today: the counts end empty.
  clock.set(start.addDays(20));
  ASSERT_TRUE(upload(*telemetry));
  EXPECT_EQ(usageText(), "{}");
}

TEST_F(TelemetryUploadTest, ARefusalOrAFailureChangesNothing) {
  auto telemetry = make(true, true);
  telemetry->record("launch");
  writeCrash("Kelvadorium-a.crash", "report");
  const QByteArray usage = usageText();
  // Every answer alike, as the network layer may try a closed connection again.
  for (const int answer : {500, 404, 0, -1}) {
    server.otherwise = answer;
    ASSERT_TRUE(upload(*telemetry)) << answer;
    EXPECT_FALSE(telemetry->lastSentDate()) << answer;
    EXPECT_EQ(crashFileCount(), 1u) << answer;
    EXPECT_EQ(usageText(), usage) << answer;
  }
  server.otherwise = 200;
  {
    TestHttpServer gone;
    telemetry->setEndpoint(gone.url());
  }  // nothing listens there any more: the connection is refused
  ASSERT_TRUE(upload(*telemetry));
  EXPECT_FALSE(telemetry->lastSentDate());
  EXPECT_EQ(crashFileCount(), 1u);
  // The same data goes again at the next chance.
  telemetry->setEndpoint(server.url());
  ASSERT_TRUE(upload(*telemetry));
  EXPECT_EQ(lastDocument()["crashes"].toArray(), QJsonArray({"report"}));
  EXPECT_EQ(crashFileCount(), 0u);
}

TEST_F(TelemetryUploadTest, NothingToSayOrNowhereToSayItSendsNothing) {
  auto telemetry = make(false, true);  // no reports, statistics off: an empty document
  EXPECT_FALSE(upload(*telemetry));
  writeCrash("Kelvadorium-a.crash", QByteArray("\xc3\x28", 2));  // only a non-UTF-8 file
  EXPECT_FALSE(upload(*telemetry));
  telemetry->setAnalyticsEnabled(true);
  telemetry->setEndpoint(QUrl());
  EXPECT_FALSE(upload(*telemetry));
  EXPECT_TRUE(server.requests.isEmpty());
  EXPECT_FALSE(preferences.contains("telemetry.lastSent"));
}

// A stored date that is no date, or one still to come, cannot hold uploads back: the upload is
// due at once and the accepted answer stores a good date.
TEST_F(TelemetryUploadTest, ADamagedLastSentDateLetsTheUploadGoAndIsRepaired) {
  auto telemetry = make(true, false);
  telemetry->record("launch");
  for (const char* damaged :
       {"garbage", "", "2026-02-30T12:00:00.000Z", "2026-03-10T25:00:00Z", "2031-01-01T00:00:00Z"}) {
    SCOPED_TRACE(damaged);
    preferences.setString("telemetry.lastSent", damaged);
    ASSERT_TRUE(upload(*telemetry));
    EXPECT_EQ(preferences.stringValue("telemetry.lastSent", {}), "2026-03-10T12:00:00.000Z");
    EXPECT_EQ(telemetry->lastSentDate(), start);
  }
  EXPECT_EQ(server.requests.size(), 5);
}

// The launch step: collect, count, upload. The collection runs on a worker, yet the upload
// waits for it and carries the report it copied.
TEST_F(TelemetryUploadTest, TheLaunchStepsUploadCarriesTheReportJustCollected) {
  auto telemetry = make(true, true);
  preferences.setString("telemetry.lastCrashCheck",
                        start.addSecs(-3600).toString(Qt::ISODateWithMs));
  const std::filesystem::path raw = Telemetry::rawCrashFolder(dataFolder());
  std::filesystem::create_directories(raw);
  {
    QFile file(QString::fromStdString((raw / "Kelvadorium-1.crash").string()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("fresh report");
  }
  telemetry->collectCrashReports();
  telemetry->record("launch");
  telemetry->sendIfDue();
  QDeadlineTimer deadline(10000);
  while ((telemetry->collectingCrashReports() || telemetry->uploadInFlight() ||
          server.requests.isEmpty()) &&
         !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  }
  ASSERT_EQ(server.requests.size(), 1);
  EXPECT_EQ(lastDocument()["crashes"].toArray(), QJsonArray({"fresh report"}));
  EXPECT_EQ(lastDocument()["usage"].toObject()["days"].toObject()["2026-03-10"].toObject()["launch"],
            1);
}

TEST_F(TelemetryUploadTest, AnUploadInFlightIsNotStartedTwice) {
  auto telemetry = make(true, false);
  telemetry->sendIfDue();
  ASSERT_TRUE(telemetry->uploadInFlight());
  telemetry->sendIfDue();
  while (telemetry->uploadInFlight()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  EXPECT_EQ(server.requests.size(), 1);
}

TEST_F(TelemetryUploadTest, TheRequestWaitsSixtySeconds) {
  const QNetworkRequest request = Telemetry::uploadRequest(server.url());
  EXPECT_EQ(request.transferTimeout(), 60'000);
  EXPECT_EQ(request.attribute(QNetworkRequest::CacheLoadControlAttribute,
                              QNetworkRequest::PreferNetwork),
            QNetworkRequest::PreferNetwork);
}

TEST_F(TelemetryUploadTest, SwitchingOffDeletesWhatWasKeptAndOnAgainGivesANewID) {
  auto telemetry = make(true, true);
  telemetry->record("launch");
  writeCrash("Kelvadorium-a.crash", "report");
  const QString firstID = telemetry->anonymousID();
  EXPECT_EQ(telemetry->anonymousID(), firstID);

  telemetry->setAnalyticsEnabled(true);  // unchanged: only stored
  EXPECT_EQ(telemetry->anonymousID(), firstID);
  telemetry->setAnalyticsEnabled(false);
  EXPECT_TRUE(telemetry->counts().empty());
  EXPECT_EQ(usageText(), "absent");
  EXPECT_FALSE(preferences.contains("telemetry.id"));
  EXPECT_FALSE(preferences.boolValue("telemetry.analytics", true));
  telemetry->setAnalyticsEnabled(true);
  telemetry->record("launch");
  ASSERT_TRUE(upload(*telemetry));
  EXPECT_NE(lastDocument()["usage"].toObject()["id"].toString(), firstID);

  telemetry->setCrashReportsEnabled(false);
  EXPECT_FALSE(std::filesystem::exists(crashFolder()));
  EXPECT_FALSE(preferences.boolValue("telemetry.crashes", true));
  EXPECT_TRUE(preferences.contains("telemetry.lastSent"));
}

TEST_F(TelemetryUploadTest, TheConsentQuestionIsAskedOnceWhateverTheAnswer) {
  struct Case {
    int answer;
    bool analytics, crashes;
  };
  for (const Case c : {Case{0, true, true}, Case{1, false, true}, Case{2, false, false}}) {
    SCOPED_TRACE(c.answer);
    preferences.remove("telemetry.asked");
    auto telemetry = make(false, false);
    ScriptedDialogs dialogs;
    dialogs.alertAnswers = {c.answer};
    QCoro::waitFor(telemetry->askConsentOnce(dialogs));
    ASSERT_EQ(dialogs.alertsAsked.size(), 1u);
    EXPECT_EQ(dialogs.alertsAsked[0].title, "Help improve Kelvadorium?");
    EXPECT_EQ(dialogs.alertsAsked[0].buttons,
              QStringList({"Share Statistics and Crash Reports", "Only Crash Reports",
                           "Don't Share"}));
    EXPECT_EQ(telemetry->analyticsEnabled(), c.analytics);
    EXPECT_EQ(telemetry->crashReportsEnabled(), c.crashes);
    // A new session never asks again.
    auto next = make(telemetry->analyticsEnabled(), telemetry->crashReportsEnabled());
    QCoro::waitFor(next->askConsentOnce(dialogs));
    EXPECT_EQ(dialogs.alertsAsked.size(), 1u);
  }
}

}  // namespace
