// A row of exclusive choices drawn as joined buttons, one of them current. It reports only the
// user's click on a choice; showing the current one reports nothing.
#pragma once

#include <QButtonGroup>
#include <QIcon>
#include <QWidget>

class QHBoxLayout;
class QToolButton;

class SegmentedPicker final : public QWidget {
  Q_OBJECT

 public:
  explicit SegmentedPicker(QWidget* parent = nullptr);

  // A choice with its id; the title or the icon may be empty.
  QToolButton* addSegment(int id, const QString& title, const QIcon& icon = {},
                          const QString& help = {});
  // Shows the choice with this id as current; an id of no choice shows none.
  void showCurrent(int id);
  int current() const { return group_->checkedId(); }
  QToolButton* segment(int id) const;

 signals:
  void chosen(int id);

 private:
  QButtonGroup* group_;
  QHBoxLayout* layout_;
};
