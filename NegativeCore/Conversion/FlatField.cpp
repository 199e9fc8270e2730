#include "Conversion/FlatField.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "Conversion/Decoder.h"
#include "Conversion/PolynomialSurface.h"
#include "Support/Median.h"
#include "Support/NumberText.h"
#include "Support/ParallelFor.h"

namespace FlatField {

FlatError::FlatError(Kind kind, const char* text) : std::runtime_error(text), kind_(kind) {}

FlatError FlatError::unreadable() {
  return {Kind::unreadable, "The blank frame could not be read."};
}

FlatError FlatError::tooDark() {
  return {Kind::tooDark,
          "The blank frame is too dark to use: shoot the light source with nothing (or clear "
          "film base) in the holder."};
}

namespace {

constexpr int64_t mapWidth = 96;
constexpr int64_t minimumMapHeight = 8;
constexpr int64_t smallestSide = 17;
constexpr double darkestCentre = 1e-4;
constexpr double smallestSurfaceValue = 1e-6;
constexpr double lowestGain = 0.5;
constexpr double highestGain = 4;

// ---- Fitting ---------------------------------------------------------------------------------

// The cells the blank frame is sampled in: 8 pixels on a side under 320, else a 40th of the
// side. Pixels beyond the last whole cell are not used.
struct CellGrid {
  int64_t cellWidth;
  int64_t cellHeight;
  int64_t columns;
  int64_t rows;
};

CellGrid cellGrid(int64_t width, int64_t height) {
  const auto cellSide = [](int64_t side) { return side < 320 ? int64_t{8} : side / 40; };
  const int64_t cw = cellSide(width), ch = cellSide(height);
  return {cw, ch, width / cw, height / ch};
}

int64_t mapHeight(int64_t blankWidth, int64_t blankHeight) {
  const double rows = std::round(static_cast<double>(mapWidth) * static_cast<double>(blankHeight) /
                                 static_cast<double>(blankWidth));
  return std::max(minimumMapHeight, static_cast<int64_t>(rows));
}

// The median of every cell's values in channel c (the element at count/2 of the sorted values),
// placed at the cell's centre in coordinates where the frame spans −1…1 on both axes.
std::vector<PolynomialSurface::Sample> cellMedians(const LinearImage& blank, const CellGrid& grid,
                                                   int channel) {
  const double width = static_cast<double>(blank.width());
  const double height = static_cast<double>(blank.height());
  std::vector<PolynomialSurface::Sample> samples;
  samples.reserve(static_cast<size_t>(grid.columns * grid.rows));
  std::vector<float> values(static_cast<size_t>(grid.cellWidth * grid.cellHeight));
  for (int64_t r = 0; r < grid.rows; ++r) {
    for (int64_t k = 0; k < grid.columns; ++k) {
      auto out = values.begin();
      for (int64_t y = r * grid.cellHeight; y < (r + 1) * grid.cellHeight; ++y) {
        const float* row = blank.row(y);
        for (int64_t x = k * grid.cellWidth; x < (k + 1) * grid.cellWidth; ++x)
          *out++ = row[4 * x + channel];
      }
      const float median = Median::ofValues<float>(values);
      const double cw = static_cast<double>(grid.cellWidth);
      const double ch = static_cast<double>(grid.cellHeight);
      samples.push_back({(cw / 2 + static_cast<double>(k) * cw) / width * 2 - 1,
                         (ch / 2 + static_cast<double>(r) * ch) / height * 2 - 1, median});
    }
  }
  return samples;
}

// Channel c of every map cell: the surface's centre value over its value at the cell's centre.
void storeGains(GainMap& map, const PolynomialSurface& surface, double centre, int channel) {
  for (int64_t r = 0; r < map.height; ++r) {
    const double y = (static_cast<double>(r) + 0.5) / static_cast<double>(map.height) * 2 - 1;
    for (int64_t k = 0; k < map.width; ++k) {
      const double x = (static_cast<double>(k) + 0.5) / static_cast<double>(map.width) * 2 - 1;
      const double value = surface(x, y);
      const double gain = centre / (value > smallestSurfaceValue ? value : smallestSurfaceValue);
      map.gain[static_cast<size_t>((r * map.width + k) * 3 + channel)] =
          static_cast<float>(std::clamp(gain, lowestGain, highestGain));
    }
  }
}

float cornerLevel(const PolynomialSurface& surface, double centre) {
  const double lowest = std::min({surface(-1, -1), surface(1, -1), surface(-1, 1), surface(1, 1)});
  return static_cast<float>(lowest / centre);
}

// ---- The cache -------------------------------------------------------------------------------

constexpr size_t cacheCapacity = 16;
constexpr int64_t longestBlankSide = 384;
constexpr double scaleWithoutSize = 0.25;

struct Cache {
  std::mutex lock;
  std::unordered_map<std::string, std::shared_ptr<const GainMap>> maps;
};

Cache& cache() {
  static Cache shared;
  return shared;
}

// Seconds since 1970 of the file's last modification; 0 when the file system cannot tell.
double modificationSeconds(const std::filesystem::path& url) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(url, error);
  if (error) return 0;
  const auto system = std::chrono::file_clock::to_sys(time);
  return std::chrono::duration<double>(system.time_since_epoch()).count();
}

std::string cacheKey(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored) {
  return url.string() + "|" + NumberText::shortest(modificationSeconds(url)) + "|" +
         std::to_string(quarterTurns & 3) + "|" + (mirrored ? "true" : "false");
}

std::shared_ptr<const GainMap> lookUp(const std::string& key) {
  Cache& shared = cache();
  std::lock_guard guard(shared.lock);
  const auto found = shared.maps.find(key);
  return found == shared.maps.end() ? nullptr : found->second;
}

void store(const std::string& key, std::shared_ptr<const GainMap> map) {
  Cache& shared = cache();
  std::lock_guard guard(shared.lock);
  shared.maps.insert_or_assign(key, map);
  if (shared.maps.size() > cacheCapacity) {
    shared.maps.clear();
    shared.maps.emplace(key, std::move(map));
  }
}

// The blank frame decoded at most 384 pixels on its long side; any failure is `unreadable`.
LinearImage decodeBlank(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored) {
  const auto size = Decoder::pixelSize(url);
  const double scale =
      size ? std::min(static_cast<double>(longestBlankSide) / std::max(size->first, size->second),
                      1.0)
           : scaleWithoutSize;
  try {
    return Decoder::decode(url, quarterTurns, mirrored, scale);
  } catch (const std::exception&) {
    throw FlatError::unreadable();
  }
}

std::shared_ptr<const GainMap> sharedGainMap(const std::filesystem::path& url, int64_t quarterTurns,
                                             bool mirrored) {
  const std::string key = cacheKey(url, quarterTurns, mirrored);
  if (auto cached = lookUp(key)) return cached;
  auto measured =
      std::make_shared<const GainMap>(fitGainMap(decodeBlank(url, quarterTurns, mirrored)));
  store(key, measured);
  return measured;
}

// ---- Applying --------------------------------------------------------------------------------

// Where one image column or row falls between two map cells.
struct Between {
  int64_t first;
  int64_t second;
  float fraction;
};

Between between(int64_t position, float step, int64_t cells) {
  const float g = std::clamp(step * (static_cast<float>(position) + 0.5f) - 0.5f, 0.0f,
                             static_cast<float>(cells - 1));
  const int64_t first = static_cast<int64_t>(std::floor(g));
  return {first, std::min(first + 1, cells - 1), g - static_cast<float>(first)};
}

bool aspectAgrees(const GainMap& map, const LinearImage& image) {
  constexpr double tolerance = 0.03;
  const double mapAspect = static_cast<double>(map.width) / static_cast<double>(map.height);
  const double aspect = static_cast<double>(image.width()) / static_cast<double>(image.height());
  return std::abs(aspect - mapAspect) / mapAspect < tolerance;
}

bool isWellFormed(const GainMap& map) {
  return map.width >= 1 && map.height >= 1 &&
         map.gain.size() == static_cast<size_t>(map.width * map.height * 3);
}

}  // namespace

