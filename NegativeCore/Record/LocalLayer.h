// A named local adjustment layer: mask shapes and one set of adjustment values.
#pragma once

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
