// The main window as the user first meets it: shape and translucency, where the panels and controls are,
// the captions from the string table, keyboard navigation, and the switch between the two panels.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "imaging/panels_win32.h"
#include "resources/artwork.h"
#include "resources/dpi_scale.h"
#include "runtime/bitmaps.h"
#include "runtime/dpi.h"
#include "runtime/late_binding.h"
#include "runtime/file_dialogs.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::app::MainWindow;
using vantrel::runtime::LoadResString;
using vantrel::wintest::PumpMessages;
using vantrel::wintest::TextOf;
using vantrel::wintest::WaitUntil;

using vantrel::wintest::g_ended;
using vantrel::wintest::RecordEnd;

// Position of a child window in its parent's client area.
POINT PositionInParent(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top};
}

SIZE SizeOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.right - r.left, r.bottom - r.top};
}

std::string ClassOf(HWND window) {
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  return cls;
}

// What the window looked like at the moment it was first shown.
struct FirstShow {
  bool seen = false;
  SIZE size{};
  bool layered = false;
  bool captionsLoaded = false;
};
FirstShow g_firstShow;

LRESULT CALLBACK WatchFirstShow(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam && !g_firstShow.seen &&
      ClassOf(call->hwnd) == "VantrelMainWindow") {
    g_firstShow.seen = true;
    g_firstShow.size = SizeOf(call->hwnd);
    g_firstShow.layered = (GetWindowLongPtrW(call->hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    // The mode button's caption, found by the text it has after loading.
    g_firstShow.captionsLoaded = FindWindowExW(call->hwnd, nullptr, L"Button", LoadResString(10102).c_str()) != nullptr;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

class MainWindowTest : public vantrel::wintest::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    if (HasFatalFailure()) return;
    PumpMessages();
  }

  void Click(const char* name) { SendMessageW(Ctl(name), BM_CLICK, 0, 0); }
  bool Checked(const char* name) const { return SendMessageW(Ctl(name), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  bool MountShown() const { return IsWindowVisible(Ctl("WIM_Mount")) && !IsWindowVisible(Ctl("WIM_Makes")); }
  bool CaptureShown() const { return IsWindowVisible(Ctl("WIM_Makes")) && !IsWindowVisible(Ctl("WIM_Mount")); }
  // A key press as the program's message loop hands it to its keyboard navigation; with `shift` the
  // Shift key is held for it.
  bool PressKey(WPARAM key, bool shift = false) {
    const bool handled =
        vantrel::wintest::PressKeyThrough([&](MSG* msg) { return MainWindow::DialogMessage(main_, msg); }, key, shift);
    PumpMessages();
    return handled;
  }
  // Another top-level window of this program takes the activation, as a message box or another program
  // would; the main window is activated again when it goes.
  void ActivateElsewhereAndBack() {
    HWND other = CreateWindowExW(0, L"Static", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetActiveWindow(other);
    PumpMessages();
    EXPECT_EQ(GetActiveWindow(), other);
    EXPECT_FALSE(IsChild(main_, GetFocus())) << "a control kept the focus of an inactive window";
    DestroyWindow(other);
    SetActiveWindow(main_);
    PumpMessages();
  }
  HWND Focus() const { return GetFocus(); }
};

TEST(MainWindowStartUp, IsShownOnlyAfterItIsLoaded) {
  const vantrel::runtime::TestObservers saved = vantrel::runtime::TestSeam();
  vantrel::runtime::TestSeam().endProgram = &RecordEnd;
  g_firstShow = {};
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchFirstShow, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  auto window = MainWindow::Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
  UnhookWindowsHookEx(hook);
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindowVisible(window->hwnd()));
  ASSERT_TRUE(g_firstShow.seen);
  // Never seen at the design size, unlayered or with placeholder captions.
  EXPECT_EQ(g_firstShow.size.cx, 406);
  EXPECT_EQ(g_firstShow.size.cy, 274);
  EXPECT_TRUE(g_firstShow.layered);
  EXPECT_TRUE(g_firstShow.captionsLoaded);
  window->MacWindow_CloseWindow();
  vantrel::runtime::TestSeam() = saved;
}

TEST_F(MainWindowTest, IsABorderlessTranslucentWindowOfThePicturesSize) {
  EXPECT_TRUE(IsWindowVisible(main_));
  SIZE size = SizeOf(main_);
  EXPECT_EQ(size.cx, 406);
  EXPECT_EQ(size.cy, 274);
  LONG_PTR style = GetWindowLongPtrW(main_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_EQ(TextOf(main_), LoadResString(10101));  // its name, for the taskbar and screen readers; not drawn
  ASSERT_NE(GetWindowLongPtrW(main_, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(main_, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 0, 255));
  EXPECT_EQ(alpha, 200);
  EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
}

TEST_F(MainWindowTest, StartsWithTheMountPanelOverTheHiddenCapturePanel) {
  for (const char* panel : {"WIM_Mount", "WIM_Makes"}) {
    POINT at = PositionInParent(Ctl(panel));
    EXPECT_EQ(at.x, 8) << panel;
    EXPECT_EQ(at.y, 96) << panel;
    SIZE size = SizeOf(Ctl(panel));
    EXPECT_EQ(size.cx, 392) << panel;
    EXPECT_EQ(size.cy, 169) << panel;
  }
  EXPECT_TRUE(MountShown());
  EXPECT_TRUE(Checked("Option1"));
  EXPECT_FALSE(Checked("Option2"));
  EXPECT_EQ(TextOf(Ctl("WIM_Mount")), L"WIM 镜像挂载");
  EXPECT_EQ(TextOf(Ctl("WIM_Makes")), L"WIM 镜像制作");
  // The hidden panel's controls are made when it is first shown, with their captions.
  EXPECT_EQ(FindWindowExW(Ctl("WIM_Makes"), nullptr, nullptr, nullptr), nullptr) << "made before it was needed";
  Click("Option2");
  EXPECT_TRUE(CaptureShown());
  EXPECT_NE(FindWindowExW(Ctl("WIM_Makes"), nullptr, L"Button", LoadResString(10117).c_str()), nullptr);
  Click("Option1");
  // The mode buttons side by side, directly above the panels.
  EXPECT_EQ(PositionInParent(Ctl("Option1")).x, 1);
  EXPECT_EQ(PositionInParent(Ctl("Option2")).x, 114);
  EXPECT_EQ(PositionInParent(Ctl("Option2")).y, 68);
}

TEST_F(MainWindowTest, EveryCaptionComesFromTheStringTableAndFieldsStartEmpty) {
  int checked = 0;
  for (const vantrel::app::CaptionStep& step : vantrel::app::CaptionOrder()) {
    // The title bar and the tray menu entries are not windows of this table; their own tests read them.
    std::string_view name = step.control;
    if (name == "MacWindow" || name.starts_with("up_")) continue;
    HWND control = Ctl(std::string(name).c_str());
    EXPECT_EQ(TextOf(control), LoadResString(step.id)) << name;
    EXPECT_NE(TextOf(control), std::to_wstring(step.id)) << name << " still shows its placeholder";
    ++checked;
  }
  EXPECT_EQ(checked, 19);
  for (const char* box : {"WIMR_Check", "WIM_add_c", "WimBoot"}) EXPECT_FALSE(Checked(box)) << box;
  EXPECT_EQ(TextOf(Ctl("WIMindex")), L"1");
  for (const char* field : {"WIMPath", "MountPath", "mk_WIMPath", "WIMSavePath", "WIM_Info"})
    EXPECT_EQ(TextOf(Ctl(field)), L"") << field;
}

TEST_F(MainWindowTest, LabelsGrowToTheirTextAndKeepTheirPlace) {
  struct Expected {
    const char* name;
    int left, top;
  };
  for (const Expected& e : {Expected{"Label1", 8, 80}, Expected{"Label2", 8, 16}, Expected{"Label3", 16, 58},
                            Expected{"Label4", 8, 8}, Expected{"Label5", 8, 64}, Expected{"Label6", 8, 104}}) {
    HWND label = Ctl(e.name);
    POINT at = PositionInParent(label);
    EXPECT_EQ(at.x, e.left) << e.name;
    EXPECT_EQ(at.y, e.top) << e.name;
    // Wide and tall enough for its whole text in the font it draws with.
    std::wstring text = TextOf(label);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    RECT client{};
    GetClientRect(label, &client);
    EXPECT_GT(client.right, 30) << e.name;
    EXPECT_GE(client.right, extent.cx) << e.name;
    EXPECT_GE(client.bottom, extent.cy) << e.name;
  }
}

TEST_F(MainWindowTest, TabWalksTheMountPanelInDesignOrder) {
  const char* order[] = {"WIMindex", "WimB",       "WIMPath",    "MountPath", "MountB",
                         "MountWim", "unMountWim", "WIMR_Check", "ExtWIM",    "Option1"};
  constexpr std::size_t n = std::size(order);
  // The dialog manager's own walk, forwards and backwards, wrapping round.
  EXPECT_EQ(GetNextDlgTabItem(main_, nullptr, FALSE), Ctl(order[0]));
  for (std::size_t i = 0; i < n; ++i) {
    EXPECT_EQ(GetNextDlgTabItem(main_, Ctl(order[i]), FALSE), Ctl(order[(i + 1) % n])) << "after " << order[i];
    EXPECT_EQ(GetNextDlgTabItem(main_, Ctl(order[(i + 1) % n]), TRUE), Ctl(order[i]))
        << "before " << order[(i + 1) % n];
  }
  // And real Tab presses through the message loop's dialog navigation.
  SetFocus(Ctl(order[0]));
  ASSERT_EQ(GetFocus(), Ctl(order[0]));
  for (std::size_t i = 1; i <= n; ++i) {
    EXPECT_TRUE(PressKey(VK_TAB));
    EXPECT_EQ(GetFocus(), Ctl(order[i % n])) << "Tab press " << i;
  }
}

// The capture view walks the design order too: the mode button comes before the save path's browse button,
// outside the panel. Shift+Tab walks back.
TEST_F(MainWindowTest, TabWalksTheCaptureViewInDesignOrder) {
  Click("Option2");
  ASSERT_TRUE(CaptureShown());
  const char* order[] = {"mk_WIMPath", "mk_WimB01", "WIM_add_c", "WIMSavePath", "MakeWimImage",
                         "WIM_Info",   "WimBoot",   "Option2",   "mk_WimB02"};
  constexpr std::size_t n = std::size(order);
  SetFocus(Ctl(order[0]));
  ASSERT_EQ(Focus(), Ctl(order[0]));
  for (std::size_t i = 1; i <= n; ++i) {
    EXPECT_TRUE(PressKey(VK_TAB));
    EXPECT_EQ(Focus(), Ctl(order[i % n])) << "Tab press " << i;
  }
  for (std::size_t i = n; i > 0; --i) {
    EXPECT_TRUE(PressKey(VK_TAB, true));
    EXPECT_EQ(Focus(), Ctl(order[i - 1])) << "Shift+Tab press " << n - i + 1;
  }
  EXPECT_TRUE(CaptureShown());
  // A text box reached with Tab has its text selected, so that typing replaces it.
  SetWindowTextW(Ctl("WIM_Info"), L"old comment");
  SetFocus(Ctl("MakeWimImage"));
  EXPECT_TRUE(PressKey(VK_TAB));
  ASSERT_EQ(Focus(), Ctl("WIM_Info"));
  DWORD start = 0, end = 0;
  SendMessageW(Ctl("WIM_Info"), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 11u);
}

// The window keeps the keyboard focus as a dialog does: on the first tab stop at start-up, back on the
// control that had it after another window was active or the window was minimised, and moved into the
// panel shown when a switch hides the control that had it.
TEST_F(MainWindowTest, KeyboardFocusIsPlacedAndKeptAsInADialog) {
  EXPECT_EQ(GetActiveWindow(), main_);
  EXPECT_EQ(Focus(), Ctl("WIMindex"));
  DWORD start = 5, end = 0;
  SendMessageW(Ctl("WIMindex"), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 1u) << "the index is not selected for typing over";

  SetFocus(Ctl("MountPath"));
  SendMessageW(Ctl("MountPath"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\mnt"));
  SendMessageW(Ctl("MountPath"), EM_SETSEL, 3, 3);
  ActivateElsewhereAndBack();
  EXPECT_EQ(Focus(), Ctl("MountPath"));
  SendMessageW(Ctl("MountPath"), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 3u) << "the caret was not left where it was";
  EXPECT_EQ(end, 3u);

  SetFocus(Ctl("unMountWim"));
  ShowWindow(main_, SW_MINIMIZE);
  PumpMessages();
  ASSERT_TRUE(IsIconic(main_));
  ShowWindow(main_, SW_RESTORE);
  PumpMessages();
  EXPECT_EQ(Focus(), Ctl("unMountWim")) << "after a restore from minimised";

  // A switch of panels by the program (as the mode buttons' handlers run) with the focus in the panel it
  // hides: the focus goes to the first tab stop of the panel shown. Elsewhere the focus stays.
  SetFocus(Ctl("WIMPath"));
  window_->Option2_Click();
  EXPECT_EQ(Focus(), Ctl("mk_WIMPath"));
  window_->Option1_Click();
  EXPECT_EQ(Focus(), Ctl("WIMindex"));
  SetFocus(Ctl("Option2"));
  window_->Option2_Click();
  EXPECT_EQ(Focus(), Ctl("Option2"));
  // The control remembered at a deactivation is hidden when the window comes back: the first stop of the
  // view shown takes the focus.
  SetFocus(Ctl("mk_WIMPath"));
  HWND other = CreateWindowExW(0, L"Static", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  SetActiveWindow(other);
  PumpMessages();
  window_->Option1_Click();
  DestroyWindow(other);
  SetActiveWindow(main_);
  PumpMessages();
  EXPECT_EQ(Focus(), Ctl("WIMindex"));
}

TEST_F(MainWindowTest, ModeButtonsSwitchPanelsAndKeepWhatWasTyped) {
  SetWindowTextW(Ctl("WIMPath"), L"C:\\My Images\\base.wim");
  SetWindowTextW(Ctl("WIMindex"), L"3");
  Click("WIMR_Check");
  ASSERT_TRUE(Checked("WIMR_Check"));

  Click("Option2");
  EXPECT_TRUE(CaptureShown());
  EXPECT_TRUE(Checked("Option2"));
  EXPECT_FALSE(Checked("Option1"));
  SetWindowTextW(Ctl("WIM_Info"), L"two words");
  Click("Option2");  // selecting the selected mode again changes nothing
  EXPECT_TRUE(CaptureShown());

  Click("Option1");
  EXPECT_TRUE(MountShown());
  EXPECT_TRUE(Checked("Option1"));
  EXPECT_FALSE(Checked("Option2"));
  EXPECT_EQ(TextOf(Ctl("WIMPath")), L"C:\\My Images\\base.wim");
  EXPECT_EQ(TextOf(Ctl("WIMindex")), L"3");
  EXPECT_TRUE(Checked("WIMR_Check"));
  EXPECT_EQ(TextOf(Ctl("WIM_Info")), L"two words");
  // Moving between panels never ends the program.
  EXPECT_EQ(g_ended, 0);
}

TEST_F(MainWindowTest, ArrowKeysOnTheModeButtonsSwitchPanels) {
  SetFocus(Ctl("Option1"));
  ASSERT_EQ(GetFocus(), Ctl("Option1"));
  EXPECT_TRUE(PressKey(VK_RIGHT));
  EXPECT_EQ(GetFocus(), Ctl("Option2"));
  EXPECT_TRUE(Checked("Option2"));
  EXPECT_TRUE(CaptureShown());
  EXPECT_TRUE(PressKey(VK_LEFT));
  EXPECT_EQ(GetFocus(), Ctl("Option1"));
  EXPECT_TRUE(Checked("Option1"));
  EXPECT_TRUE(MountShown());
}

}  // namespace

namespace {

// Where the design puts a control at a DPI: the rounded edges of its design rectangle.
void ExpectPlaced(HWND control, const vantrel::app::ControlDef& def, vantrel::resources::DpiScale s,
                  double left, double top) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, s.Px(left)) << def.name;
  EXPECT_EQ(r.top, s.Px(top)) << def.name;
  EXPECT_EQ(r.right, s.Px(left + def.width)) << def.name;
  EXPECT_EQ(r.bottom, s.Px(top + def.height)) << def.name;
}

// The layout of the design at a DPI: the window, its panels, the title bar and the mount panel's boxes.
void ExpectLayoutAt(HWND main, vantrel::resources::DpiScale s) {
  using vantrel::app::FindControl;
  RECT frame{};
  GetWindowRect(main, &frame);
  EXPECT_EQ(frame.right - frame.left, s.Px(406));
  EXPECT_EQ(frame.bottom - frame.top, s.Px(274));
  HWND bar = FindWindowExW(main, nullptr, L"VantrelMacWindow", nullptr);
  ASSERT_NE(bar, nullptr);
  ExpectPlaced(bar, *FindControl("MacWindow"), s, 5, 2);
  HWND panel = FindWindowExW(main, nullptr, L"VantrelPanel", LoadResString(10102).c_str());
  ASSERT_NE(panel, nullptr);
  ExpectPlaced(panel, *FindControl("WIM_Mount"), s, 8, 96);
  int boxes = 0;
  for (HWND c = GetWindow(panel, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t cls[16] = {};
    GetClassNameW(c, cls, 16);
    if (lstrcmpiW(cls, L"Edit") != 0) continue;
    // The boxes in the order the panel made them: the index, the image path, the mount folder.
    const char* name = boxes == 0 ? "WIMindex" : boxes == 1 ? "WIMPath" : "MountPath";
    const vantrel::app::ControlDef& def = *FindControl(name);
    ExpectPlaced(c, def, s, def.left, def.top);
    ++boxes;
  }
  EXPECT_EQ(boxes, 3);
}

// The pixels of an icon's colour image, as 0xAARRGGBB, and its size.
vantrel::resources::Image PixelsOf(HICON icon) {
  vantrel::resources::Image image;
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return image;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  image.width = bitmap.bmWidth, image.height = bitmap.bmHeight;
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  BITMAPINFO format = vantrel::runtime::TopDownDib(image.width, image.height);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, info.hbmColor, 0, image.height, image.pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return image;
}

// The window's own icons at a scale: drawn at the sizes the system asks for there, not a stored image
// stretched; where a size is a stored one, the stored image.
void ExpectIconsAt(HWND main, int big, int small) {
  for (const auto& [which, size] : {std::pair{ICON_BIG, big}, std::pair{ICON_SMALL, small}}) {
    SCOPED_TRACE(size);
    const vantrel::resources::Image shown =
        PixelsOf(reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, which, 0)));
    ASSERT_EQ(shown.width, size);
    ASSERT_EQ(shown.height, size);
    EXPECT_TRUE(shown.pixels == vantrel::resources::IconImage(size).pixels);
  }
}

// The display scale of the test prefix for programs started while this lives; the value before comes back.
class DisplayScale {
 public:
  explicit DisplayScale(DWORD dpi) {
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    nullptr, &key_, nullptr);
    DWORD size = sizeof before_;
    had_ = RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&before_), &size) ==
           ERROR_SUCCESS;
    RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }
  ~DisplayScale() {
    if (had_)
      RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before_), sizeof before_);
    else
      RegDeleteValueW(key_, L"LogPixels");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  DWORD before_ = 0;
  bool had_ = false;
};

// A screen pixel, as the user sees it (colour keys cut real holes under Wine).
COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

}  // namespace

