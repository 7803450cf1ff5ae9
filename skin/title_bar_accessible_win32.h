// The title bar's accessible object (Active Accessibility), made for each client that asks the control's
// window for OBJID_CLIENT. What it answers is decided in title_bar_accessible.h; this is the COM shell.
#pragma once
#include <windows.h>

namespace vantrel::skin {

// The answer to WM_GETOBJECT for the control window `control`; false (and nothing made) for objects other
// than the client object, or when the system's accessibility library cannot be had.
bool AnswerGetObject(HWND control, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace vantrel::skin
