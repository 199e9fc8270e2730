// The "Effects" section: the dust finder (its button, sensitivity and note), grain reduction,
// grain, vignette and glow with their secondary rows shown only while the effect is in use, and
// the print border with the film-holder frames offered for the scan's film type.
#pragma once

#include <QString>
#include <array>
#include <string>
#include <vector>

#include "Finishing/FilmFrame.h"
#include "Record/ConversionSettings.h"

class InspectorRow;
class InspectorView;
class QWidget;

namespace EffectsSection {

// One slider row bound to a field of the selected scan's record.
struct Row {
  const char* label;
  double ConversionSettings::*field;
  double lowest;
  double highest;
  double step;
  const char* format;
  const char* help;
  double neutral;
  // Shown only while this holds for the selected scan (and only with one); null: always.
  bool (*shownFor)(const ConversionSettings&);
};

// The rows in the order they appear (Sensitivity, bound to the preference, is apart).
const std::array<Row, 10>& rows();

// An entry of the Border picker.
struct BorderChoice {
  QString title;
  std::string tag;
  friend bool operator==(const BorderChoice&, const BorderChoice&) = default;
};
// None, White and Black, then the frames of the list available for the film type, in list
// order; a divider goes between the two groups when there are frames.
struct BorderChoices {
  std::vector<BorderChoice> styles;
  std::vector<BorderChoice> frames;
};
BorderChoices borderChoices(const std::vector<FilmFrame>& frames, FilmMode mode);
// The picker's entries for the selected scan (a colour negative without a selection).
BorderChoices borderChoices(const InspectorView& view);

// The Find Dust button with its spinner.
InspectorRow* findDustRow(InspectorView& view);

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace EffectsSection
