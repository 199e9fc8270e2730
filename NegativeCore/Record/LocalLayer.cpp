#include "Record/LocalLayer.h"

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
