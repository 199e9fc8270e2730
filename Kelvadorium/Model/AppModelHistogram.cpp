// The histogram of the preview on screen, measured on a worker of its own at low priority.
#include "Model/AppModel.h"
#include "Model/HistogramMeasure.h"

void AppModel::setHistogram(std::optional<Histogram> value) {
  publish(histogram_, std::move(value), &AppModel::histogramChanged);
}

Renderer& AppModel::histogramWorker() {
  // A renderer is the serial worker whose results come back on the GUI thread; its cache stays
  // empty.
  if (!histogramWorker_)
    histogramWorker_ = std::make_unique<Renderer>(1, 1, services_.renderBackend);
  return *histogramWorker_;
}

void AppModel::startHistogram(std::shared_ptr<const PreviewImage> image) {
  plain_.histogramTask.cancel();
  Renderer& worker = histogramWorker();
  plain_.histogramTask = TaskHandle::start(
      [this, &worker, image = std::move(image)](std::stop_token stop) -> QCoro::Task<> {
        // Named: GCC 12 destroys a temporary lambda inside a co_await twice.
        auto measuring = worker.perform(
            [image](RenderCache&) { return HistogramMeasure::measure(image->image); },
            RenderPriority::low);
        auto result = co_await std::move(measuring);
        // Looked at once, after the measurement: a newer preview's result replaces this one.
        if (stop.stop_requested() || !result.ok()) co_return;
        setHistogram(std::move(result.value()));
      });
}
