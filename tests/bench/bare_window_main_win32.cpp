// The benchmark's baseline: the least a Win32 program does to show a window of Vantrel's size. It registers
// a window class, shows a 406 x 274 popup window centred on the work area (as Vantrel places its own), and
// runs a message loop until the window is closed. Built with the same compiler and flags as Vantrel.exe, so
// that scripts/bench can state start-up time and memory as ratios to this program.
//
// Built a second time with VANTREL_BENCH_PLATFORM_FEATURES, it is the second baseline: the same window with
// the platform features Vantrel's window is made of and cannot do without, and nothing of Vantrel's own
// work. It imports the DLLs Vantrel imports, runs with common controls 6 (Vantrel's manifest), initialises
// COM for the shell's folder browser and adds a tray icon.
//
// Built a third time with VANTREL_BENCH_NATIVE_CONTROLS as well, it is the third baseline: the platform-features
// window with the native controls Vantrel's window shows at start-up, of the same classes, number, styles and
// captions, in Vantrel's font, placed as Vantrel places them at the window's DPI, but plain: no picture, no
// title-bar skin, no layered window. Whatever Vantrel's start costs above it is Vantrel's own work.
#include <windows.h>
#if VANTREL_BENCH_PLATFORM_FEATURES
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#endif

namespace {

#if VANTREL_BENCH_NATIVE_CONTROLS
constexpr wchar_t kClassName[] = L"VantrelBenchControlsWindow";
#elif VANTREL_BENCH_PLATFORM_FEATURES
constexpr wchar_t kClassName[] = L"VantrelBenchPlatformWindow";
#else
constexpr wchar_t kClassName[] = L"VantrelBenchBareWindow";
#endif
constexpr int kWidth = 406, kHeight = 274;

#if VANTREL_BENCH_NATIVE_CONTROLS
// Vantrel's windows at start-up, in the order it makes them: the mode buttons, the two panels and the title bar
// in the window, then the mount panel's controls. Design pixels (96 dpi); 0 x 0 for labels, which take the size
// of their caption; caption: a string-table id, or 0 for none.
constexpr wchar_t kPanelClass[] = L"VantrelBenchPanel";
constexpr wchar_t kBarClass[] = L"VantrelBenchBar";
struct Child {
  const wchar_t* cls;
  DWORD style, exStyle;
  int panel;  // 0: the window; 1: the mount panel
  int left, top, width, height;
  UINT caption;
};
constexpr DWORD kTab = WS_TABSTOP;
constexpr Child kChildren[] = {
    {L"Button", BS_AUTORADIOBUTTON | BS_PUSHLIKE | WS_GROUP | kTab, 0, 0, 1, 68, 113, 20, 10102},
    {L"Button", BS_AUTORADIOBUTTON | BS_PUSHLIKE, 0, 0, 114, 68, 113, 20, 10103},
    {kPanelClass, WS_CLIPSIBLINGS | WS_GROUP, WS_EX_CONTROLPARENT, 0, 8, 96, 392, 169, 0},
    {kPanelClass, WS_CLIPSIBLINGS | WS_GROUP, WS_EX_CONTROLPARENT, 0, 8, 96, 392, 169, 0},  // hidden, empty
    {kBarClass, WS_CLIPSIBLINGS, 0, 0, 5, 2, 396, 18, 0},
    {L"Static", SS_LEFT | SS_NOPREFIX, 0, 1, 16, 58, 0, 0, 10105},
    {L"Edit", ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE, 1, 104, 56, 33, 18, 0},
    {L"Button", BS_PUSHBUTTON | kTab, 0, 1, 325, 32, 57, 18, 10108},
    {L"Static", SS_LEFT | SS_NOPREFIX, 0, 1, 8, 16, 0, 0, 10104},
    {L"Edit", ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE, 1, 16, 32, 297, 18, 0},
    {L"Static", SS_LEFT | SS_NOPREFIX, 0, 1, 8, 80, 0, 0, 10107},
    {L"Edit", ES_AUTOHSCROLL | kTab, WS_EX_CLIENTEDGE, 1, 16, 96, 297, 18, 0},
    {L"Button", BS_PUSHBUTTON | kTab, 0, 1, 325, 96, 57, 18, 10108},
    {L"Button", BS_PUSHBUTTON | kTab, 0, 1, 0, 136, 121, 25, 10109},
    {L"Button", BS_PUSHBUTTON | kTab, 0, 1, 125, 136, 129, 25, 10110},
    {L"Button", BS_AUTOCHECKBOX | kTab, 0, 1, 144, 56, 73, 17, 10106},
    {L"Static", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_NOTIFY, 0, 1, 221, 58, 161, 14, 0},  // the image line
    {L"Button", BS_PUSHBUTTON | kTab, 0, 1, 258, 136, 129, 25, 10111},
};

int Scaled(int design, int dpi) { return MulDiv(design, dpi, 96); }

void CreateChildren(HINSTANCE instance, HWND window, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(9, dpi, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = GB2312_CHARSET;
  lstrcpynW(lf.lfFaceName, L"宋体", LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&lf);  // lives as long as the program
  HWND mountPanel = nullptr;
  int panels = 0;
  for (const Child& c : kChildren) {
    wchar_t caption[128] = L"";
    if (c.caption) LoadStringW(instance, c.caption, caption, 128);
    if (c.width == 33) lstrcpynW(caption, L"1", 128);  // the index box starts with image 1
    int width = Scaled(c.width, dpi), height = Scaled(c.height, dpi);
    if (c.width == 0) {
      HDC dc = GetDC(nullptr);
      HGDIOBJ old = SelectObject(dc, font);
      SIZE size{};
      GetTextExtentPoint32W(dc, caption, lstrlenW(caption), &size);
      SelectObject(dc, old);
      ReleaseDC(nullptr, dc);
      width = size.cx, height = size.cy;
    }
    const bool secondPanel = c.cls == kPanelClass && panels++ == 1;
    const DWORD visible = secondPanel ? 0 : WS_VISIBLE;
    HWND child = CreateWindowExW(c.exStyle, c.cls, caption, WS_CHILD | visible | c.style, Scaled(c.left, dpi),
                                 Scaled(c.top, dpi), width, height, c.panel ? mountPanel : window, nullptr, instance,
                                 nullptr);
    if (c.cls == kPanelClass && !mountPanel) mountPanel = child;
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.caption == 10102) SendMessageW(child, BM_SETCHECK, BST_CHECKED, 0);
  }
}
#endif

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
#if VANTREL_BENCH_NATIVE_CONTROLS
  WNDCLASSEXW plain{};
  plain.cbSize = sizeof plain;
  plain.lpfnWndProc = DefWindowProcW;
  plain.hInstance = instance;
  plain.hCursor = wc.hCursor;
  plain.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  plain.lpszClassName = kPanelClass;
  RegisterClassExW(&plain);
  plain.lpszClassName = kBarClass;
  RegisterClassExW(&plain);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
#else
  const int dpi = 96;
#endif
  const int width = MulDiv(kWidth, dpi, 96), height = MulDiv(kHeight, dpi, 96);

  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - width) / 2;
  int y = work.top + ((work.bottom - work.top) - height) / 2;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Bare window", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, x, y, width,
                              height, nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
#if VANTREL_BENCH_NATIVE_CONTROLS
  CreateChildren(instance, hwnd, dpi);
#endif
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
