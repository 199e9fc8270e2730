#include "Preview/Spinner.h"

#include <QPainter>
#include <QTimerEvent>

namespace {
constexpr int stepsPerTurn = 12;
constexpr int stepMilliseconds = 80;
}  // namespace

Spinner::Spinner(QWidget* parent) : QWidget(parent) {
  setFixedSize(sizeHint());
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Spinner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor colour = palette().color(QPalette::WindowText);
  const QRectF ring = QRectF(rect()).adjusted(2, 2, -2, -2);
  colour.setAlphaF(0.25f);
  painter.setPen(QPen(colour, 2));
  painter.drawEllipse(ring);
  colour.setAlphaF(0.9f);
  painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
  // Qt's arcs run counter-clockwise in sixteenths of a degree from three o'clock.
  const int start = -step_ * 360 / stepsPerTurn * 16;
  painter.drawArc(ring, start, 100 * 16);
}

void Spinner::showEvent(QShowEvent*) { timer_.start(stepMilliseconds, this); }

void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

void Spinner::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return;
  step_ = (step_ + 1) % stepsPerTurn;
  update();
}
