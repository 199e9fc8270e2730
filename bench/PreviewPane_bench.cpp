// The preview pane, offscreen: a repaint with a 2400 × 1600 preview at zoom 1 and 4; a tool
// switch (a mode flag written until its bar and overlay are painted, renderers idle); and the
// program started with a 24-megapixel negative DNG on its command line until its first converted
// preview is on screen, beside the preview renderer's own decode and conversion of that file in
// the same run, with the resident memory once the split view shows. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QMainWindow>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "App/KelvadoriumApp.h"
#include "BenchImages.h"
#include "ChildRun.h"
#include "Model/AppModel.h"
#include "OffscreenApplication.h"
#include "Preview/PreviewCalls.h"
#include "Preview/PreviewPane.h"
#include "Preview/PreviewToolBar.h"
#include "Preview/ZoomablePreview.h"
#include "Rendering/PreviewImage.h"
#include "Testing/TestServices.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// An 8-bit screen copy with some structure, as the renderers publish it.
QImage screenPicture(int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    uchar* row = image.scanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uchar>((x * 255) / width);
      row[3 * x + 1] = static_cast<uchar>((y * 255) / height);
      row[3 * x + 2] = static_cast<uchar>(((x ^ y) * 7) & 255);
    }
  }
  return image;
}

// Counts the paints of one widget.
class PaintCounter final : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

// A pane the size it has in a 1400-point-wide window, over a session whose one scan has a
// published 2400 × 1600 preview. The virtual clock keeps every renderer idle.
struct Pane {
  Pane() {
    ImageItem item;
    item.url = "/scans/a.dng";
    model.setSelection(item.id);
    model.setItems({item});
    auto image = std::make_shared<PreviewImage>();
    image->screen = screenPicture(2400, 1600);
    model.setPreview(image);
    pane.resize(870, 780);
    pane.show();
    QApplication::processEvents();
  }

  QApplication& app = offscreenApplication();  // before any widget
  TestServices services;
  AppModel model{services.services()};
  PreviewCalls calls = PreviewCalls::of(model);
  PreviewPane pane{model, calls};
};

void BM_Repaint(benchmark::State& state) {
  Pane p;
  p.model.setZoom(static_cast<double>(state.range(0)));
  // The first paint at a zoom makes the picture's pixmap and scales it once.
  const auto first = Clock::now();
  p.pane.repaint();
  state.counters["first_paint_ms"] = millisecondsSince(first);
  for (auto _ : state) {
    const auto start = Clock::now();
    p.pane.repaint();
    state.SetIterationTime(millisecondsSince(start) / 1000);
  }
  state.counters["pixmaps"] = p.pane.picture()->pixmaps().pixmapCount();
}
BENCHMARK(BM_Repaint)
    ->Arg(1)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// A newly published preview to the end of its first paint: its pixmap made and scaled.
