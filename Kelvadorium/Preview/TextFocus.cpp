#include "Preview/TextFocus.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace TextFocus {

bool held(const QWidget* w) {
  if (!w) return false;
  if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
      qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w)) {
    return true;
  }
  const auto* combo = qobject_cast<const QComboBox*>(w);
  return combo && combo->isEditable();
}

}  // namespace TextFocus
