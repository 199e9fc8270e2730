// Whether a text field has the keyboard: a focused line or text edit, spin box or editable combo
// box. Keys that act on the window (Return and Escape on the preview's tool bars, the brush and
// browse keys) leave it alone then.
#pragma once

class QWidget;

namespace TextFocus {

bool held(const QWidget* focused);

}  // namespace TextFocus
