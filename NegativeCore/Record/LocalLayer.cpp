#include "Record/LocalLayer.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Record/JsonFields.h"

using namespace JsonFields;

nlohmann::json toJson(const LocalLayer& layer) {
  Json shapes = Json::array();
  for (const auto& shape : layer.shapes) shapes.push_back(toJson(shape));
  return {{"id", layer.id.toString()},
          {"name", layer.name},
          {"shapes", std::move(shapes)},
          {"adjust", toJson(layer.adjust)},
          {"visible", layer.visible}};
}

LocalLayer localLayerFromJson(const nlohmann::json& json) {
  requireObject(json);
  LocalLayer layer;  // with a new random id
  take(json, "id", asUuid, layer.id);
  layer.name = tolerant(json, "name", asString).value_or("Layer");
  layer.shapes = readableElements(json, "shapes", dodgeBurnStrokeFromJson);
  if (const Json* adjust = find(json, "adjust"); adjust && adjust->is_object())
    layer.adjust = localAdjustmentFromJson(*adjust);
  take(json, "visible", asBool, layer.visible);
  return layer;
}

std::vector<LocalLayer> layersFromStrokes(const std::vector<DodgeBurnStroke>& strokes) {
  std::vector<LocalLayer> layers;
  for (const auto& stroke : strokes) {
    // Stops beyond about 1.8e306 overflow in hundredths: such a layer keeps the default exposure.
    const double hundredths = std::round(stroke.stops * 100.0) / 100.0;
    const double exposure = std::isfinite(hundredths) ? hundredths : LocalAdjustment{}.exposure;
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
