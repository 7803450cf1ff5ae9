// The main window as the user first meets it: shape and translucency, where the panels and controls are,
// the captions from the string table, keyboard navigation, and the switch between the two panels.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/main_window_win32.h"
#include "runtime/runtime.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::app::MainWindow;
using vantrel::runtime::LoadResString;
using vantrel::wintest::PumpMessages;
using vantrel::wintest::TextOf;

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
  // A key press as the program's message loop hands it to the dialog manager.
  bool PressKey(WPARAM key) {
    MSG msg{};
    msg.hwnd = GetFocus();
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    msg.lParam = 1;
    BOOL handled = IsDialogMessageW(main_, &msg);
    PumpMessages();
    return handled != FALSE;
  }
};

TEST(MainWindowStartUp, IsShownOnlyAfterItIsLoaded) {
  auto previousEnd = vantrel::runtime::SetEndProgramHandler(&RecordEnd);
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
  vantrel::runtime::SetEndProgramHandler(previousEnd);
}

TEST_F(MainWindowTest, IsABorderlessTranslucentWindowOfThePicturesSize) {
  EXPECT_TRUE(IsWindowVisible(main_));
  SIZE size = SizeOf(main_);
  EXPECT_EQ(size.cx, 406);
  EXPECT_EQ(size.cy, 274);
  LONG_PTR style = GetWindowLongPtrW(main_, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, 0);
  EXPECT_EQ(style & WS_THICKFRAME, 0);
  EXPECT_EQ(TextOf(main_), L"");
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
    if (name == "MacWindow" || name == "up_Show" || name == "up_Exit") continue;
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
