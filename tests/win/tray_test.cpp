// The tray icon and its popup menu on the real main window: the icon's messages, the popup, both ways out
// and Explorer's restart, checked against Wine's own notification area.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "mounts/mount_list_win32.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"
#include "tray/tray_icon_win32.h"

namespace vantrel::tray {
namespace {

using wintest::WaitUntil;

// What happened, in order: the module's notification calls, the windows' destruction and showing, the end.
enum class Event { Add, Modify, Delete, DestroyMain, DestroyMenus, HideMain, ShowMain, End };

struct Step {
  Event event;
  NOTIFYICONDATAA record{};  // for the notification calls
  BOOL result = FALSE;
  bool mainAlive = false, subclassed = false, menusLoaded = false;  // at the time of the step
};

std::vector<Step> g_steps;
HWND g_main = nullptr;
HWND g_menus = nullptr;

bool Subclassed(HWND window) {
  return GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&APIStuff::TrayWndProc);
}

void Record(Event event, const NOTIFYICONDATAA* record = nullptr, BOOL result = FALSE) {
  Step step{event};
  if (record) step.record = *record;
  step.result = result;
  // During start-up the window is known only from the record.
  HWND main = record ? record->hWnd : g_main;
  step.mainAlive = main && IsWindow(main);
  step.subclassed = step.mainAlive && Subclassed(main);
  step.menusLoaded = up_Menus_Loaded();
  g_steps.push_back(step);
}

void OnNotify(DWORD message, const NOTIFYICONDATAA& record, BOOL result) {
  Record(message == NIM_ADD ? Event::Add : message == NIM_MODIFY ? Event::Modify : Event::Delete, &record, result);
}

void OnEnd() {
  Record(Event::End);
}

LRESULT CALLBACK OnCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_DESTROY && call->hwnd == g_main) Record(Event::DestroyMain);
  if (code == HC_ACTION && call->message == WM_DESTROY && g_menus && call->hwnd == g_menus) Record(Event::DestroyMenus);
  if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->hwnd == g_main)
    Record(call->wParam ? Event::ShowMain : Event::HideMain);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<Event> Events() {
  std::vector<Event> events;
  for (const Step& s : g_steps) events.push_back(s.event);
  return events;
}

// The 64 tip bytes of the first-version record (the native structure's field may be longer).
std::string Tip(const NOTIFYICONDATAA& record) {
  return std::string(record.szTip, 64);
}

// The tip field the shell must get: the text, its NUL, spaces to the end of the 64 bytes.
std::string TipFieldOf(const std::string& text) {
  std::string field = text + '\0';
  field.resize(64, ' ');
  return field;
}

