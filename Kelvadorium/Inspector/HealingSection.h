// The "Healing" section: the healing tools (Heal, Clone, Fill) and the picking of repairs, the
// actions on repairs (take back the last, remove all, delete the picked one, cancel, apply), the
// current tool's description, the brush's Size, Feather and Opacity, the clone source once one is
// set, and the red-eye tool. The brush rows are tool preferences, not edits of a scan: moving
// them records no undo step and changes no repair already made.
#pragma once

#include <QString>
#include <string>

#include "Record/SpotKind.h"

class InspectorView;
class QWidget;

namespace HealingSection {

// The tool's name as the texts name it, and what it does; the AI tool has no description.
QString toolName(SpotKind tool);
QString toolDescription(SpotKind tool);
// The help of the tool's button, with the menu's keys for the healing brush.
QString toolHelp(SpotKind tool);
// The Cancel and Apply buttons' help, naming the current tool.
QString cancelHelp(SpotKind tool);
QString applyHelp(SpotKind tool);
QString selectRepairsLabel(int repairs);
// The Size row's pattern for a stored brush size: two decimals below one per cent, else one.
std::string sizePattern(double size);

// The section's content for the column.
QWidget* build(InspectorView& view);

}  // namespace HealingSection
