#include "ViewKit/ShortcutText.h"

namespace ShortcutText {

QString keys(const QKeySequence& shortcut) { return shortcut.toString(QKeySequence::NativeText); }

QString help(const QString& text, const QKeySequence& shortcut) {
  if (shortcut.isEmpty()) return text;
  return text + " (" + keys(shortcut) + ")";
}

}  // namespace ShortcutText
