// The "Film" section: the film type, Reset Everything, even-light correction, the built-in
// presets, and for colour film and slides the two-step look (scanner rendering, then a film
// look with its amount) with the roll analysis; the reference-photo match for every type.
#pragma once

class InspectorView;
class QWidget;

namespace FilmSection {

QWidget* build(InspectorView& view);

// "Roll Analysis" with its button or progress, then the roll-balance or frame-count line.
QWidget* rollAnalysisBlock(InspectorView& view);
// "Match Reference…", or its progress while a match runs.
QWidget* referenceMatchRow(InspectorView& view);

}  // namespace FilmSection
