#include "Preview/ProgressBadge.h"

#include <QHBoxLayout>
#include <QLabel>

#include "Preview/Spinner.h"
#include "Windows/FontRoles.h"

ProgressBadge::ProgressBadge(QWidget* parent) : QWidget(parent) {
  setObjectName("ProgressBadge");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // It floats on the pane's dark grey whatever the window's colours: light text.
  QPalette light = palette();
  light.setColor(QPalette::WindowText, Qt::white);
  setPalette(light);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(10, 10, 10, 10);
  row->setSpacing(8);
  label_ = new QLabel(this);
  FontRoles::apply(*label_, FontRole::caption, true);
  label_->hide();
  spinner_ = new Spinner(this);
  row->addWidget(label_);
  row->addWidget(spinner_);
}

void ProgressBadge::setText(const QString& text) {
  label_->setText(text);
  label_->setVisible(!text.isEmpty());
  adjustSize();
}

QString ProgressBadge::text() const {
  return label_->isVisibleTo(this) ? label_->text() : QString();
}
