// The DPI a window is drawn at. Per-monitor aware (the manifest says so): on Windows 10 the window's own
// monitor's DPI; where the system has no per-window DPI (Windows 7 and 8), the screen's.
#pragma once
#include <windows.h>

namespace vantrel::runtime {

// The DPI of `window` (GetDpiForWindow, bound on first use), or the screen's when the system lacks it or
// the window is null.
int WindowDpi(HWND window);

// The side of the icon the system shows for `metric` (SM_CXICON or SM_CXSMICON) at `dpi`
// (GetSystemMetricsForDpi, bound on first use; where the system lacks it, the system's own size), 16 to 256.
int IconSize(int metric, int dpi);

}  // namespace vantrel::runtime
