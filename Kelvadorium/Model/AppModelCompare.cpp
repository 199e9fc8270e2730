// Zoom, the 1:1 detail render and before/after compare.
#include "Model/AppModel.h"
#include "Model/BeforeSettings.h"
#include "Model/ZoomGeometry.h"

namespace {

// A burst of zoom steps, edits and passes each restarts the detail render; only the last,
// after this long, decodes the scan at full size.
constexpr Clock::Duration detailQuiet = seconds(0.25);

// The print of a decoded scan as a published picture, made on the renderer's worker. The print
// goes before the picture leaves, so it is held only while the picture is made.
PreviewImage picture(RenderCache& cache, const LinearImage& scan, const FilmAnalysis& analysis,
                     const ConversionSettings& settings, bool applyCrop, bool addBorder) {
  std::optional<PreviewImage> image;
  {
    const PrintImage print = cache.convert(scan, analysis, settings, applyCrop, addBorder);
    image = PreviewImage::make(print);
  }
  if (!image) throw RenderError::encode();
  return std::move(*image);
}

}  // namespace

// Zoom.

void AppModel::setZoom(double requested, double anchorX, double anchorY) {
  const auto zoomed =
      ZoomGeometry::zoomedAbout({zoom_, pan_}, requested, anchorX, anchorY, plain_.oneToOneZoom,
                                plain_.viewportFitted, plain_.viewportContainer);
  if (!zoomed) return;
  // The view reads the zoom before the pan that goes with it.
  setZoom(zoomed->zoom);
  setPan(zoomed->pan);
}

QSizeF AppModel::clampedPan(QSizeF offset) const {
  return ZoomGeometry::clampedPan(offset, zoom_, plain_.viewportFitted, plain_.viewportContainer);
}

std::optional<int> AppModel::zoomPercent() const {
  return ZoomGeometry::zoomPercent(zoom_, plain_.oneToOneZoom, fullPixelSize_.width());
}

void AppModel::reportGeometry(QSizeF container, QSizeF fitted, double backingScale) {
  plain_.viewportContainer = container;
  plain_.viewportFitted = fitted;
  if (const auto oneToOne =
          ZoomGeometry::oneToOneZoom(fullPixelSize_.width(), fitted.width(), backingScale)) {
    plain_.oneToOneZoom = *oneToOne;
  }
  setPan(clampedPan(pan_));
}

// The 1:1 detail render.

void AppModel::setWantsDetail(bool wanted) {
  if (wanted == plain_.wantsDetail) return;
  plain_.wantsDetail = wanted;
  if (wanted) {
    startDetailRender();
    return;
  }
  plain_.detailTask.cancel();
  setIsRenderingDetail(false);
}

void AppModel::startDetailRender() {
  // Before every test: a start that ends early still calls off the render running.
  plain_.detailTask.cancel();
  const auto index = selectedIndex();
  if (!index || showNegative_ || !analysis_) return;
  const ImageItem& scan = items_[*index];
  // Right after a selection change the analysis on show is still the previous scan's; a detail
  // rendered with it would carry that scan's film measurement and crop.
  if (plain_.previewImageID != scan.id) return;
  const bool applyCrop = !cropMode_;
  const bool addBorder = true;
  if (plain_.detailFor && detailPreview_) {
    const auto& [id, settings, renderedCrop, renderedBorder] = *plain_.detailFor;
    if (id == scan.id && settings == scan.settings && renderedCrop == applyCrop && renderedBorder) {
      return;
    }
  }
  setIsRenderingDetail(true);
  plain_.detailTask =
      TaskHandle::start([this, url = scan.url, settings = scan.settings, analysis = *analysis_,
                         applyCrop, addBorder, id = scan.id](std::stop_token stop) {
        return detailRenderJob(stop, url, settings, analysis, applyCrop, addBorder, id);
      });
}

