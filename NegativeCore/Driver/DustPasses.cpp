#include "Driver/DustPasses.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>

#include "Color/LuminanceWeights.h"
#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Conversion/Geometry.h"
#include "Driver/Converter.h"
#include "Dust/DustDetection.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustHairFinder.h"
#include "Dust/DustModel.h"
#include "Dust/Healer.h"
#include "Export/Exporter.h"

namespace Converter {

namespace {

constexpr int64_t classicMaxSpots = 1500;
constexpr int64_t modelLongSide = 4000;       // what the model is shown at most …
constexpr int64_t modelLongSideLimit = 4008;  // … once a render exceeds this

// The weighted maximum density of the film plus 0.08: peaks above it count as strong evidence.
float densityCeiling(const FilmAnalysis& analysis) {
  return LuminanceWeights::luminanceOf(float(analysis.dMax[0]), float(analysis.dMax[1]),
                                       float(analysis.dMax[2])) +
         0.08f;
}

// A clone source for every find, searched on the scan, kept clear of the other finds and of the
// record's repairs.
void addSources(std::vector<Spot>& finds, const LinearImage& scan,
                const ConversionSettings& settings) {
  std::vector<Spot> allSpots = finds;
  allSpots.insert(allSpots.end(), settings.spots.begin(), settings.spots.end());
  for (auto& spot : finds) {
    const auto source =
        Healer::findSource(scan.width(), scan.height(), scan.pixels(), spot, allSpots);
    spot.sx = source.sx;
    spot.sy = source.sy;
  }
}

// The record as the model should see the scan: no repair, mask, rotation, grain, vignette or
// glow.
ConversionSettings modelRenderSettings(const ConversionSettings& settings) {
  ConversionSettings render = settings;
  render.spots.clear();
  render.dodgeBurn.clear();
  render.layers.clear();
  render.redEyes.clear();
  render.skewDegrees = 0;
  render.grainAmount = 0;
  render.vignetteAmount = 0;
  render.glowAmount = 0;
  return render;
}

// With KV_DUMPLUMA set: the plane as raw floats in "<value>_<w>x<h>.f32"; failures are ignored.
void dumpLuminance(const std::vector<float>& luma, int64_t width, int64_t height) {
  const char* prefix = std::getenv("KV_DUMPLUMA");
  if (!prefix) return;
  const std::string name =
      std::string(prefix) + "_" + std::to_string(width) + "x" + std::to_string(height) + ".f32";
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(luma.data()),
            static_cast<std::streamsize>(luma.size() * sizeof(float)));
}

// The scan the model pass renders: the caller's when it is large enough, else a decode of the
// file at up to 4000 pixels (0.25 when its size cannot be read).
std::optional<LinearImage> imageToRender(const std::filesystem::path& url, const LinearImage& scan,
                                         const ConversionSettings& settings) {
  if (std::max(scan.width(), scan.height()) >= modelLongSide) return scan;
  double scale = 0.25;
  if (auto size = Decoder::pixelSize(url))
    scale = std::min(double(modelLongSide) / std::max(size->first, size->second), 1.0);
  try {
    return FlatField::decodeCorrected(url, settings, scale);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::vector<Spot> detectDust(const LinearImage& scan, const FilmAnalysis& analysis,
                             const ConversionSettings& settings, double sensitivity) {
  const int64_t width = scan.width(), height = scan.height();
  const float* pixels = scan.pixels();
  const int64_t longSide = std::max(width, height);
  const bool colour = settings.mode == FilmMode::colorNegative;
  const std::optional<float> ceiling = settings.mode == FilmMode::positive
                                           ? std::nullopt
                                           : std::optional<float>(densityCeiling(analysis));
  auto result = DustDetector::findSpots(width, height, pixels, classicMaxSpots, colour, ceiling,
                                        settings, 1, sensitivity, analysis.crop);
  if (DustDetector::tuning().hairFinder)
    DustDetector::mergeChains(
        result,
        DustDetector::findHairs(width, height, pixels, settings, analysis.crop, sensitivity),
        longSide);
  if (DustDetector::tuning().darkSpecks)
    DustDetector::mergeSpecks(
        result,
        DustDetector::findSpots(width, height, pixels, classicMaxSpots, colour, std::nullopt,
                                settings, -1, sensitivity, analysis.crop),
        longSide);
  addSources(result, scan, settings);
  return result;
}

std::optional<std::vector<Spot>> modelFinds(const LinearImage& image, const FilmAnalysis& analysis,
                                            const ConversionSettings& settings,
                                            double sensitivity) {
  PrintImage print = process(image, analysis, modelRenderSettings(settings), false, false);
  if (std::max(print.width, print.height) > modelLongSideLimit)
    print = Exporter::resize(std::move(print), modelLongSide);
  const int64_t width = print.width, height = print.height;
  const auto luma = DustModel::inputLuminance(width, height, print.rgb);
  dumpLuminance(luma, width, height);
  const auto prob = DustModel::predict(luma, width, height, 1024, 32);
  if (!prob) return std::nullopt;
  // Inside the measured crop shrunk by 0.6 % of its size on each side, once straightened.
  const NormRect& crop = analysis.crop;
  const double left = crop.x + 0.006 * crop.w, right = crop.x + crop.w - 0.006 * crop.w;
  const double top = crop.y + 0.006 * crop.h, bottom = crop.y + crop.h - 0.006 * crop.h;
  const double angle = settings.skewDegrees;
  auto inside = [&](double x, double y) {
    const NormPoint p = straightenedPoint(width, height, x, y, angle);
    return left < p.x && p.x < right && top < p.y && p.y < bottom;
  };
  return DustModel::spotsFromProbability(*prob, width, height, DustModel::maxSpots, inside,
                                         sensitivity);
}

std::optional<std::vector<Spot>> detectDustWithModel(const std::filesystem::path& url,
                                                     const LinearImage& scan,
                                                     const FilmAnalysis& analysis,
                                                     const ConversionSettings& settings,
                                                     double sensitivity) {
  if (!DustModel::loadModel()) return std::nullopt;
  const auto image = imageToRender(url, scan, settings);
  if (!image) return std::nullopt;
  auto finds = modelFinds(*image, analysis, settings, sensitivity);
  if (finds) addSources(*finds, scan, settings);
  return finds;
}

}  // namespace Converter
