// The run window on the real main window: the rows of a book with a running, a finished, a failed run and one
// without a log; the output box following a log as it grows; copying the command line; the keyboard; a second
// DPI. With VANTREL_RUN_WINDOW_SHOT naming a PNG file, the screen with the window open is saved there.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <span>
#include <string>

#include "app/main_window_win32.h"
#include "runs/run_view.h"
#include "runs/run_window_win32.h"
#include "runtime/runtime.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace vantrel::runs {
namespace {

using wintest::PumpMessages;
using wintest::TextOf;

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[256] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 256;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

std::wstring ColumnCaption(HWND list, int column) {
  wchar_t text[64] = {};
  LVCOLUMNW info{};
  info.mask = LVCF_TEXT;
  info.pszText = text;
  info.cchTextMax = 64;
  SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
  return text;
}

std::wstring Clipboard() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) text = chars;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

void Feed(ToolLog& log, std::string_view bytes) {
  log.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// The name a screen reader reads for a control, through the system's accessibility API.
std::wstring AccessibleName(HWND control) {
  IAccessible* object = nullptr;
  // The header's interface id: MinGW-w64's import library carries a wrong IID_IAccessible for x86-64.
  if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object))) ||
      !object)
    return L"<no object>";
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  const HRESULT hr = object->get_accName(self, &text);
  std::wstring name = SUCCEEDED(hr) && text ? std::wstring(text, SysStringLen(text)) : L"<none>";
  SysFreeString(text);
  object->Release();
  return name;
}

RECT RectInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void ExpectAt(HWND control, const Box& box) {
  const RECT r = RectInParent(control);
  EXPECT_EQ(r.left, box.left);
  EXPECT_EQ(r.top, box.top);
  EXPECT_EQ(r.right - r.left, box.width);
  EXPECT_EQ(r.bottom - r.top, box.height);
}

// A key press as the message loop would get it from the control with the focus.
bool PressKey(WPARAM key, bool shift = false) {
  return vantrel::wintest::PressKeyThrough(&RunWindow::DialogMessage, key, shift);
}