QCoro::Task<> AppModel::detailRenderJob(std::stop_token stop, std::filesystem::path url,
                                        ConversionSettings settings, FilmAnalysis analysis,
                                        bool applyCrop, bool addBorder, Uuid id) {
  co_await clock().sleep(detailQuiet, stop);
  if (stop.stop_requested()) co_return;
  auto job = [url, settings, analysis, applyCrop, addBorder](RenderCache& cache) {
    // The renderer keeps one scan; another scan's decode goes first, so that two full-size
    // decodes are never held at once.
    if (!cache.order().empty() && cache.order().back() != ProxyKey::of(url, settings)) {
      cache.clear();
    }
    const LinearImage scan = cache.proxy(url, settings);
    return picture(cache, scan, analysis, settings, applyCrop, addBorder);
  };
  auto result = co_await detailRenderer().perform(std::move(job));
  if (stop.stop_requested() || result.stopped()) co_return;
  if (!result.ok()) {
    // No message: the preview stays, and the note of a running render goes.
    if (selection_ == id) setIsRenderingDetail(false);
    co_return;
  }
  if (selection_ != id) co_return;
  setIsRenderingDetail(false);
  setDetailPreview(std::make_shared<const PreviewImage>(std::move(result.value())));
  plain_.detailFor = {id, std::move(settings), applyCrop, addBorder};
}

std::shared_ptr<const PreviewImage> AppModel::currentDetailPreview() const {
  const auto index = selectedIndex();
  if (!plain_.detailFor || !index || showNegative_) return nullptr;
  const auto& [id, settings, applyCrop, addBorder] = *plain_.detailFor;
  const ImageItem& scan = items_[*index];
  if (id != scan.id || settings != scan.settings) return nullptr;
  // Both the detail and the preview on screen must have the framing of the current crop mode.
  if (applyCrop == cropMode_ || previewIsUncropped_ != cropMode_) return nullptr;
  return detailPreview_;
}

// Before/after compare.

void AppModel::compareModeDidSet(const CompareMode&) {
  if (compareMode_ != CompareMode::off) renderBefore();
}

void AppModel::toggleCompareBefore() {
  setCompareMode(compareMode_ == CompareMode::before ? CompareMode::off : CompareMode::before);
}

void AppModel::toggleCompareSplit() {
  setCompareMode(compareMode_ == CompareMode::split ? CompareMode::off : CompareMode::split);
}

void AppModel::renderBefore() {
  if (compareMode_ == CompareMode::off) return;
  const auto index = selectedIndex();
  if (!index) return;
  const ImageItem& scan = items_[*index];
  ConversionSettings before = BeforeSettings::of(scan.settings);
  const bool applyCrop = !cropMode_;
  if (plain_.beforeFor && beforePreview_) {
    const auto& [id, settings, renderedCrop] = *plain_.beforeFor;
    if (id == scan.id && settings == before && renderedCrop == applyCrop) return;
  }
  // Only a start that goes ahead calls off the render running.
  plain_.beforeTask.cancel();
  plain_.beforeTask = TaskHandle::start([this, url = scan.url, before = std::move(before),
                                         applyCrop, id = scan.id](std::stop_token stop) {
    return beforeRenderJob(stop, url, before, applyCrop, id);
  });
}

QCoro::Task<> AppModel::beforeRenderJob(std::stop_token stop, std::filesystem::path url,
                                        ConversionSettings settings, bool applyCrop, Uuid id) {
  // Measured and decoded under the before record, so a scan without roll balance or blank
  // frame finds the preview's analysis and proxy in the cache.
  auto job = [url, settings, applyCrop](RenderCache& cache) {
    const FilmAnalysis analysis = cache.analysis(url, settings);
    const LinearImage scan = cache.proxy(url, settings);
    return picture(cache, scan, analysis, settings, applyCrop, true);
  };
  auto result = co_await previewRenderer().perform(std::move(job));
  // A failure changes nothing: the edited image stays on show.
  if (stop.stop_requested() || !result.ok() || selection_ != id) co_return;
  setBeforePreview(std::make_shared<const PreviewImage>(std::move(result.value())));
  plain_.beforeFor = {id, std::move(settings), applyCrop};
}

std::shared_ptr<const PreviewImage> AppModel::currentBeforePreview() const {
  const auto index = selectedIndex();
  if (compareMode_ == CompareMode::off || !plain_.beforeFor || !index) return nullptr;
  const auto& [id, settings, applyCrop] = *plain_.beforeFor;
  const ImageItem& scan = items_[*index];
  if (id != scan.id || applyCrop == cropMode_) return nullptr;
  if (settings != BeforeSettings::of(scan.settings)) return nullptr;
  return beforePreview_;
}

void AppModel::dragSplitDivider(double x, double width) {
  if (const auto position = ZoomGeometry::splitPosition(x, width)) setSplitPosition(*position);
}
