// The text styles of the windows, each a size relative to the application's font, so the whole
// window follows the desktop's font and its scale. Colours for secondary text come with them.
#pragma once

#include <QColor>
#include <QFont>

class QWidget;

enum class FontRole {
  largeTitle,
  title,
  title2,
  title3,
  headline,
  body,
  callout,
  subheadline,
  footnote,
  caption,
  caption2
};

namespace FontRoles {

QFont font(FontRole role);
// Text of lesser weight: the palette's text colour at reduced opacity.
QColor secondaryText(const QWidget& widget);
// Gives the label-like widget the role's font and, when asked, the secondary colour.
void apply(QWidget& widget, FontRole role, bool secondary = false);

}  // namespace FontRoles
