#include "Sidebar/ThumbnailSidebar.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "Model/AppModel.h"
#include "Sidebar/ThumbGrid.h"
#include "Sidebar/ThumbnailScroller.h"
#include "Windows/FontRoles.h"
#include "Windows/SymbolIcons.h"

ThumbnailSidebar::ThumbnailSidebar(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  setObjectName("ThumbnailSidebar");
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  stack_ = new QStackedWidget;
  column->addWidget(stack_, 1);

  empty_ = new QWidget;
  auto* emptyColumn = new QVBoxLayout(empty_);
  emptyColumn->setSpacing(8);
  emptyColumn->addStretch(1);
  auto* symbol = new QLabel;
  const int side = QFontMetrics(FontRoles::font(FontRole::largeTitle)).height();
  symbol->setPixmap(SymbolIcons::icon("film.stack").pixmap(QSize(side, side), QIcon::Disabled));
  symbol->setAlignment(Qt::AlignHCenter);
  emptyColumn->addWidget(symbol);
  auto* none = new QLabel("No scans yet");
  FontRoles::apply(*none, FontRole::body, true);
  none->setAlignment(Qt::AlignHCenter);
  emptyColumn->addWidget(none);
  emptyColumn->addStretch(1);
  stack_->addWidget(empty_);

  grid_ = new ThumbnailScroller(model_, ThumbnailScroller::Flow::grid);
  stack_->addWidget(grid_);

  count_ = new QLabel;
  FontRoles::apply(*count_, FontRole::caption, true);
  count_->setAlignment(Qt::AlignCenter);
  count_->setContentsMargins(0, 6, 0, 6);
  count_->setTextFormat(Qt::PlainText);
  count_->setAutoFillBackground(true);
  count_->setBackgroundRole(QPalette::Window);
  column->addWidget(count_);

  connect(&model_, &AppModel::itemsChanged, this, &ThumbnailSidebar::refresh);
  connect(grid_, &ThumbnailScroller::laidOut, this, &ThumbnailSidebar::storeColumns);
  refresh();
}

void ThumbnailSidebar::refresh() {
  const std::vector<ImageItem>& items = model_.items();
  const bool any = !items.empty();
  stack_->setCurrentWidget(any ? static_cast<QWidget*>(grid_) : empty_);
  const size_t skipped = static_cast<size_t>(
      std::count_if(items.begin(), items.end(), [](const ImageItem& i) { return i.skipped; }));
  count_->setVisible(any);
  count_->setText(ThumbGrid::countLine(items.size(), skipped));
  storeColumns();
}

// The width the cells are laid out across: the grid's viewport, less a shown scroll bar; with
// the empty state, the sidebar's own width.
void ThumbnailSidebar::storeColumns() {
  const double width =
      stack_->currentWidget() == grid_ ? grid_->viewport()->width() : double(this->width());
  if (width == storedWidth_) return;
  storedWidth_ = width;
  model_.plain().thumbColumns = ThumbGrid::columnEstimate(width);
}

void ThumbnailSidebar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  storeColumns();
}

// Shown again after the filmstrip set one column: the estimate is written afresh.
void ThumbnailSidebar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  storedWidth_ = -1;
  storeColumns();
}
