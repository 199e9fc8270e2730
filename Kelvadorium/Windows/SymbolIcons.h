// Icons by the symbol names the window's tables use ("plus", "crop", "sidebar.left"): the
// freedesktop icon theme's stand-in when the theme has it, else the program's own drawing.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

namespace SymbolIcons {

QIcon icon(const QString& symbol);
// The symbol drawn at `pixels` on a transparent image, kept for the next call with the same
// size: painting code that shows a symbol on every frame draws no vector image again.
// Callable from any thread.
QImage image(const QString& symbol, QSize pixels);
// The theme name that stands for the symbol; empty when there is none.
QString themeName(const QString& symbol);

}  // namespace SymbolIcons
