// The Dodge & Burn section over a heavy scan: 50 layers, one selected holding 40 shapes, the
// column shown offscreen with only that section open, on virtual time (no render runs). Timed:
// a value of the selected layer changed on the model to the refreshed section (the turn that
// follows: the column's and the section's refresh and the repaint of what changed), the same
// for a change of the selected layer (its shape rows go, the other's come), and a refresh with
// nothing changed. Medians go to the "<name>_ms" counters. Run pinned to two cores
// (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWindow>
#include <chrono>
#include <memory>

#include "Inspector/FoldSection.h"
#include "Inspector/InspectorView.h"
#include "Kelvadorium/Model/EditSession.h"
#include "OffscreenApplication.h"
#include "Times.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

QString onlyDodgeBurnOpen() {
  QString text = "[General]\n";
  for (QString key : InspectorView::foldKeys()) {
    const bool open = key == "fold.Dodge & Burn";
    text += key.replace(" ", "%20") + (open ? "=true\n" : "=false\n");
  }
  return text;
}

DodgeBurnStroke brush(double x, double y) {
  DodgeBurnStroke stroke;
  stroke.id = Uuid::random();
  for (int i = 0; i < 30; ++i) stroke.points.push_back({x + i * 0.001, y});
  return stroke;
}

struct HeavyScan {
  HeavyScan() : session(1, onlyDodgeBurnOpen()) {
    offscreenApplication();
    ConversionSettings settings = session.settings(0);
    for (int i = 0; i < 50; ++i) {
      LocalLayer layer;
      layer.name = "Layer " + std::to_string(i + 1);
      layer.adjust.exposure = (i % 5 - 2) * 0.25;
      layer.adjust.contrast = i % 3;
      layer.shapes = {brush(0.1, 0.01 * i)};
      settings.layers.push_back(layer);
    }
    LocalLayer& selected = settings.layers[10];
    selected.shapes.clear();
    for (int i = 0; i < 40; ++i) {
      if (i % 8 == 3) {
        selected.shapes.push_back(
            DodgeBurnStroke::radial({0.5, 0.5}, 0.1, 0.2, 0, 0.5, i % 16 == 3));
      } else {
        selected.shapes.push_back(brush(0.2, 0.02 * i));
      }
    }
    session.model->storeSettings(0, settings);
    session.select(0);
    session.model->setSelectedLayerID(settings.layers[10].id);
    view = std::make_unique<InspectorView>(*session.model);
    view->resize(310, 900);
    view->show();
    for (int i = 0; i < 100 && !view->windowHandle()->isExposed(); ++i) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QApplication::processEvents();
  }

  EditSession session;
  std::unique_ptr<InspectorView> view;
};

void LayerValueToRefresh(benchmark::State& state) {
  HeavyScan s;
  Times times(state, "refresh");
  double contrast = 0;
  for (auto _ : state) {
    contrast = contrast == 0 ? 12 : 0;
    const auto start = Clock::now();
    s.session.model->setSelectedLayerValue(&LocalAdjustment::contrast, contrast);
    QApplication::sendPostedEvents();
    times.add(since(start));
  }
}
BENCHMARK(LayerValueToRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

void SelectedLayerToRefresh(benchmark::State& state) {
  HeavyScan s;
  const auto& layers = s.session.settings(0).layers;
  const Uuid heavy = layers[10].id;
  const Uuid light = layers[30].id;
  FoldSection* section = s.view->section("Dodge & Burn");
  Times times(state, "refresh");
  Times rows(state, "rows", false);
  bool toLight = true;
  for (auto _ : state) {
    const auto start = Clock::now();
    s.session.model->setSelectedLayerID(toLight ? light : heavy);
    // The rows read the model first; the layout and the repaint follow in the same turn.
    section->refresh();
    rows.add(since(start));
    QApplication::sendPostedEvents();
    times.add(since(start));
    toLight = !toLight;
    QApplication::processEvents();  // the dropped rows go
  }
}
BENCHMARK(SelectedLayerToRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void UnchangedRefresh(benchmark::State& state) {
  HeavyScan s;
  FoldSection* section = s.view->section("Dodge & Burn");
  Times times(state, "refresh");
  for (auto _ : state) {
    const auto start = Clock::now();
    section->refresh();
    times.add(since(start));
  }
}
BENCHMARK(UnchangedRefresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

}  // namespace
