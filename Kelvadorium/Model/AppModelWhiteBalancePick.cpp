// A click on something that should be grey sets the white balance. Each click samples on its own
// task, never cancelled: the only guard against a late answer is that the scan is still selected.
#include "MeasuringAids/WhiteBalancePick.h"
#include "Model/AppModel.h"

namespace {

// The sample square's half size, in pixels of the preview renderer's proxy.
constexpr int64_t sampleHalfSize = 4;

QString noPickNotice(FilmMode mode) {
  if (mode == FilmMode::bwNegative)
    return QStringLiteral("White balance picking is for colour film and slides.");
  return QStringLiteral(
      "That spot is too bright or too dark to judge colour. Click a mid-tone that should be grey "
      "(a grey wall, concrete, a white shirt in the shade).");
}

}  // namespace

void AppModel::pickWhiteBalance(double x, double y) {
  const std::optional<size_t> index = selectedIndex();
  if (!index) return;
  const ImageItem& item = items_[*index];
  // A click on the border, outside the picture or before the first analysis keeps the mode on.
  const std::optional<QPointF> point = imagePoint(x, y);
  if (!point) return;
  // The record as stored: a look under the pointer is not what the user balances.
  TaskHandle::start([this, id = item.id, url = item.url, settings = item.settings,
                     point = *point](std::stop_token) {
    return whiteBalancePickJob(id, url, settings, point);
  });
}

QCoro::Task<> AppModel::whiteBalancePickJob(Uuid id, std::filesystem::path url,
                                            ConversionSettings settings, QPointF point) {
  // One turn of the renderer: its proxy and analysis of the record, then the sample.
  auto sampling = previewRenderer().perform(
      [url, settings, x = point.x(), y = point.y()](RenderCache& cache) {
        const LinearImage proxy = cache.proxy(url, settings);
        const FilmAnalysis analysis = cache.analysis(url, settings);
        return ::pickWhiteBalance(proxy, analysis, settings, x, y, sampleHalfSize);
      });
  auto sampled = co_await std::move(sampling);
  // Only a renderer going away with its model answers "stopped".
  if (sampled.stopped()) co_return;
  if (selection_ != id) co_return;
  setWbPickMode(false);
  // A scan that cannot be decoded or measured gives no pick, like a spot that cannot be judged.
  const std::optional<PickedWhiteBalance> picked =
      sampled.ok() ? sampled.value() : std::optional<PickedWhiteBalance>{};
  if (picked) {
    applyPickedWhiteBalance(picked->temperature, picked->tint);
  } else {
    setNotice(noPickNotice(settings.mode));
  }
}
