#include "Preview/PreviewPane.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>

#include "Model/AppModel.h"
#include "Preview/DropHighlight.h"
#include "Preview/EmptyDropState.h"
#include "Preview/LoupeBar.h"
#include "Preview/PreviewCalls.h"
#include "Preview/PreviewToolBar.h"
#include "Preview/ProgressBadge.h"
#include "Preview/TextFocus.h"
#include "Preview/ZoomablePreview.h"

namespace {
constexpr int loupeRightMargin = 14;
constexpr int barBottomMargin = 16;
constexpr int barSideRoom = 16;
}  // namespace

PreviewPane::PreviewPane(AppModel& model, const PreviewCalls& calls, QWidget* parent)
    : QWidget(parent), model_(model), calls_(calls) {
  setObjectName("PreviewPane");
  setAttribute(Qt::WA_OpaquePaintEvent);
  empty_ = new EmptyDropState([this] { calls_.showAddPanel(); }, this);
  picture_ = new ZoomablePreview(model_, calls_, this);
  badge_ = new ProgressBadge(this);
  loupeCorner_ = new QWidget(this);
  loupeCorner_->setObjectName("LoupeCorner");
  auto* loupeRow = new QHBoxLayout(loupeCorner_);
  loupeRow->setContentsMargins(0, 0, 0, 0);
  loupe_ = new LoupeBar(model_, loupeCorner_);
  loupeRow->addWidget(loupe_);
  connect(picture_, &ZoomablePreview::geometryReported, loupe_, &LoupeBar::refresh);
  bar_ = new PreviewToolBar(model_, calls_, this);
  highlight_ = new DropHighlight(this);
  highlight_->hide();

  for (auto changed : {&AppModel::itemsChanged,
                       &AppModel::selectionChanged,
                       &AppModel::previewChanged,
                       &AppModel::isRenderingChanged,
                       &AppModel::isRenderingDetailChanged,
                       &AppModel::compareModeChanged,
                       &AppModel::showNegativeChanged,
                       &AppModel::cropModeChanged,
                       &AppModel::wbPickModeChanged,
                       &AppModel::redEyeModeChanged,
                       &AppModel::dodgeModeChanged,
                       &AppModel::spotModeChanged,
                       &AppModel::dustCandidatesChanged,
                       &AppModel::keptDustChanged,
                       &AppModel::spotSelectingChanged,
                       &AppModel::selectedRepairChanged,
                       &AppModel::selectedLayerIDChanged,
                       &AppModel::liveRotationChanged,
                       &AppModel::beforePreviewChanged,
                       &AppModel::previewIsUncroppedChanged}) {
    connect(&model_, changed, this, &PreviewPane::refresh);
  }
  connect(&model_.preferences(), &Preferences::changed, this, [this](const QString& key) {
    if (key == "healTool" || key == "dodgeShape") refresh();
  });
  qApp->installEventFilter(this);
  refresh();
}

PreviewPane::~PreviewPane() { qApp->removeEventFilter(this); }

QColor PreviewPane::background() { return ZoomablePreview::backdrop(); }

void PreviewPane::setDropTargeted(bool targeted) {
  if (dropTargeted_ == targeted) return;
  dropTargeted_ = targeted;
  highlight_->setVisible(targeted);
  highlight_->raise();
}

void PreviewPane::refresh() {
  flags_ = PreviewLayers::flagsOf(model_);
  const bool shown = flags_.hasScans && model_.preview();
  empty_->setVisible(!flags_.hasScans);
  picture_->setVisible(shown);
  loupeCorner_->setVisible(shown);
  badge_->setVisible(model_.isRendering() || model_.isRenderingDetail());
  badge_->setText(PreviewLayers::badgeText(model_.isRendering(), model_.isRenderingDetail()));
  bar_->refresh(PreviewLayers::bar(flags_));
  place();
}

void PreviewPane::place() {
  const QRect area = rect();
  picture_->setGeometry(area);
  empty_->setGeometry(area);
  highlight_->setGeometry(area);

  const QSize badge = badge_->sizeHint();
  badge_->setGeometry(area.right() + 1 - badge.width(), area.top(), badge.width(), badge.height());

  const QSize loupe = loupeCorner_->sizeHint().expandedTo(QSize(0, 0));
  const int loupeBottom = PreviewLayers::loupeBottomMargin(flags_);
  loupeCorner_->setGeometry(area.width() - loupeRightMargin - loupe.width(),
                            area.height() - loupeBottom - loupe.height(), loupe.width(),
                            loupe.height());

  if (bar_->kind() != BarKind::none) {
    const QSize bar = bar_->sizeWithin(std::max(area.width() - 2 * barSideRoom, 0));
    bar_->setGeometry((area.width() - bar.width()) / 2,
                      area.height() - barBottomMargin - bar.height(), bar.width(), bar.height());
  }
  highlight_->raise();
}

void PreviewPane::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), background());
}

void PreviewPane::resizeEvent(QResizeEvent*) { place(); }

bool PreviewPane::pressBarKey(int key) {
  if (!bar_->isVisible()) return false;
  QAbstractButton* button = key == Qt::Key_Escape ? bar_->backButton() : bar_->confirmButton();
  if (!button || !button->isEnabled()) return false;
  button->click();
  return true;
}

bool PreviewPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !isVisible()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool confirm = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (!confirm && key->key() != Qt::Key_Escape) return false;
  // Without modifiers; the keypad's Enter carries the keypad flag.
  if (key->modifiers() & ~Qt::KeypadModifier) return false;
  const auto* receiver = qobject_cast<QWidget*>(watched);
  if (!receiver || receiver->window() != window()) return false;
  if (TextFocus::held(QApplication::focusWidget())) return false;
  return pressBarKey(confirm ? Qt::Key_Return : Qt::Key_Escape);
}
