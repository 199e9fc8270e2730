// Thumbnails: one worker over the queue, and refreshes after edits.
#include <algorithm>

#include "Model/AppModel.h"
#include "Rendering/Thumbnail.h"

void AppModel::startThumbnails() {
  if (plain_.thumbTask) return;
  TaskHandle worker =
      TaskHandle::start([this](std::stop_token stop) { return thumbnailWorker(stop); });
  // A worker that found the queue empty has already ended and cleared the field.
  if (!worker.isFinished()) plain_.thumbTask = worker;
}

QCoro::Task<> AppModel::thumbnailWorker(std::stop_token stop) {
  while (!plain_.thumbQueue.empty()) {
    // A scan just selected has its first picture made alone; the render loop starts the worker
    // again once it is shown.
    if (firstPictureAwaited()) break;
    const Uuid id = plain_.thumbQueue.front();
    plain_.thumbQueue.erase(plain_.thumbQueue.begin());
    const auto item = std::find_if(items_.begin(), items_.end(),
                                   [&](const ImageItem& i) { return i.id == id; });
    if (item == items_.end()) continue;  // removed while it waited
    auto job = [url = item->url, settings = item->settings](RenderCache& cache) {
      return Thumbnail::make(cache, url, settings);
    };
    RenderResult<std::optional<PreviewImage>> made =
        co_await thumbRenderer().perform(std::move(job));
    // The model is going: its renderer answered "stopped" or its tasks were told to stop.
    if (made.stopped() || stop.stop_requested()) co_return;
    std::shared_ptr<const PreviewImage> thumbnail;
    if (made.ok() && made.value()) {
      thumbnail = std::make_shared<const PreviewImage>(std::move(*made.value()));
    }
    setThumbnail(id, std::move(thumbnail));
  }
  // The empty (or held) queue and the cleared field in one step: an id queued later starts a new
  // worker.
  plain_.thumbTask = TaskHandle();
}

void AppModel::setThumbnail(const Uuid& id, std::shared_ptr<const PreviewImage> thumbnail) {
  const auto item = std::find_if(items_.begin(), items_.end(),
                                 [&](const ImageItem& i) { return i.id == id; });
  if (item == items_.end()) return;
  item->thumbnail = std::move(thumbnail);
  emit itemsChanged();
}

void AppModel::refreshThumbnail(const Uuid& id) {
  if (const auto pending = plain_.thumbRefreshTasks.find(id);
      pending != plain_.thumbRefreshTasks.end()) {
    pending->second.cancel();
  }
  plain_.thumbRefreshTasks[id] =
      TaskHandle::start([this, id](std::stop_token stop) { return thumbnailRefreshJob(id, stop); });
}

QCoro::Task<> AppModel::thumbnailRefreshJob(Uuid id, std::stop_token stop) {
  co_await clock().sleep(seconds(0.6), stop);
  if (stop.stop_requested()) co_return;
  std::erase(plain_.thumbQueue, id);
  plain_.thumbQueue.insert(plain_.thumbQueue.begin(), id);
  startThumbnails();
}
