// A named local adjustment layer: mask shapes and one set of adjustment values.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "Record/DodgeBurnStroke.h"
#include "Record/LocalAdjustment.h"
#include "Support/Uuid.h"

struct LocalLayer {
  Uuid id = Uuid::random();
  std::string name;
  std::vector<DodgeBurnStroke> shapes;
  LocalAdjustment adjust;
  bool visible = true;

  friend bool operator==(const LocalLayer&, const LocalLayer&) = default;
};

// JSON: all five keys. The reader is tolerant (a new random id, name "Layer", visible); a shape
// that fails to read is dropped on its own, the layer's other shapes stay.
nlohmann::json toJson(const LocalLayer& layer);
LocalLayer localLayerFromJson(const nlohmann::json& json);
