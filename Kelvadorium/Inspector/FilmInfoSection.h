// The "Film Info" section: eleven text fields of the selected scan's capture and film notes,
// written as typed with no undo step and no new render, and the copy of the roll-wide ones to
// every other scan.
#pragma once

#include <array>

#include "Record/FilmInfo.h"

class InspectorView;
class QWidget;

namespace FilmInfoSection {

struct Field {
  const char* title;
  std::string FilmInfo::*field;
  const char* placeholder;
};

const std::array<Field, 11>& fields();

QWidget* build(InspectorView& view);

}  // namespace FilmInfoSection
