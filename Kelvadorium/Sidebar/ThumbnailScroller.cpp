#include "Sidebar/ThumbnailScroller.h"

#include <QContextMenuEvent>
#include <QEasingCurve>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <algorithm>

#include "Model/AppModel.h"
#include "Sidebar/ThumbMenu.h"
#include "Sidebar/ThumbnailCell.h"
#include "Sidebar/ThumbnailList.h"
#include "Windows/FontRoles.h"

namespace {
constexpr int scrollMilliseconds = 150;
constexpr int spinnerMilliseconds = 100;
}  // namespace

ThumbnailScroller::ThumbnailScroller(AppModel& model, Flow flow, QWidget* parent)
    : QAbstractScrollArea(parent), model_(model), flow_(flow), marquee_(model) {
  setFrameShape(QFrame::NoFrame);
  list_ = new ThumbnailList(model_, this);
  if (flow_ == Flow::grid) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  } else {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  viewport()->setMouseTracking(false);
  // A new thumbnail repaints its own cell; only a changed list of scans lays the cells out.
  connect(list_, &ThumbnailList::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) {
            for (int row = from.row(); row <= to.row(); ++row) repaintRow(row);
          });
  connect(list_, &ThumbnailList::rowsInserted, this, &ThumbnailScroller::relayout);
  connect(list_, &ThumbnailList::modelReset, this, &ThumbnailScroller::relayout);
  connect(&model_, &AppModel::markedChanged, viewport(), qOverload<>(&QWidget::update));
  connect(&model_, &AppModel::selectionChanged, this, [this] {
    viewport()->update();
    followSelection();
  });
  scrolling_ = new QPropertyAnimation(this);
  scrolling_->setDuration(scrollMilliseconds);
  scrolling_->setEasingCurve(QEasingCurve::OutCubic);
  scrolling_->setPropertyName("value");
  spinner_.setSingleShot(true);
  spinner_.setInterval(spinnerMilliseconds);
  connect(&spinner_, &QTimer::timeout, this, &ThumbnailScroller::tickSpinners);
  relayout();
}

void ThumbnailScroller::relayout() {
  const double caption = ThumbnailCell::captionHeight(FontRoles::font(FontRole::caption2));
  const int count = static_cast<int>(list_->ids().size());
  const QSize view = viewport()->size();
  if (flow_ == Flow::grid) {
    layout_ = ThumbGrid::grid(view.width(), count, caption);
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(layout_.height)) - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    verticalScrollBar()->setSingleStep(int(layout_.yStep / 3));
  } else {
    layout_ = ThumbGrid::strip(height(), view.height(), count, caption);
    horizontalScrollBar()->setRange(0, std::max(0, int(std::ceil(layout_.width)) - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    horizontalScrollBar()->setSingleStep(int(layout_.xStep / 3));
  }
  viewport()->update();
  emit laidOut(view.width());
}

QPointF ThumbnailScroller::offset() const {
  return {double(horizontalScrollBar()->value()), double(verticalScrollBar()->value())};
}

QPointF ThumbnailScroller::contentPoint(QPointF viewportPoint) const {
  return viewportPoint + offset();
}

QRectF ThumbnailScroller::cellRect(int index) const {
  return layout_.frame(index).translated(-offset());
}

std::optional<int> ThumbnailScroller::cellAt(QPoint viewportPoint) const {
  const QPointF at = contentPoint(viewportPoint);
  const bool across = flow_ == Flow::strip;
  const auto [first, last] = layout_.indexesAcross(across ? at.x() : at.y(),
                                                   across ? at.x() : at.y(), across);
  for (int i = first; i < last; ++i) {
    if (layout_.frame(i).contains(at)) return i;
  }
  return std::nullopt;
}

void ThumbnailScroller::repaintRow(int row) {
  viewport()->update(cellRect(row).toAlignedRect().adjusted(-2, -2, 2, 2));
}

void ThumbnailScroller::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QRectF dirty = QRectF(event->rect()).translated(offset());
  const bool across = flow_ == Flow::strip;
  const auto [first, last] = across ? layout_.indexesAcross(dirty.left(), dirty.right(), true)
                                    : layout_.indexesAcross(dirty.top(), dirty.bottom(), false);
  ThumbnailCell::Look look;
  look.accent = palette().color(QPalette::Highlight);
  look.primary = palette().color(QPalette::WindowText);
  look.secondary = FontRoles::secondaryText(*this);
  look.caption = FontRoles::font(FontRole::caption2);
  look.scale = devicePixelRatioF();
  look.spinnerPhase = spinnerPhase_;
  const std::vector<ImageItem>& items = model_.items();
  const std::vector<Uuid>& ids = list_->ids();
  const std::optional<Uuid>& selection = model_.selection();
  const std::set<Uuid>& marked = model_.marked();
  painter.translate(-offset());
  spinning_.clear();
  for (int i = first; i < last && i < static_cast<int>(items.size()); ++i) {
    const ImageItem& item = items[static_cast<size_t>(i)];
    // The list and the model agree except inside the model's own signal; skip a cell then.
    if (static_cast<size_t>(i) >= ids.size() || ids[static_cast<size_t>(i)] != item.id) continue;
    const QRectF frame = layout_.frame(i);
    if (!frame.intersects(dirty)) continue;
    ThumbnailCell::paint(painter, frame, item, selection == item.id, marked.contains(item.id),
                         look, pixmaps_);
    if (!item.thumbnail) spinning_.push_back(i);
  }
  if (const auto& band = marquee_.rect()) {
    QColor fill = look.accent;
    fill.setAlphaF(0.15);
    QColor edge = look.accent;
    edge.setAlphaF(0.8);
    painter.fillRect(*band, fill);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(band->adjusted(0.5, 0.5, -0.5, -0.5));
  }
  if (!spinning_.empty() && !spinner_.isActive()) spinner_.start();
}

