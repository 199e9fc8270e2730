#include "Sidebar/FilmstripView.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "Model/AppModel.h"
#include "Sidebar/ThumbnailScroller.h"
#include "Windows/FontRoles.h"

FilmstripView::FilmstripView(AppModel& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName("FilmstripView");
  // The sRGB grey of white level 0.1, opaque, with light text over it.
  QPalette dark = palette();
  const QColor ground = QColor::fromRgbF(0.1f, 0.1f, 0.1f);
  for (auto role : {QPalette::Window, QPalette::Base}) dark.setColor(role, ground);
  for (auto role : {QPalette::WindowText, QPalette::Text}) dark.setColor(role, QColor(235, 235, 235));
  setPalette(dark);
  setAutoFillBackground(true);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget;
  column->addWidget(stack_);
  empty_ = new QLabel("No scans yet");
  FontRoles::apply(*empty_, FontRole::body, true);
  empty_->setAlignment(Qt::AlignCenter);
  stack_->addWidget(empty_);
  strip_ = new ThumbnailScroller(model_, ThumbnailScroller::Flow::strip);
  strip_->viewport()->setAutoFillBackground(false);
  stack_->addWidget(strip_);

  connect(strip_, &ThumbnailScroller::laidOut, this, [this] { model_.plain().thumbColumns = 1; });
  connect(&model_, &AppModel::itemsChanged, this, &FilmstripView::refresh);
  refresh();
}

void FilmstripView::refresh() {
  const bool any = !model_.items().empty();
  stack_->setCurrentWidget(any ? static_cast<QWidget*>(strip_) : empty_);
  model_.plain().thumbColumns = 1;
}
