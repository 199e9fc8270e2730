#include "Finishing/FilmFrames.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Finishing/FrameOverlayCache.h"
#include "Record/JsonFields.h"
#include "Resources/ResourceBundle.h"
#include "Support/ParallelFor.h"

namespace fs = std::filesystem;

namespace FilmFrames {

namespace {

constexpr std::string_view framesFolder = "Frames";

// The overlay's resource name: the file name with its extension dropped.
std::string overlayName(const FilmFrame& frame) {
  fs::path name(frame.file);
  name.replace_extension();
  return name.string();
}

std::optional<fs::path> overlayPath(const fs::path& bundle, const FilmFrame& frame) {
  return ResourceBundle::resource(bundle, overlayName(frame), "png", framesFolder);
}

bool sizeIsSane(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= maxOverlaySide && height <= maxOverlaySide;
}

// Reads only the PNG header.
bool pngHasSize(const fs::path& png, int64_t width, int64_t height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, png.c_str())) return false;
  const bool matches = int64_t(image.width) == width && int64_t(image.height) == height;
  png_image_free(&image);
  return matches;
}

bool frameIsUsable(const fs::path& bundle, const FilmFrame& frame) {
  if (!sizeIsSane(frame.w, frame.h) || !frame.hasUsableWindow()) return false;
  const auto png = overlayPath(bundle, frame);
  return png && pngHasSize(*png, frame.w, frame.h);
}

// 8-bit premultiplication with exact rounding of c·a/255, as an 8-bit premultiplied bitmap holds.
inline uint32_t premultiply(uint32_t colour, uint32_t alpha) {
  const uint32_t t = colour * alpha + 128;
  return (t + (t >> 8)) >> 8;
}

// Mirrors a coordinate outside 0…n − 1 back into the picture.
inline int64_t reflect(int64_t s, int64_t n) {
  if (s < 0) return std::min(n - 1, -s - 1);
  if (s >= n) return std::max<int64_t>(0, 2 * n - s - 1);
  return s;
}

int64_t roundedSize(double value) { return int64_t(std::round(std::clamp(value, 0.0, 1e9))); }

struct Placement {
  bool turned = false;
  int64_t effectiveWidth = 0, effectiveHeight = 0;
  int64_t width = 0, height = 0;  // output
  int64_t ox = 0, oy = 0;         // picture origin in the output
  int64_t bleed = 0;
};

Placement place(const FilmFrame& frame, int64_t a, int64_t b) {
  Placement p;
  const bool windowLandscape = frame.window[3] < frame.window[2];
  p.turned = !frame.isWindowNearlySquare() && windowLandscape != (b < a);
  p.effectiveWidth = p.turned ? frame.h : frame.w;
  p.effectiveHeight = p.turned ? frame.w : frame.h;
  const NormRect r = frame.windowRect(p.turned);
  p.width = std::max(a + 2, roundedSize(double(a) / r.w));
  p.height = std::max(b + 2, roundedSize(double(b) / r.h));
  p.ox = std::min(p.width - a, roundedSize(r.x * double(p.width)));
  p.oy = std::min(p.height - b, roundedSize(r.y * double(p.height)));
  p.bleed = std::max<int64_t>(2, int64_t(0.025 * double(std::max(a, b))));
  return p;
}

// The picture and its mirrored bleed, copied into the black output.
void copyPicture(const PrintImage& picture, const Placement& p, PrintImage& out) {
  const int64_t a = picture.width, b = picture.height;
  const int64_t x0 = std::max<int64_t>(0, p.ox - p.bleed);
  const int64_t x1 = std::min(p.ox + a + p.bleed, out.width);
  const int64_t y0 = std::max<int64_t>(0, p.oy - p.bleed);
  const int64_t y1 = std::min(p.oy + b + p.bleed, out.height);
  for (int64_t y = y0; y < y1; ++y) {
    const float* source = picture.row(reflect(y - p.oy, b));
    float* target = out.row(y);
    auto mirror = [&](int64_t from, int64_t to) {
      for (int64_t x = from; x < to; ++x) {
        const float* pixel = source + reflect(x - p.ox, a) * 3;
        std::copy(pixel, pixel + 3, target + x * 3);
      }
    };
    mirror(x0, p.ox);
    std::copy(source, source + a * 3, target + p.ox * 3);
    mirror(p.ox + a, x1);
  }
}

