// Mapping 10,000 points between the preview and the scan, either way: over one snapshot (as an
// overlay maps a whole list of marks) and through the model's per-point calls (as a click is
// mapped), on a straightened, cropped, bordered 24-megapixel scan. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <memory>
#include <vector>

#include "Model/AppModel.h"
#include "Model/PreviewMapping.h"
#include "Testing/TestServices.h"

namespace {

QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "PreviewMapping_bench";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

constexpr int pointCount = 10000;

std::vector<QPointF> points() {
  std::vector<QPointF> list;
  list.reserve(pointCount);
  for (int i = 0; i < pointCount; ++i) {
    list.emplace_back(0.05 + 0.9 * (i % 100) / 99.0, 0.05 + 0.9 * (i / 100) / 99.0);
  }
  return list;
}

// The selected scan shown as its own render: 6000 × 4000, 2.5°, a crop and a white border.
struct MappedModel {
  MappedModel() {
    application();
    model = std::make_unique<AppModel>(services.services());
    ImageItem item;
    item.url = "/nowhere/scan.dng";
    item.settings.skewDegrees = 2.5;
    item.settings.border = BorderStyle::white;
    item.settings.borderSize = 5;
    model->setItems({item});
    model->setSelection(model->items()[0].id);
    auto picture = std::make_shared<PreviewImage>();
    picture->screen = QImage(2280, 1560, QImage::Format_RGB888);
    model->setPreview(picture);
    FilmAnalysis analysis;
    analysis.crop = {0.04, 0.05, 0.9, 0.88};
    model->setAnalysis(analysis);
    model->setProxySize({2400, 1600});
    model->plain().previewImageID = model->selection();
  }
  TestServices services;
  std::unique_ptr<AppModel> model;
};

// range(0): 0 preview to image, 1 image to preview; range(1): 0 over one snapshot, 1 a model
// call per point.
void MapTenThousandPoints(benchmark::State& state) {
  MappedModel session;
  const AppModel& model = *session.model;
  const bool toImage = state.range(0) == 0;
  const bool perPoint = state.range(1) == 1;
  const std::vector<QPointF> list = points();
  for (auto _ : state) {
    const auto frame = model.mappingFrame();
    double sum = 0;
    for (const QPointF& p : list) {
      std::optional<QPointF> mapped;
      if (perPoint) {
        mapped = toImage ? model.imagePoint(p.x(), p.y()) : model.previewPoint(p.x(), p.y());
      } else {
        mapped = toImage ? PreviewMapping::imagePoint(*frame, p)
                         : PreviewMapping::previewPoint(*frame, p);
      }
      sum += mapped.value_or(p).x();
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(MapTenThousandPoints)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly();

}  // namespace
