// Which keys and scrolls the preview's event catcher takes. It sees every key press, key release
// and wheel event of the application before the window dispatches it, and reports to the preview
// only what concerns it: space for temporary panning (one report each way, repeats swallowed),
// "[" and "]" for the brush size, the arrows, M and the delete keys for browsing, and scrolls
// inside the preview. Everything else, and these keys with Ctrl, Alt or Meta, in another window
// or while a text field has the keyboard, is passed on, so menus, shortcuts and text fields keep
// working. Pure functions over values.
#pragma once

#include <QString>
#include <Qt>

#include "Model/BrowseKey.h"

namespace CatcherRules {

struct Key {
  bool press = true;  // false: a release
  int key = 0;        // Qt::Key
  QString text;       // the event's text, which tells the brackets on every keyboard layout
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
  bool autoRepeat = false;
  bool ownWindow = true;   // the event is for the preview's window
  bool textFocus = false;  // a text field has the keyboard
  bool spaceDown = false;  // a space press was reported and its release not yet
};

struct Decision {
  enum class Report { none, spaceDown, spaceUp, bracket, browse };
  Report report = Report::none;
  bool larger = false;  // bracket: "]"
  BrowseKey browse = BrowseKey::left;
  bool shift = false;  // browse: Shift held
  // Swallowed whatever the handler answers (space); otherwise a report is swallowed only when
  // its handler says it handled it, and no report means passed on.
  bool swallow = false;
};

Decision decide(const Key& key);

// A scroll is reported when it is for the preview's window and lies inside the preview.
bool takesScroll(bool ownWindow, bool inside);

}  // namespace CatcherRules
