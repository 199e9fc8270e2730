// Icons by the symbol names the window's tables use ("plus", "crop", "sidebar.left"): the
// freedesktop icon theme's stand-in when the theme has it, else the program's own drawing.
#pragma once

#include <QIcon>
#include <QString>

namespace SymbolIcons {

QIcon icon(const QString& symbol);
// The theme name that stands for the symbol; empty when there is none.
QString themeName(const QString& symbol);

}  // namespace SymbolIcons
