// The eight ways an image can lie: turned by quarter turns and possibly mirrored. A file's
// orientation tag, LibRaw's flip, the edit's mirroring and its quarter turns compose into one
// value, so the pixels are moved once.
#pragma once

#include <cstdint>
#include <utility>

#include "Conversion/LinearImage.h"

struct ImageOrientation {
  // Output pixel (x, y) takes the source pixel found by undoing, in order: the flips (in output
  // coordinates), then the exchange of the axes.
  bool transposed = false;
  bool flipX = false;
  bool flipY = false;

  // The TIFF/EXIF orientation tag (1 to 8) as the move that turns the stored image upright;
  // other values are treated as 1.
  static ImageOrientation fromExifTag(int tag);
  // LibRaw's flip bits (4: axes exchanged, 2: rows reversed, 1: columns reversed, in the
  // stored image's terms).
  static ImageOrientation fromLibRawFlip(int flip);

  // This move followed by a left-right mirror.
  ImageOrientation mirroredLeftRight() const;
  // This move followed by quarterTurns clockwise quarter turns, taken modulo 4 (−1 acts as 3).
  ImageOrientation turnedClockwise(int64_t quarterTurns) const;

  // This move followed by the edit's: a left-right mirror when mirrored, then the quarter turns.
  ImageOrientation followedBy(bool mirrored, int64_t quarterTurns) const {
    return (mirrored ? mirroredLeftRight() : *this).turnedClockwise(quarterTurns);
  }

  bool isIdentity() const { return !transposed && !flipX && !flipY; }
  // Output size for a source of the given size.
  std::pair<int64_t, int64_t> outputSize(int64_t width, int64_t height) const;

  // Source pixel index of output pixel (x, y) is origin + x·stepX + y·stepY, for a source of
  // the given size stored row by row.
  struct Walk {
    int64_t origin;
    int64_t stepX;
    int64_t stepY;
  };
  Walk walk(int64_t sourceWidth, int64_t sourceHeight) const;

  friend bool operator==(const ImageOrientation&, const ImageOrientation&) = default;
};

// The image moved by the orientation; the identity returns the image itself, sharing its pixels.
LinearImage oriented(const LinearImage& image, const ImageOrientation& orientation);
