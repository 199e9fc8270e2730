#include "Sidebar/ThumbnailCell.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "Model/ImageItem.h"
#include "Sidebar/ThumbGrid.h"
#include "Sidebar/ThumbPixmapCache.h"

namespace ThumbnailCell {

double captionHeight(const QFont& font) { return std::ceil(QFontMetricsF(font).height()); }

QRectF pictureBox(const QRectF& frame) {
  return {frame.left(), frame.top(), frame.width(), frame.width()};
}

namespace {

// The indeterminate indicator: twelve spokes, the brightest at the phase.
void paintSpinner(QPainter& painter, QPointF centre, double radius, int phase) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QPen pen(Qt::white, std::max(1.5, radius / 5), Qt::SolidLine, Qt::RoundCap);
  for (int i = 0; i < 12; ++i) {
    const double angle = (i * 30.0) * std::numbers::pi / 180;
    const int age = ((phase - i) % 12 + 12) % 12;
    QColor colour = Qt::white;
    colour.setAlphaF(std::max(0.15, 0.9 - age * 0.07));
    pen.setColor(colour);
    painter.setPen(pen);
    const QPointF direction(std::sin(angle), -std::cos(angle));
    painter.drawLine(centre + direction * radius * 0.45, centre + direction * radius);
  }
  painter.restore();
}

// An eye struck through, in white on a black disc at 0.6: the scan is left out of Export All.
void paintSkippedBadge(QPainter& painter, QPointF centre, double size) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double radius = size / 2 + 4;
  QColor disc = Qt::black;
  disc.setAlphaF(0.6);
  painter.setPen(Qt::NoPen);
  painter.setBrush(disc);
  painter.drawEllipse(centre, radius, radius);
  const double w = size, h = size * 0.62;
  QPainterPath eye;
  eye.moveTo(centre.x() - w / 2, centre.y());
  eye.quadTo(centre.x(), centre.y() - h, centre.x() + w / 2, centre.y());
  eye.quadTo(centre.x(), centre.y() + h, centre.x() - w / 2, centre.y());
  eye.closeSubpath();
  painter.setBrush(Qt::white);
  painter.drawPath(eye);
  painter.setBrush(QColor(Qt::black));
  painter.drawEllipse(centre, size * 0.17, size * 0.17);
  QPen slash(Qt::white, std::max(1.5, size / 9), Qt::SolidLine, Qt::RoundCap);
  painter.setPen(slash);
  painter.drawLine(centre + QPointF(-w / 2, -w / 2) * 0.85, centre + QPointF(w / 2, w / 2) * 0.85);
  painter.restore();
}

// A white check on an accent disc: the scan is marked.
void paintCheckBadge(QPainter& painter, QPointF centre, double size, const QColor& accent) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const double radius = size / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(accent);
  painter.drawEllipse(centre, radius, radius);
  QPen check(Qt::white, std::max(1.5, size / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  painter.setPen(check);
  painter.setBrush(Qt::NoBrush);
  QPainterPath mark;
  mark.moveTo(centre + QPointF(-0.26, 0.02) * size);
  mark.lineTo(centre + QPointF(-0.07, 0.2) * size);
  mark.lineTo(centre + QPointF(0.27, -0.17) * size);
  painter.drawPath(mark);
  painter.restore();
}

}  // namespace

void paint(QPainter& painter, const QRectF& frame, const ImageItem& item, bool selected,
           bool marked, const Look& look, ThumbPixmapCache& pixmaps) {
  const QRectF box = pictureBox(frame);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  QColor backdrop = Qt::black;
  backdrop.setAlphaF(0.35);
  painter.setPen(Qt::NoPen);
  painter.setBrush(backdrop);
  painter.drawRoundedRect(box, 4, 4);

  if (item.thumbnail) {
    const QSize pixels(static_cast<int>(std::lround(box.width() * look.scale)),
                       static_cast<int>(std::lround(box.height() * look.scale)));
    const QPixmap pixmap = pixmaps.fitted(item.thumbnail, pixels, look.scale);
    if (!pixmap.isNull()) {
      const QSizeF shown = pixmap.deviceIndependentSize();
      const QPointF at(box.center().x() - shown.width() / 2, box.center().y() - shown.height() / 2);
      painter.setOpacity(item.skipped ? 0.35 : 1);
      painter.drawPixmap(at, pixmap);
      painter.setOpacity(1);
    }
  } else {
    paintSpinner(painter, box.center(), std::min(10.0, box.width() / 6), look.spinnerPhase);
  }
  if (item.skipped) paintSkippedBadge(painter, box.center(), std::min(16.0, box.width() / 4));
  if (marked) {
    constexpr double badge = 15;
    paintCheckBadge(painter, {box.right() - 4 - badge / 2, box.top() + 4 + badge / 2}, badge,
                    look.accent);
  }
  if (selected || marked) {
    QColor ring = look.accent;
    if (!selected) ring.setAlphaF(0.55);
    constexpr double width = 2.5;
    painter.setPen(QPen(ring, width));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(box.adjusted(width / 2, width / 2, -width / 2, -width / 2),
                            5 - width / 2, 5 - width / 2);
  }

  const QRectF caption(frame.left(), box.bottom() + ThumbGrid::captionGap, frame.width(),
                       frame.bottom() - box.bottom() - ThumbGrid::captionGap);
  const QString name = QFile::decodeName(item.url.filename().c_str());
  painter.setFont(look.caption);
  painter.setPen(selected ? look.primary : look.secondary);
  const QString shown =
      QFontMetricsF(look.caption).elidedText(name, Qt::ElideMiddle, caption.width());
  painter.drawText(caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, shown);
  painter.restore();
}

}  // namespace ThumbnailCell
