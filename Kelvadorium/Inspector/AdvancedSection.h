// The "Advanced" section: the border left out when the film is measured, and the density range
// the measurement found once the selected scan's measurement is published.
#pragma once

class InspectorView;
class QWidget;

namespace AdvancedSection {

QWidget* build(InspectorView& view);

}  // namespace AdvancedSection
