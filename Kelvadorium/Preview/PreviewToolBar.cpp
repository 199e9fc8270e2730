#include "Preview/PreviewToolBar.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "Model/AppModel.h"
#include "Preview/PreviewCalls.h"
#include "Preview/StraightenSlider.h"
#include "Preview/ToolBarTexts.h"
#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/TintedSymbol.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr int itemSpacing = 10;
constexpr int sidePadding = 12;
constexpr int endPadding = 6;
constexpr int symbolSize = 16;
constexpr int sliderWidth = 240;
constexpr int angleWidth = 56;
constexpr int separatorHeight = 16;
// A text wraps rather than narrowing below this.
constexpr int narrowestText = 160;
constexpr int narrowestSlider = 60;

QString layerName(const AppModel& model) {
  const auto index = model.selectedLayerIndex();
  const std::vector<LocalLayer> layers = model.selectedLayers();
  if (index && *index >= 0 && static_cast<size_t>(*index) < layers.size()) {
    return QString::fromStdString(layers[static_cast<size_t>(*index)].name);
  }
  return QStringLiteral("New layer");
}

}  // namespace

PreviewToolBar::PreviewToolBar(AppModel& model, const PreviewCalls& calls, QWidget* parent)
    : QWidget(parent), model_(model), calls_(calls) {
  setObjectName("PreviewToolBar");
  setFont(FontRoles::font(FontRole::callout));
  row_ = new QHBoxLayout(this);
  row_->setSpacing(itemSpacing);
  row_->setContentsMargins(sidePadding, endPadding, sidePadding, endPadding);
  hide();
}

void PreviewToolBar::refresh(BarKind kind) {
  const Shape shape{kind, kind == BarKind::heal && model_.spotSelecting()};
  if (shape != shape_) build(shape);
  setVisible(kind != BarKind::none);
  updateTexts();
}

QString PreviewToolBar::text() const { return text_ ? text_->text() : QString(); }

QString PreviewToolBar::angleText() const { return angle_ ? angle_->text() : QString(); }

void PreviewToolBar::finishCrop() {
  calls_.endLiveRotation();
  model_.setCropMode(false);
}

QLabel* PreviewToolBar::addSymbol(const QString& name, bool secondary) {
  auto* label = new QLabel(this);
  const double scale = devicePixelRatioF();
  QPixmap pixmap = SymbolIcons::icon(name).pixmap(QSize(symbolSize, symbolSize), scale);
  if (secondary && !pixmap.isNull()) {
    QPixmap faded(pixmap.size());
    faded.setDevicePixelRatio(pixmap.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.6);
    painter.drawPixmap(0, 0, pixmap);
    painter.end();
    pixmap = faded;
  }
  label->setPixmap(pixmap);
  label->setFixedSize(symbolSize, symbolSize);
  label->setProperty("symbol", name);
  row_->addWidget(label, 0, Qt::AlignVCenter);
  return label;
}

QLabel* PreviewToolBar::addText() {
  auto* label = new QLabel(this);
  label->setTextFormat(Qt::PlainText);
  row_->addWidget(label, 1, Qt::AlignVCenter);
  return label;
}

QPushButton* PreviewToolBar::addButton(const QString& title, const QString& symbol,
                                       const QString& tooltip, bool prominent) {
  auto* button = new QPushButton(title, this);
  if (!symbol.isEmpty()) button->setIcon(SymbolIcons::icon(symbol));
  if (!tooltip.isEmpty()) button->setToolTip(tooltip);
  button->setAutoDefault(false);
  button->setFocusPolicy(Qt::NoFocus);
  if (prominent) {
    // The accented default button stands for the filled, accent-coloured one.
    button->setDefault(true);
    QPalette accent = button->palette();
    const QColor text = accent.color(QPalette::HighlightedText);
    accent.setColor(QPalette::Button, accent.color(QPalette::Highlight));
    accent.setColor(QPalette::ButtonText, text);
    button->setPalette(accent);
    if (!symbol.isEmpty()) {
      button->setIcon(QIcon(
          TintedSymbol::pixmap(symbol, text, QSize(symbolSize, symbolSize), devicePixelRatioF())));
    }
  }
  row_->addWidget(button, 0, Qt::AlignVCenter);
  return button;
}

void PreviewToolBar::addSeparator() {
  auto* line = new QFrame(this);
  line->setFrameShape(QFrame::VLine);
  line->setFrameShadow(QFrame::Plain);
  line->setFixedHeight(separatorHeight);
  row_->addWidget(line, 0, Qt::AlignVCenter);
}