struct Sample {
  int64_t i0, i1;
  float f;
};

// Bilinear neighbours of a coordinate: the cell clamped into 0…n − 1, the next one clamped to
// the last, the fraction clamped to 0…1.
inline Sample neighbours(float s, int64_t n) {
  const int64_t i0 = std::clamp<int64_t>(int64_t(std::floor(s)), 0, n - 1);
  const int64_t i1 = std::min(i0 + 1, n - 1);
  return {i0, i1, std::clamp(s - float(i0), 0.0f, 1.0f)};
}

// Lays the overlay, sampled bilinearly at one point, over an output pixel.
inline void laySampleOver(const Box& overlay, const Sample& column, const Sample& row,
                          float* pixel) {
  const int64_t w = overlay.width;
  const size_t p00 = size_t(row.i0 * w + column.i0), p01 = size_t(row.i0 * w + column.i1);
  const size_t p10 = size_t(row.i1 * w + column.i0), p11 = size_t(row.i1 * w + column.i1);
  const float* a = overlay.alpha.data();
  if (a[p00] == 0.0f && a[p01] == 0.0f && a[p10] == 0.0f && a[p11] == 0.0f) return;
  auto lerp2 = [&](float v00, float v01, float v10, float v11) {
    const float top = v00 + column.f * (v01 - v00);
    const float bottom = v10 + column.f * (v11 - v10);
    return top + row.f * (bottom - top);
  };
  const float alpha = lerp2(a[p00], a[p01], a[p10], a[p11]);
  if (alpha <= 0.001f) return;
  const float* c = overlay.rgb.data();
  for (size_t k = 0; k < 3; ++k) {
    const float colour = lerp2(c[p00 * 3 + k], c[p01 * 3 + k], c[p10 * 3 + k], c[p11 * 3 + k]);
    pixel[k] = pixel[k] * (1.0f - alpha) + colour;
  }
}

// The overlay scaled to the output: each output pixel centre maps to (u, v) in the effective
// (possibly turned) overlay; turned, the overlay is read at column v, row (h − 1) − u. The
// neighbours depend on x or on y alone, so they are worked out once per column and per row.
void layOverlay(const Box& overlay, const Placement& p, PrintImage& out) {
  const float scaleX = float(p.effectiveWidth) / float(out.width);
  const float scaleY = float(p.effectiveHeight) / float(out.height);
  std::vector<Sample> byColumn(size_t(out.width)), byRow(size_t(out.height));
  for (int64_t x = 0; x < out.width; ++x) {
    const float u = (float(x) + 0.5f) * scaleX - 0.5f;
    byColumn[size_t(x)] = p.turned ? neighbours(float(overlay.height - 1) - u, overlay.height)
                                   : neighbours(u, overlay.width);
  }
  for (int64_t y = 0; y < out.height; ++y) {
    const float v = (float(y) + 0.5f) * scaleY - 0.5f;
    byRow[size_t(y)] = neighbours(v, p.turned ? overlay.width : overlay.height);
  }
  parallelFor(out.height, [&](int64_t y) {
    float* target = out.row(y);
    const Sample& fromY = byRow[size_t(y)];
    for (int64_t x = 0; x < out.width; ++x) {
      const Sample& fromX = byColumn[size_t(x)];
      if (p.turned)
        laySampleOver(overlay, fromY, fromX, target + x * 3);
      else
        laySampleOver(overlay, fromX, fromY, target + x * 3);
    }
  });
}

