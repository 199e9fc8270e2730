// The telemetry part of the launch step on the GUI thread (collection of 100 raw crash reports,
// the launch count over 60 days of counts, starting the upload) and the crash handler's report
// (fork to the child's death by signal, an upper bound of the handler's time).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

void BM_LaunchStepTelemetry(benchmark::State& state) {
  application();
  QTemporaryDir folder;
  const std::filesystem::path data = std::filesystem::path(folder.path().toStdString()) / "data";
  Preferences preferences(folder.filePath("Kelvadorium.conf"));
  WallClock clock;
  preferences.setBool("telemetry.analytics", true);
  preferences.setBool("telemetry.crashes", true);
  Telemetry telemetry(data, preferences, clock);
  TestHttpServer server;
  telemetry.setEndpoint(server.url());
  QByteArray report = "Kelvadorium 0.1.0 (?)\nSignal: SIGSEGV (11)\n";
  while (report.size() < 24'000) {
    report += "7f1c2a000000-7f1c2a021000 r-xp 00000000 08:01 1234 " +
              QFile::encodeName(QDir::homePath()) + "/Film/roll/frame.NEF\n";
  }
  const QDateTime now = QDateTime::currentDateTimeUtc();
  for (int day = 0; day < 60; ++day) {
    clock.set(now.addDays(-day));
    for (int event = 0; event < 10; ++event) telemetry.record(QString("event%1").arg(event));
  }
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(data / "Diagnostics" / "CrashReports");
    for (int i = 0; i < 100; ++i) {
      writeFile(Telemetry::rawCrashFolder(data) / ("Kelvadorium-" + std::to_string(i) + ".crash"),
                report);
    }
    preferences.setString("telemetry.lastCrashCheck",
                          now.addSecs(-3600).toString(Qt::ISODateWithMs));
    preferences.remove("telemetry.lastSent");
    clock.set(now);
    state.ResumeTiming();
    telemetry.collectCrashReports();
    telemetry.record("launch");
    telemetry.sendIfDue();
    state.PauseTiming();
    while (telemetry.uploadInFlight()) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LaunchStepTelemetry)->Unit(benchmark::kMillisecond)->Iterations(15);

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