void BM_NewPicture(benchmark::State& state) {
  Pane p;
  const QImage picture = screenPicture(2400, 1600);
  for (auto _ : state) {
    auto image = std::make_shared<PreviewImage>();
    image->screen = picture.copy();
    const auto start = Clock::now();
    p.model.setPreview(image);
    p.pane.repaint();
    state.SetIterationTime(millisecondsSince(start) / 1000);
  }
}
BENCHMARK(BM_NewPicture)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// From writing the flag to the end of the paint that shows its bar and overlay; leaving the mode
// again is not timed.
void BM_ToolSwitch(benchmark::State& state) {
  Pane p;
  PaintCounter counter;
  p.pane.toolBar()->installEventFilter(&counter);
  const std::vector<void (AppModel::*)(bool)> modes{
      &AppModel::setWbPickMode, &AppModel::setRedEyeMode, &AppModel::setDodgeMode,
      &AppModel::setSpotMode, &AppModel::setCropMode};
  size_t next = 0;
  for (auto _ : state) {
    const auto mode = modes[next++ % modes.size()];
    const int paints = counter.paints;
    const auto start = Clock::now();
    (p.model.*mode)(true);
    while (counter.paints == paints) QApplication::processEvents();
    state.SetIterationTime(millisecondsSince(start) / 1000);
    (p.model.*mode)(false);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ToolSwitch)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(50)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The child: the program itself with the scan on its command line. It notes when the first
// paint of a converted picture has completed, then times the preview renderer's work for the
// same file on a renderer of its own, then shows the split view and notes the memory.
class FirstPicture final : public QObject {
 public:
  FirstPicture(Clock::time_point start, std::string resultFile, std::filesystem::path scan)
      : start_(start), resultFile_(std::move(resultFile)), scan_(std::move(scan)) {}

  // The window on screen: the model exists, so its publishing can be watched.
  void windowShown() {
    window_ = millisecondsSince(start_);
    AppModel* model = AppModel::currentModel();
    connect(model, &AppModel::previewChanged, this, [this, model] {
      if (model->preview() && published_ == 0) published_ = millisecondsSince(start_);
    });
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || seen_) return false;
    auto* picture = qobject_cast<ZoomablePreview*>(watched);
    if (!picture || !picture->picture()) return false;
    seen_ = true;
    // The next turn of the event loop comes after the whole frame.
    QTimer::singleShot(0, [this] {
      shown_ = millisecondsSince(start_);
      QTimer::singleShot(0, [this] { measureRenderer(); });
    });
    return false;
  }

 private:
  // Runs `then` once `done` holds, looking every 20 ms.
  void when(std::function<bool()> done, std::function<void()> then) {
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [poll, done, then] {
      if (!done()) return;
      poll->deleteLater();
      poll->stop();
      then();
    });
    poll->start(20);
  }

  // Once the program's own renders are done, the same decode, measurement and conversion on a
  // fresh renderer of the preview's size, timed on its worker.
  void measureRenderer() {
    AppModel& model = *AppModel::currentModel();
    when([&model] { return quiet(model); },
         [this, &model] {
           const ConversionSettings settings = model.items().front().settings;
           own_ = std::make_unique<Renderer>(model.previewRenderer().longEdge(),
                                             model.previewRenderer().capacity());
           call_.emplace(own_->perform([url = scan_, settings](RenderCache& cache) {
             const auto start = Clock::now();
             const FilmAnalysis analysis = cache.analysis(url, settings);
             const LinearImage proxy = cache.proxy(url, settings);
             PreviewImage::make(cache.convert(proxy, analysis, settings, true, true));
             return millisecondsSince(start);
           }));
           when([this] { return call_->await_ready(); },
                [this, &model] {
                  rendered_ = call_->await_resume().value();
                  model.setCompareMode(CompareMode::split);
                  when([&model] { return model.currentBeforePreview() && quiet(model); },
                       [this] { QTimer::singleShot(300, [this] { finish(); }); });
                });
         });
  }

  static bool quiet(AppModel& model) {
    return !model.isRendering() && !model.previewRenderer().isBusy() &&
           !model.fastRenderer().isBusy() && !model.lightRenderer().isBusy() &&
           !model.thumbRenderer().isBusy() && !model.detailRenderer().isBusy();
  }

  // The program then ends as it does when quit, so nothing outlives what it uses.
  void finish() {
    std::ofstream(resultFile_) << shown_ << " " << rendered_ << " " << ChildRun::residentMB() << " "
                               << window_ << " " << published_ << "\n";
    finished = true;
    own_.reset();
    QCoreApplication::exit(0);
  }

 public:
  bool finished = false;

 private:
  Clock::time_point start_;
  std::string resultFile_;
  std::filesystem::path scan_;
  std::unique_ptr<Renderer> own_;
  std::optional<Renderer::Call<double>> call_;
  bool seen_ = false;
  double window_ = 0;
  double published_ = 0;
  double shown_ = 0;
  double rendered_ = 0;
};

void runChildWhenAsked() {
  const char* result = std::getenv("KV_FIRST_PICTURE_RESULT");
  const char* scan = std::getenv("KV_FIRST_PICTURE_SCAN");
  if (!result || !scan) return;
  const auto start = Clock::now();
  std::string scanArgument = scan;
  int argc = 2;
  char name[] = "kelvadorium";
  char* argv[] = {name, scanArgument.data(), nullptr};
  static FirstPicture watcher(start, result, scan);
  KelvadoriumApp::run(argc, argv, [](QMainWindow&) {
    qApp->installEventFilter(&watcher);
    watcher.windowShown();
  });
  std::exit(watcher.finished ? 0 : 1);
}

void BM_CommandLineScanToFirstPicture(benchmark::State& state) {
  TempDir home;
  const std::string resultFile = (home / "result.txt").string();
  const auto scan = home / "scan.dng";
  std::filesystem::copy_file(BenchImages::negativeDng24mp(), scan);
  std::vector<std::string> env{"KV_FIRST_PICTURE_RESULT=" + resultFile,
                               "KV_FIRST_PICTURE_SCAN=" + scan.string(),
                               "QT_QPA_PLATFORM=offscreen"};
  for (const std::string& folder : ChildRun::desktopFolders(home.path())) env.push_back(folder);
  // The film-type question would wait for an answer; it is a preference the user can turn off.
  std::filesystem::create_directories(home / "XDG_CONFIG_HOME" / "Kelvadorium");
  std::ofstream(home / "XDG_CONFIG_HOME" / "Kelvadorium" / "Kelvadorium.conf")
      << "[General]\naskFilmType=false\n";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  double shown = 0, rendered = 0, resident = 0, window = 0, published = 0;
  for (auto _ : state) {
    std::filesystem::remove(resultFile);
    // A run leaves the scan's sidecar and its first-use state behind; each starts afresh.
    std::filesystem::remove(home / ".kelvadorium-edits.json");
    if (!ChildRun::run({self}, env)) {
      state.SkipWithError("the program failed");
      return;
    }
    std::ifstream(resultFile) >> shown >> rendered >> resident >> window >> published;
    state.SetIterationTime(shown / 1000);
    state.counters["renderer_ms"] = rendered;
    state.counters["over_renderer_ms"] = shown - rendered;
    state.counters["split_resident_MB"] = resident;
    state.counters["window_shown_ms"] = window;
    state.counters["published_ms"] = published;
  }
}
BENCHMARK(BM_CommandLineScanToFirstPicture)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return ChildRun::benchmarkMain(argc, argv, runChildWhenAsked); }
