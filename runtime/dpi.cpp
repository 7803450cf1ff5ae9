#include "runtime/dpi.h"

#include <algorithm>

#include "runtime/file_dialogs.h"

namespace vantrel::runtime {

namespace {

// A function of user32 that older systems lack, or null there.
template <typename Fn>
Fn User32Function(const char* name) {
  Fn function = nullptr;
  Bind(GetModuleHandleW(L"user32.dll"), name, function);
  return function;
}

}  // namespace

int IconSize(int metric, int dpi) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  const int size = forDpi ? forDpi(metric, static_cast<UINT>(dpi)) : GetSystemMetrics(metric);
  return std::clamp(size, 16, 256);
}

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace vantrel::runtime
