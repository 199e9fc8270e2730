// The "Colour" section: the cyan, magenta and yellow filtration rows, the HSL panel, and the
// Auto Balance and Reset All buttons. The inspector leaves the whole section out for a
// black-and-white negative.
#pragma once

#include <array>

#include "ViewKit/NamedColours.h"

class InspectorView;
class QWidget;

namespace ColourSection {

// One filtration row: its label, tint and help; the index is its place in the record's list.
struct FilterRow {
  const char* label;
  NamedColour tint;
  const char* help;
};

const std::array<FilterRow, 3>& filterRows();

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace ColourSection
