#include "runtime/dpi.h"

namespace vantrel::runtime {

int WindowDpi(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static GetDpiForWindowFn getDpiForWindow = [] {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    return user ? reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(GetProcAddress(user, "GetDpiForWindow")))
                : nullptr;
  }();
  if (window && getDpiForWindow)
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace vantrel::runtime
