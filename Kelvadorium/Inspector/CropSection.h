// The "Crop & Orientation" section: quarter turns and the mirror, the crop mode of the preview
// with its Cancel and Apply, the aspect with its portrait/landscape swap, the fine straightening
// angle with the straighten slider, auto-crop for one scan or all with its margin, and a reset to
// the full frame. The crop itself is dragged on the preview; this section offers what surrounds it.
#pragma once

#include <QSize>
#include <QString>
#include <array>
#include <optional>

#include "Record/ConversionSettings.h"
#include "Record/CropAspect.h"
#include "Record/NormRect.h"

class AppModel;
class InspectorView;
class QWidget;

namespace CropSection {

// The aspect picker's entries, in the record's order, with their labels.
struct AspectEntry {
  CropAspect aspect;
  const char* label;
};
const std::array<AspectEntry, 6>& aspectEntries();
QString aspectLabel(CropAspect aspect);

// The crop an aspect choice stores: the crop in effect fitted to the aspect in the pixel space of
// `size`; `free` leaves it as it is.
NormRect fittedCrop(CropAspect aspect, const NormRect& inEffect, QSize size);

// The margin only trims a frame auto-crop found: off with a manual crop or with auto-crop off.
// Without a selection it counts as on (the whole column is disabled then anyway).
bool marginEnabled(const ConversionSettings* selected);

// The aspect picker's write: fits the crop in effect to the aspect and stores both as one edit.
void chooseAspect(AppModel& model, CropAspect aspect);
// Apply: a straighten drag in progress is committed, then crop mode ends.
void finishCrop(AppModel& model);

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace CropSection
