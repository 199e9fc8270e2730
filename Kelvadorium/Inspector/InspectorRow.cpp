#include "Inspector/InspectorRow.h"

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
