// The tone-curve editor as the user drives it, offscreen, on a session of tiny scans in virtual
// time with a histogram published and every section open: one drag event on the graph through
// the stored curve to the refreshed column and the repainted editor, and one paint of the graph
// alone (master curve with regions over the backdrop). Medians go to the "<name>_ms" counters.
// Run pinned to two cores (taskset -c 0,1).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWindow>
#include <chrono>
#include <cmath>

#include "Inspector/InspectorView.h"
#include "Inspector/ToneCurveEditor.h"
#include "Inspector/ToneCurveGraph.h"
#include "Kelvadorium/Model/EditSession.h"
#include "OffscreenApplication.h"
#include "Times.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

QString everySectionOpen() {
  QString text = "[General]\n";
  for (QString key : InspectorView::foldKeys()) text += key.replace(" ", "%20") + "=true\n";
  return text;
}

// A selected scan with a five-point master curve and two regions, under a histogram.
struct Session {
  Session() : session(2, (offscreenApplication(), everySectionOpen())) {
    ConversionSettings settings = session.settings(0);
    settings.curves.rgb.points = {{0, 0}, {0.25, 0.2}, {0.5, 0.55}, {0.75, 0.8}, {1, 1}};
    settings.curves.regions = {10, 0, -5, 0};
    session.model->storeSettings(0, settings);
    session.select(0);
    Histogram histogram;
    for (size_t i = 0; i < 256; ++i) {
      const double t = static_cast<double>(i) / 255;
      histogram.r[i] = static_cast<float>(std::exp(-std::pow((t - 0.4) / 0.2, 2)));
      histogram.g[i] = static_cast<float>(std::exp(-std::pow((t - 0.5) / 0.2, 2)));
      histogram.b[i] = static_cast<float>(std::exp(-std::pow((t - 0.6) / 0.25, 2)));
    }
    session.model->setHistogram(histogram);
    view = std::make_unique<InspectorView>(*session.model);
    view->resize(310, 900);
    view->show();
    for (int i = 0; i < 100 && !view->windowHandle()->isExposed(); ++i)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    // The editor in sight, so its repaints are real.
    view->ensureWidgetVisible(view->findChild<ToneCurveEditor*>("ToneCurveEditor"));
    QApplication::processEvents();
    graph = view->findChild<ToneCurveGraph*>("graph");
  }
  void send(QEvent::Type type, CurveGestures::Point at) {
    const QPointF p = graph->position(at);
    QMouseEvent event(type, p, graph->mapToGlobal(p), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(graph, &event);
  }

  EditSession session;
  std::unique_ptr<InspectorView> view;
  ToneCurveGraph* graph = nullptr;
};

// One move of a drag of the middle point: the curve stored, then the next turn of the event
// loop (the column's refresh and the editor's repaint).
void CurveDragEvent(benchmark::State& state) {
  Session s;
  s.send(QEvent::MouseButtonPress, {0.5, 0.55});
  Times times(state, "drag_event");
  int i = 0;
  for (auto _ : state) {
    const double y = 0.45 + 0.2 * ((i++ % 20) / 20.0);
    const auto start = Clock::now();
    s.send(QEvent::MouseMove, {0.5, y});
    QApplication::sendPostedEvents();
    times.add(since(start));
  }
  s.send(QEvent::MouseButtonRelease, {0.5, 0.55});
}
BENCHMARK(CurveDragEvent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

// The graph's own drawing, into an image of its size.
void GraphPaint(benchmark::State& state) {
  Session s;
  QImage image(s.graph->size(), QImage::Format_ARGB32_Premultiplied);
  Times times(state, "paint");
  for (auto _ : state) {
    const auto start = Clock::now();
    s.graph->render(&image);
    times.add(since(start));
  }
}
BENCHMARK(GraphPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

// The same paint as the window does it: drawn into the window's backing store and handed to
// the platform.
void GraphRepaint(benchmark::State& state) {
  Session s;
  Times times(state, "repaint");
  for (auto _ : state) {
    const auto start = Clock::now();
    s.graph->repaint();
    times.add(since(start));
  }
}
BENCHMARK(GraphRepaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(500);

}  // namespace
