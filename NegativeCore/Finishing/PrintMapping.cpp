#include "Finishing/PrintMapping.h"

#include <algorithm>

#include "Conversion/Geometry.h"

namespace PrintMapping {

Point toPrint(const Frame& frame, double x, double y) {
  const NormPoint s = straightenedPoint(frame.sourceWidth, frame.sourceHeight, x, y, frame.angle);
  return {(s.x - frame.crop.x) / frame.crop.w * static_cast<double>(frame.width),
          (s.y - frame.crop.y) / frame.crop.h * static_cast<double>(frame.height)};
}

double scale(const Frame& frame) {
  return static_cast<double>(frame.width) / (frame.crop.w * static_cast<double>(frame.sourceWidth));
}

double length(const Frame& frame, double fractionOfLongSide) {
  return fractionOfLongSide * static_cast<double>(std::max(frame.sourceWidth, frame.sourceHeight)) *
         scale(frame);
}

}  // namespace PrintMapping