void ThumbnailScroller::tickSpinners() {
  spinnerPhase_ = (spinnerPhase_ + 1) % 12;
  const std::vector<int> cells = spinning_;
  for (int i : cells) {
    if (i < layout_.count) {
      const QRectF box = ThumbnailCell::pictureBox(cellRect(i));
      viewport()->update(box.toAlignedRect());
    }
  }
}

void ThumbnailScroller::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  relayout();
}

void ThumbnailScroller::scrollContentsBy(int, int) { viewport()->update(); }

void ThumbnailScroller::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  pressedCell_ = cellAt(event->position().toPoint());
  marquee_.press(contentPoint(event->position()));
  event->accept();
}

// A double-click is a second press: the cell is clicked again, there is no action of its own.
void ThumbnailScroller::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void ThumbnailScroller::mouseMoveEvent(QMouseEvent* event) {
  if (!marquee_.pressed()) return;
  const std::optional<QRectF> before = marquee_.rect();
  const bool band = marquee_.move(contentPoint(event->position()), event->modifiers(), layout_,
                                  list_->ids(), flow_ == Flow::strip);
  if (band) {
    QRectF dirty = marquee_.rect()->translated(-offset());
    if (before) dirty = dirty.united(before->translated(-offset()));
    viewport()->update(dirty.toAlignedRect().adjusted(-2, -2, 2, 2));
  }
  event->accept();
}

void ThumbnailScroller::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !marquee_.pressed()) {
    QAbstractScrollArea::mouseReleaseEvent(event);
    return;
  }
  const std::optional<QRectF> band = marquee_.rect();
  const bool wasMarquee = marquee_.release();
  if (band) viewport()->update(band->translated(-offset()).toAlignedRect().adjusted(-2, -2, 2, 2));
  const std::optional<int> cell = pressedCell_;
  pressedCell_.reset();
  event->accept();
  if (wasMarquee || !cell || *cell >= static_cast<int>(list_->ids().size())) return;
  const Qt::KeyboardModifiers keys = event->modifiers();
  const bool toggle = keys & (Qt::ControlModifier | Qt::AltModifier);
  const bool range = keys & Qt::ShiftModifier;
  model_.selectWithModifiers(list_->ids()[static_cast<size_t>(*cell)], toggle, range);
}

void ThumbnailScroller::contextMenuEvent(QContextMenuEvent* event) {
  const std::optional<int> cell = cellAt(event->pos());
  if (!cell || *cell >= static_cast<int>(list_->ids().size())) return;
  if (menu_) menu_->close();
  menu_ = ThumbMenu::build(model_, list_->ids()[static_cast<size_t>(*cell)], this);
  if (menu_) menu_->popup(event->globalPos());
  event->accept();
}

void ThumbnailScroller::followSelection() {
  const std::optional<Uuid>& selection = model_.selection();
  if (!selection) return;
  const std::vector<Uuid>& ids = list_->ids();
  const auto found = std::find(ids.begin(), ids.end(), *selection);
  if (found == ids.end()) return;
  const QRectF frame = layout_.frame(static_cast<int>(found - ids.begin()));
  QScrollBar* bar = flow_ == Flow::grid ? verticalScrollBar() : horizontalScrollBar();
  double target = 0;
  if (flow_ == Flow::grid) {
    target = ThumbGrid::minimalScroll(bar->value(), viewport()->height(), frame.top(),
                                      frame.bottom(), bar->maximum());
  } else {
    target = ThumbGrid::centredScroll(frame.center().x(), viewport()->width(), bar->maximum());
  }
  const int to = static_cast<int>(std::lround(target));
  scrollTarget_ = to;
  scrolling_->stop();
  if (to == bar->value()) return;
  scrolling_->setTargetObject(bar);
  scrolling_->setStartValue(bar->value());
  scrolling_->setEndValue(to);
  scrolling_->start();
}

void ThumbnailScroller::settleScroll() {
  if (scrolling_->state() != QAbstractAnimation::Running) return;
  scrolling_->stop();
  if (auto* bar = qobject_cast<QScrollBar*>(scrolling_->targetObject())) {
    bar->setValue(scrolling_->endValue().toInt());
  }
}
