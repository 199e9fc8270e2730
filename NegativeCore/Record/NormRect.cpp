#include "Record/NormRect.h"

#include <algorithm>
#include <cmath>

#include "Record/JsonFields.h"
#include "Support/NumberText.h"

using namespace JsonFields;

namespace {

// Bounds that also catch NaN, which fails every comparison and then takes the bound.
double atLeast(double value, double low) { return value >= low ? value : low; }
double atMost(double value, double high) { return value <= high ? value : high; }

// round(v·n) half away from zero, limited in floating point to −1…n + 1 before the integer
// conversion; every value beyond those bounds gives the same pixel rect as the bound.
int64_t pixelEdge(double v, int64_t n) {
  const double edge =
      atMost(atLeast(std::round(v * static_cast<double>(n)), -1.0), static_cast<double>(n) + 1.0);
  return static_cast<int64_t>(edge);
}

}  // namespace

bool NormRect::isFull() const { return x <= 1e-6 && y <= 1e-6 && w >= 0.999999 && h >= 0.999999; }

NormRect NormRect::clamped(double minSize) const {
  const double cw = atMost(atLeast(w, minSize), 1.0);
  const double ch = atMost(atLeast(h, minSize), 1.0);
  return {atMost(atLeast(x, 0.0), 1.0 - cw), atMost(atLeast(y, 0.0), 1.0 - ch), cw, ch};
}

NormRect NormRect::inset(double f) const {
  return {x + f * w, y + f * h, (1 - 2 * f) * w, (1 - 2 * f) * h};
}

NormRect NormRect::rotated(int64_t quarterTurns) const {
  switch (quarterTurns & 3) {
    case 1:
      return {1 - y - h, x, h, w};
    case 2:
      return {1 - x - w, 1 - y - h, w, h};
    case 3:
      return {y, 1 - x - w, h, w};
    default:
      return *this;
  }
}

NormRect NormRect::mirroredHorizontally() const { return {1 - x - w, y, w, h}; }

NormRect NormRect::mirroredVertically() const { return {x, 1 - y - h, w, h}; }

PixelRect NormRect::pixelRect(int64_t width, int64_t height) const {
  const int64_t x0 = pixelEdge(x, width);
  const int64_t y0 = pixelEdge(y, height);
  const int64_t x1 = pixelEdge(x + w, width);
  const int64_t y1 = pixelEdge(y + h, height);
  const int64_t px = std::min(std::max<int64_t>(x0, 0), width - 1);
  const int64_t py = std::min(std::max<int64_t>(y0, 0), height - 1);
  return {px, py, std::max<int64_t>(1, std::min(x1, width) - px),
          std::max<int64_t>(1, std::min(y1, height) - py)};
}

NormRect NormRect::fitted(CropAspect aspect, int64_t width, int64_t height) const {
  const std::optional<double> r = ratio(aspect);
  if (!r) return *this;
  const double W = static_cast<double>(width);
  const double H = static_cast<double>(height);
  const double pw = w * W;
  const double ph = h * H;
  const double q = ph <= pw ? *r : 1 / *r;
  const bool tooWide = ph < pw / q;
  const double newWidth = tooWide ? ph * q : pw;
  const double newHeight = tooWide ? ph : pw / q;
  const double fw = atMost(atLeast(newWidth / W, 0.02), 1.0);
  const double fh = atMost(atLeast(newHeight / H, 0.02), 1.0);
  const double fx = ((x + w / 2) * W - newWidth / 2) / W;
  const double fy = ((y + h / 2) * H - newHeight / 2) / H;
  return {atMost(atLeast(fx, 0.0), 1.0 - fw), atMost(atLeast(fy, 0.0), 1.0 - fh), fw, fh};
}

std::string NormRect::description() const {
  return "x " + NumberText::fixed(x, 3) + " y " + NumberText::fixed(y, 3) + " w " +
         NumberText::fixed(w, 3) + " h " + NumberText::fixed(h, 3);
}

nlohmann::json toJson(const NormRect& rect) {
  return {{"x", number(rect.x, "x")},
          {"y", number(rect.y, "y")},
          {"w", number(rect.w, "w")},
          {"h", number(rect.h, "h")}};
}

NormRect normRectFromJson(const nlohmann::json& json) {
  requireObject(json);
  return {required(json, "x", asDouble), required(json, "y", asDouble),
          required(json, "w", asDouble), required(json, "h", asDouble)};
}
