#include "Sidebar/MarqueeSelection.h"

#include "Model/AppModel.h"
#include "Sidebar/MarqueeRules.h"

void MarqueeSelection::press(QPointF at) {
  press_ = at;
  rect_.reset();
  base_.reset();
}

bool MarqueeSelection::move(QPointF at, Qt::KeyboardModifiers modifiers,
                            const ThumbGrid::Layout& layout, const std::vector<Uuid>& ids,
                            bool horizontal) {
  if (!press_) return false;
  if (!base_) {
    if (!MarqueeRules::isDrag(*press_, at)) return false;
    if (MarqueeRules::adds(modifiers)) {
      const std::vector<Uuid> targets = model_.targetIDs();
      base_ = std::set<Uuid>(targets.begin(), targets.end());
    } else {
      base_ = std::set<Uuid>();
    }
  }
  rect_ = MarqueeRules::spanned(*press_, at);
  model_.applyMarquee(
      MarqueeRules::result(MarqueeRules::hits(layout, ids, *rect_, horizontal), *base_));
  return true;
}

bool MarqueeSelection::release() {
  const bool wasMarquee = base_.has_value();
  press_.reset();
  rect_.reset();
  base_.reset();
  return wasMarquee;
}
