#include "Preview/LoupeBar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

#include "Model/AppModel.h"
#include "Preview/LoupeReadout.h"
#include "Preview/PreviewToolBar.h"
#include "ViewKit/MonospacedDigits.h"
#include "ViewKit/ShortcutText.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

namespace {

constexpr int spacing = 8;
constexpr int padAcross = 12;
constexpr int padDown = 6;
constexpr int readoutWidth = 44;
constexpr int dividerHeight = 14;

QToolButton* borderless(QWidget* parent, const QString& help) {
  auto* button = new QToolButton(parent);
  button->setAutoRaise(true);
  button->setToolTip(help);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QString zoomHelp(const char* text, QKeySequence keys, const char* tail) {
  return QString("%1 (%2%3)").arg(text, ShortcutText::keys(keys), tail);
}

}  // namespace

LoupeBar::LoupeBar(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("LoupeBar");
  setFont(FontRoles::font(FontRole::callout));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(padAcross, padDown, padAcross, padDown);
  row->setSpacing(spacing);

  zoomOut_ =
      borderless(this, zoomHelp("Zoom out", QKeySequence(Qt::CTRL | Qt::Key_Minus), ", or scroll"));
  zoomOut_->setIcon(SymbolIcons::icon("minus.magnifyingglass"));
  readout_ = new QLabel(this);
  readout_->setFont(MonospacedDigits::font(font()));
  readout_->setMinimumWidth(readoutWidth);
  readout_->setAlignment(Qt::AlignCenter);
  zoomIn_ =
      borderless(this, zoomHelp("Zoom in", QKeySequence(Qt::CTRL | Qt::Key_Plus), ", or scroll"));
  zoomIn_->setIcon(SymbolIcons::icon("plus.magnifyingglass"));
  auto* divider = new QFrame(this);
  divider->setFrameShape(QFrame::VLine);
  divider->setFixedHeight(dividerHeight);
  fit_ = borderless(this, ShortcutText::help("Whole picture", QKeySequence(Qt::CTRL | Qt::Key_0)));
  fit_->setText("Fit");
  oneToOne_ = borderless(
      this, QString("One image pixel per screen pixel (%1). Hold space and drag to move around.")
                .arg(ShortcutText::keys(QKeySequence(Qt::CTRL | Qt::Key_1))));
  oneToOne_->setText("100%");
  for (QWidget* item :
       std::initializer_list<QWidget*>{zoomOut_, readout_, zoomIn_, divider, fit_, oneToOne_}) {
    row->addWidget(item, 0, Qt::AlignVCenter);
  }

  connect(zoomOut_, &QToolButton::clicked, this,
          [this] { model_.setZoom(model_.zoom() * 2 / 3, 0, 0); });
  connect(zoomIn_, &QToolButton::clicked, this,
          [this] { model_.setZoom(model_.zoom() * 1.5, 0, 0); });
  connect(fit_, &QToolButton::clicked, this, [this] {
    model_.setZoom(1.0);
    model_.setPan(QSizeF(0, 0));
  });
  connect(oneToOne_, &QToolButton::clicked, this,
          [this] { model_.setZoom(model_.plain().oneToOneZoom, 0, 0); });
  for (auto changed : {&AppModel::zoomChanged, &AppModel::fullPixelSizeChanged,
                       &AppModel::previewChanged, &AppModel::selectionChanged}) {
    connect(&model_, changed, this, &LoupeBar::refresh);
  }
  refresh();
}

QString LoupeBar::readout() const { return readout_->text(); }

void LoupeBar::refresh() {
  const double zoom = model_.zoom();
  readout_->setText(LoupeReadout::text(zoom, model_.zoomPercent()));
  zoomOut_->setEnabled(LoupeReadout::canZoomOut(zoom));
  zoomIn_->setEnabled(LoupeReadout::canZoomIn(zoom, model_.plain().oneToOneZoom));
}

// A thinner material than the tool bars'.
void LoupeBar::paintEvent(QPaintEvent*) { PreviewToolBar::paintCapsule(*this, 0.72f); }
