// A tool button showing one of the windows' symbols, named so tests and style sheets find it,
// its help as the tooltip. Callers add what their row wants (no focus, no border).
#pragma once

class QString;
class QToolButton;
class QWidget;

namespace SymbolButton {

QToolButton* make(const QString& name, const QString& symbol, const QString& help, QWidget* parent);

}  // namespace SymbolButton