class RunWindowTest : public wintest::MainWindowFixture {
 protected:
  void AfterOpen() override {
    RunBook& book = window_->Runs();
    const std::uint64_t now = GetTickCount64();
    runs::Run& finished = book.Add(u"解开 WIM 镜像", u"imagex", u"imagex /apply C:\\a.wim 1 D:\\", {9, 5, 3}, now - 75'000);
    finished.logPath = u"C:\\logs\\run-1.log";
    finished.log.reset(new ToolLog());
    Feed(*finished.log, "Applying image\r\n[===========100%===========]\r\nSuccessfully applied.\r\n");
    finished.log->Finish();
    book.End(finished.id, RunState::Finished, u"0", now - 5'000);
    runs::Run& failed = book.Add(u"制作镜像", u"imagex", u"imagex /capture D:\\ C:\\b.wim x", {9, 6, 0}, now - 4'000);
    failed.logPath = u"C:\\logs\\run-2.log";
    failed.log.reset(new ToolLog());
    book.End(failed.id, RunState::Failed, u"2", now - 3'000);
    runs::Run& noLog = book.Add(u"卸载 WIM 镜像", u"DISM", u"dism /Unmount-Image /MountDir:C:\\mnt /Discard", {9, 7, 0}, now);
    noLog.logProblem = u"拒绝访问。";
    runs::Run& running = book.Add(u"挂载 WIM 镜像", u"DISM", u"dism /Mount-Image /ImageFile:C:\\a.wim /Index:1 /MountDir:C:\\mnt",
                            {9, 8, 30}, now - 65'000);
    running.logPath = u"C:\\logs\\run-4.log";
    running.log.reset(new ToolLog());
    Feed(*running.log, "Deployment Image Servicing and Management tool\r\n\r\nMounting image\r\n"
                       "[====                       45.0%                          ]\r\n");
    runningId_ = running.id;
    noLogId_ = noLog.id;
    finishedId_ = finished.id;
  }

  RunWindow& Open() {
    window_->OpenRunWindow();
    PumpMessages();
    RunWindow* run = window_->RunWindowIfMade();
    EXPECT_NE(run, nullptr);
    return *run;
  }

  std::uint32_t runningId_ = 0, noLogId_ = 0, finishedId_ = 0;
};

TEST_F(RunWindowTest, ListsTheBooksRunsWithTheirStatesAndSelectsTheNewest) {
  RunWindow& w = Open();
  ASSERT_TRUE(w.hwnd());
  EXPECT_TRUE(IsWindowVisible(w.hwnd()));
  EXPECT_EQ(TextOf(w.hwnd()), L"运行记录");
  EXPECT_EQ(GetWindow(w.hwnd(), GW_OWNER), main_) << "owned by the main window, above it and gone with it";
  EXPECT_EQ(GetForegroundWindow(), w.hwnd());
  HWND list = w.Control(RunWindow::kListId);
  EXPECT_EQ(GetFocus(), list);
  const wchar_t* captions[] = {L"操作", L"工具", L"开始时间", L"用时", L"状态"};
  for (int c = 0; c < 5; ++c) EXPECT_EQ(ColumnCaption(list, c), captions[c]);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 4);
  // Oldest first, newest at the bottom.
  EXPECT_EQ(Cell(list, 0, 0), L"解开 WIM 镜像");
  EXPECT_EQ(Cell(list, 0, 1), L"imagex");
  EXPECT_EQ(Cell(list, 0, 2), L"09:05:03");
  EXPECT_EQ(Cell(list, 0, 3), L"1:10");
  EXPECT_EQ(Cell(list, 0, 4), L"已完成");
  EXPECT_EQ(Cell(list, 1, 4), L"失败，退出代码：2");
  EXPECT_EQ(Cell(list, 3, 0), L"挂载 WIM 镜像");
  EXPECT_EQ(Cell(list, 3, 1), L"DISM");
  EXPECT_EQ(Cell(list, 3, 4), L"正在进行 45%");
  EXPECT_EQ(Cell(list, 3, 3).substr(0, 3), L"1:0");
  EXPECT_EQ(w.SelectedRun(), runningId_);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);
  // The buttons and the output box have their captions, the box its label just before it (its name for screen
  // readers).
  EXPECT_EQ(TextOf(w.Control(RunWindow::kCopyId)), L"复制命令(&C)");
  EXPECT_EQ(TextOf(w.Control(RunWindow::kFolderId)), L"打开日志文件夹(&O)");
  EXPECT_EQ(GetWindow(w.Control(RunWindow::kOutputId), GW_HWNDPREV), w.Control(RunWindow::kLabelId));
  EXPECT_EQ(TextOf(w.Control(RunWindow::kLabelId)), L"输出");
  EXPECT_EQ(AccessibleName(w.Control(RunWindow::kOutputId)), L"输出");
  EXPECT_EQ(AccessibleName(w.Control(RunWindow::kCopyId)), L"复制命令(C)");
  EXPECT_EQ(AccessibleName(list), L"运行记录");
  EXPECT_EQ(SendMessageW(w.Control(RunWindow::kOutputId), EM_GETLIMITTEXT, 0, 0), static_cast<LRESULT>(kOutputLimit));

  // A refresh with a new run and a run ended keeps the selection where the user put it.
  w.SelectRun(finishedId_);
  PumpMessages();
  RunBook& book = window_->Runs();
  book.Add(u"制作镜像（Boot）", u"imagex", u"imagex /boot", {10, 0, 0}, GetTickCount64());
  book.End(runningId_, RunState::Finished, u"0", GetTickCount64());
  w.RunsChanged();
  PumpMessages();
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 5);
  EXPECT_EQ(Cell(list, 4, 0), L"制作镜像（Boot）");
  EXPECT_EQ(Cell(list, 4, 4), L"正在进行");
  EXPECT_EQ(Cell(list, 3, 4), L"已完成");
  EXPECT_EQ(w.SelectedRun(), finishedId_);
  EXPECT_EQ(TextOf(w.Control(RunWindow::kOutputId)),
            L"Applying image\r\n[===========100%===========]\r\nSuccessfully applied.\r\n");
  // Opened again, it selects the newest again.
  window_->OpenRunWindow();
  PumpMessages();
  EXPECT_EQ(w.SelectedRun(), book.runs().back()->id);
}

TEST_F(RunWindowTest, TheOutputBoxFollowsTheRunsLogAsItGrows) {
  RunWindow& w = Open();
  HWND output = w.Control(RunWindow::kOutputId);
  const std::wstring start =
      L"Deployment Image Servicing and Management tool\r\n\r\nMounting image\r\n"
      L"[====                       45.0%                          ]\r\n";
  EXPECT_EQ(TextOf(output), start);
  runs::Run* running = window_->Runs().Find(runningId_);
  ASSERT_NE(running, nullptr);
  // A bar drawn over itself replaces the last line; then a line break and more text.
  Feed(*running->log, "[=======     60.0%    ]\r");
  w.OutputChanged(runningId_);
  EXPECT_EQ(TextOf(output), start + L"[=======     60.0%    ]");
  Feed(*running->log, "[=========   80.0%    ]\r");
  w.OutputChanged(runningId_);
  w.OutputChanged(noLogId_);  // another run's news changes nothing here
  EXPECT_EQ(TextOf(output), start + L"[=========   80.0%    ]");
  Feed(*running->log, "\nThe operation completed successfully.\r\n");
  w.OutputChanged(runningId_);
  const std::wstring full = start + L"[=========   80.0%    ]\r\nThe operation completed successfully.\r\n";
  EXPECT_EQ(TextOf(output), full);
  DWORD selStart = 0, selEnd = 0;
  SendMessageW(output, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, full.size()) << "following the end";

  // Text the user selected stays selected while more comes in.
  SendMessageW(output, EM_SETSEL, 0, 10);
  Feed(*running->log, "More output\r\n");
  w.OutputChanged(runningId_);
  EXPECT_EQ(TextOf(output), full + L"More output\r\n");
  SendMessageW(output, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, 0u);
  EXPECT_EQ(selEnd, 10u);

  // Much more than the box shows: the box follows the end, and the user's scrolled-up place is kept.
  SendMessageW(output, EM_SETSEL, static_cast<WPARAM>(-1), 0);
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "line " + std::to_string(i) + "\r\n";
  Feed(*running->log, lines);
  w.OutputChanged(runningId_);
  const auto lineCount = static_cast<int>(SendMessageW(output, EM_GETLINECOUNT, 0, 0));
  const auto first = static_cast<int>(SendMessageW(output, EM_GETFIRSTVISIBLELINE, 0, 0));
  EXPECT_GT(first, 150) << "the end is in view";
  EXPECT_LT(first, lineCount);
  SendMessageW(output, EM_LINESCROLL, 0, -100);
  const auto scrolledTo = static_cast<int>(SendMessageW(output, EM_GETFIRSTVISIBLELINE, 0, 0));
  ASSERT_LT(scrolledTo, first);
  Feed(*running->log, "after scrolling\r\n");
  w.OutputChanged(runningId_);
  EXPECT_EQ(SendMessageW(output, EM_GETFIRSTVISIBLELINE, 0, 0), scrolledTo);
  EXPECT_NE(TextOf(output).find(L"line 199\r\nafter scrolling\r\n"), std::wstring::npos);
}

TEST_F(RunWindowTest, ARunWithoutALogShowsWhyAndItsCommandCanBeCopied) {
  RunWindow& w = Open();
  w.SelectRun(noLogId_);
  PumpMessages();
  EXPECT_EQ(TextOf(w.Control(RunWindow::kOutputId)), L"没有保存这次运行的输出：拒绝访问。");
  EXPECT_FALSE(IsWindowEnabled(w.Control(RunWindow::kFolderId))) << "no log file, no folder to open";
  ASSERT_TRUE(IsWindowEnabled(w.Control(RunWindow::kCopyId)));
  runtime::CopyToClipboard(nullptr, L"before");
  SendMessageW(w.Control(RunWindow::kCopyId), BM_CLICK, 0, 0);
  EXPECT_EQ(Clipboard(), L"dism /Unmount-Image /MountDir:C:\\mnt /Discard");
  // Alt+C, the button's access key, from anywhere in the window.
  runtime::CopyToClipboard(nullptr, L"before");
  SetFocus(w.Control(RunWindow::kOutputId));
  MSG alt{};
  alt.hwnd = GetFocus();
  alt.message = WM_SYSCHAR;
  alt.wParam = L'c';
  alt.lParam = 1 | (1 << 29);  // with Alt held
  EXPECT_TRUE(RunWindow::DialogMessage(&alt));
  PumpMessages();
  EXPECT_EQ(Clipboard(), L"dism /Unmount-Image /MountDir:C:\\mnt /Discard");
  // Selecting another row by the list itself (as a click does) shows that run's output once the change settles.
  HWND list = w.Control(RunWindow::kListId);
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  PumpMessages();
  EXPECT_EQ(w.SelectedRun(), finishedId_);
  EXPECT_EQ(TextOf(w.Control(RunWindow::kOutputId)).substr(0, 16), L"Applying image\r\n");
  EXPECT_TRUE(IsWindowEnabled(w.Control(RunWindow::kFolderId)));
}

TEST_F(RunWindowTest, TabWalksTheControlsAndEscHidesTheWindow) {
  RunWindow& w = Open();
  HWND list = w.Control(RunWindow::kListId), output = w.Control(RunWindow::kOutputId);
  HWND copy = w.Control(RunWindow::kCopyId), folder = w.Control(RunWindow::kFolderId);
  ASSERT_EQ(GetFocus(), list);
  EXPECT_TRUE(PressKey(VK_TAB));
  EXPECT_EQ(GetFocus(), output);
  DWORD selStart = 0, selEnd = 0;
  SendMessageW(output, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
  EXPECT_EQ(selStart, selEnd) << "reaching the box by Tab selects nothing, so it keeps following the end";
  EXPECT_TRUE(PressKey(VK_TAB));
  EXPECT_EQ(GetFocus(), copy);
  EXPECT_TRUE(PressKey(VK_TAB));
  EXPECT_EQ(GetFocus(), folder);
  EXPECT_TRUE(PressKey(VK_TAB));
  EXPECT_EQ(GetFocus(), list);
  EXPECT_TRUE(PressKey(VK_TAB, true));
  EXPECT_EQ(GetFocus(), folder);
  // The main window's keys are not the run window's.
  MSG other{};
  other.hwnd = main_;
  other.message = WM_KEYDOWN;
  other.wParam = VK_TAB;
  EXPECT_FALSE(RunWindow::DialogMessage(&other));
  EXPECT_TRUE(PressKey(VK_ESCAPE));
  EXPECT_FALSE(IsWindowVisible(w.hwnd()));
  EXPECT_TRUE(IsWindow(w.hwnd())) << "hidden, kept for the next time";
  // Its close button hides it too; the tray's entry brings it back.
  window_->OpenRunWindow();
  EXPECT_TRUE(IsWindowVisible(w.hwnd()));
  SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(w.hwnd()));
  EXPECT_TRUE(IsWindow(w.hwnd()));
}

TEST_F(RunWindowTest, AtAnotherScaleItIsLaidOutAgainWithItsFontAtThatScale) {
  RunWindow& w = Open();
  RECT before{};
  GetWindowRect(w.hwnd(), &before);
  const int width = before.right - before.left, height = before.bottom - before.top;
  RECT suggested{before.left, before.top, before.left + width * 3 / 2, before.top + height * 3 / 2};
  SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  PumpMessages();
  EXPECT_EQ(w.Scale().Dpi(), 144);
  RECT frame{};
  GetWindowRect(w.hwnd(), &frame);
  EXPECT_TRUE(EqualRect(&frame, &suggested));
  RECT client{};
  GetClientRect(w.hwnd(), &client);
  const resources::DpiScale s(144);
  const RunWindowLayout layout = LayOutRunWindow(client.right, client.bottom, s);
  ExpectAt(w.Control(RunWindow::kListId), layout.list);
  ExpectAt(w.Control(RunWindow::kOutputId), layout.output);
  ExpectAt(w.Control(RunWindow::kCopyId), layout.copyButton);
  ExpectAt(w.Control(RunWindow::kFolderId), layout.folderButton);
  HWND list = w.Control(RunWindow::kListId);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), s.Px(64));
  const auto font = reinterpret_cast<HFONT>(SendMessageW(w.Control(RunWindow::kCopyId), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_TRUE(GetObjectW(font, sizeof lf, &lf));
  EXPECT_EQ(lf.lfHeight, -18) << "9 pt at 144 dpi";
  // The least size follows the scale too.
  MINMAXINFO info{};
  SendMessageW(w.hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, s.Px(kRunWindowMinWidth));
  suggested = before;
  SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 64);
  // Made smaller by the user: laid out again for the new size.
  SetWindowPos(w.hwnd(), nullptr, 0, 0, 460, 320, SWP_NOMOVE | SWP_NOZORDER);
  GetClientRect(w.hwnd(), &client);
  const RunWindowLayout small = LayOutRunWindow(client.right, client.bottom, resources::DpiScale(96));
  ExpectAt(w.Control(RunWindow::kOutputId), small.output);
  ExpectAt(w.Control(RunWindow::kFolderId), small.folderButton);
  EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0), ColumnWidths(small.list.width - 4, resources::DpiScale(96))[0]);
}

