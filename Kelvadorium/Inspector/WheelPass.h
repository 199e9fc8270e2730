// Controls of the inspector that Qt lets the wheel change (a picker, the straighten slider) hand
// the wheel on to the scrolling column instead, so scrolling past them never edits a scan.
#pragma once

class QWidget;

namespace WheelPass {

void install(QWidget& control);

}  // namespace WheelPass
