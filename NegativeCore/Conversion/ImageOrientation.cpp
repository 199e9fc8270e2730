#include "Conversion/ImageOrientation.h"

#include <algorithm>

#include "Support/ParallelFor.h"

ImageOrientation ImageOrientation::fromExifTag(int tag) {
  switch (tag) {
    case 2:
      return {false, true, false};
    case 3:
      return {false, true, true};
    case 4:
      return {false, false, true};
    case 5:
      return {true, false, false};
    case 6:
      return {true, true, false};
    case 7:
      return {true, true, true};
    case 8:
      return {true, false, true};
    default:
      return {};
  }
}

ImageOrientation ImageOrientation::fromLibRawFlip(int flip) {
  const bool reverseRows = (flip & 2) != 0;
  const bool reverseColumns = (flip & 1) != 0;
  if (flip & 4) return {true, reverseRows, reverseColumns};
  return {false, reverseColumns, reverseRows};
}

ImageOrientation ImageOrientation::mirroredLeftRight() const { return {transposed, !flipX, flipY}; }

ImageOrientation ImageOrientation::turnedClockwise(int64_t quarterTurns) const {
  ImageOrientation result = *this;
  for (int64_t turn = 0; turn < (quarterTurns & 3); ++turn)
    result = {!result.transposed, !result.flipY, result.flipX};
  return result;
}

std::pair<int64_t, int64_t> ImageOrientation::outputSize(int64_t width, int64_t height) const {
  return transposed ? std::pair{height, width} : std::pair{width, height};
}

ImageOrientation::Walk ImageOrientation::walk(int64_t sourceWidth, int64_t sourceHeight) const {
  const auto [outWidth, outHeight] = outputSize(sourceWidth, sourceHeight);
  // Output x runs along source columns, or along source rows when the axes are exchanged.
  const int64_t alongX = transposed ? sourceWidth : 1;
  const int64_t alongY = transposed ? 1 : sourceWidth;
  Walk result{0, flipX ? -alongX : alongX, flipY ? -alongY : alongY};
  if (flipX) result.origin += (outWidth - 1) * alongX;
  if (flipY) result.origin += (outHeight - 1) * alongY;
  return result;
}

LinearImage oriented(const LinearImage& image, const ImageOrientation& orientation) {
  if (orientation.isIdentity()) return image;
  const auto [width, height] = orientation.outputSize(image.width(), image.height());
  const auto walk = orientation.walk(image.width(), image.height());
  LinearImage result(width, height);
  const float* source = image.pixels();
  float* target = result.mutablePixels();
  parallelForRows(height, [&](int64_t begin, int64_t end) {
    for (int64_t y = begin; y < end; ++y) {
      float* out = target + y * width * 4;
      int64_t index = walk.origin + y * walk.stepY;
      for (int64_t x = 0; x < width; ++x, index += walk.stepX)
        std::copy_n(source + index * 4, 4, out + x * 4);
    }
  });
  return result;
}
