#include "ViewKit/MenuButton.h"

#include <QMenu>

MenuButton::MenuButton(const QString& title, const QIcon& icon, QWidget* parent)
    : QToolButton(parent), menu_(new QMenu(title, this)) {
  setText(title);
  setIcon(icon);
  setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
  setPopupMode(QToolButton::InstantPopup);
  QToolButton::setMenu(menu_);
}
