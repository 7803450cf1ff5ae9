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

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = LoadedFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (window && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  const WindowDc screen(nullptr);
  return screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace vantrel::runtime
