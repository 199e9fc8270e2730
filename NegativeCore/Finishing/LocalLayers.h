// Local adjustment layers: masks of shapes, each layer with its own adjustment values.
#pragma once

#include <vector>

#include "Record/DodgeBurnStroke.h"
#include "Record/LocalLayer.h"

namespace LocalLayers {

// Groups dodge & burn strokes from before layers into layers, one per exposure: each stroke
// joins the first layer whose exposure equals its stops rounded to hundredths, or starts a new
// layer "Layer <n>" with that exposure. Layers keep the order of their first stroke; strokes
// stay unchanged.
std::vector<LocalLayer> layersFromStrokes(const std::vector<DodgeBurnStroke>& strokes);

}  // namespace LocalLayers
