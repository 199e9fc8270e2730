// A button that opens its menu at once when clicked: a QToolButton with a QMenu of its own.
#pragma once

#include <QToolButton>

class QMenu;

class MenuButton final : public QToolButton {
  Q_OBJECT

 public:
  MenuButton(const QString& title, const QIcon& icon = {}, QWidget* parent = nullptr);
  QMenu* menu() const { return menu_; }

 private:
  QMenu* menu_;
};
