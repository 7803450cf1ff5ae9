// Thin helpers for the control messages used in several places: check state, window text, and the font the
// program's windows give their controls.
#pragma once
#include <windows.h>

#include <string>

#include "runtime/handles.h"

namespace vantrel::runtime {

// A check box's or option button's state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE); 0 for no window.
int CheckState(HWND button);
inline bool IsChecked(HWND button) { return CheckState(button) == BST_CHECKED; }
void SetChecked(HWND button, bool checked);

// The text of a window (a text box, a label), any length.
std::wstring WindowText(HWND window);
inline void SetText(HWND window, const std::wstring& text) { SetWindowTextW(window, text.c_str()); }

// The controls' font of every window of the program: SimSun 9 pt, GB2312, at `dpi`. Null when it cannot be made.
UniqueFont ControlFont(int dpi);

}  // namespace vantrel::runtime
