#include "ViewKit/SegmentedPicker.h"

#include <QHBoxLayout>
#include <QToolButton>

SegmentedPicker::SegmentedPicker(QWidget* parent) : QWidget(parent) {
  group_ = new QButtonGroup(this);
  group_->setExclusive(true);
  layout_ = new QHBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::chosen);
}

QToolButton* SegmentedPicker::addSegment(int id, const QString& title, const QIcon& icon,
                                         const QString& help) {
  auto* button = new QToolButton(this);
  button->setCheckable(true);
  button->setText(title);
  button->setIcon(icon);
  button->setToolTip(help);
  button->setToolButtonStyle(icon.isNull()     ? Qt::ToolButtonTextOnly
                             : title.isEmpty() ? Qt::ToolButtonIconOnly
                                               : Qt::ToolButtonTextBesideIcon);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  group_->addButton(button, id);
  layout_->addWidget(button);
  return button;
}

void SegmentedPicker::showCurrent(int id) {
  const QSignalBlocker blocker(group_);
  if (QAbstractButton* button = group_->button(id)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group keeps one button checked; none is shown by lifting exclusivity briefly.
  group_->setExclusive(false);
  for (QAbstractButton* button : group_->buttons()) button->setChecked(false);
  group_->setExclusive(true);
}

QToolButton* SegmentedPicker::segment(int id) const {
  return static_cast<QToolButton*>(group_->button(id));
}
