// The preview render loop, the full-quality pass and the key of the analysis cache.
#include <algorithm>
#include <cmath>
#include <utility>

#include "Conversion/Decoder.h"
#include "Model/AppModel.h"

namespace {

constexpr double kSettleWait = 0.18;
constexpr double kSettledAfter = 0.17;
constexpr double kBrowseDebounce = 0.09;
constexpr double kQuickWindow = 0.15;

// A conversion's picture with the measurement it was printed with.
struct Picture {
  FilmAnalysis analysis;
  std::shared_ptr<const PreviewImage> image;
};

std::shared_ptr<const PreviewImage> convertToPicture(RenderCache& cache, const LinearImage& proxy,
                                                     const FilmAnalysis& analysis,
                                                     const ConversionSettings& settings,
                                                     bool applyCrop, bool addBorder) {
  auto image = PreviewImage::make(cache.convert(proxy, analysis, settings, applyCrop, addBorder));
  if (!image) throw RenderError::encode();
  return std::make_shared<const PreviewImage>(std::move(*image));
}

// Measurement, decode, conversion and picture in one turn of the renderer.
Renderer::Call<Picture> measureAndConvert(Renderer& renderer, const std::filesystem::path& url,
                                          const ConversionSettings& settings, bool applyCrop,
                                          bool addBorder) {
  return renderer.perform([url, settings, applyCrop, addBorder](RenderCache& cache) {
    FilmAnalysis analysis = cache.analysis(url, settings);
    const LinearImage proxy = cache.proxy(url, settings);
    auto image = convertToPicture(cache, proxy, analysis, settings, applyCrop, addBorder);
    return Picture{std::move(analysis), std::move(image)};
  });
}

}  // namespace

bool AppModel::renderLoopRuns() const {
  // A loop whose task was cancelled runs no further pass, even while its handle is kept.
  return plain_.renderTask && !plain_.renderTask.isCancelled() && !plain_.renderTask.isFinished();
}

bool AppModel::firstPictureAwaited() const {
  return renderLoopRuns() && selection_ && plain_.previewImageID != selection_;
}

void AppModel::resumeHeldDecodes() {
  if (firstPictureAwaited()) return;
  for (auto& [url, settings] : std::exchange(plain_.heldWarmUps, {})) {
    fastRenderer().proxy(url, settings, RenderPriority::low);
  }
  if (!plain_.thumbQueue.empty()) startThumbnails();
}

void AppModel::requestRender() {
  plain_.renderDirty = true;
  plain_.lastSettingsChange = clock().now();
  plain_.renderGen += 1;
  if (plain_.detailTask) {
    plain_.detailTask.cancel();
    setIsRenderingDetail(false);
  }
  if (!selectedIndex()) {
    plain_.renderTask.cancel();
    plain_.renderTask = {};
    setPreview(nullptr);
    setAnalysis(std::nullopt);
    setIsRendering(false);
    resumeHeldDecodes();
    return;
  }
  if (renderLoopRuns()) return;
  setIsRendering(true);
  plain_.renderTask = TaskHandle::start([this](std::stop_token stop) {
    return renderLoop(previewRenderer(), fastRenderer(), std::move(stop));
  });
}

QCoro::Task<> AppModel::renderLoop(Renderer& preview, Renderer& fast, std::stop_token stop) {
  bool lastWasQuick = false;
  while (plain_.renderDirty || lastWasQuick) {
    if (stop.stop_requested()) co_return;
    if (!plain_.renderDirty) {
      co_await clock().sleep(seconds(kSettleWait), stop);
      if (stop.stop_requested()) co_return;
      if (!plain_.renderDirty &&
          !clock().isWithin(plain_.lastSettingsChange, seconds(kSettledAfter))) {
        plain_.renderDirty = true;
        plain_.forceFullRender = true;
      }
      continue;
    }
    if (clock().isWithin(plain_.lastSelectionChange, seconds(kBrowseDebounce))) {
      co_await clock().sleep(seconds(kBrowseDebounce), stop);
      continue;
    }
    plain_.renderDirty = false;
    const std::optional<size_t> index = selectedIndex();
    if (!index) break;

    const ImageItem& item = items_[*index];
    PassInput input{item.id, item.url, item.settings, !cropMode_};
    if (hoverFilmLook_) input.settings.filmPreset = hoverFilmLook_->filmPreset;
    if (hoverScanner_) input.settings.look = *hoverScanner_;
    const PreviewMode mode = previewMode();
    Renderer& renderer = mode == PreviewMode::fast ? lightRenderer() : preview;
    const bool ownImageShown = preview_ && plain_.previewImageID == input.id;
    const bool quick = clock().isWithin(plain_.lastSettingsChange, seconds(kQuickWindow)) &&
                       !plain_.forceFullRender && mode == PreviewMode::hybrid && ownImageShown;
    plain_.forceFullRender = false;

    const bool negative = showNegative_;
    PassEnd end = PassEnd::published;
    if (negative) {
      end = co_await negativePass(renderer, std::move(input), stop);
    } else if (quick) {
      end = co_await quickPass(preview, fast, std::move(input), stop);
    } else if (mode == PreviewMode::hybrid && ownImageShown) {
      handOver(input);
      lastWasQuick = false;
      continue;
    } else {
      end = co_await fullPass(renderer, std::move(input), stop);
    }
    switch (end) {
      case PassEnd::stopped:
        co_return;
      case PassEnd::published:
        lastWasQuick = quick && !negative;
        break;
      case PassEnd::failed:
        lastWasQuick = false;
        break;
      case PassEnd::stale:
        break;
    }
    // After the pass's publication, and so after the picture's paint: a scan just selected is
    // shown now, unless its pass was dropped.
    resumeHeldDecodes();
  }
  // Only the loop whose handle is still in renderTask may clear it; a loop cancelled meanwhile
  // has ended above without touching the model.
  if (plain_.renderTask.stopToken() != stop) co_return;
  setIsRendering(false);
  plain_.renderTask = {};
  resumeHeldDecodes();
  startPrefetch();
}

