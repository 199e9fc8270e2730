// A rectangle in normalised image coordinates: x, y from the top left, w, h as fractions of
// the image's width and height, so it survives any decode scale. The operations return new
// rectangles and never fail; an undefined (NaN) coordinate takes the nearest allowed value.
#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <string>

#include "Record/CropAspect.h"

// A rectangle in whole pixels.
struct PixelRect {
  int64_t x = 0;
  int64_t y = 0;
  int64_t w = 0;
  int64_t h = 0;

  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct NormRect {
  double x = 0;
  double y = 0;
  double w = 1;
  double h = 1;

  // The whole frame, (0, 0, 1, 1).
  static const NormRect full;

  double maxX() const { return x + w; }
  double maxY() const { return y + h; }
  // Within 10⁻⁶ of the whole frame.
  bool isFull() const;

  // Limited to the unit square: sides minSize…1, then the origin moved inside.
  NormRect clamped(double minSize) const;
  // Loses f of its own size on every side.
  NormRect inset(double f) const;
  // Where the rect lands when the whole image turns clockwise by quarterTurns × 90°; the turn
  // count is taken modulo 4 (−1 acts as 3).
  NormRect rotated(int64_t quarterTurns) const;
  NormRect mirroredHorizontally() const;
  NormRect mirroredVertically() const;

  // Whole pixels of a width × height image, edges rounded half away from zero, the origin kept
  // inside the image and each side at least 1.
  PixelRect pixelRect(int64_t width, int64_t height) const;
  // The largest rect of the aspect inside this one, centred on it, for a width × height image.
  NormRect fitted(CropAspect aspect, int64_t width, int64_t height) const;

  // "x 0.100 y 0.200 w 0.500 h 0.500"
  std::string description() const;

  friend bool operator==(const NormRect&, const NormRect&) = default;
};

inline constexpr NormRect NormRect::full{0, 0, 1, 1};

// JSON: all four keys, each required.
nlohmann::json toJson(const NormRect& rect);
NormRect normRectFromJson(const nlohmann::json& json);
