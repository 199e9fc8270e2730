#include "Inspector/FoldHeader.h"

#include <QPainter>

#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"

namespace {
constexpr int chevronFrame = 10;  // pt, the chevron's column
// The symbol's drawing fills about half its box, so the box is larger than the column.
constexpr int chevronBox = 14;
constexpr int spacing = 6;
constexpr int verticalPadding = 4;
constexpr int turnMilliseconds = 200;
}  // namespace

FoldHeader::FoldHeader(const QString& title, Binding<bool> expanded, QWidget* parent)
    : QAbstractButton(parent), binding_(std::move(expanded)) {
  setObjectName("FoldHeader");
  setText(title);
  setFont(FontRoles::font(FontRole::headline));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setFocusPolicy(Qt::TabFocus);
  turn_.setDuration(turnMilliseconds);
  turn_.setEasingCurve(QEasingCurve::InOutQuad);
  connect(&turn_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    angle_ = value.toDouble();
    update();
  });
  connect(this, &QAbstractButton::clicked, this, [this] {
    if (binding_.set) binding_.set(!binding_.get());
  });
  showExpanded(binding_.get ? binding_.get() : false);
}

void FoldHeader::showExpanded(bool expanded) {
  const bool changed = !shownOnce_ || expanded != expanded_;
  expanded_ = expanded;
  setToolTip((expanded ? "Fold " : "Unfold ") + text());
  if (!changed) return;
  const double target = expanded ? 90 : 0;
  turn_.stop();
  if (!shownOnce_ || !isVisible()) {
    angle_ = target;
    update();
  } else {
    turn_.setStartValue(angle_);
    turn_.setEndValue(target);
    turn_.start();
  }
  shownOnce_ = true;
}

QSize FoldHeader::sizeHint() const {
  const QFontMetrics metrics(font());
  const int height = std::max(metrics.height(), chevronFrame) + 2 * verticalPadding;
  return {chevronFrame + spacing + metrics.horizontalAdvance(text()), height};
}

void FoldHeader::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QColor ink = palette().color(QPalette::WindowText);

  const int side =
      std::min(chevronBox, QFontMetrics(FontRoles::font(FontRole::caption)).height() * 3 / 2);
  const QPixmap chevron =
      TintedSymbol::pixmap("chevron.right", ink, QSize(side, side), devicePixelRatioF());
  painter.save();
  painter.translate(chevronFrame / 2.0, height() / 2.0);
  painter.rotate(angle_);
  painter.drawPixmap(QPointF(-side / 2.0, -side / 2.0), chevron);
  painter.restore();

  painter.setPen(ink);
  const QRect titleRect(chevronFrame + spacing, 0, width() - chevronFrame - spacing, height());
  painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter, text());
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
  }
}
