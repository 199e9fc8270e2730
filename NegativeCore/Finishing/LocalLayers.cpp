#include "Finishing/LocalLayers.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace LocalLayers {

std::vector<LocalLayer> layersFromStrokes(const std::vector<DodgeBurnStroke>& strokes) {
  std::vector<LocalLayer> layers;
  for (const auto& stroke : strokes) {
    const double exposure = std::round(stroke.stops * 100.0) / 100.0;
    const auto same = std::find_if(layers.begin(), layers.end(), [&](const LocalLayer& layer) {
      return layer.adjust.exposure == exposure;
    });
    if (same != layers.end()) {
      same->shapes.push_back(stroke);
      continue;
    }
    LocalLayer layer;
    layer.name = "Layer " + std::to_string(layers.size() + 1);
    layer.shapes = {stroke};
    layer.adjust.exposure = exposure;
    layers.push_back(std::move(layer));
  }
  return layers;
}

}  // namespace LocalLayers