void PreviewToolBar::build(Shape shape) {
  shape_ = shape;
  kind_ = shape.kind;
  // A button may be rebuilding the bar from its own click: its widget goes at the next turn.
  while (QLayoutItem* item = row_->takeAt(0)) {
    if (QWidget* widget = item->widget()) {
      widget->hide();
      widget->deleteLater();
    }
    delete item;
  }
  symbolLabel_ = text_ = angle_ = nullptr;
  slider_ = nullptr;
  delete_ = nullptr;
  confirm_ = back_ = nullptr;
  symbol_.clear();

  auto symbol = [&](const QString& name) {
    symbol_ = name;
    symbolLabel_ = addSymbol(name);
  };
  switch (kind_) {
    case BarKind::none:
      break;
    case BarKind::crop:
      buildCrop();
      break;
    case BarKind::wbPick: {
      symbol("eyedropper");
      text_ = addText();
      QPushButton* cancel = addButton("Cancel", {}, {}, false);
      connect(cancel, &QPushButton::clicked, this, [this] { model_.setWbPickMode(false); });
      back_ = cancel;
      break;
    }
    case BarKind::beforeNote:
    case BarKind::negativeNote:
      text_ = addText();
      break;
    case BarKind::dust: {
      symbol("aqi.medium");
      text_ = addText();
      QPushButton* cancel = addButton("Cancel", {}, {}, false);
      connect(cancel, &QPushButton::clicked, this, [this] { calls_.clearDustCandidates(); });
      QPushButton* remove = addButton({}, "checkmark", {}, true);
      connect(remove, &QPushButton::clicked, this, [this] { calls_.removeDust(); });
      back_ = cancel;
      confirm_ = remove;
      break;
    }
    case BarKind::redEye: {
      symbol("eye");
      text_ = addText();
      QPushButton* done = addButton("Done", {}, {}, false);
      connect(done, &QPushButton::clicked, this, [this] { model_.setRedEyeMode(false); });
      confirm_ = done;
      break;
    }
    case BarKind::dodgeBurn: {
      symbol("square.3.layers.3d");
      text_ = addText();
      QPushButton* done = addButton("Done", {}, {}, false);
      connect(done, &QPushButton::clicked, this, [this] { model_.setDodgeMode(false); });
      confirm_ = done;
      break;
    }
    case BarKind::heal: {
      symbol(ToolBarTexts::healSymbol(shape.selecting, model_.healTool()));
      text_ = addText();
      if (shape.selecting) {
        delete_ = addButton("Delete", "trash", "Removes the picked repair (Delete key)", false);
        connect(delete_, &QPushButton::clicked, this, [this] { calls_.deleteSelectedRepair(); });
      }
      QPushButton* cancel =
          addButton("Cancel", {}, "Takes back what you painted with this tool (Esc)", false);
      connect(cancel, &QPushButton::clicked, this, [this] { calls_.cancelHealing(); });
      QPushButton* apply =
          addButton("Apply", "checkmark", "Keeps the repairs and ends the tool (Return)", true);
      connect(apply, &QPushButton::clicked, this, [this] { model_.setSpotMode(false); });
      back_ = cancel;
      confirm_ = apply;
      break;
    }
  }
  // Children made while the bar is on screen stay hidden until shown.
  for (int i = 0; i < row_->count(); ++i) {
    if (QWidget* widget = row_->itemAt(i)->widget()) widget->show();
  }
}

void PreviewToolBar::buildCrop() {
  QPushButton* left = addButton({}, "rotate.left", "Rotate 90° left", false);
  connect(left, &QPushButton::clicked, this, [this] { calls_.rotateSelected(-1); });
  QPushButton* right = addButton({}, "rotate.right", "Rotate 90° right", false);
  connect(right, &QPushButton::clicked, this, [this] { calls_.rotateSelected(+1); });
  addSeparator();
  addSymbol("level", true);
  auto* slider = new StraightenSlider(model_, this);
  slider->setFixedWidth(sliderWidth);
  slider_ = slider;
  slider->setToolTip("Rotate. Or drag the handle on the right of the photo.");
  row_->addWidget(slider, 0, Qt::AlignVCenter);
  angle_ = new QLabel(this);
  angle_->setFont(MonospacedDigits::font(font()));
  angle_->setFixedWidth(angleWidth);
  angle_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  angle_->setToolTip("Double-click to reset");
  angle_->installEventFilter(this);
  row_->addWidget(angle_, 0, Qt::AlignVCenter);
  addSeparator();
  QPushButton* cancel =
      addButton("Cancel", {}, "Back to the crop and rotation from before (Esc)", false);
  connect(cancel, &QPushButton::clicked, this, [this] { calls_.cancelCrop(); });
  QPushButton* apply =
      addButton("Apply", "checkmark", "Finish cropping and rotating (Return)", true);
  connect(apply, &QPushButton::clicked, this, &PreviewToolBar::finishCrop);
  back_ = cancel;
  confirm_ = apply;
}

