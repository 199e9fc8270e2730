// The context menu of a thumbnail: export, leave out of (or take back into) Export All, show in
// the file manager, remove. It acts on the clicked scan, or on every marked scan when the clicked
// one is among several marked; the targets are worked out once, when the menu is built.
#pragma once

#include <QString>
#include <vector>

#include "Support/Uuid.h"

class AppModel;
class QMenu;
class QWidget;

namespace ThumbMenu {

// The four titles, in order, for n targets and the clicked scan's own `skipped`.
std::vector<QString> titles(size_t n, bool clickedSkipped);

// The menu for the scan `clicked`; nothing when it is no longer in the session. Commands skip
// targets removed meanwhile, and do nothing when none is left.
QMenu* build(AppModel& model, const Uuid& clicked, QWidget* parent);

}  // namespace ThumbMenu