// Asks the shell to change the icon the module added: only succeeds while that icon exists.
bool IconExists() {
  NOTIFYICONDATAA record = APIStuff::NativeRecord(APIStuff::TrayIconData);
  record.uFlags = NIF_TIP;
  return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

// One item of an open popup menu as another thread reads it.
struct SeenItem {
  UINT id = 0;
  bool separator = false;
  std::wstring text;
  bool grayed = false;
};

// Waits on a second thread for the popup menu window (class "#32768"), reads its items and then acts on it
// with posted keys, as the keyboard would. What it saw is read only once its thread has ended (Finish): it posts
// the keys before it notes that it saw the menu, and the menu may close on them before that note is made.
class PopupDriver {
 public:
  // `before`, when given, runs on the driver's thread once the menu is seen and before the keys are posted; the
  // driver then looks again whether the menu is still open, owned by the main window and in front (StillOpen).
  explicit PopupDriver(std::vector<std::pair<UINT, WPARAM>> keys, std::function<void()> before = {})
      : keys_(std::move(keys)), before_(std::move(before)) {
    thread_ = CreateThread(nullptr, 0, &PopupDriver::Run, this, 0, nullptr);
  }
  ~PopupDriver() { Finish(); }
  PopupDriver(const PopupDriver&) = delete;
  PopupDriver& operator=(const PopupDriver&) = delete;
  // Stops looking for a menu and waits until the driver's thread has ended (or a generous deadline has passed:
  // false); what it saw can be read from then on. Messages the driver sends to this thread's windows meanwhile are
  // answered, so it never waits on this wait.
  bool Finish() {
    if (!thread_) return true;
    stop_ = true;
    const ULONGLONG deadline = GetTickCount64() + 20000;
    for (;;) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      const DWORD woken =
          MsgWaitForMultipleObjects(1, &thread_, FALSE, static_cast<DWORD>(deadline - now), QS_SENDMESSAGE);
      if (woken == WAIT_OBJECT_0) break;
      if (woken != WAIT_OBJECT_0 + 1) return false;
      MSG message;
      PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    return true;
  }
  bool Seen() const { return seen_; }
  const std::vector<SeenItem>& Items() const { return items_; }
  POINT Position() const { return position_; }
  // The menu window's owner, and the window in front while the menu was open.
  HWND Owner() const { return owner_; }
  HWND Foreground() const { return foreground_; }
  bool StillOpen() const { return stillOpen_; }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<PopupDriver*>(param);
    for (int i = 0; i < 1500 && !self->stop_; ++i, Sleep(10)) {
      HWND menu = wintest::FindTopLevel(L"#32768", nullptr);
      if (!menu || !IsWindowVisible(menu)) continue;
      auto hmenu = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
      for (int n = 0; hmenu && n < GetMenuItemCount(hmenu); ++n) {
        wchar_t text[64] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 64;
        GetMenuItemInfoW(hmenu, static_cast<UINT>(n), TRUE, &info);
        self->items_.push_back({info.wID, (info.fType & MFT_SEPARATOR) != 0, text, (info.fState & MFS_GRAYED) != 0});
      }
      RECT r{};
      GetWindowRect(menu, &r);
      self->position_ = {r.left, r.top};
      self->owner_ = GetWindow(menu, GW_OWNER);
      self->foreground_ = GetForegroundWindow();
      if (self->before_) {
        self->before_();
        self->stillOpen_ = IsWindow(menu) && IsWindowVisible(menu) && GetWindow(menu, GW_OWNER) == self->owner_ &&
                           GetForegroundWindow() == self->foreground_;
      }
      for (const auto& [message, key] : self->keys_) PostMessageW(menu, message, key, 0);
      self->seen_ = true;
      return 0;
    }
    return 0;
  }

  std::vector<std::pair<UINT, WPARAM>> keys_;
  std::function<void()> before_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  bool seen_ = false;
  std::vector<SeenItem> items_;
  POINT position_{};
  HWND owner_ = nullptr, foreground_ = nullptr;
  bool stillOpen_ = false;
};

// A window for a failure message: its handle, class and process.
std::string Describe(HWND window) {
  wchar_t cls[64] = {};
  if (window) GetClassNameW(window, cls, 64);
  DWORD process = 0;
  if (window) GetWindowThreadProcessId(window, &process);
  char text[160];
  snprintf(text, sizeof text, "%p (class \"%ls\", process %lu%s)", static_cast<void*>(window), cls,
           static_cast<unsigned long>(process), process == GetCurrentProcessId() ? ", this one" : "");
  return text;
}

class TrayTest : public wintest::MainWindowFixture {
 protected:
  void BeforeOpen() override {
    g_steps.clear();
    closeByProgram_ = false;  // a window still carrying the icon takes it with it
    runtime::TestSeam().endProgram = &OnEnd;
    runtime::TestSeam().trayNotify = &OnNotify;
    // The last command launched is kept for the program's life; each test starts as a fresh program, with none.
    APIStuff::SetCopyText({});
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &OnCallWndProc, nullptr, GetCurrentThreadId());
  }
  void AfterOpen() override {
    g_main = main_;
    g_menus = up_Menus().hwnd();
    wintest::PumpMessages();
  }
  void AfterClose() override {
    wintest::PumpMessages();
    UnhookWindowsHookEx(hook_);
    g_main = g_menus = nullptr;
  }

  // Sends a right-button release over the icon while a second thread drives the popup it opens; once the popup
  // has closed, the driver's thread is waited for, so what it saw is all there.
  LRESULT RightReleaseWith(PopupDriver& driver) {
    LRESULT result = SendMessageW(main_, tray::kTrayCallbackMessage, 0, WM_RBUTTONUP);
    EXPECT_TRUE(driver.Finish()) << "the popup driver did not end";
    EXPECT_TRUE(driver.Seen()) << "no popup menu appeared";
    return result;
  }

  HHOOK hook_ = nullptr;
};

