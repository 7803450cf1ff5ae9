// The DPI a window is drawn at. Per-monitor aware (the manifest says so): on Windows 10 the window's own
// monitor's DPI; where the system has no per-window DPI (Windows 7 and 8), the screen's.
#pragma once
#include <windows.h>

namespace vantrel::runtime {

// The DPI of `window` (GetDpiForWindow, bound on first use), or the screen's when the system lacks it or
// the window is null.
int WindowDpi(HWND window);

}  // namespace vantrel::runtime
