// Help texts that end with the shortcut of the menu command doing the same thing, written from
// the command's key sequence as the desktop writes it (Ctrl+Alt+G), so a tooltip never names a
// key the menu does not bind.
#pragma once

#include <QKeySequence>
#include <QString>

namespace ShortcutText {

QString keys(const QKeySequence& shortcut);
// "help (keys)"; the help alone when the sequence is empty.
QString help(const QString& text, const QKeySequence& shortcut);

}  // namespace ShortcutText
