// The "Dodge & Burn" section: the tool switch, the layer list, what the next shape drawn on the
// picture becomes (brush, linear or radial gradient) with its size and softness, the outside
// switch of radial gradients, and the selected layer's eleven adjustments, or a hint while no
// layer is selected. Shapes are drawn on the preview; the section never draws.
#pragma once

#include <QString>
#include <array>

#include "Record/DodgeShape.h"
#include "Record/LocalAdjustment.h"

class InspectorView;
class QWidget;

namespace DodgeBurnSection {

// The shape choices, in the row's order.
struct ShapeEntry {
  DodgeShape shape;
  const char* title;
  const char* symbol;
};
const std::array<ShapeEntry, 3>& shapeEntries();

// How a shape entry looks: active when it is the chosen shape and the tool is on, chosen when it
// is the chosen shape with the tool off.
enum class ShapeLook { plain, chosen, active };
ShapeLook shapeLook(DodgeShape entry, DodgeShape chosen, bool toolOn);

// The tool rows shown for the chosen shape: Size for the brush, Feather unless linear, the
// outside switch for a radial or while the selected layer holds one.
struct ToolRows {
  bool size;
  bool feather;
  bool outside;
  friend bool operator==(const ToolRows&, const ToolRows&) = default;
};
ToolRows toolRows(DodgeShape shape, bool selectedLayerHasRadial);

// The text in place of the adjustments while no layer is selected.
QString hint(bool scanHasLayers);

// One slider row of the selected layer.
struct LayerRow {
  const char* label;
  double LocalAdjustment::*field;
  double lowest;
  double highest;
  double step;
  const char* format;
  const char* help;
  bool colourOnly;  // left out for a black-and-white negative
};
const std::array<LayerRow, 11>& layerRows();

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace DodgeBurnSection
