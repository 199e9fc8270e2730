// The standard named colours of the windows ("orange", "purple", the clipping blue and red…):
// one fixed sRGB table, so a tint looks the same on every desktop and in every theme.
#pragma once

#include <QColor>

enum class NamedColour {
  red,
  orange,
  yellow,
  green,
  mint,
  teal,
  cyan,
  blue,
  indigo,
  purple,
  pink,
  brown,
  gray
};

namespace NamedColours {

QColor colour(NamedColour name);

}  // namespace NamedColours
