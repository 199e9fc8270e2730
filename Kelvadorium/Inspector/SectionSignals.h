// A section that shows model state the column does not follow (a tool mode, the live straighten
// angle, the selected layer, a tool preference) refreshes its own rows on those changes, once
// per turn of the event loop like the column.
#pragma once

#include <initializer_list>

class AppModel;
class QWidget;
class RefreshGate;

namespace SectionSignals {

using Signal = void (AppModel::*)();

// Refreshes the rows of `content` after any of the signals; with `preferences` also after a
// write of any stored preference. The gate belongs to the content.
RefreshGate* follow(QWidget& content, AppModel& model, std::initializer_list<Signal> changes,
                    bool preferences = false);

}  // namespace SectionSignals
