#include "Rendering/DustSearch.h"

#include <algorithm>
#include <exception>
#include <optional>

#include "Driver/Converter.h"
#include "Driver/DustPasses.h"
#include "MeasuringAids/FlatFieldDust.h"
#include "Rendering/DustAcrossFrames.h"

namespace DustSearch {

namespace {

int64_t longSide(const LinearImage& image) { return std::max(image.width(), image.height()); }

// The decode scale that brings a sample to the proxy's long side: never enlarging, a quarter
// when the sample's size cannot be read.
double sampleScale(const RenderCache::Backend& backend, const std::filesystem::path& url,
                   const LinearImage& proxy) {
  const auto size = backend.pixelSize(url);
  if (!size) return 0.25;
  const double scale = static_cast<double>(longSide(proxy)) / std::max(size->first, size->second);
  return scale < 1 ? scale : 1;
}

std::optional<LinearImage> decodedSample(const RenderCache::Backend& backend,
                                         const Sample& sample, double scale) {
  try {
    return backend.decode(sample.first, sample.second, scale);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::vector<Spot> scanFinds(const std::filesystem::path& url, const LinearImage& proxy,
                            const FilmAnalysis& analysis, const ConversionSettings& settings,
                            double sensitivity) {
  if (auto finds = Converter::detectDustWithModel(url, proxy, analysis, settings, sensitivity))
    return std::move(*finds);
  return Converter::detectDust(proxy, analysis, settings, sensitivity);
}

std::vector<Spot> blankFrameSpecks(const ConversionSettings& settings, const LinearImage& proxy) {
  if (!settings.flatField || settings.flatField->empty()) return {};
  return FlatField::findDust(std::filesystem::path(*settings.flatField),
                             settings.rotationQuarterTurns, settings.mirrored, longSide(proxy));
}

}  // namespace

std::vector<std::vector<Spot>> sampleFinds(const RenderCache::Backend& backend,
                                           const LinearImage& proxy,
                                           const ConversionSettings& settings,
                                           const std::vector<Sample>& samples, double sensitivity) {
  std::vector<std::vector<Spot>> finds;
  const double sampleSensitivity = std::min(sensitivity + 0.2, 1.0);
  const size_t count = std::min(samples.size(), maxSamples);
  for (size_t i = 0; i < count; ++i) {
    const Sample& sample = samples[i];
    // A speck at the same place means the same place on the sensor only in the same orientation.
    if (sample.second.rotationQuarterTurns != settings.rotationQuarterTurns ||
        sample.second.mirrored != settings.mirrored)
      continue;
    const std::optional<LinearImage> decoded =
        decodedSample(backend, sample, sampleScale(backend, sample.first, proxy));
    if (!decoded || decoded->width() != proxy.width() || decoded->height() != proxy.height())
      continue;
    const FilmAnalysis analysis = Converter::analyze(*decoded, sample.second);
    finds.push_back(Converter::detectDust(*decoded, analysis, sample.second, sampleSensitivity));
  }
  return finds;
}

std::vector<std::vector<Spot>> run(RenderCache& cache, const std::filesystem::path& url,
                                   const ConversionSettings& settings,
                                   const std::vector<Sample>& samples, double sensitivity) {
  const LinearImage proxy = cache.proxy(url, settings);
  const FilmAnalysis analysis = cache.analysis(url, settings);
  DustAcrossFrames::Finds finds;
  finds.scan = scanFinds(url, proxy, analysis, settings, sensitivity);
  finds.samples = sampleFinds(cache.backend(), proxy, settings, samples, sensitivity);
  finds.blankFrame = blankFrameSpecks(settings, proxy);
  finds.repairs = settings.spots;
  finds.view = {proxy.width(), proxy.height(), settings.skewDegrees, analysis.crop};
  return DustAcrossFrames::refine(
      std::move(finds), [&proxy](const Spot& spot, const std::vector<Spot>& keepClear) {
        return Healer::findSource(proxy.width(), proxy.height(), proxy.pixels(), spot, keepClear);
      });
}

}  // namespace DustSearch