// Saves the screen under `path` (a Linux path) with ImageMagick's import, run from Wine by its Z: path.
void SaveScreen(const std::wstring& path) {
  std::wstring line = L"import -window root " + path;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(L"Z:\\usr\\bin\\import", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Wine's handle of a Linux program never signals: wait for the file instead, then for it to be written.
  std::wstring windowsPath = L"Z:" + path;
  for (wchar_t& c : windowsPath)
    if (c == L'/') c = L'\\';
  DeleteFileW(windowsPath.c_str());
  wintest::WaitUntil([&] { return GetFileAttributesW(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES; });
  wintest::WaitUntil([] { return false; }, std::chrono::milliseconds(1500));
}

// Not a check: saves the screen with the window open, at 96 dpi and at 144 dpi, for a person to look at.
TEST_F(RunWindowTest, Screenshot) {
  wchar_t path[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"VANTREL_RUN_WINDOW_SHOT", path, MAX_PATH)) GTEST_SKIP() << "no file named";
  RunWindow& w = Open();
  Feed(*window_->Runs().Find(runningId_)->log, "[=========   80.0%    ]\r");
  w.OutputChanged(runningId_);
  w.RunsChanged();
  SetWindowPos(w.hwnd(), HWND_TOP, 370, 20, 0, 0, SWP_NOSIZE);
  wintest::WaitUntil([] { return false; }, std::chrono::milliseconds(800));
  SaveScreen(path);
  RECT scaled{8, 8, 8 + 960, 8 + 660};
  SendMessageW(w.hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&scaled));
  wintest::WaitUntil([] { return false; }, std::chrono::milliseconds(800));
  SaveScreen(std::wstring(path) + L".144.png");
}

}  // namespace
}  // namespace vantrel::runs
