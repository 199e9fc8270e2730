// Whether a widget, painted as it shows, puts red on the screen: what the user sees, whichever
// palette role its style paints the text with.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <algorithm>

inline bool paintsRed(QWidget* widget) {
  const QImage image = widget->grab().toImage();
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() - std::max(c.green(), c.blue()) > 80) return true;
    }
  }
  return false;
}
