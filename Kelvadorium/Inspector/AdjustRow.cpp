#include "Inspector/AdjustRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <bit>
#include <cstdint>

#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/PrintfText.h"
#include "ViewKit/Stepper.h"
#include "ViewKit/ValueSlider.h"
#include "Windows/FontRoles.h"

namespace {

constexpr int dotSide = 8;
constexpr int labelSpacing = 6;
constexpr int lineSpacing = 2;

// The tint dot and the label, one widget that takes the double-click.
class LabelGroup final : public QWidget {
 public:
  LabelGroup(const QString& text, std::optional<QColor> tint, std::function<void()> onDoubleClick,
             QWidget* parent)
      : QWidget(parent),
        text_(text),
        tint_(std::move(tint)),
        onDoubleClick_(std::move(onDoubleClick)) {
    setObjectName("labelGroup");
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  }

  QSize sizeHint() const override {
    const QFontMetrics metrics(font());
    const int dot = tint_ ? dotSide + labelSpacing : 0;
    return {dot + metrics.horizontalAdvance(text_), std::max(metrics.height(), dotSide)};
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    int x = 0;
    if (tint_) {
      QColor dot = *tint_;
      if (!isEnabled()) dot.setAlphaF(dot.alphaF() * 0.4f);
      painter.setPen(Qt::NoPen);
      painter.setBrush(dot);
      painter.drawEllipse(QRectF(0, (height() - dotSide) / 2.0, dotSide, dotSide));
      x = dotSide + labelSpacing;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text_);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    event->accept();
    onDoubleClick_();
  }

 private:
  QString text_;
  std::optional<QColor> tint_;
  std::function<void()> onDoubleClick_;
};

bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

}  // namespace

AdjustRow::AdjustRow(const QString& label, Binding<double> value, AdjustRange range, double step,
                     std::optional<QColor> tint, RowFormat format, double scaleForDisplay,
                     std::optional<QString> help, double neutral, QWidget* parent)
    : InspectorRow(parent),
      label_(label),
      value_(std::move(value)),
      range_(range),
      step_(step),
      tint_(std::move(tint)),
      format_(std::move(format)),
      scale_(scaleForDisplay),
      help_(std::move(help)),
      neutral_(neutral) {
  setObjectName(label);
  labelGroup_ = new LabelGroup(
      label, tint_, [this] { resetToNeutral(); }, this);
  labelGroup_->setToolTip(labelHelp());

  valueText_ = new QLabel(this);
  valueText_->setObjectName("value");
  FontRoles::apply(*valueText_, FontRole::body, true);
  valueText_->setFont(MonospacedDigits::font(valueText_->font()));
  valueText_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  stepper_ = new Stepper(range.lowest, range.highest, step, this);
  stepper_->setObjectName("stepper");
  slider_ = new ValueSlider(range.lowest, range.highest, this);
  slider_->setObjectName("slider");
  if (tint_) slider_->setTint(*tint_);

  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(labelGroup_, 0, Qt::AlignVCenter);
  top->addStretch(1);
  top->addWidget(valueText_, 0, Qt::AlignVCenter);
  top->addWidget(stepper_, 0, Qt::AlignVCenter);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(lineSpacing);
  column->addLayout(top);
  column->addWidget(slider_);

  connect(slider_, &ValueSlider::valueMoved, this, [this](double moved) { value_.set(moved); });
  connect(stepper_, &Stepper::valueStepped, this, [this](double stepped) { value_.set(stepped); });
}

QString AdjustRow::text(double value) const {
  return PrintfText::format(format_.patternFor(value), value * scale_);
}

QString AdjustRow::labelHelp() const {
  static const QString reset = "Double-click to reset.";
  return help_ ? *help_ + " " + reset : reset;
}

void AdjustRow::resetToNeutral() {
  if (range_.contains(neutral_)) value_.set(neutral_);
}

void AdjustRow::refreshValues() {
  const double value = value_.get();
  // The controls may show a move the model did not take (nothing selected): shown again then.
  const bool controlsShow = sameBits(stepper_->shownValue(), value) &&
                            slider_->sliderPosition() == slider_->positionOf(value);
  if (shown_ && sameBits(*shown_, value) && controlsShow) return;
  shown_ = value;
  slider_->showValue(value);
  stepper_->showValue(value);
  valueText_->setText(text(value));
}
