#include "Inspector/HistogramView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "Model/AppModel.h"
#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/NamedColours.h"
#include "ViewKit/PrintfText.h"
#include "ViewKit/RefreshGate.h"
#include "ViewKit/ShortcutText.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"

namespace {

constexpr int stackSpacing = 4;
constexpr qreal cornerRadius = 4;
constexpr qreal backdropOpacity = 0.45;
constexpr qreal channelOpacity = 0.75;
constexpr qreal dimOpacity = 0.25;
constexpr QSize triangleSize(9, 8);  // the symbol at 8 pt

// Made when first asked, not while statics start: a key sequence needs Qt set up.
QKeySequence showClippingKeys() { return QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_J); }

// A clipping triangle: lit in its colour, else dim white; a click toggles the overlay.
class Indicator final : public QAbstractButton {
 public:
  Indicator(const QString& name, QColor litColour, QWidget* parent)
      : QAbstractButton(parent), litColour_(litColour) {
    setObjectName(name);
    setFixedSize(triangleSize);
    setFocusPolicy(Qt::NoFocus);
    setProperty("lit", false);
  }
  void showState(bool lit, const QString& help) {
    if (lit != lit_) {
      lit_ = lit;
      setProperty("lit", lit);
      update();
    }
    setToolTip(help);
  }
  QColor colour() const {
    if (lit_) return litColour_;
    QColor dim = Qt::white;
    dim.setAlphaF(dimOpacity);
    return dim;
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawPixmap(
        0, 0, TintedSymbol::pixmap("triangle.fill", colour(), size(), devicePixelRatioF()));
  }

 private:
  QColor litColour_;
  bool lit_ = false;
};

// The dark box and, while a histogram exists, the three channels added up over it.
class HistogramBox final : public QWidget {
 public:
  HistogramBox(const AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName("histogramBox");
    setFixedHeight(HistogramView::boxHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  }
  void changed() {
    layer_ = QImage();
    update();
  }

 protected:
  void resizeEvent(QResizeEvent*) override { layer_ = QImage(); }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor backdrop = Qt::black;
    backdrop.setAlphaF(backdropOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(backdrop);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    if (!model_.histogram()) return;
    // Drawn again after a change, a resize or a move to a screen of another scale.
    if (layer_.isNull() || layer_.devicePixelRatio() != devicePixelRatioF()) {
      layer_ = drawChannels(*model_.histogram());
    }
    painter.drawImage(QPointF(HistogramView::inset, HistogramView::inset), layer_);
  }

 private:
  // The channels into a transparent layer, added channel over channel, so red and green make
  // yellow and all three a pale near-white; the layer is then laid over the box.
  QImage drawChannels(const Histogram& histogram) const {
    const QSizeF canvas(width() - 2 * HistogramView::inset, height() - 2 * HistogramView::inset);
    const qreal scale = devicePixelRatioF();
    QImage layer((canvas * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull()) return layer;
    layer.setDevicePixelRatio(scale);
    layer.fill(Qt::transparent);
    QPainter painter(&layer);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.setPen(Qt::NoPen);
    struct Channel {
      const std::array<float, 256>& values;
      QColor colour;
    };
    const Channel channels[] = {
        {histogram.r, QColor::fromRgbF(0.9f, 0.15f, 0.15f, channelOpacity)},
        {histogram.g, QColor::fromRgbF(0.15f, 0.8f, 0.2f, channelOpacity)},
        {histogram.b, QColor::fromRgbF(0.2f, 0.35f, 1.0f, channelOpacity)},
    };
    for (const Channel& channel : channels) {
      QPainterPath path = HistogramView::outline(channel.values, canvas);
      path.setFillRule(Qt::WindingFill);
      painter.setBrush(channel.colour);
      painter.drawPath(path);
    }
    return layer;
  }

  const AppModel& model_;
  QImage layer_;
};

}  // namespace

HistogramView::HistogramView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("HistogramView");
  auto* box = new HistogramBox(model_, this);
  box_ = box;
  shadows_ = new Indicator("shadows", NamedColours::colour(NamedColour::blue), box);
  highlights_ = new Indicator("highlights", NamedColours::colour(NamedColour::red), box);
  auto* indicators = new QHBoxLayout(box);
  indicators->setContentsMargins(inset, inset, inset, inset);
  indicators->addWidget(shadows_, 0, Qt::AlignTop);
  indicators->addStretch(1);
  indicators->addWidget(highlights_, 0, Qt::AlignTop);

  clipping_ = new QCheckBox("Show clipping", this);
  clipping_->setFont(FontRoles::font(FontRole::caption));
  clipping_->setToolTip(ShortcutText::help(
      "Mark blown highlights red and crushed shadows blue on the picture", showClippingKeys()));
  clipText_ = new QLabel(this);
  clipText_->setObjectName("clipText");
  FontRoles::apply(*clipText_, FontRole::caption2, true);
  clipText_->setFont(MonospacedDigits::font(clipText_->font()));

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(clipping_);
  row->addStretch(1);
  row->addWidget(clipText_);
  auto* stack = new QVBoxLayout(this);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->setSpacing(stackSpacing);
  stack->addWidget(box_);
  stack->addLayout(row);

  auto toggle = [this] { model_.setShowClipping(!model_.showClipping()); };
  connect(shadows_, &QAbstractButton::clicked, this, toggle);
  connect(highlights_, &QAbstractButton::clicked, this, toggle);
  connect(clipping_, &QCheckBox::clicked, this, [this](bool on) { model_.setShowClipping(on); });

  gate_ = new RefreshGate([this] { refresh(); }, this);
  connect(&model_, &AppModel::histogramChanged, box, [this, box] {
    box->changed();
    gate_->request();
  });
  connect(&model_, &AppModel::showClippingChanged, gate_, &RefreshGate::request);
  refresh();
}

QString HistogramView::indicatorHelp(const QString& name, double fraction) {
  return name + ": " + PrintfText::format("%.2f", fraction * 100) + "% of the picture";
}

QString HistogramView::clipText(const Histogram& histogram) {
  return PrintfText::format("Shadows %.1f%% · Highlights %.1f%%",
                            {histogram.clipShadows * 100, histogram.clipHighlights * 100});
}

QPainterPath HistogramView::outline(std::span<const float> values, QSizeF size) {
  const qreal w = size.width(), h = size.height();
  QPainterPath path(QPointF(0, h));
  for (size_t i = 0; i < values.size(); ++i) {
    path.lineTo(w * static_cast<qreal>(i) / 255, h * (1 - static_cast<qreal>(values[i])));
  }
  path.lineTo(w, h);
  path.closeSubpath();
  return path;
}

void HistogramView::refresh() {
  const std::optional<Histogram>& histogram = model_.histogram();
  const double shadows = histogram ? histogram->clipShadows : 0;
  const double highlights = histogram ? histogram->clipHighlights : 0;
  static_cast<Indicator*>(shadows_)->showState(lit(shadows),
                                               indicatorHelp("Crushed shadows", shadows));
  static_cast<Indicator*>(highlights_)
      ->showState(lit(highlights), indicatorHelp("Blown highlights", highlights));
  clipText_->setVisible(histogram.has_value());
  if (histogram) clipText_->setText(clipText(*histogram));
  const QSignalBlocker blocker(clipping_);
  clipping_->setChecked(model_.showClipping());
}