namespace {

// The action buttons' tooltip of the main window, or null.
HWND ActionToolTip(HWND main) {
  for (HWND w = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w;
       w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr))
    if (GetWindow(w, GW_OWNER) == main && SendMessageW(w, TTM_GETTOOLCOUNT, 0, 0) > 0) return w;
  return nullptr;
}

}  // namespace

TEST_F(MainWindowTest, MovedToAMonitorWithAnotherScaleItIsLaidOutAgainAtTheSuggestedRectangle) {
  // The action buttons' tooltip, made by a first hover, wraps at its width for the window's scale.
  HWND mount = Ctl("MountWim");
  SendMessageW(mount, WM_SETCURSOR, reinterpret_cast<WPARAM>(mount), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  HWND tip = ActionToolTip(main_);
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 600);

  RECT before{};
  GetWindowRect(main_, &before);
  RECT suggested{before.left + 10, before.top + 10, before.left + 10 + 609, before.top + 10 + 411};
  SendMessageW(main_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  RECT frame{};
  GetWindowRect(main_, &frame);
  EXPECT_EQ(frame.left, suggested.left);
  EXPECT_EQ(frame.top, suggested.top);
  ExpectLayoutAt(main_, vantrel::resources::DpiScale(144));
  EXPECT_EQ(window_->TitleBar()->Scale().Dpi(), 144);
  ExpectIconsAt(main_, 48, 24);
  EXPECT_EQ(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 900);
  // And back.
  suggested = before;
  SendMessageW(main_, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  ExpectLayoutAt(main_, vantrel::resources::DpiScale(96));
  ExpectIconsAt(main_, 32, 16);
  EXPECT_EQ(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 600);
}

TEST_F(MainWindowTest, AtANewScaleTheWindowTakesItsOwnSizeNotTheOldOneScaledLinearly) {
  // 406 x 274 at 120 dpi is 508 x 343 (507.5 and 342.5 rounded up); Windows scales that to 144 dpi as
  // 609.6 x 411.6, suggesting 610 x 412, while the picture at 144 dpi is 609 x 411.
  const vantrel::resources::DpiScale at120(120), at144(144);
  ASSERT_EQ(at120.Px(406), 508);
  ASSERT_EQ(at120.Px(274), 343);
  RECT suggested{20, 30, 20 + 508, 30 + 343};
  SendMessageW(main_, WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  ExpectLayoutAt(main_, at120);
  suggested = RECT{20, 30, 20 + 610, 30 + 412};
  SendMessageW(main_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  RECT frame{};
  GetWindowRect(main_, &frame);
  EXPECT_EQ(frame.left, 20);
  EXPECT_EQ(frame.top, 30);
  ExpectLayoutAt(main_, at144);
  // Asked first (Windows 10 1703 and later), the window names its own size at the new scale.
  SIZE asked{610, 412};
  EXPECT_EQ(SendMessageW(main_, 0x02E4 /* WM_GETDPISCALEDSIZE */, 120, reinterpret_cast<LPARAM>(&asked)), TRUE);
  EXPECT_EQ(asked.cx, 508);
  EXPECT_EQ(asked.cy, 343);
  SendMessageW(main_, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  ExpectLayoutAt(main_, vantrel::resources::DpiScale(96));
}

namespace {
UINT g_monitorDpi = 0;
HMONITOR g_askedMonitor = nullptr;
HRESULT WINAPI FakeMonitorDpi(HMONITOR monitor, int type, UINT* x, UINT* y) {
  g_askedMonitor = monitor;
  if (!g_monitorDpi || type != 0) return E_FAIL;
  *x = *y = g_monitorDpi;
  return S_OK;
}
}  // namespace

// Where the system lacks GetDpiForWindow (Windows 8.1, Windows 10 before 1607), the window's monitor's DPI,
// and only where that fails too the screen's.
TEST_F(MainWindowTest, WithoutAPerWindowDpiTheMonitorsIsTakenThenTheScreens) {
  HDC screen = GetDC(nullptr);
  const int screenDpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  vantrel::runtime::DpiSources sources;
  sources.forMonitor = &FakeMonitorDpi;
  g_monitorDpi = 120;
  EXPECT_EQ(vantrel::runtime::WindowDpi(main_, sources), 120);
  EXPECT_EQ(g_askedMonitor, MonitorFromWindow(main_, MONITOR_DEFAULTTONEAREST));
  g_monitorDpi = 0;
  EXPECT_EQ(vantrel::runtime::WindowDpi(main_, sources), screenDpi);
  EXPECT_EQ(vantrel::runtime::WindowDpi(main_, vantrel::runtime::DpiSources{}), screenDpi);
  // shcore's own function, from the system folder, gives what the per-window function gives.
  HMODULE shcore = vantrel::runtime::LoadFromSystemFolder(L"shcore.dll");
  ASSERT_NE(shcore, nullptr);
  vantrel::runtime::DpiSources system;
  ASSERT_TRUE(vantrel::runtime::Bind(shcore, "GetDpiForMonitor", system.forMonitor));
  EXPECT_EQ(vantrel::runtime::WindowDpi(main_, system), vantrel::runtime::WindowDpi(main_));
  // A system with the per-window function never loads shcore for it.
  EXPECT_NE(vantrel::runtime::SystemDpiSources().forWindow, nullptr);
  EXPECT_EQ(vantrel::runtime::SystemDpiSources().forMonitor, nullptr);
}



TEST_F(MainWindowTest, TheButtonsThatStartAToolSayWhichOnceThePointerComesOverOne) {
  // Start-up makes no tooltip; the first move over an action button does, for every one made so far.
  EXPECT_EQ(ActionToolTip(main_), nullptr);
  HWND mount = Ctl("MountWim");
  SendMessageW(Ctl("Option1"), WM_SETCURSOR, reinterpret_cast<WPARAM>(Ctl("Option1")), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(ActionToolTip(main_), nullptr) << "a mode button starts no tool";
  SendMessageW(mount, WM_SETCURSOR, reinterpret_cast<WPARAM>(mount), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  HWND tip = ActionToolTip(main_);
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
  // The text is asked for when it shows, and names the tool a click would start, as the lookout thread last
  // saw the program folder.
  const auto tipText = [&] {
    wchar_t text[512] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = GetParent(mount);
    tool.uId = reinterpret_cast<UINT_PTR>(mount);
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return std::wstring(text);
  };
  using vantrel::imaging::CurrentTool;
  using vantrel::imaging::Operation;
  using vantrel::imaging::ToolTipFor;
  const std::wstring withImagex = ToolTipFor(Operation::MountReadOnly, CurrentTool());
  ASSERT_FALSE(withImagex.empty());
  EXPECT_TRUE(WaitUntil([&] { return tipText() == withImagex; })) << "the first look never came";
  // The stand-in imagex.exe taken away: the tip asked for at once is still the last look (a hover reads no
  // file, the folder may be a share gone away); the change in the folder brings a new look, and so does
  // the file put back.
  const std::wstring imagex = vantrel::wintest::BinDir() + L"\\imagex.exe";
  const std::wstring away = imagex + L".away";
  ASSERT_TRUE(MoveFileW(imagex.c_str(), away.c_str()));
  const std::wstring without = ToolTipFor(Operation::MountReadOnly, CurrentTool());
  EXPECT_NE(without, withImagex);
  EXPECT_EQ(tipText(), withImagex);
  EXPECT_TRUE(WaitUntil([&] { return tipText() == without; })) << "the folder's change brought no new look";
  ASSERT_TRUE(MoveFileW(away.c_str(), imagex.c_str()));
  EXPECT_TRUE(WaitUntil([&] { return tipText() == withImagex; })) << "imagex.exe put back brought no new look";
  // The capture panel's button joins the same tooltip when its panel is filled.
  Click("Option2");
  EXPECT_EQ(ActionToolTip(main_), tip);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 4);
}

TEST(MainWindowAtScale, AtOneAndAHalfAndTwiceTheDesignDpiTheProgramIsDrawnAtScale) {
  for (const DWORD dpi : {144u, 192u}) {
    SCOPED_TRACE(dpi);
    const vantrel::resources::DpiScale s(static_cast<int>(dpi));
    PROCESS_INFORMATION process{};
    {
      DisplayScale scale(dpi);
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      std::wstring line = L"\"" + vantrel::wintest::BinDir() + L"\\Vantrel.exe\"";
      ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
      // The scale is read when the program starts: its window is up before the value goes back.
      HWND found = nullptr;
      WaitUntil(
          [&] {
            for (HWND w = FindWindowExW(nullptr, nullptr, L"VantrelMainWindow", nullptr); w && !found;
                 w = FindWindowExW(nullptr, w, L"VantrelMainWindow", nullptr)) {
              DWORD pid = 0;
              GetWindowThreadProcessId(w, &pid);
              if (pid == process.dwProcessId && IsWindowVisible(w)) found = w;
            }
            return found != nullptr;
          },
          std::chrono::seconds(30));
      if (found) {
        ExpectLayoutAt(found, s);
        // The corner holes are the design's cut corners at scale: the top-left design pixel (a hole) and
        // the first pixel below the cut of row 4 (the window's edge).
        Sleep(500);
        RECT frame{};
        GetWindowRect(found, &frame);
        const COLORREF desktop = ScreenPixel(frame.left - 1, frame.top + s.Px(2));
        EXPECT_EQ(ScreenPixel(frame.left + s.Px(5) - 1, frame.top + s.Px(1) - 1), desktop) << "the cut of row 0";
        EXPECT_EQ(ScreenPixel(frame.left, frame.top + s.Px(5) - 1), desktop) << "the cut of row 4";
        EXPECT_NE(ScreenPixel(frame.left + s.Px(5), frame.top), desktop) << "the top line after the cut";
        EXPECT_NE(ScreenPixel(frame.left, frame.top + s.Px(5)), desktop) << "the side edge under the cut";
        EXPECT_EQ(ScreenPixel(frame.left + s.Px(406 - 5), frame.top + s.Px(1) - 1), desktop) << "the right corner";
        EXPECT_NE(ScreenPixel(frame.left + s.Px(406 - 5) - 1, frame.top), desktop) << "the top line before it";
        PostMessageW(found, WM_CLOSE, 0, 0);
      }
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      ASSERT_NE(found, nullptr) << "no window at " << dpi << " dpi; the program's exit code " << code;
    }
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
