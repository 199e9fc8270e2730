// The telemetry part of the launch step on the GUI thread (collection of 100 raw crash reports,
// the launch count over 60 days of counts, starting the upload), with the GUI thread's longest
// later turn until the upload's answer is handled (the end of the collection starts the upload);
// starting an upload of 100 collected reports alone; and the crash handler's report (fork to the child's
// death by signal, an upper bound of the handler's time).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "Services/CrashHandler.h"
#include "Services/Preferences.h"
#include "Services/Telemetry.h"
#include "Services/WallClock.h"
#include "Testing/TestHttpServer.h"

namespace {

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "Telemetry_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

void writeFile(const std::filesystem::path& path, const QByteArray& bytes) {
  std::filesystem::create_directories(path.parent_path());
  QFile file(QFile::decodeName(path.c_str()));
  file.open(QIODevice::WriteOnly);
  file.write(bytes);
}

QByteArray crashReport() {
  QByteArray report = "Kelvadorium 0.1.0 (?)\nSignal: SIGSEGV (11)\n";
  while (report.size() < 24'000) {
    report += "7f1c2a000000-7f1c2a021000 r-xp 00000000 08:01 1234 " +
              QFile::encodeName(QDir::homePath()) + "/Film/roll/frame.NEF\n";
  }
  return report;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// The GUI thread's longest turn, in ms, until the collection and the upload are over (the local
// receiver runs on this thread too).
double longestTurnUntilSent(const Telemetry& telemetry) {
  double longest = 0;
  while (telemetry.collectingCrashReports() || telemetry.uploadInFlight()) {
    const auto start = std::chrono::steady_clock::now();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    longest = std::max(longest, millisecondsSince(start));
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return longest;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A telemetry object with both switches on, 60 days of counts and a local receiver.
struct Setup {
  Setup() {
    telemetry.setAnalyticsEnabled(true);
    telemetry.setCrashReportsEnabled(true);
    telemetry.setEndpoint(server.url());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int day = 0; day < 60; ++day) {
      clock.set(now.addDays(-day));
      for (int event = 0; event < 10; ++event) telemetry.record(QString("event%1").arg(event));
    }
    clock.set(now);
  }
  void writeReports(const std::filesystem::path& into) const {
    const QByteArray report = crashReport();
    for (int i = 0; i < 100; ++i) {
      writeFile(into / ("Kelvadorium-" + std::to_string(i) + ".crash"), report);
    }
  }

  QCoreApplication& app = application();  // first: the server needs it
  QTemporaryDir folder;
  std::filesystem::path data = std::filesystem::path(folder.path().toStdString()) / "data";
  Preferences preferences{folder.filePath("Kelvadorium.conf")};
  WallClock clock;
  Telemetry telemetry{data, preferences, clock};
  TestHttpServer server;
};

void BM_LaunchStepTelemetry(benchmark::State& state) {
  Setup s;
  const QDateTime now = s.clock.now();
  std::vector<double> later;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(s.data / "Diagnostics" / "CrashReports");
    s.writeReports(Telemetry::rawCrashFolder(s.data));
    s.preferences.setString("telemetry.lastCrashCheck",
                            now.addSecs(-3600).toString(Qt::ISODateWithMs));
    s.preferences.remove("telemetry.lastSent");
    state.ResumeTiming();
    s.telemetry.collectCrashReports();
    s.telemetry.record("launch");
    s.telemetry.sendIfDue();
    state.PauseTiming();
    later.push_back(longestTurnUntilSent(s.telemetry));
    if (s.server.requests.isEmpty()) {
      state.SkipWithError("nothing was sent");
      break;
    }
    s.server.requests.clear();
    state.ResumeTiming();
  }
  // The longest later turn of each launch step: median and worst.
  state.counters["later_turn_ms"] = median(later);
  state.counters["later_turn_ms_max"] = *std::max_element(later.begin(), later.end());
}
BENCHMARK(BM_LaunchStepTelemetry)->Unit(benchmark::kMillisecond)->Iterations(15);

// What the GUI thread does when the collection has ended: starting the upload of the 100
// collected reports with the counts.
void BM_UploadStart(benchmark::State& state) {
  Setup s;
  for (auto _ : state) {
    state.PauseTiming();
    s.writeReports(s.data / "Diagnostics" / "CrashReports");
    s.preferences.remove("telemetry.lastSent");
    state.ResumeTiming();
    s.telemetry.sendIfDue();
    state.PauseTiming();
    longestTurnUntilSent(s.telemetry);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UploadStart)->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_CrashReportWritten(benchmark::State& state) {
  QTemporaryDir folder;
  const std::filesystem::path raw = std::filesystem::path(folder.path().toStdString()) / "Raw";
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      rlimit noCore{0, 0};
      setrlimit(RLIMIT_CORE, &noCore);
      CrashHandler::install(raw);
      raise(SIGSEGV);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) state.SkipWithError("the child did not die by its signal");
  }
}
BENCHMARK(BM_CrashReportWritten)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
