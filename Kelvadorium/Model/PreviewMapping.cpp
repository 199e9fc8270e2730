#include "Model/PreviewMapping.h"

#include <algorithm>
#include <cmath>

#include "Conversion/Geometry.h"
#include "Finishing/FilmFrames.h"

namespace PreviewMapping {

namespace {

bool hasRoom(double side) { return std::isfinite(side) && side > 0; }

// The render treats an angle that is not a number as no turn; so does the mapping.
double usedAngle(const Frame& frame) { return std::isfinite(frame.angle) ? frame.angle : 0; }

// Halves away from zero.
int64_t rounded(double value) { return static_cast<int64_t>(std::round(value)); }

}  // namespace

bool isUsable(const Frame& frame) {
  return frame.width > 0 && frame.height > 0 && hasRoom(frame.crop.w) && hasRoom(frame.crop.h) &&
         hasRoom(frame.photo.width()) && hasRoom(frame.photo.height());
}

std::optional<QPointF> imagePoint(const Frame& frame, QPointF preview) {
  if (!isUsable(frame)) return std::nullopt;
  const QRectF& r = frame.photo;
  const double u = (preview.x() - r.x()) / r.width();
  if (!(u >= 0 && u <= 1)) return std::nullopt;
  const double v = (preview.y() - r.y()) / r.height();
  if (!(v >= 0 && v <= 1)) return std::nullopt;
  const NormRect& c = frame.crop;
  const NormPoint p = unstraightenedPoint(frame.width, frame.height, c.x + u * c.w, c.y + v * c.h,
                                          usedAngle(frame));
  return QPointF(p.x, p.y);
}

std::optional<QPointF> previewPoint(const Frame& frame, QPointF image) {
  if (!isUsable(frame)) return std::nullopt;
  const NormPoint s =
      straightenedPoint(frame.width, frame.height, image.x(), image.y(), usedAngle(frame));
  const QRectF& r = frame.photo;
  const NormRect& c = frame.crop;
  return QPointF(r.x() + (s.x - c.x) / c.w * r.width(), r.y() + (s.y - c.y) / c.h * r.height());
}

double previewLength(const Frame& frame, double length) {
  if (!isUsable(frame)) return unmappedLength;
  const auto w = static_cast<double>(frame.width);
  const auto longEdge = static_cast<double>(std::max(frame.width, frame.height));
  return length * longEdge / (frame.crop.w * w) * frame.photo.width();
}

int64_t borderPixels(int64_t shortSide, double borderSize) {
  const double s = !(borderSize > 0) ? 0 : borderSize > 50 ? 0.5 : borderSize / 100;
  const auto m = static_cast<double>(shortSide);
  // The border is s times the short side of the picture inside it; from the bordered side that
  // is found by refining a first guess, each step in whole (even) pixels as the render made them.
  const int64_t t0 = 2 * rounded(m * s / (2 * s + 1));
  const int64_t t1 = 2 * rounded(s * (m - static_cast<double>(t0)));
  const int64_t t2 = 2 * rounded(s * (m - static_cast<double>(t1)));
  return rounded(s * (m - static_cast<double>(t2)));
}

QRectF photoRect(const Picture& picture) {
  const QRectF whole(0, 0, 1, 1);
  if (picture.width <= 0 || picture.height <= 0) return whole;
  const auto wp = static_cast<double>(picture.width);
  const auto hp = static_cast<double>(picture.height);
  switch (picture.border) {
    case BorderStyle::none:
      return whole;
    case BorderStyle::white:
    case BorderStyle::black: {
      const auto b = static_cast<double>(
          borderPixels(std::min(picture.width, picture.height), picture.borderSize));
      return QRectF(b / wp, b / hp, (wp - 2 * b) / wp, (hp - 2 * b) / hp);
    }
    case BorderStyle::film: {
      const std::optional<FilmFrame> frame = FilmFrames::frame(picture.borderFrame);
      if (!frame || !frame->isAvailable(picture.mode)) return whole;
      const NormRect window =
          frame->windowRect(frame->needsRotation(picture.width, picture.height));
      return QRectF(window.x, window.y, window.w, window.h);
    }
  }
  return whole;
}

}  // namespace PreviewMapping
