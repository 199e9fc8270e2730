// Icons by the symbol names the window's tables use ("plus", "crop", "sidebar.left"), taken from
// the freedesktop icon theme; a symbol the theme lacks gives an empty icon and the control shows
// its title alone.
#pragma once

#include <QIcon>
#include <QString>

namespace SymbolIcons {

QIcon icon(const QString& symbol);
// The theme name that stands for the symbol; empty when there is none.
QString themeName(const QString& symbol);

}  // namespace SymbolIcons
