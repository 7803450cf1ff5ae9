// The benchmark's baseline: the least a Win32 program does to show a window of Vantrel's size. It registers
// a window class, shows a 406 x 274 popup window centred on the work area (as Vantrel places its own), and
// runs a message loop until the window is closed. Built with the same compiler and flags as Vantrel.exe, so
// that scripts/bench can state start-up time and memory as ratios to this program.
#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"VantrelBenchBareWindow";
constexpr int kWidth = 406, kHeight = 274;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - kWidth) / 2;
  int y = work.top + ((work.bottom - work.top) - kHeight) / 2;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Bare window", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, kWidth,
                              kHeight, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
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
