// Local adjustment layers: masks of shapes, each layer with its own adjustment values. Where a
// visible layer's shapes cover the print, its exposure, contrast and saturation, and its tone
// controls run on a copy of the print, are blended in by the mask's weight.
#pragma once

#include <cstdint>
#include <vector>

#include "Print/PrintImage.h"
#include "Record/DodgeBurnStroke.h"
#include "Record/FilmMode.h"
#include "Record/LocalLayer.h"
#include "Record/NormRect.h"

namespace LocalLayers {

// Renders the layers onto the print in list order, each on the result of the ones before.
// Hidden layers, layers without shapes and layers whose values are all zero are skipped.
// sourceWidth, sourceHeight, angle and crop place the shapes as dodge & burn does; mode is the
// edit's film mode (no saturation change on black-and-white negatives).
void apply(PrintImage& print, const std::vector<LocalLayer>& layers, int64_t sourceWidth,
           int64_t sourceHeight, FilmMode mode, double angle, const NormRect& crop);

}  // namespace LocalLayers
