// The 8-bit copy of a 16-bit Display P3 image for the screen. Qt 6.4 tells no screen profile, so
// the copy is sRGB: relative colorimetric, colours outside sRGB clipped. Rows run in parallel.
#pragma once

#include <QImage>

#include "Export/DisplayP3Image.h"

namespace ScreenCopy {

// Format_RGB888 of the same size; a null image when the memory cannot be had.
QImage make(const DisplayP3Image& image);

}  // namespace ScreenCopy