void PreviewToolBar::updateTexts() {
  switch (kind_) {
    case BarKind::none:
      return;
    case BarKind::crop:
      angle_->setText(ToolBarTexts::angleText(model_.straightenAngle()));
      return;
    case BarKind::wbPick:
      text_->setText(
          "Click something that should be neutral grey (a grey wall, a white shirt in shade).");
      return;
    case BarKind::beforeNote:
      text_->setText("Before (press \\ to go back)");
      return;
    case BarKind::negativeNote:
      text_->setText("Showing the scan before conversion");
      return;
    case BarKind::dust: {
      const auto finds = static_cast<qsizetype>(model_.dustCandidates().size());
      const auto kept = static_cast<qsizetype>(model_.keptDust().size());
      text_->setText(ToolBarTexts::dustText(finds));
      confirm_->setText(ToolBarTexts::removeDustLabel(finds, kept));
      confirm_->setEnabled(kept < finds);
      return;
    }
    case BarKind::redEye:
      text_->setText(
          "Red Eye: click a red pupil, or drag from its centre outward. [ ] change the size. "
          "Alt-click to remove.");
      return;
    case BarKind::dodgeBurn:
      text_->setText(ToolBarTexts::dodgeText(layerName(model_), model_.dodgeShape(),
                                             model_.selectedLayerIsBrushOnly()));
      return;
    case BarKind::heal: {
      const QString symbol = ToolBarTexts::healSymbol(shape_.selecting, model_.healTool());
      if (symbol != symbol_) {
        symbol_ = symbol;
        symbolLabel_->setPixmap(
            SymbolIcons::icon(symbol).pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF()));
        symbolLabel_->setProperty("symbol", symbol);
      }
      if (shape_.selecting) {
        text_->setText(ToolBarTexts::selectionText(model_.repairCount()));
        delete_->setEnabled(model_.selectedRepair().has_value());
      } else {
        text_->setText(ToolBarTexts::healToolText(model_.healTool()));
      }
      return;
    }
  }
}

QSize PreviewToolBar::sizeWithin(int maxWidth) {
  if (slider_) {
    // Too wide for the pane: the slider gives up width before its neighbours overlap it.
    slider_->setFixedWidth(sliderWidth);
    const QSize natural = sizeHint();
    if (natural.width() > maxWidth) {
      slider_->setFixedWidth(
          std::max(sliderWidth - (natural.width() - std::max(maxWidth, 0)), narrowestSlider));
      row_->invalidate();
    }
    // Narrower still, the bar keeps its items side by side and the pane cuts its ends.
    return sizeHint();
  }
  if (!text_) return sizeHint().boundedTo(QSize(std::max(maxWidth, 0), QWIDGETSIZE_MAX));
  text_->setWordWrap(false);
  text_->setMinimumWidth(0);
  text_->setMaximumWidth(QWIDGETSIZE_MAX);
  QSize natural = sizeHint();
  if (natural.width() <= maxWidth) return natural;
  // Too wide: the text wraps within what the other items leave.
  const int others = natural.width() - text_->sizeHint().width();
  const int textWidth = std::max(maxWidth - others, narrowestText);
  text_->setWordWrap(true);
  text_->setFixedWidth(textWidth);
  row_->invalidate();
  return {others + textWidth, row_->totalHeightForWidth(others + textWidth)};
}

void PreviewToolBar::paintCapsule(QWidget& bar, float opacity) {
  QPainter painter(&bar);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor material = bar.palette().color(QPalette::Window);
  material.setAlphaF(opacity);
  painter.setPen(Qt::NoPen);
  painter.setBrush(material);
  const QRectF capsule = bar.rect();
  const double radius = std::min(capsule.height(), capsule.width()) / 2;
  painter.drawRoundedRect(capsule, radius, radius);
}

void PreviewToolBar::paintEvent(QPaintEvent*) { paintCapsule(*this, 0.82f); }

bool PreviewToolBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == angle_ && event->type() == QEvent::MouseButtonDblClick) {
    calls_.resetStraighten();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}
