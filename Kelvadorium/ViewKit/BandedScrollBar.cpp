#include "ViewKit/BandedScrollBar.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

BandedScrollBar::BandedScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

// Each band is the whole bar drawn by the style with the engine's clip narrowed to the band. The
// style sets clips of its own while it draws, which a painter's clip would not bound; the
// engine's clip bounds them all.
void BandedScrollBar::paintEvent(QPaintEvent* event) {
  QPaintEngine* engine = nullptr;
  {
    QPainter probe(this);
    engine = probe.paintEngine();
  }
  const QRegion whole = engine ? engine->systemClip() : QRegion();
  const QRect bounds = whole.boundingRect();
  if (bounds.height() <= bandPixels) {
    QScrollBar::paintEvent(event);
    return;
  }
  for (int top = bounds.top(); top <= bounds.bottom(); top += bandPixels) {
    engine->setSystemClip(whole & QRect(bounds.left(), top, bounds.width(), bandPixels));
    QScrollBar::paintEvent(event);
  }
  engine->setSystemClip(whole);
}
