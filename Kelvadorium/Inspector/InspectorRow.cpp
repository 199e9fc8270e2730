#include "Inspector/InspectorRow.h"

#include <QLayout>

InspectorRow::InspectorRow(QWidget* parent) : QWidget(parent) {}

void InspectorRow::setShownWhen(std::function<bool()> condition) {
  shownWhen_ = std::move(condition);
}

void InspectorRow::setRefresher(std::function<void()> refresher) {
  refresher_ = std::move(refresher);
}

void InspectorRow::refresh() {
  if (shownWhen_) {
    const bool shown = shownWhen_();
    if (shown == isHidden()) setVisible(shown);
    if (!shown) return;
  }
  refreshValues();
}

void InspectorRow::refreshValues() {
  if (refresher_) refresher_();
}

void InspectorRow::refreshAll(QWidget& content, const std::vector<InspectorRow*>& rows) {
  QLayout* layout = content.layout();
  const bool held = layout && layout->isEnabled();
  if (held) layout->setEnabled(false);
  for (InspectorRow* row : rows) row->refresh();
  if (!held) return;
  layout->setEnabled(true);
  // What showing a row does, once for all the rows: lay out the content and what holds it, up
  // to the column. A layout that nothing changed returns at once.
  for (QWidget* w = &content; w && w->isVisible() && w->layout(); w = w->parentWidget()) {
    w->layout()->activate();
    if (w->isWindow()) break;
  }
}
