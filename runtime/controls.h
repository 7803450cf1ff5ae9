// Thin helpers for the control messages used in several places: check state and window text.
#pragma once
#include <windows.h>

#include <string>

namespace vantrel::runtime {

// A check box's or option button's state (BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE); 0 for no window.
int CheckState(HWND button);
inline bool IsChecked(HWND button) { return CheckState(button) == BST_CHECKED; }
void SetChecked(HWND button, bool checked);

// The text of a window (a text box, a label), any length.
std::wstring WindowText(HWND window);
inline void SetText(HWND window, const std::wstring& text) { SetWindowTextW(window, text.c_str()); }

}  // namespace vantrel::runtime
