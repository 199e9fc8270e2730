// Start-up: from just before the application object exists to the main window's first completed
// paint, empty session, offscreen; and the program's resident memory once idle. Each run is a
// fresh process (this executable again, in its child mode) with temporary XDG folders.
#include <benchmark/benchmark.h>

#include <QEvent>
#include <QFile>
#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "App/KelvadoriumApp.h"
#include "ChildRun.h"
#include "TestSupport/TempDir.h"

namespace {

// Sees the window's first paint; the next turn of the event loop comes after the whole frame.
class FirstPaint final : public QObject {
 public:
  FirstPaint(std::chrono::steady_clock::time_point start, std::string resultFile)
      : start_(start), resultFile_(std::move(resultFile)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QTimer::singleShot(0, [this] {
        painted_ =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
                .count();
        QTimer::singleShot(1500, [this] { finish(); });  // idle, then the resident memory
      });
    }
    return false;
  }

 private:
  void finish() {
    std::ofstream(resultFile_) << painted_ << " " << ChildRun::residentMB() << "\n";
    std::exit(0);
  }
  std::chrono::steady_clock::time_point start_;
  std::string resultFile_;
  bool seen_ = false;
  double painted_ = 0;
};

// The child: the program's own start-up, measured from before QApplication.
void runChildWhenAsked() {
  const char* result = std::getenv("KV_STARTUP_RESULT");
  if (!result) return;
  const auto start = std::chrono::steady_clock::now();
  int argc = 1;
  char name[] = "kelvadorium";
  char* argv[] = {name, nullptr};
  static FirstPaint watcher(start, result);
  KelvadoriumApp::run(argc, argv, [](QMainWindow& window) { window.installEventFilter(&watcher); });
  std::exit(1);
}

void BM_StartUpToFirstPaint(benchmark::State& state) {
  TempDir home;
  const std::string resultFile = (home / "result.txt").string();
  std::vector<std::string> env{"KV_STARTUP_RESULT=" + resultFile, "QT_QPA_PLATFORM=offscreen"};
  for (const std::string& folder : ChildRun::desktopFolders(home.path())) env.push_back(folder);
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  double painted = 0, resident = 0;
  for (auto _ : state) {
    std::filesystem::remove(resultFile);
    if (!ChildRun::run({self}, env)) {
      state.SkipWithError("the start-up failed");
      return;
    }
    std::ifstream(resultFile) >> painted >> resident;
    state.SetIterationTime(painted / 1000);
  }
  state.counters["idle_resident_MB"] = resident;
}
BENCHMARK(BM_StartUpToFirstPaint)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(11)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return ChildRun::benchmarkMain(argc, argv, runChildWhenAsked); }
