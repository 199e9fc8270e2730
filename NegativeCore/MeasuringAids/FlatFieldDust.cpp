#include "MeasuringAids/FlatFieldDust.h"

#include <algorithm>

#include "Conversion/Decoder.h"
#include "Conversion/FlatField.h"
#include "Dust/DustDetection.h"
#include "Dust/DustDetectorTuning.h"
#include "Dust/DustHairFinder.h"

namespace FlatField {

std::vector<Spot> findDust(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored,
                           int64_t targetLongSide) {
  constexpr int64_t maxSpots = 1500;
  constexpr double sensitivity = 0.8;
  double scale = 0.25;
  if (auto size = Decoder::pixelSize(url))
    scale = std::min(double(targetLongSide) / std::max(size->first, size->second), 1.0);
  std::optional<LinearImage> blank;
  try {
    blank = Decoder::decode(url, quarterTurns, mirrored, scale);
  } catch (const std::exception&) {
    return {};
  }
  const int64_t width = blank->width(), height = blank->height();
  const float* pixels = blank->pixels();
  const int64_t longSide = std::max(width, height);
  auto result = DustDetector::findSpotsWholeFrame(width, height, pixels, maxSpots, false,
                                                  std::nullopt, 1, sensitivity);
  if (DustDetector::tuning().hairFinder)
    DustDetector::mergeChains(
        result, DustDetector::findHairsWholeFrame(width, height, pixels, sensitivity), longSide);
  if (DustDetector::tuning().darkSpecks)
    DustDetector::mergeSpecks(
        result,
        DustDetector::findSpotsWholeFrame(width, height, pixels, maxSpots, false, std::nullopt, -1,
                                          sensitivity),
        longSide);
  return result;
}

}  // namespace FlatField
