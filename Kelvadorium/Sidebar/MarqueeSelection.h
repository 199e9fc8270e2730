// The rubber band of the thumbnail views: a press that moves 6 from where it went down becomes
// a marquee (and is then no click); the keys held at its first change fix what it adds to; every
// later move hands the touched cells and that base to the model, also when nothing changed. The
// end sends nothing. Points are in the content's coordinates, so the band scrolls with the cells
// and a drag beyond the view simply reaches past them.
#pragma once

#include <QPointF>
#include <QRectF>
#include <Qt>
#include <optional>
#include <set>
#include <vector>

#include "Sidebar/ThumbGrid.h"
#include "Support/Uuid.h"

class AppModel;

class MarqueeSelection {
 public:
  explicit MarqueeSelection(AppModel& model) : model_(model) {}

  void press(QPointF at);
  // True while the press is a marquee (the view repaints the band).
  bool move(QPointF at, Qt::KeyboardModifiers modifiers, const ThumbGrid::Layout& layout,
            const std::vector<Uuid>& ids, bool horizontal);
  // True when the press ended as a marquee, so it is no click.
  bool release();

  bool pressed() const { return press_.has_value(); }
  const std::optional<QRectF>& rect() const { return rect_; }
  const std::optional<std::set<Uuid>>& base() const { return base_; }

 private:
  AppModel& model_;
  std::optional<QPointF> press_;
  std::optional<QRectF> rect_;
  std::optional<std::set<Uuid>> base_;
};