TEST_F(TrayTest, StartUpSubclassesTheWindowThenAddsTheIconThenSetsItsTip) {
  ASSERT_EQ(Events(), (std::vector<Event>{Event::Add, Event::Modify}));
  const Step& add = g_steps[0];
  EXPECT_TRUE(add.result);
  EXPECT_TRUE(add.subclassed) << "the icon must not exist before its messages reach TrayWndProc";
  EXPECT_TRUE(add.menusLoaded);
  EXPECT_EQ(add.record.cbSize, NOTIFYICONDATAA_V1_SIZE);
  EXPECT_EQ(add.record.hWnd, main_);  // widened back from the record's 32-bit field unchanged
  EXPECT_EQ(add.record.uID, 0u);
  EXPECT_EQ(add.record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
  EXPECT_EQ(add.record.uCallbackMessage, 2025u);
  EXPECT_EQ(add.record.hIcon, reinterpret_cast<HICON>(GetClassLongPtrW(main_, GCLP_HICONSM)));
  EXPECT_NE(add.record.hIcon, nullptr);

  const Step& tip = g_steps[1];
  EXPECT_TRUE(tip.result);
  EXPECT_EQ(tip.record.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_EQ(tip.record.hWnd, main_);
  EXPECT_EQ(tip.record.hIcon, add.record.hIcon);
  EXPECT_EQ(tip.record.uCallbackMessage, 2025u);
  EXPECT_EQ(Tip(tip.record), TipFieldOf("Vantrel."));

  EXPECT_EQ(APIStuff::TrayForm, main_);
  EXPECT_EQ(APIStuff::TrayMenu, up_Menus().PopupMenus());
  EXPECT_TRUE(IsWindow(up_Menus().hwnd()));
  EXPECT_FALSE(IsWindowVisible(up_Menus().hwnd()));
  EXPECT_TRUE(IconExists());

  // A window destroyed while it carries the icon takes the icon with it, so none is left behind.
  g_steps.clear();
  window_.reset();
  EXPECT_EQ(Events(), (std::vector<Event>{Event::DestroyMain, Event::Delete}));
  EXPECT_TRUE(g_steps.back().mainAlive && g_steps.back().result);
  EXPECT_FALSE(IconExists());
}

TEST_F(TrayTest, LeftReleaseRestoresAMinimisedWindowAndFocusesIt) {
  SetFocus(window_->Control(ControlId::MountPath));
  ShowWindow(main_, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main_) != FALSE; }));
  SetFocus(nullptr);
  EXPECT_EQ(SendMessageW(main_, kTrayCallbackMessage, 0, WM_LBUTTONUP), 0);
  EXPECT_FALSE(IsIconic(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
  // The window's focus goes on to the control that had it before the window was minimised.
  EXPECT_EQ(GetFocus(), window_->Control(ControlId::MountPath));
  EXPECT_EQ(GetForegroundWindow(), main_);
  RECT r{};
  GetWindowRect(main_, &r);
  EXPECT_EQ(r.right - r.left, app::kWindowWidth);
  EXPECT_EQ(r.bottom - r.top, app::kWindowHeight);
}

TEST_F(TrayTest, LeftReleaseOverANormalWindowOnlyFocusesIt) {
  RECT before{};
  GetWindowRect(main_, &before);
  // Focus elsewhere first: a control of the window.
  SetFocus(window_->Control(ControlId::WIMPath));
  ASSERT_NE(GetFocus(), main_);
  g_steps.clear();
  EXPECT_EQ(SendMessageW(main_, kTrayCallbackMessage, 0, WM_LBUTTONUP), 0);
  EXPECT_EQ(GetFocus(), window_->Control(ControlId::WIMPath)) << "the window's focus stays on its control";
  EXPECT_EQ(GetForegroundWindow(), main_);
  RECT after{};
  GetWindowRect(main_, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(IsIconic(main_));
  EXPECT_TRUE(Events().empty()) << "neither shown nor hidden, no icon call";
}

TEST_F(TrayTest, RightReleaseOpensThePopupAndEscapeClosesItWithoutAHandler) {
  g_steps.clear();
  PopupDriver driver({{WM_KEYDOWN, VK_ESCAPE}});
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(RightReleaseWith(driver), 0);
  ASSERT_EQ(driver.Items().size(), 5u);
  EXPECT_EQ(driver.Items()[0].text, L"显示窗口");
  EXPECT_EQ(driver.Items()[0].id, kShowCommandId);
  EXPECT_EQ(driver.Items()[1].text, L"复制上次的命令(&C)");
  EXPECT_EQ(driver.Items()[1].id, kCopyCommandId);
  EXPECT_TRUE(driver.Items()[1].grayed) << "nothing has been launched yet";
  EXPECT_FALSE(driver.Items()[0].grayed);
  EXPECT_EQ(driver.Items()[2].text, L"运行记录(&L)");
  EXPECT_EQ(driver.Items()[2].id, kRunsCommandId);
  EXPECT_FALSE(driver.Items()[2].grayed);
  EXPECT_TRUE(driver.Items()[3].separator);
  EXPECT_EQ(driver.Items()[4].text, L"退出(&X)");
  EXPECT_EQ(driver.Items()[4].id, kExitCommandId);
  EXPECT_EQ(driver.Owner(), main_) << "the popup is opened on the main window";
  EXPECT_EQ(driver.Foreground(), main_) << "the main window is in front while the popup is open; in front: "
                                        << Describe(driver.Foreground());
  EXPECT_EQ(driver.Position().x, cursor.x);
  EXPECT_EQ(driver.Position().y, cursor.y);
  // Nothing ran: the window was neither hidden nor shown, the icon stays, the program goes on.
  EXPECT_TRUE(Events().empty());
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_TRUE(IconExists());
  EXPECT_TRUE(up_Menus_Loaded());

  // The menu opens again on the next release, and WM_CANCELMODE also closes it without a choice.
  PopupDriver again({{WM_CANCELMODE, 0}});
  EXPECT_EQ(RightReleaseWith(again), 0);
  EXPECT_EQ(again.Items().size(), 5u);
  EXPECT_TRUE(Events().empty());
}

// A right release while another window is in front: the popup brings the main window forward first, and that
// activation starts a read of the mounted images whose arrival (a posted message, slowed by the stand-in library)
// is taken while the popup is open. The popup stays open through it, owned by the main window, which stays in
// front; Escape then closes it as before.
TEST_F(TrayTest, ThePopupStaysOpenWhileTheMountedImagesReadItsActivationStartedArrives) {
  // The description file for this test: one mount, every call of the library slowed down.
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path =
      std::wstring(folder) + L"vantrel-tray-mounts-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  {
    const runtime::UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    const std::string text = "!sleep=500\nmounted\t1\tC:\\images\\install.wim\tC:\\mnt\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  }
  std::wstring saved(32768, L'\0');
  saved.resize(GetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", saved.data(), 32768));
  SetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", path.c_str());
  struct PutBack {
    std::wstring path, saved;
    ~PutBack() {
      SetEnvironmentVariableW(L"VANTREL_MOUNTS_FILE", saved.empty() ? nullptr : saved.c_str());
      DeleteFileW(path.c_str());
    }
  } putBack{path, saved};

  // Another window of this program in front; the read the window's own activation started has come.
  ASSERT_TRUE(WaitUntil([] { return mounts::MountListReader::ReadsInFlight() == 0; }));
  wintest::PumpMessages();
  HWND line = window_->Control(ControlId::MountsInfo);
  ASSERT_NE(line, nullptr);
  ASSERT_EQ(runtime::WindowText(line), L"") << "the list was read before this test's description file";
  const runtime::UniqueWindow other(CreateWindowExW(0, L"STATIC", L"in front", WS_POPUP | WS_VISIBLE, 700, 600, 100, 60,
                                                    nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(other);
  SetForegroundWindow(other.get());
  ASSERT_EQ(GetForegroundWindow(), other.get());
  wintest::PumpMessages();

  // The driver lets the popup open, then waits (on its own thread) until the read has come to the window.
  bool arrivedWhileOpen = false;
  PopupDriver driver({{WM_KEYDOWN, VK_ESCAPE}}, [&] {
    arrivedWhileOpen = testlog::WaitUntil([&] { return runtime::WindowText(line) == L"已挂载 1 个映像"; },
                                          std::chrono::seconds(20), [] { Sleep(10); });
  });
  g_steps.clear();
  EXPECT_EQ(RightReleaseWith(driver), 0);
  EXPECT_TRUE(arrivedWhileOpen) << "the read started by the activation never came while the popup was open";
  EXPECT_TRUE(driver.StillOpen()) << "the read's arrival closed the popup or took the main window out of the front";
  EXPECT_EQ(driver.Owner(), main_);
  EXPECT_EQ(driver.Foreground(), main_) << "in front: " << Describe(driver.Foreground());
  EXPECT_EQ(driver.Items().size(), 5u);
  EXPECT_EQ(GetForegroundWindow(), main_);
  EXPECT_EQ(runtime::WindowText(line), L"已挂载 1 个映像");
  // Nothing was chosen: the window was neither hidden nor shown.
  for (const Step& step : g_steps) EXPECT_EQ(step.event, Event::Modify) << "the popup did something more";
}

// After a launch the copy entry puts the very command line launched on the clipboard, as Unicode text.
TEST_F(TrayTest, CopyCommandPutsTheLastLaunchedLineOnTheClipboard) {
  wintest::ToolLog log;
  SetWindowTextW(window_->Control(ControlId::MountPath), L"C:\\挂载 目录\\");
  SendMessageW(window_->Control(ControlId::unMountWim), BM_CLICK, 0, 0);
  ASSERT_TRUE(log.WaitForRuns(1));
  const std::wstring line = log.Runs().at(0).line;
  EXPECT_EQ(APIStuff::CopyText(), line);
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
  g_steps.clear();
  PopupDriver driver({{WM_CHAR, 'c'}});
  EXPECT_EQ(RightReleaseWith(driver), 0);
  ASSERT_EQ(driver.Items().size(), 5u);
  EXPECT_FALSE(driver.Items()[1].grayed);
  std::wstring copied;
  ASSERT_TRUE(OpenClipboard(nullptr));
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    copied = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(copied, line);
  // Only the tip may have changed meanwhile (the run ending); the window and the icon stay as they were.
  for (Event event : Events()) EXPECT_EQ(event, Event::Modify) << "the copy did something else too";
}

// Memory that cannot be locked (a discarded block) never reaches the clipboard: what it held stays, and the
// block is freed.
TEST(Clipboard, MemoryThatCannotBeLockedIsFreedAndTheClipboardKeepsItsText) {
  ASSERT_TRUE(runtime::CopyToClipboard(nullptr, L"vorher 之前"));
  HGLOBAL discarded = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(discarded, nullptr);
  ASSERT_EQ(GlobalLock(discarded), nullptr);
  EXPECT_FALSE(runtime::CopyToClipboard(nullptr, L"nachher", discarded));
  EXPECT_EQ(GlobalFlags(discarded), static_cast<UINT>(GMEM_INVALID_HANDLE)) << "the block was not freed";
  std::wstring copied;
  ASSERT_TRUE(OpenClipboard(nullptr));
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) copied = text;
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(copied, L"vorher 之前");
}

// The run entry, by its access key, and a click on a balloon both call the handler the main window set, which
// opens the run window; without a handler neither does anything.
TEST_F(TrayTest, RunEntryAndBalloonClickOpenTheRunWindow) {
  ASSERT_EQ(window_->RunWindowIfMade(), nullptr) << "made on first use only";
  g_steps.clear();
  PopupDriver driver({{WM_CHAR, 'l'}});
  EXPECT_EQ(RightReleaseWith(driver), 0);
  runs::RunWindow* runs = window_->RunWindowIfMade();
  ASSERT_NE(runs, nullptr);
  EXPECT_TRUE(IsWindowVisible(runs->hwnd()));
  EXPECT_TRUE(Events().empty()) << "the main window and the icon stay as they were";

  ShowWindow(runs->hwnd(), SW_HIDE);
  EXPECT_EQ(SendMessageW(main_, kTrayCallbackMessage, 0, NIN_BALLOONUSERCLICK), 0);
  EXPECT_EQ(window_->RunWindowIfMade(), runs) << "the same window again";
  EXPECT_TRUE(IsWindowVisible(runs->hwnd()));

  int calls = 0;
  APIStuff::SetOpenRunsHandler([&calls] { ++calls; });
  SendMessageW(main_, kTrayCallbackMessage, 0, NIN_BALLOONUSERCLICK);
  SendMessageW(main_, kTrayCallbackMessage, 0, NIN_BALLOONTIMEOUT);  // not a click
  EXPECT_EQ(calls, 1);
  APIStuff::SetOpenRunsHandler(nullptr);
  SendMessageW(main_, kTrayCallbackMessage, 0, NIN_BALLOONUSERCLICK);
  up_Runs_Click();
  EXPECT_EQ(calls, 1);
}

TEST_F(TrayTest, ShowCommandHidesAndShowsTheWindowWhereItIs) {
  RECT before{};
  GetWindowRect(main_, &before);
  g_steps.clear();
  PopupDriver driver({{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_RETURN}});
  EXPECT_EQ(RightReleaseWith(driver), 0);
  EXPECT_EQ(Events(), (std::vector<Event>{Event::HideMain, Event::ShowMain}));
  EXPECT_TRUE(IsWindowVisible(main_));
  RECT after{};
  GetWindowRect(main_, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
  EXPECT_TRUE(IconExists());
  EXPECT_TRUE(Subclassed(main_));

  // A minimised window is restored instead, where it was, in front, with the focus where it was.
  SetFocus(window_->Control(ControlId::WIMPath));
  ShowWindow(main_, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(main_) != FALSE; }));
  g_steps.clear();
  PopupDriver again({{WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_RETURN}});
  EXPECT_EQ(RightReleaseWith(again), 0);
  EXPECT_FALSE(IsIconic(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_TRUE(Events().empty()) << "the window was hidden and shown instead of restored";
  EXPECT_EQ(GetForegroundWindow(), main_);
  EXPECT_EQ(GetFocus(), window_->Control(ControlId::WIMPath));
  GetWindowRect(main_, &after);
  EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(TrayTest, ExitCommandByItsAccessKeyRemovesTheIconBeforeAnythingIsUnloaded) {
  const LONG_PTR original = reinterpret_cast<LONG_PTR>(APIStuff::OldWndProc);
  g_steps.clear();
  PopupDriver driver({{WM_CHAR, 'x'}});
  EXPECT_EQ(RightReleaseWith(driver), 0);
  ASSERT_EQ(Events(), (std::vector<Event>{Event::Delete, Event::DestroyMenus, Event::End}));
  const Step& del = g_steps[0];
  EXPECT_TRUE(del.result);
  EXPECT_EQ(del.record.uFlags, 0u);
  EXPECT_EQ(del.record.hWnd, main_);
  EXPECT_EQ(del.record.uID, 0u);
  EXPECT_TRUE(del.mainAlive && del.subclassed && del.menusLoaded);
  EXPECT_FALSE(g_steps[2].menusLoaded);
  // The main window is left to the end of the program, with its own procedure back.
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_EQ(GetWindowLongPtrW(main_, GWLP_WNDPROC), original);
  EXPECT_FALSE(IconExists());
}

TEST_F(TrayTest, CloseRemovesTheIconThenDestroysTheWindowThenEnds) {
  g_steps.clear();
  // WM_CLOSE passes through TrayWndProc to the window's own procedure, which takes the close path.
  SendMessageW(main_, WM_CLOSE, 0, 0);
  ASSERT_EQ(Events(), (std::vector<Event>{Event::Delete, Event::DestroyMain, Event::End}));
  EXPECT_TRUE(g_steps[0].result);
  EXPECT_TRUE(g_steps[0].mainAlive && g_steps[0].subclassed);
  EXPECT_EQ(g_steps[0].record.uFlags, 0u);
  EXPECT_FALSE(IsWindow(main_));
  EXPECT_FALSE(IconExists());
  // A second way out after the first changes nothing.
  g_steps.clear();
  APIStuff::RemoveTrayIcon();
  EXPECT_TRUE(Events().empty());
}

// Installed as the procedure TrayWndProc finds before it: records what reaches it and answers with a value
// made from the arguments, wide enough to show a cut on 64-bit Windows.
struct Forwarded {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Forwarded> g_forwarded;
WNDPROC g_windowProc = nullptr;
constexpr UINT kProbe = WM_APP + 7;

LRESULT Answer(UINT message, WPARAM wParam, LPARAM lParam) {
  return static_cast<LRESULT>(wParam ^ static_cast<WPARAM>(lParam) ^ (static_cast<WPARAM>(message) << 20)) + 1;
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kTrayCallbackMessage || message == kProbe) {
    g_forwarded.push_back({hwnd, message, wParam, lParam});
    return Answer(message, wParam, lParam);
  }
  return CallWindowProcW(g_windowProc, hwnd, message, wParam, lParam);
}

TEST_F(TrayTest, OtherMessagesReachThePreviousProcedureUnchanged) {
  APIStuff::RemoveTrayIcon();
  g_windowProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
  APIStuff::AddTrayIcon(main_, up_Menus().PopupMenus());
  ASSERT_EQ(APIStuff::OldWndProc, &RecordingProc);
  g_forwarded.clear();

  const WPARAM wide = sizeof(WPARAM) > 4 ? static_cast<WPARAM>(0x89ABCDEF01234567ull) : 0x89ABCDEFu;
  const LPARAM negative = sizeof(LPARAM) > 4 ? static_cast<LPARAM>(-0x123456789ll) : -0x1234567;
  const Forwarded cases[] = {
      {main_, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK},
      {main_, kTrayCallbackMessage, 0, WM_MOUSEMOVE},
      {main_, kTrayCallbackMessage, 0, WM_LBUTTONDOWN},
      {main_, kTrayCallbackMessage, 7, WM_RBUTTONDOWN},
      {main_, kTrayCallbackMessage, 0, WM_MBUTTONUP},
      {main_, kProbe, wide, negative},
      {main_, kProbe, 0, WM_LBUTTONUP},
  };
  for (const Forwarded& c : cases) {
    SCOPED_TRACE(testing::Message() << "message " << c.message << " lParam " << c.lParam);
    g_forwarded.clear();
    EXPECT_EQ(SendMessageW(c.hwnd, c.message, c.wParam, c.lParam), Answer(c.message, c.wParam, c.lParam));
    ASSERT_EQ(g_forwarded.size(), 1u);
    EXPECT_EQ(g_forwarded[0].hwnd, c.hwnd);
    EXPECT_EQ(g_forwarded[0].message, c.message);
    EXPECT_EQ(g_forwarded[0].wParam, c.wParam);
    EXPECT_EQ(g_forwarded[0].lParam, c.lParam);
  }
  // The left-button release is TrayWndProc's own: it is not passed on, whatever wParam holds.
  g_forwarded.clear();
  EXPECT_EQ(SendMessageW(main_, kTrayCallbackMessage, 3, WM_LBUTTONUP), 0);
  EXPECT_TRUE(g_forwarded.empty());

  // Removing the icon puts the recording procedure back, not the window's own.
  APIStuff::RemoveTrayIcon();
  EXPECT_EQ(GetWindowLongPtrW(main_, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProc));
  SetWindowLongPtrW(main_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_windowProc));
}

TEST_F(TrayTest, ExplorerRestartAddsTheIconAgainWithItsTip) {
  // Explorer restarting loses every icon; simulate that by deleting ours behind the module's back.
  NOTIFYICONDATAA record = APIStuff::NativeRecord(APIStuff::TrayIconData);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &record));
  ASSERT_FALSE(IconExists());
  g_steps.clear();
  SendMessageW(main_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_EQ(Events(), (std::vector<Event>{Event::Add, Event::Modify}));
  EXPECT_TRUE(g_steps[0].result);
  EXPECT_EQ(g_steps[0].record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON));
  EXPECT_EQ(g_steps[0].record.hWnd, main_);
  EXPECT_EQ(g_steps[0].record.uCallbackMessage, 2025u);
  EXPECT_NE(g_steps[0].record.hIcon, nullptr);
  EXPECT_TRUE(g_steps[1].result);
  EXPECT_EQ(g_steps[1].record.uFlags, static_cast<UINT>(NIF_TIP));
  EXPECT_EQ(Tip(g_steps[1].record), TipFieldOf("Vantrel."));
  EXPECT_TRUE(IconExists());
}

// A tip the system code page cannot hold goes through the Unicode record; the 8-bit record keeps its tip.
TEST_F(TrayTest, ATipTheCodePageCannotHoldTravelsAsUnicode) {
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "the system code page holds every character";
  static std::vector<std::wstring> unicodeTips;
  unicodeTips.clear();
  // The fixture puts the observers back.
  runtime::TestSeam().balloon = [](const NOTIFYICONDATAW& record, BOOL result) {
    if ((record.uFlags & NIF_TIP) && result && record.cbSize == NOTIFYICONDATAW_V1_SIZE)
      unicodeTips.push_back(record.szTip);
  };
  g_steps.clear();
  const std::wstring text =
      L"Vantrel\uFF1A2 个操作正在进行\u3002 \u0416\u03A9\u05D0";  // Chinese, Cyrillic, Greek, Hebrew
  APIStuff::SetTrayTip(text);
  EXPECT_EQ(unicodeTips, std::vector<std::wstring>{text});
  EXPECT_TRUE(Events().empty()) << "the 8-bit record was sent as well";
  EXPECT_EQ(std::string(APIStuff::TrayIconData.szTip.data()), "Vantrel.");
  // Cut to the 63 units before the field's NUL that the first-version record has.
  APIStuff::SetTrayTip(std::wstring(100, L'\u05D0'));
  ASSERT_EQ(unicodeTips.size(), 2u);
  EXPECT_EQ(unicodeTips[1], std::wstring(63, L'\u05D0'));
  // Back to a tip the code page holds: the 8-bit record again.
  APIStuff::SetTrayTip(L"Vantrel.");
  EXPECT_EQ(unicodeTips.size(), 2u);
  EXPECT_EQ(Events(), std::vector<Event>{Event::Modify});
}

TEST(TrayTip, EachCharacterIsConvertedWholeAndTheFieldKeepsItsNul) {
  // A character outside the basic plane is converted as one character, never as two halves.
  std::vector<std::string> expected{"a", "\xF0\x9D\x84\x9E", "b"};
  EXPECT_EQ(APIStuff::EncodeTipCharacters(L"a\U0001D11Eb", CP_UTF8), expected);
  EXPECT_EQ(APIStuff::EncodeTipCharacters(L"a\U0001D11Eb", 1252).size(), 3u);
  // Double-byte characters of the Chinese code page are kept whole or not at all.
  expected = {"\xCF\xD4", "\xCA\xBE", "x"};
  EXPECT_EQ(APIStuff::EncodeTipCharacters(L"显示x", 936), expected);
  std::wstring many(40, L'显');
  std::array<char, 64> field = TipField(APIStuff::EncodeTipCharacters(many, 936));
  std::string kept;
  for (int i = 0; i < 31; ++i) kept += "\xCF\xD4";
  EXPECT_EQ(std::string(field.data(), 64), kept + '\0' + ' ');
  // A record built from that field carries the same 64 bytes to the shell.
  tray::TrayIconData record;
  PrepareTip(record, field);
  EXPECT_EQ(std::memcmp(APIStuff::NativeRecord(record).szTip, field.data(), 64), 0);
}

}  // namespace
}  // namespace vantrel::tray
