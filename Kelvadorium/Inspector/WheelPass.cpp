#include "Inspector/WheelPass.h"

#include <QEvent>
#include <QWidget>

namespace WheelPass {

namespace {

// Stops the wheel at the control unaccepted: the application then offers it to the parents,
// up to the column's scroll area.
class Filter final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    event->ignore();
    return true;
  }
};

}  // namespace

void install(QWidget& control) { control.installEventFilter(new Filter(&control)); }

}  // namespace WheelPass
