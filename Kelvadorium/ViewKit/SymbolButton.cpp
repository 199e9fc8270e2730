#include "ViewKit/SymbolButton.h"

#include <QToolButton>

#include "Windows/SymbolIcons.h"

namespace SymbolButton {

QToolButton* make(const QString& name, const QString& symbol, const QString& help,
                  QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(SymbolIcons::icon(symbol));
  button->setToolTip(help);
  return button;
}

}  // namespace SymbolButton