std::optional<AppModel::PassEnd> AppModel::judgeRender(bool ok, bool stopped,
                                                       const std::string& error,
                                                       const PassInput& input,
                                                       const std::stop_token& stop) {
  if (stopped || stop.stop_requested()) return PassEnd::stopped;
  if (selection_ != input.id) return PassEnd::stale;
  if (!ok) {
    setPreview(nullptr);
    setErrorMessage("Could not open " + QString::fromStdString(input.url.filename().string()) +
                    ": " + QString::fromStdString(error));
    return PassEnd::failed;
  }
  return std::nullopt;
}

QCoro::Task<AppModel::PassEnd> AppModel::negativePass(Renderer& renderer, PassInput input,
                                                      std::stop_token stop) {
  auto image = co_await renderer.render(input.url, input.settings, input.applyCrop);
  if (auto end = judgeRender(image.ok(), image.stopped(), image.errorText(), input, stop))
    co_return *end;
  auto measured = co_await renderer.analysis(input.url, input.settings);
  if (auto end = judgeRender(measured.ok(), measured.stopped(), measured.errorText(), input, stop))
    co_return *end;
  // The negative's measurement is not stored: it is not what a conversion printed with.
  setPreview(std::make_shared<const PreviewImage>(std::move(image.value())));
  setAnalysis(std::move(measured.value()));
  co_await publishPreview(input.id, input.url, input.settings, false, input.applyCrop, true);
  co_return stop.stop_requested() ? PassEnd::stopped : PassEnd::published;
}

QCoro::Task<AppModel::PassEnd> AppModel::quickPass(Renderer& preview, Renderer& fast,
                                                   PassInput input, std::stop_token stop) {
  // The measurement of the full-size pass, so quick and full passes print alike; a miss is
  // measured at full size and kept at once, whatever becomes of this pass.
  const std::string key = analysisCacheKey(input.url, input.settings);
  std::optional<FilmAnalysis> analysis;
  if (const auto hit = plain_.analysisCache.find(key); hit != plain_.analysisCache.end()) {
    analysis = hit->second;
  } else {
    auto measured = co_await preview.analysis(input.url, input.settings);
    if (measured.stopped() || stop.stop_requested()) co_return PassEnd::stopped;
    if (!measured.ok()) {
      co_return judgeRender(false, false, measured.errorText(), input, stop)
          .value_or(PassEnd::failed);
    }
    plain_.analysisCache.insert_or_assign(key, measured.value());
    analysis = measured.value();
  }
  // Named: GCC 12 destroys a temporary lambda inside a co_await twice.
  auto converting =
      fast.perform([url = input.url, settings = input.settings, applyCrop = input.applyCrop,
                    measured = *analysis](RenderCache& cache) {
        const LinearImage proxy = cache.proxy(url, settings);
        return convertToPicture(cache, proxy, measured, settings, applyCrop, true);
      });
  // The header is read while the renderer works, not between the picture and its publication.
  const HeaderSize header = Decoder::uprightPixelSize(input.url);
  auto image = co_await std::move(converting);
  if (auto end = judgeRender(image.ok(), image.stopped(), image.errorText(), input, stop))
    co_return *end;
  setPreview(std::move(image.value()));
  setAnalysis(std::move(*analysis));
  co_await publishPreview(input.id, input.url, input.settings, true, input.applyCrop, true, header);
  co_return stop.stop_requested() ? PassEnd::stopped : PassEnd::published;
}

