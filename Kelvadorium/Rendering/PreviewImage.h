// A published picture: the 16-bit Display P3 image the library makes of a print, and its 8-bit
// copy in the screen's colour space (sRGB while no screen profile is known), which is what views
// draw, because Qt draws without colour management. Both are made on a renderer's worker, never
// on the GUI thread.
#pragma once

#include <QImage>
#include <cstdint>
#include <optional>

#include "Export/DisplayP3Image.h"
#include "Print/PrintImage.h"

struct PreviewImage {
  DisplayP3Image image;
  QImage screen;  // Format_RGB888, the same size

  // A thumbnail keeps only its screen copy; its size is then the screen copy's.
  int64_t width() const { return image.width > 0 ? image.width : screen.width(); }
  int64_t height() const { return image.height > 0 ? image.height : screen.height(); }

  // Both images of a finished print; nothing when either cannot be made.
  static std::optional<PreviewImage> make(const PrintImage& print);
};
