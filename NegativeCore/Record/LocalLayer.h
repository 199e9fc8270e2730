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

// Groups dodge & burn strokes from before layers into layers, one per exposure: each stroke
// joins the first layer whose exposure equals its stops rounded to hundredths, or starts a new
// layer "Layer <n>" with that exposure. Layers keep the order of their first stroke; strokes
// stay unchanged.
std::vector<LocalLayer> layersFromStrokes(const std::vector<DodgeBurnStroke>& strokes);
