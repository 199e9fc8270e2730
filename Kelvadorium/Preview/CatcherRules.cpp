#include "Preview/CatcherRules.h"

namespace CatcherRules {

namespace {

// Ctrl, Alt and Meta hand a key to the menus and shortcuts; AltGr is not Alt.
bool commandHeld(Qt::KeyboardModifiers m) {
  return m & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

Decision report(Decision::Report what) {
  Decision d;
  d.report = what;
  return d;
}

Decision browse(BrowseKey key, bool shift) {
  Decision d = report(Decision::Report::browse);
  d.browse = key;
  d.shift = shift;
  return d;
}

Decision pressed(const Key& k) {
  if (k.key == Qt::Key_Space) {
    if (k.textFocus) return {};
    Decision d = report(k.spaceDown ? Decision::Report::none : Decision::Report::spaceDown);
    d.swallow = true;
    return d;
  }
  const bool passes = commandHeld(k.modifiers) || k.textFocus;
  if (k.text == "[" || k.text == "]") {
    if (passes) return {};
    Decision d = report(Decision::Report::bracket);
    d.larger = k.text == "]";
    return d;
  }
  if (k.key == Qt::Key_Backspace || k.key == Qt::Key_Delete) {
    return passes ? Decision{} : browse(BrowseKey::delete_, false);
  }
  const bool shift = k.modifiers & Qt::ShiftModifier;
  switch (k.key) {
    case Qt::Key_Left:
      return passes ? Decision{} : browse(BrowseKey::left, shift);
    case Qt::Key_Right:
      return passes ? Decision{} : browse(BrowseKey::right, shift);
    case Qt::Key_Down:
      return passes ? Decision{} : browse(BrowseKey::down, shift);
    case Qt::Key_Up:
      return passes ? Decision{} : browse(BrowseKey::up, shift);
    case Qt::Key_M:
      return passes || shift ? Decision{} : browse(BrowseKey::mark, false);
    default:
      return {};
  }
}

}  // namespace

Decision decide(const Key& k) {
  if (!k.press) {
    if (k.key != Qt::Key_Space || !k.spaceDown) return {};
    // A repeat's release is no release. A release in another window still ends the held space
    // (the key went up while ours no longer had it) but stays that window's event.
    if (k.autoRepeat)
      return k.ownWindow ? Decision{Decision::Report::none, false, {}, false, true} : Decision{};
    Decision d = report(Decision::Report::spaceUp);
    d.swallow = k.ownWindow;
    return d;
  }
  if (!k.ownWindow) return {};
  return pressed(k);
}

bool takesScroll(bool ownWindow, bool inside) { return ownWindow && inside; }

}  // namespace CatcherRules
