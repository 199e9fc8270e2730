// The scrolling body both thumbnail views share: cells laid out by arithmetic and painted only
// where they show, clicks that select (Ctrl or Alt toggles the mark, Shift marks a run), the
// rubber band, the context menu, and the scroll that follows the selection (a 0.15 s ease-out
// animation whose target is set at once). The sidebar lays the cells out in a grid, the
// filmstrip in one row.
#pragma once

#include <QAbstractScrollArea>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <optional>

#include "Sidebar/MarqueeSelection.h"
#include "Sidebar/ThumbGrid.h"
#include "Sidebar/ThumbPixmapCache.h"

class AppModel;
class QPropertyAnimation;
class ThumbnailList;

class ThumbnailScroller : public QAbstractScrollArea {
  Q_OBJECT

 public:
  enum class Flow { grid, strip };

  ThumbnailScroller(AppModel& model, Flow flow, QWidget* parent = nullptr);

  const ThumbGrid::Layout& layout() const { return layout_; }
  ThumbnailList& list() const { return *list_; }
  ThumbPixmapCache& pixmaps() { return pixmaps_; }
  const MarqueeSelection& marquee() const { return marquee_; }
  // The scroll offset the running (or last) selection scroll goes to.
  std::optional<int> scrollTarget() const { return scrollTarget_; }
  // Ends a running selection scroll at its target at once.
  void settleScroll();
  // A cell's frame in the viewport's coordinates.
  QRectF cellRect(int index) const;
  // The cell under a viewport point, if any.
  std::optional<int> cellAt(QPoint viewportPoint) const;
  // The context menu last opened (tests close it).
  QMenu* contextMenu() const { return menu_; }
  // Lays the cells out again for the current size; the views call it when theirs changes.
  void relayout();

 signals:
  // After every layout pass, with the width the cells were laid out across.
  void laidOut(double width);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  QPointF contentPoint(QPointF viewportPoint) const;
  QPointF offset() const;
  void followSelection();
  void repaintRow(int row);
  void tickSpinners();

  AppModel& model_;
  Flow flow_;
  ThumbnailList* list_;
  ThumbGrid::Layout layout_;
  ThumbPixmapCache pixmaps_;
  MarqueeSelection marquee_;
  std::optional<int> pressedCell_;
  std::optional<int> scrollTarget_;
  QPropertyAnimation* scrolling_ = nullptr;
  QPointer<QMenu> menu_;
  QTimer spinner_;
  int spinnerPhase_ = 0;
  std::vector<int> spinning_;  // cells drawn with a spinner at the last paint
};
