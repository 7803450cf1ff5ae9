#include "runtime/dpi.h"

#include <algorithm>

#include "runtime/handles.h"
#include "runtime/late_binding.h"

namespace vantrel::runtime {

int IconSize(int metric, int dpi) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = LoadedFunction<GetSystemMetricsForDpiFn>(L"user32.dll", "GetSystemMetricsForDpi");
  const int size = forDpi ? forDpi(metric, static_cast<UINT>(dpi)) : GetSystemMetrics(metric);
  return std::clamp(size, 16, 256);
}

const DpiSources& SystemDpiSources() {
  static const DpiSources sources = [] {
    DpiSources found;
    Bind(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow", found.forWindow);
    if (!found.forWindow) Bind(LoadFromSystemFolder(L"shcore.dll"), "GetDpiForMonitor", found.forMonitor);
    return found;
  }();
  return sources;
}

int WindowDpi(HWND window) { return WindowDpi(window, SystemDpiSources()); }

int WindowDpi(HWND window, const DpiSources& sources) {
  if (window && sources.forWindow)
    if (const UINT dpi = sources.forWindow(window)) return static_cast<int>(dpi);
  // The monitor's effective DPI: what Windows 8.1 scales a per-monitor aware window's monitor to. The screen
  // DC below gives the system DPI, the primary monitor's at sign-in, on every monitor.
  if (window && sources.forMonitor) {
    constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
    UINT x = 0, y = 0;
    if (HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST))
      if (SUCCEEDED(sources.forMonitor(monitor, kEffectiveDpi, &x, &y)) && x) return static_cast<int>(x);
  }
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : USER_DEFAULT_SCREEN_DPI;
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace vantrel::runtime
