// The "Export & Batch" section: leaving the selected scan out of Export All, and copying its look
// to every other scan.
#pragma once

class InspectorView;
class QWidget;

namespace ExportBatchSection {

QWidget* build(InspectorView& view);

}  // namespace ExportBatchSection
