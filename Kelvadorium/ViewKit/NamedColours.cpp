#include "ViewKit/NamedColours.h"

namespace NamedColours {

QColor colour(NamedColour name) {
  switch (name) {
    case NamedColour::red:
      return QColor(255, 59, 48);
    case NamedColour::orange:
      return QColor(255, 149, 0);
    case NamedColour::yellow:
      return QColor(255, 204, 0);
    case NamedColour::green:
      return QColor(52, 199, 89);
    case NamedColour::mint:
      return QColor(0, 199, 190);
    case NamedColour::teal:
      return QColor(48, 176, 199);
    case NamedColour::cyan:
      return QColor(50, 173, 230);
    case NamedColour::blue:
      return QColor(0, 122, 255);
    case NamedColour::indigo:
      return QColor(88, 86, 214);
    case NamedColour::purple:
      return QColor(175, 82, 222);
    case NamedColour::pink:
      return QColor(255, 45, 85);
    case NamedColour::brown:
      return QColor(162, 132, 94);
    case NamedColour::gray:
      return QColor(142, 142, 147);
  }
  return QColor(142, 142, 147);
}

}  // namespace NamedColours