QCoro::Task<AppModel::PassEnd> AppModel::fullPass(Renderer& renderer, PassInput input,
                                                  std::stop_token stop) {
  auto converting = measureAndConvert(renderer, input.url, input.settings, input.applyCrop, true);
  const HeaderSize header = Decoder::uprightPixelSize(input.url);
  auto picture = co_await std::move(converting);
  if (auto end = judgeRender(picture.ok(), picture.stopped(), picture.errorText(), input, stop))
    co_return *end;
  plain_.analysisCache.insert_or_assign(analysisCacheKey(input.url, input.settings),
                                        picture.value().analysis);
  setPreview(std::move(picture.value().image));
  setAnalysis(std::move(picture.value().analysis));
  co_await publishPreview(input.id, input.url, input.settings, false, input.applyCrop, true,
                          header);
  co_return stop.stop_requested() ? PassEnd::stopped : PassEnd::published;
}

void AppModel::handOver(const PassInput& input) {
  plain_.fullJob.cancel();
  const int64_t generation = plain_.renderGen;
  plain_.fullJob = TaskHandle::start([this, input, generation](std::stop_token stop) {
    return fullQualityJob(previewRenderer(), input.url, input.settings, input.applyCrop, true,
                          generation, input.id, std::move(stop));
  });
}

QCoro::Task<> AppModel::fullQualityJob(Renderer& renderer, std::filesystem::path url,
                                       ConversionSettings settings, bool applyCrop, bool addBorder,
                                       int64_t generation, Uuid id, std::stop_token stop) {
  auto converting = measureAndConvert(renderer, url, settings, applyCrop, addBorder);
  const HeaderSize header = Decoder::uprightPixelSize(url);
  auto picture = co_await std::move(converting);
  // Failures are silent: the quick pass's image stays until the next request renders again.
  if (stop.stop_requested() || !picture.ok()) co_return;
  if (plain_.renderGen != generation) co_return;
  if (selection_ != id) co_return;
  plain_.analysisCache.insert_or_assign(analysisCacheKey(url, settings), picture.value().analysis);
  setPreview(std::move(picture.value().image));
  setAnalysis(std::move(picture.value().analysis));
  co_await publishPreview(id, url, settings, false, applyCrop, addBorder, header);
}

QCoro::Task<> AppModel::publishPreview(Uuid id, std::filesystem::path url,
                                       ConversionSettings settings, bool fast, bool applyCrop,
                                       bool addBorder, std::optional<HeaderSize> header) {
  setPreviewIsFast(fast);
  if (preview_) startHistogram(preview_);
  if (!fast && compareMode_ != CompareMode::off) renderBefore();
  plain_.previewImageID = id;
  setPreviewIsUncropped(!applyCrop);
  if (!plain_.isRotating) setLiveRotation(0);
  // The size as the picture stands: the file's own orientation first, then the record's turns.
  if (!header) header = Decoder::uprightPixelSize(url);
  if (const HeaderSize& size = *header) {
    auto [w, h] = *size;
    if (settings.rotationQuarterTurns % 2 != 0) std::swap(w, h);
    if (applyCrop) {
      const NormRect crop = analysis_ ? analysis_->crop : NormRect::full;
      w *= crop.w;
      h *= crop.h;
      if (addBorder && settings.border != BorderStyle::none) {
        const double percent =
            std::isnan(settings.borderSize) ? 0 : std::clamp(settings.borderSize, 0.0, 50.0);
        const double b = std::round(std::min(w, h) * percent / 100);
        w += 2 * b;
        h += 2 * b;
      }
    }
    setFullPixelSize({w, h});
  }
  if (fast) co_return;
  if (plain_.wantsDetail) startDetailRender();
  Renderer& renderer = previewMode() == PreviewMode::fast ? lightRenderer() : previewRenderer();
  auto proxy = co_await renderer.proxy(url, settings);
  if (proxy.ok()) {
    setProxySize(
        QSize(static_cast<int>(proxy.value().width()), static_cast<int>(proxy.value().height())));
  }
}

std::string AppModel::analysisCacheKey(const std::filesystem::path& url,
                                       const ConversionSettings& settings) const {
  std::string key = url.string();
  key += '|' + std::to_string(settings.rotationQuarterTurns);
  key += settings.mirrored ? "|true|" : "|false|";
  key += settings.analysisKey();
  key += previewMode() == PreviewMode::fast ? "|true" : "|false";
  return key;
}
