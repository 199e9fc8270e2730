// The histogram of the preview on screen: red, green and blue bin heights normalised to 0…1, the
// shares of clipped shadows and highlights, and a picture of the measured size that marks the
// clipped pixels (transparent elsewhere).
#pragma once

#include <QImage>
#include <array>

struct Histogram {
  std::array<float, 256> r{};
  std::array<float, 256> g{};
  std::array<float, 256> b{};
  double clipShadows = 0;
  double clipHighlights = 0;
  // Format_RGBA8888, straight alpha: highlights (255, 0, 0, 200), shadows (0, 90, 255, 200).
  // Null when it could not be made.
  QImage clipMask;
};
