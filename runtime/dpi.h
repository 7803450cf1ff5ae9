// The DPI a window is drawn at. Per-monitor aware (the manifest says so): on Windows 10 the window's own
// monitor's DPI; where the system has no per-window DPI (Windows 7 and 8), the screen's.
#pragma once
#include <windows.h>

namespace vantrel::runtime {

// Where a window's DPI can be had, newest first; null where the system lacks the function.
struct DpiSources {
  UINT(WINAPI* forWindow)(HWND) = nullptr;  // GetDpiForWindow (user32, Windows 10 1607)
  // GetDpiForMonitor (shcore, Windows 8.1); the third argument is MONITOR_DPI_TYPE.
  HRESULT(WINAPI* forMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};

// This system's, bound on first use; shcore is loaded (from the system folder) only where user32 lacks
// GetDpiForWindow.
const DpiSources& SystemDpiSources();

// The DPI of `window`: its own (GetDpiForWindow), else its monitor's (GetDpiForMonitor, Windows 8.1 and
// Windows 10 before 1607), else the screen's; the screen's for a null window.
int WindowDpi(HWND window);
int WindowDpi(HWND window, const DpiSources& sources);

// The side of the icon the system shows for `metric` (SM_CXICON or SM_CXSMICON) at `dpi`
// (GetSystemMetricsForDpi, bound on first use; where the system lacks it, the system's own size), 16 to 256.
int IconSize(int metric, int dpi);

}  // namespace vantrel::runtime
