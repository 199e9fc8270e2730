// A scroll bar that paints itself in bands of at most `bandPixels` device pixel rows. The raster
// engine splits a fill of more rows over its thread pool and waits for it; a tall bar, repainted
// whole each time its range changes (the content grew or shrank), paid that hand-over at every
// such refresh. Each band is the style's own drawing of the bar, so it looks as a plain one.
#pragma once

#include <QScrollBar>

class BandedScrollBar final : public QScrollBar {
  Q_OBJECT

 public:
  explicit BandedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  static constexpr int bandPixels = 90;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