GainMap fitGainMap(const LinearImage& blank) {
  const int64_t width = blank.width(), height = blank.height();
  if (width < smallestSide || height < smallestSide) throw FlatError::unreadable();
  const CellGrid grid = cellGrid(width, height);
  const int64_t rows = mapHeight(width, height);
  GainMap map{mapWidth, rows, std::vector<float>(static_cast<size_t>(mapWidth * rows * 3), 1.0f),
              1.0f};
  for (int channel = 0; channel < 3; ++channel) {
    const auto surface = PolynomialSurface::fit(cellMedians(blank, grid, channel));
    if (!surface) throw FlatError::unreadable();
    const double centre = surface->coefficients[0];
    if (!(centre > darkestCentre)) throw FlatError::tooDark();
    storeGains(map, *surface, centre, channel);
    if (channel == 1) map.cornerLevel = cornerLevel(*surface, centre);
  }
  return map;
}

GainMap gainMap(const std::filesystem::path& url, int64_t quarterTurns, bool mirrored) {
  return *sharedGainMap(url, quarterTurns, mirrored);
}

bool applyGain(const GainMap& map, LinearImage& image) {
  if (!isWellFormed(map) || !aspectAgrees(map, image)) return false;
  const int64_t width = image.width(), height = image.height();
  const float sx = static_cast<float>(map.width) / static_cast<float>(width);
  const float sy = static_cast<float>(map.height) / static_cast<float>(height);
  std::vector<Between> columns(static_cast<size_t>(width));
  for (int64_t x = 0; x < width; ++x) columns[static_cast<size_t>(x)] = between(x, sx, map.width);
  float* pixels = image.mutablePixels();  // unshared once, before the rows run in parallel
  const float* gains = map.gain.data();
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      const Between row = between(y, sy, map.height);
      const float* top = gains + row.first * map.width * 3;
      const float* bottom = gains + row.second * map.width * 3;
      float* pixel = pixels + y * width * 4;
      for (const Between& column : columns) {
        const int64_t a = column.first * 3, b = column.second * 3;
        for (int c = 0; c < 3; ++c) {
          const float upper = top[a + c] + (top[b + c] - top[a + c]) * column.fraction;
          const float lower = bottom[a + c] + (bottom[b + c] - bottom[a + c]) * column.fraction;
          pixel[c] *= upper + (lower - upper) * row.fraction;
        }
        pixel += 4;
      }
    }
  });
  return true;
}

LinearImage decodeCorrected(const std::filesystem::path& url, const ConversionSettings& settings,
                            double scale) {
  LinearImage image = Decoder::decode(url, settings.rotationQuarterTurns, settings.mirrored, scale);
  if (!settings.flatField || settings.flatField->empty()) return image;
  std::shared_ptr<const GainMap> map;
  try {
    map = sharedGainMap(*settings.flatField, settings.rotationQuarterTurns, settings.mirrored);
  } catch (const std::exception&) {
    return image;  // an unusable blank frame leaves the scan as it is
  }
  applyGain(*map, image);
  return image;
}

}  // namespace FlatField
