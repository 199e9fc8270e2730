#include "Windows/FontRoles.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>
#include <array>

namespace FontRoles {

namespace {
constexpr float secondaryOpacity = 0.6f;

struct Style {
  double scale;  // of the application font, whose size is the body's
  QFont::Weight weight;
};

Style style(FontRole role) {
  switch (role) {
    case FontRole::largeTitle:
      return {26.0 / 13, QFont::Normal};
    case FontRole::title:
      return {22.0 / 13, QFont::Normal};
    case FontRole::title2:
      return {17.0 / 13, QFont::Normal};
    case FontRole::title3:
      return {15.0 / 13, QFont::Normal};
    case FontRole::headline:
      return {1.0, QFont::Bold};
    case FontRole::body:
      return {1.0, QFont::Normal};
    case FontRole::callout:
      return {12.0 / 13, QFont::Normal};
    case FontRole::subheadline:
      return {11.0 / 13, QFont::Normal};
    case FontRole::footnote:
      return {10.0 / 13, QFont::Normal};
    case FontRole::caption:
    case FontRole::caption2:
      return {10.0 / 13, QFont::Normal};
  }
  return {1.0, QFont::Normal};
}
}  // namespace

QFont font(FontRole role) {
  QFont font = QApplication::font();
  const Style s = style(role);
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * s.scale);
  } else {
    font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * s.scale + 0.5)));
  }
  font.setWeight(s.weight);
  return font;
}

QColor secondaryText(const QWidget& widget) {
  QColor colour = widget.palette().color(QPalette::WindowText);
  colour.setAlphaF(secondaryOpacity);
  return colour;
}

void apply(QWidget& widget, FontRole role, bool secondary) {
  widget.setFont(font(role));
  if (secondary) {
    // Each colour group lessened on its own, so disabled secondary text greys out as well.
    QPalette palette = widget.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      for (auto colourRole : {QPalette::WindowText, QPalette::Text}) {
        QColor colour = palette.color(group, QPalette::WindowText);
        colour.setAlphaF(colour.alphaF() * secondaryOpacity);
        palette.setColor(group, colourRole, colour);
      }
    }
    widget.setPalette(palette);
  }
}

}  // namespace FontRoles
