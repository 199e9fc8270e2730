// One row of an inspector section that shows model state. The column refreshes every row of
// the open sections once per turn of the event loop: a row shown only while it matters (a
// secondary row, a row of one film type) checks its condition, then reads its values. A hidden
// row keeps its stored value; rows are never made or destroyed for a value change.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

class InspectorRow : public QWidget {
  Q_OBJECT

 public:
  explicit InspectorRow(QWidget* parent = nullptr);

  // Shown only while the condition holds; always shown without one.
  void setShownWhen(std::function<bool()> condition);
  // What a row made of plain widgets reads from the model at each refresh.
  void setRefresher(std::function<void()> refresher);
  // The condition first; the values only while the row is shown.
  void refresh();

 protected:
  // The row's own reading of the model.
  virtual void refreshValues();

 public:
  // Refreshes `rows`, inside `content`, with the content's layout held off meanwhile: a row shown
  // in a visible layout lays out the whole column at once, so rows that come and go together
  // cost one layout, run at the end.
  static void refreshAll(QWidget& content, const std::vector<InspectorRow*>& rows);

 private:
  std::function<bool()> shownWhen_;
  std::function<void()> refresher_;
};
