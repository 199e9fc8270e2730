// The mapping between the shown preview and the scan's own frame, over a snapshot of what it
// reads, so an overlay can map a whole list of marks with one snapshot. Preview coordinates span
// the displayed image (border or film-holder frame included) 0…1; image coordinates span the
// scan as decoded (turned and mirrored), before straightening and cropping. Lengths are shares of
// the scan's long edge in image terms and shares of the preview's width in preview terms.
#pragma once

#include <QPointF>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <string>

#include "Record/BorderStyle.h"
#include "Record/FilmMode.h"
#include "Record/NormRect.h"

namespace PreviewMapping {

// What a mapping reads, taken at one moment.
struct Frame {
  int64_t width = 0;  // the decoded scan the preview was rendered from, in pixels
  int64_t height = 0;
  double angle = 0;  // straighten angle in degrees; one that is not finite turns nothing
  NormRect crop;     // the crop in use, in the straightened frame
  QRectF photo{0, 0, 1, 1};  // where the picture itself lies in the preview
};

// A frame whose sizes, crop and photo rectangle all have room: only such a frame maps.
bool isUsable(const Frame& frame);

// The image point under a preview point; nothing outside the photo rectangle (its edges count as
// inside) or for a frame that is not usable.
std::optional<QPointF> imagePoint(const Frame& frame, QPointF preview);
// Where an image point shows in the preview, outside the photo rectangle when outside the crop;
// nothing for a frame that is not usable.
std::optional<QPointF> previewPoint(const Frame& frame, QPointF image);
// A length given as a share of the scan's long edge, in shares of the preview's width.
double previewLength(const Frame& frame, double length);
// The answer for a length while nothing can be mapped.
inline constexpr double unmappedLength = 0.01;

// The width in pixels of a plain border on each side of a bordered preview whose shorter side is
// `shortSide`, for a border of `borderSize` per cent of the picture's short side (above 50 counts
// as 50, at or below 0 and not a number as 0).
int64_t borderPixels(int64_t shortSide, double borderSize);

// What the photo rectangle depends on: the shown preview's size and the border of the record.
struct Picture {
  int64_t width = 0;
  int64_t height = 0;
  BorderStyle border = BorderStyle::none;
  double borderSize = 0;
  std::string borderFrame;
  FilmMode mode = FilmMode::colorNegative;
};

// The picture's rectangle inside the bordered preview: inside a plain border, or the film
// window of a film-holder frame usable for the mode (turned as the frame is turned for this
// preview); the whole preview otherwise.
QRectF photoRect(const Picture& picture);

}  // namespace PreviewMapping
