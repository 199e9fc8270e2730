// Numbers that change while a slider moves keep their width: a font whose ten digits advance
// equally. Most desktop fonts draw such digits already; for one that does not, the desktop's
// fixed-pitch font of the same size stands in.
#pragma once

#include <QFont>

namespace MonospacedDigits {

bool hasEqualDigits(const QFont& font);
QFont font(const QFont& base);

}  // namespace MonospacedDigits
