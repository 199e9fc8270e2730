// Pictures for reference-matching tests: a colour negative of a soft, asymmetric colour scene
// (so that turned or mirrored copies tell apart), and reference pictures made from prints, whose
// values are display-encoded Display P3 as a reference is drawn.
#pragma once

#include <cstdint>

#include "Conversion/LinearImage.h"
#include "MeasuringAids/ReferencePicture.h"
#include "Print/PrintImage.h"

namespace ReferenceScenes {

// Linear transmissions of a colour negative (orange base, per-channel density slopes) of a scene
// of overlapping colour blobs on a gradient; the seed varies the blobs and the gradient.
LinearImage colourNegative(int64_t width, int64_t height, uint32_t seed = 1);

// The print as a 32-bit float RGB picture in Display P3 (the sRGB curve): drawn at its own size it
// gives the print's values back.
ReferencePicture pictureOf(const PrintImage& print);

}  // namespace ReferenceScenes