std::optional<std::string> readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

}  // namespace

const std::vector<FilmFrame>& all() {
  static const std::vector<FilmFrame> frames = [] {
    const auto& bundle = ResourceBundle::resourceBundle();
    return bundle ? loadList(*bundle) : std::vector<FilmFrame>{};
  }();
  return frames;
}

std::optional<FilmFrame> frame(std::string_view id) {
  for (const auto& candidate : all())
    if (candidate.id == id) return candidate;
  return std::nullopt;
}

std::shared_ptr<const Box> image(const FilmFrame& frame) {
  auto& cache = FrameOverlayCache::shared();
  if (auto cached = cache.find(frame.id)) return cached;
  const auto& bundle = ResourceBundle::resourceBundle();
  if (!bundle) return nullptr;
  const auto png = overlayPath(*bundle, frame);
  if (!png) return nullptr;
  auto box = decodeOverlay(*png, frame.w, frame.h);
  if (box) cache.store(frame.id, box);
  return box;
}

PrintImage composite(PrintImage picture, std::string_view frameId) {
  const auto found = frame(frameId);
  if (!found) return picture;
  const auto overlay = image(*found);
  if (!overlay) return picture;
  return composite(picture, *found, *overlay);
}

PrintImage composite(const PrintImage& picture, const FilmFrame& frame, const Box& overlay) {
  const bool overlayFits = overlay.width == frame.w && overlay.height == frame.h &&
                           overlay.rgb.size() == size_t(frame.w * frame.h * 3) &&
                           overlay.alpha.size() == size_t(frame.w * frame.h);
  if (picture.width < 1 || picture.height < 1 || !frame.hasUsableWindow() || !overlayFits)
    return picture;
  const Placement placement = place(frame, picture.width, picture.height);
  PrintImage out(placement.width, placement.height);
  copyPicture(picture, placement, out);
  layOverlay(overlay, placement, out);
  return out;
}

std::vector<FilmFrame> decodeList(std::string_view jsonText) {
  const auto json = nlohmann::json::parse(jsonText, nullptr, false);
  return JsonFields::listOf(filmFrameFromJson)(json).value_or(std::vector<FilmFrame>{});
}

std::vector<FilmFrame> loadList(const fs::path& bundle) {
  const auto listPath = ResourceBundle::resource(bundle, "frames", "json", framesFolder);
  if (!listPath) return {};
  const auto text = readWhole(*listPath);
  if (!text) return {};
  std::vector<FilmFrame> frames = decodeList(*text);
  std::erase_if(frames, [&](const FilmFrame& frame) { return !frameIsUsable(bundle, frame); });
  return frames;
}

std::shared_ptr<const Box> decodeOverlay(const fs::path& png, int64_t expectedWidth,
                                         int64_t expectedHeight) {
  if (!sizeIsSane(expectedWidth, expectedHeight)) return nullptr;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, png.c_str())) return nullptr;
  if (int64_t(image.width) != expectedWidth || int64_t(image.height) != expectedHeight) {
    png_image_free(&image);
    return nullptr;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<png_byte> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  auto box = std::make_shared<Box>();
  box->width = expectedWidth;
  box->height = expectedHeight;
  box->rgb.resize(size_t(expectedWidth * expectedHeight * 3));
  box->alpha.resize(size_t(expectedWidth * expectedHeight));
  parallelForRows(expectedHeight, [&](int64_t begin, int64_t end) {
    for (int64_t i = begin * expectedWidth; i < end * expectedWidth; ++i) {
      const png_byte* pixel = bytes.data() + i * 4;
      const uint32_t alpha = pixel[3];
      for (int k = 0; k < 3; ++k)
        box->rgb[size_t(i * 3 + k)] = float(premultiply(pixel[k], alpha)) / 255.0f;
      box->alpha[size_t(i)] = float(alpha) / 255.0f;
    }
  });
  return box;
}

}  // namespace FilmFrames
