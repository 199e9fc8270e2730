// Preview modes, the looks under the pointer, prefetch and warm-up.
#include "Model/AppModel.h"

void AppModel::previewModeDidSet(PreviewMode old) {
  if (previewMode() == old) return;
  // The first pass in the new mode is a full one on the new mode's renderer.
  setPreview(nullptr);
  plain_.previewImageID.reset();
  requestRender();
}

void AppModel::hoverFilmLookDidSet(const std::optional<HoverLook>& old) {
  if (hoverFilmLook_ != old) requestRender();
}

void AppModel::hoverScannerDidSet(const std::optional<ScannerLook>& old) {
  if (hoverScanner_ != old) requestRender();
}

void AppModel::startPrefetch() {
  plain_.prefetchTask.cancel();
  const std::optional<size_t> index = selectedIndex();
  if (!index) return;
  const auto next = static_cast<int64_t>(*index) + plain_.browseDirection;
  if (next < 0 || next >= static_cast<int64_t>(items_.size())) return;
  const ImageItem& neighbour = items_[static_cast<size_t>(next)];
  Renderer& renderer = previewMode() == PreviewMode::fast ? lightRenderer() : previewRenderer();
  plain_.prefetchTask =
      TaskHandle::start([this, &renderer, url = neighbour.url, settings = neighbour.settings,
                         selected = selection_](std::stop_token stop) -> QCoro::Task<> {
        co_await clock().sleep(seconds(0.25), stop);
        if (stop.stop_requested() || selection_ != selected || renderLoopRuns()) co_return;
        auto measured = co_await renderer.analysis(url, settings);
        // Silent on failure: the loop reports the scan when it is shown.
        if (!measured.ok()) co_return;
        plain_.analysisCache.insert_or_assign(analysisCacheKey(url, settings), measured.value());
      });
}

void AppModel::warmUpSelected() {
  const std::optional<size_t> index = selectedIndex();
  if (!index) return;
  const ImageItem& item = items_[*index];
  if (previewMode() == PreviewMode::fast) {
    // The loop's own renderer: its first pass waits for this decode and finds the proxy cached.
    lightRenderer().proxy(item.url, item.settings, RenderPriority::low);
    return;
  }
  // On a renderer of its own the decode would halve the processors of the first picture's decode
  // of the same file; it starts once that picture is shown.
  if (firstPictureAwaited()) {
    plain_.heldWarmUps.emplace_back(item.url, item.settings);
    // Before the session's first picture (at launch, say) the browse debounce would leave the
    // processors idle: the loop's renderer decodes in the meantime and its pass finds the proxy
    // cached. Only then, and only on an idle renderer, so browsing never queues decodes.
    if (!plain_.previewImageID && !previewRenderer().isBusy()) {
      previewRenderer().proxy(item.url, item.settings, RenderPriority::low);
    }
    return;
  }
  // Queued at low priority and never cancelled; nobody waits for the proxy, and a failed decode
  // is dropped.
  fastRenderer().proxy(item.url, item.settings, RenderPriority::low);
}
