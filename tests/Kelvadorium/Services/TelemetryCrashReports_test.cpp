// Crash reports: our fatal-signal handler in a child process, the collection of its raw reports,
// the scrub of personal details, the summary of what is kept and the export for sending by hand.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>

#include "Services/CrashHandler.h"
#include "Services/Preferences.h"
#include "Services/Telemetry.h"
#include "Services/WallClock.h"
#include "Testing/RecordingWorkspace.h"
#include "Testing/ScriptedDialogs.h"
#include "TestSupport/LockedFolder.h"

namespace {

// The test binary started with KV_CRASH_CHILD set installs the handler and dies as asked,
// before the test framework starts.
const bool crashChild = [] {
  const char* how = std::getenv("KV_CRASH_CHILD");
  const char* folder = std::getenv("KV_CRASH_FOLDER");
  if (!how || !folder) return false;
  rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  CrashHandler::install(folder);
  if (std::string(how) == "abort") std::abort();
  // A real fault: a write to a page that allows nothing.
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  *static_cast<volatile int*>(page) = 1;
  return true;
}();

// Runs this binary as a crash child; the signal it died of, or 0.
int crashChildDiesBy(const std::string& how, const std::filesystem::path& folder) {
  const pid_t child = fork();
  if (child == 0) {
    setenv("KV_CRASH_CHILD", how.c_str(), 1);
    setenv("KV_CRASH_FOLDER", folder.c_str(), 1);
    // The sanitizers' own handlers stay out of the way of ours.
    setenv("ASAN_OPTIONS",
           "handle_segv=0:handle_abort=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:"
           "allow_user_segv_handler=1:detect_leaks=0",
           1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execl("/proc/self/exe", "crash-child", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

QString readText(const std::filesystem::path& path) {
  QFile file(QFile::decodeName(path.c_str()));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString("absent");
}

void writeBytes(const std::filesystem::path& path, const QByteArray& bytes) {
  std::filesystem::create_directories(path.parent_path());
  QFile file(QFile::decodeName(path.c_str()));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

std::vector<std::string> names(const std::filesystem::path& folder) {
  std::vector<std::string> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    found.push_back(it->path().filename().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

class CrashReportsTest : public ::testing::Test {
 protected:
  std::filesystem::path dataFolder() const {
    return std::filesystem::path(folder.path().toStdString()) / "data";
  }
  std::filesystem::path raw() const { return Telemetry::rawCrashFolder(dataFolder()); }
  std::filesystem::path collected() const {
    return dataFolder() / "Diagnostics" / "CrashReports";
  }
  std::unique_ptr<Telemetry> make(bool analytics, bool crashes) {
    preferences.setBool("telemetry.analytics", analytics);
    preferences.setBool("telemetry.crashes", crashes);
    return std::make_unique<Telemetry>(dataFolder(), preferences, clock);
  }
  // A launch step's collection at `moment` (real time, which file dates follow), to its end.
  void collectAt(Telemetry& telemetry, const QDateTime& moment) {
    clock.set(moment);
    telemetry.collectCrashReports();
    finish(telemetry);
  }
  static void finish(Telemetry& telemetry) {
    QDeadlineTimer deadline(10000);
    while (telemetry.collectingCrashReports() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    ASSERT_FALSE(telemetry.collectingCrashReports());
  }

  QTemporaryDir folder;
  Preferences preferences{folder.filePath("Kelvadorium.conf")};
  WallClock clock;
};

TEST_F(CrashReportsTest, TheHandlerLeavesAReportAndTheProcessDiesAsItWouldHave) {
  for (const auto& [how, signal] : {std::pair{"segv", SIGSEGV}, std::pair{"abort", SIGABRT}}) {
    SCOPED_TRACE(how);
    std::filesystem::remove_all(raw());
    EXPECT_EQ(crashChildDiesBy(how, raw()), signal);
    const std::vector<std::string> reports = names(raw());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].starts_with("Kelvadorium-"));
    EXPECT_TRUE(reports[0].ends_with(".crash"));
    const QString text = readText(raw() / reports[0]);
    EXPECT_TRUE(text.startsWith("Kelvadorium ")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(signal == SIGSEGV ? "Signal: SIGSEGV (11)" : "Signal: SIGABRT (6)"));
    EXPECT_TRUE(text.contains("Backtrace:\n"));
    EXPECT_TRUE(text.contains("Memory map:\n"));
  }
}

TEST_F(CrashReportsTest, AChildsReportIsCollectedScrubbedOnlyWhenAllowedAndNewer) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  auto telemetry = make(false, true);
  collectAt(*telemetry, now.addSecs(-3600));  // first launch: only sets the check
  ASSERT_EQ(crashChildDiesBy("segv", raw()), SIGSEGV);
  ASSERT_EQ(names(raw()).size(), 1u);
  const std::string report = names(raw())[0];
  collectAt(*telemetry, now.addSecs(60));
  EXPECT_EQ(names(collected()), std::vector<std::string>{report});
  EXPECT_TRUE(names(raw()).empty()) << "raw reports are consumed by the collection";
  const QString text = readText(collected() / report);
  EXPECT_EQ(text, Telemetry::scrub(text, Telemetry::systemIdentity()));
  EXPECT_FALSE(text.contains(QDir::homePath() + "/"));
}

TEST_F(CrashReportsTest, WhatACollectionCopies) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  auto telemetry = make(false, true);
  // Older than the first launch: never copied.
  writeBytes(raw() / "Kelvadorium-old.crash", "old");
  std::filesystem::last_write_time(raw() / "Kelvadorium-old.crash",
                                   std::filesystem::file_time_type::clock::now() -
                                       std::chrono::hours(3));
  collectAt(*telemetry, now.addSecs(-7200));
  EXPECT_TRUE(names(collected()).empty());
  EXPECT_EQ(preferences.stringValue("telemetry.lastCrashCheck", {}),
            now.addSecs(-7200).toString(Qt::ISODateWithMs));

  writeBytes(raw() / "Kelvadorium-a.crash", "a in " + QDir::homePath().toUtf8() + "/x.NEF");
  writeBytes(raw() / "Kelvadorium-b.ips", "b");
  writeBytes(raw() / "Kelvadorium-c.IPS", "upper case extension");
  writeBytes(raw() / "Kelvadorium-d.crash", QByteArray("\xff\xfe", 2));
  writeBytes(raw() / "Other-e.crash", "another program");
  writeBytes(raw() / "Kelvadorium-f.txt", "another kind");
  collectAt(*telemetry, now.addSecs(60));
  EXPECT_EQ(names(collected()),
            (std::vector<std::string>{"Kelvadorium-a.crash", "Kelvadorium-b.ips"}));
  EXPECT_EQ(readText(collected() / "Kelvadorium-a.crash"), "a in <file>.NEF");
}

TEST_F(CrashReportsTest, AReportFromALaunchWithReportsOffIsNeverCollected) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  auto telemetry = make(false, false);
  collectAt(*telemetry, now.addSecs(-7200));
  writeBytes(raw() / "Kelvadorium-before.crash", "before");
  collectAt(*telemetry, now.addSecs(-3600));  // off: moves the check only
  EXPECT_FALSE(preferences.stringValue("telemetry.lastCrashCheck", {}).isEmpty());
  telemetry->setCrashReportsEnabled(true);
  writeBytes(raw() / "Kelvadorium-after.crash", "after");
  collectAt(*telemetry, now.addSecs(60));
  EXPECT_EQ(names(collected()), std::vector<std::string>{"Kelvadorium-after.crash"});
}

TEST_F(CrashReportsTest, ADiagnosticsFolderThatTakesNoNewFileLosesNoReport) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  auto telemetry = make(false, true);
  collectAt(*telemetry, now.addSecs(-3600));
  std::filesystem::remove_all(collected());
  writeBytes(raw() / "Kelvadorium-a.crash", "report");
  const QString check = preferences.stringValue("telemetry.lastCrashCheck", {});
  {
    // The crash folder cannot be made: the copy fails, so the raw report must stay and still be
    // newer than the check the next collection uses.
    LockedFolder locked(dataFolder() / "Diagnostics");
    if (!locked.locked()) GTEST_SKIP() << "no folder can be locked here";
    collectAt(*telemetry, now);
    EXPECT_FALSE(std::filesystem::exists(collected()));
    EXPECT_EQ(names(raw()), std::vector<std::string>{"Kelvadorium-a.crash"});
    EXPECT_EQ(preferences.stringValue("telemetry.lastCrashCheck", {}), check);
  }
  collectAt(*telemetry, now.addSecs(60));
  EXPECT_EQ(names(collected()), std::vector<std::string>{"Kelvadorium-a.crash"});
  EXPECT_TRUE(names(raw()).empty());
  EXPECT_EQ(preferences.stringValue("telemetry.lastCrashCheck", {}),
            now.addSecs(60).toString(Qt::ISODateWithMs));
}

TEST_F(CrashReportsTest, SwitchedOffWhileTheWorkerCopiesNothingStays) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  for (const bool onAgain : {false, true}) {
    SCOPED_TRACE(onAgain);
    auto telemetry = make(false, true);
    preferences.setString("telemetry.lastCrashCheck",
                          now.addSecs(-3600).toString(Qt::ISODateWithMs));
    for (int i = 0; i < 50; ++i) {
      writeBytes(raw() / ("Kelvadorium-" + std::to_string(i) + ".crash"), QByteArray(4000, 'x'));
    }
    clock.set(now);
    telemetry->collectCrashReports();
    telemetry->setCrashReportsEnabled(false);
    if (onAgain) telemetry->setCrashReportsEnabled(true);
    finish(*telemetry);
    EXPECT_FALSE(std::filesystem::exists(collected()));
    EXPECT_TRUE(names(raw()).empty());
  }
}

// A check date that does not read as a date, or lies ahead, is no bound to trust: the
// collection acts as on the first launch (nothing older is copied) and stores a good date.
TEST_F(CrashReportsTest, ADamagedCheckDateActsAsTheFirstLaunchAndIsRepaired) {
  const QDateTime now = QDateTime::currentDateTimeUtc();
  int round = 0;
  for (const char* damaged : {"garbage", "", "2026-02-30T10:00:00.000Z", "9999-12-31T00:00:00Z"}) {
    SCOPED_TRACE(damaged);
    const QDateTime moment = now.addSecs(60 * ++round);
    auto telemetry = make(false, true);
    writeBytes(raw() / "Kelvadorium-old.crash", "old");
    preferences.setString("telemetry.lastCrashCheck", damaged);
    collectAt(*telemetry, moment);
    EXPECT_TRUE(names(collected()).empty());
    EXPECT_EQ(preferences.stringValue("telemetry.lastCrashCheck", {}),
              moment.toString(Qt::ISODateWithMs));
  }
  // From the repaired date on, collection goes on as usual.
  auto telemetry = make(false, true);
  writeBytes(raw() / "Kelvadorium-new.crash", "new");
  std::filesystem::last_write_time(raw() / "Kelvadorium-new.crash",
                                   std::filesystem::file_time_type::clock::now() +
                                       std::chrono::hours(1));
  collectAt(*telemetry, now.addSecs(7200));
  EXPECT_EQ(names(collected()), std::vector<std::string>{"Kelvadorium-new.crash"});
}

TEST(Scrub, PersonalDetailsAndFileNames) {
  const Telemetry::Identity who{"/home/ada", "ada", "lab-pc"};
  struct Case {
    const char* text;
    const char* scrubbed;
  };
  const Case cases[] = {
      {"open /home/ada/Film/roll 1/frame.NEF done", "open <file>.NEF done"},
      {"\"/home/ada/a.cr3\" and \"/home/ada/b.json\"", "\"<file>.cr3\" and \"<file>.json\""},
      {"/home/ada/Scans/x.tiff\n", "<file>.tiff\n"},
      {"/home/ada/p.Kelvadorium", "<file>.Kelvadorium"},
      {"/home/ada/raw.Pef /home/ada/raw.sRw", "<file>.Pef <file>.sRw"},
      {"/home/ada/notes.txt", "~/notes.txt"},
      {"/Volumes/Card/DCIM/x.ARW", "<file>.ARW"},
      {"/media/ada/CARD/x.raf", "<file>.raf"},
      {"/run/media/ada/CARD/x.dng", "<file>.dng"},
      {"/mnt/disk/x.heic", "<file>.heic"},
      {"/srv/shared/film/x.NEF", "/srv/shared/film/x.NEF"},
      {"user adams on lab-pc", "user userms on computer"},
      {"Adam", "Adam"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Telemetry::scrub(c.text, who), c.scrubbed) << c.text;
  }
}

TEST_F(CrashReportsTest, TheSummary) {
  auto off = make(false, false);
  EXPECT_EQ(off->summaryText(),
            "USAGE STATISTICS\nOff: nothing is collected.\n\n"
            "CRASH REPORTS\nOff: nothing is collected.\n\n"
            "Nothing is sent: no receiving service is set up in this version. Data stays on this "
            "computer.");
  auto on = make(false, true);
  on->setEndpoint(QUrl("https://receiver.example/telemetry"));
  EXPECT_EQ(on->summaryText(),
            "USAGE STATISTICS\nOff: nothing is collected.\n\n"
            "CRASH REPORTS\nNone so far.\n\n"
            "Sent to: receiver.example");
  writeBytes(collected() / "Kelvadorium-b.crash", "b");
  writeBytes(collected() / "Kelvadorium-a.ips", "a");
  on->setAnalyticsEnabled(true);
  const QString text = on->summaryText();
  EXPECT_TRUE(text.contains("CRASH REPORTS\n• Kelvadorium-a.ips\n• Kelvadorium-b.crash\n\n"));
  EXPECT_TRUE(text.startsWith("USAGE STATISTICS\n{\n    \"days\": {\n"));
  EXPECT_FALSE(text.endsWith('\n'));
}

TEST_F(CrashReportsTest, ExportingTwiceRewritesTheSummaryAndKeepsTheCopies) {
  auto telemetry = make(false, true);
  writeBytes(collected() / "Kelvadorium-a.crash", "first");
  ScriptedDialogs dialogs;
  RecordingWorkspace workspace;
  const std::filesystem::path chosen = std::filesystem::path(folder.path().toStdString()) / "out";
  std::filesystem::create_directories(chosen);
  dialogs.folderAnswers = {chosen, chosen, std::nullopt};
  QCoro::waitFor(telemetry->exportDiagnostics(dialogs, workspace));
  const std::filesystem::path exported = chosen / "Kelvadorium Diagnostics";
  EXPECT_EQ(names(exported), (std::vector<std::string>{"Kelvadorium-a.crash", "summary.txt"}));
  EXPECT_EQ(workspace.revealed, std::vector<std::filesystem::path>{exported});
  EXPECT_EQ(dialogs.folderAsked[0].prompt, "Save Here");

  writeBytes(collected() / "Kelvadorium-a.crash", "second");
  telemetry->setCrashReportsEnabled(false);
  QCoro::waitFor(telemetry->exportDiagnostics(dialogs, workspace));
  EXPECT_EQ(readText(exported / "Kelvadorium-a.crash"), "first");
  EXPECT_TRUE(readText(exported / "summary.txt").contains("CRASH REPORTS\nOff: nothing"));

  // Cancelled: nothing written, nothing shown.
  std::filesystem::remove_all(exported);
  QCoro::waitFor(telemetry->exportDiagnostics(dialogs, workspace));
  EXPECT_FALSE(std::filesystem::exists(exported));
  EXPECT_EQ(workspace.revealed.size(), 2u);
}

}  // namespace
