// What the preview area shows while the session holds no scans: the film symbol, what may be
// dropped, the kinds of scan read, and a button that opens the Add panel. The button names the
// File menu's key in its tooltip and binds none itself.
#pragma once

#include <QWidget>
#include <functional>

class QPushButton;

class EmptyDropState final : public QWidget {
  Q_OBJECT

 public:
  explicit EmptyDropState(std::function<void()> showAddPanel, QWidget* parent = nullptr);

  QPushButton* addButton() const { return add_; }

 private:
  QPushButton* add_;
};
