// The benchmark's baseline: the least a Win32 program does to show a window of Vantrel's size. It registers
// a window class, shows a 406 x 274 popup window centred on the work area (as Vantrel places its own), and
// runs a message loop until the window is closed. Built with the same compiler and flags as Vantrel.exe, so
// that scripts/bench can state start-up time and memory as ratios to this program.
//
// Built a second time with VANTREL_BENCH_PLATFORM_FEATURES, it is the second baseline: the same window with
// the platform features Vantrel's window is made of and cannot do without, and nothing of Vantrel's own
// work. It imports the DLLs Vantrel imports, runs with common controls 6 (Vantrel's manifest), initialises
// COM for the shell's folder browser and adds a tray icon.
#include <windows.h>
#if VANTREL_BENCH_PLATFORM_FEATURES
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#endif

namespace {

#if VANTREL_BENCH_PLATFORM_FEATURES
constexpr wchar_t kClassName[] = L"VantrelBenchPlatformWindow";
#else
constexpr wchar_t kClassName[] = L"VantrelBenchBareWindow";
#endif
constexpr int kWidth = 406, kHeight = 274;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
#if VANTREL_BENCH_PLATFORM_FEATURES
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = hwnd;
    Shell_NotifyIconA(NIM_DELETE, &icon);
#endif
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#if VANTREL_BENCH_PLATFORM_FEATURES
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
#endif
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
#if VANTREL_BENCH_PLATFORM_FEATURES
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));  // imports gdi32, as Vantrel does
#else
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
#endif
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - kWidth) / 2;
  int y = work.top + ((work.bottom - work.top) - kHeight) / 2;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Bare window", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, kWidth,
                              kHeight, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
#if VANTREL_BENCH_PLATFORM_FEATURES
  NOTIFYICONDATAA icon{};
  icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon.hWnd = hwnd;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = WM_APP;
  icon.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, LR_SHARED));
  lstrcpynA(icon.szTip, "Bench", sizeof icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &icon);
#endif
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);

  // WM_CLOSE destroys the window (DefWindowProc), WM_DESTROY ends the loop.
  MSG msg;
  int status;
  while ((status = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (IsWindow(hwnd)) DestroyWindow(hwnd);  // the loop failed: don't leave the window behind
  return status == 0 ? static_cast<int>(msg.wParam) : 1;
}
