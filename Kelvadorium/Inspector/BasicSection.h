// The "Basic Settings" section: white balance with its picker, exposure, contrast, the four tone
// ranges, clarity, dehaze, sharpness, black mist and saturation, each a slider row bound to one
// field of the selected scan's record. A black-and-white negative has no white balance and no
// saturation, and gets the "Reset All" button that colour scans find in the Colour section.
#pragma once

#include <QString>
#include <array>
#include <optional>

#include "Record/ConversionSettings.h"
#include "ViewKit/NamedColours.h"

class InspectorView;
class QWidget;

namespace BasicSection {

// One slider row: the field it binds and the row's nine values.
struct Row {
  const char* label;
  double ConversionSettings::*field;
  double lowest;
  double highest;
  double step;
  std::optional<NamedColour> tint;
  const char* format;
  double scale;
  const char* help;  // null: the row has no help of its own
  double neutral;
  bool colourOnly;  // left out for a black-and-white negative
};

const std::array<Row, 13>& rows();

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace BasicSection
