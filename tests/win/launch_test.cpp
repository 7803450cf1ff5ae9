// Launching the imaging tool: composed lines survive the platform's own argument splitting, the tool is
// started by its full path and never searched for, a missing tool is reported, and long or non-ANSI paths
// reach it whole.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "imaging/imaging_commands.h"
#include "imaging/panels_win32.h"
#include "runtime/process_watch.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "tests/common/random_fields.h"
#include "tray/tray_icon_win32.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::ControlId;
using vantrel::imaging::Compose;
using vantrel::imaging::Operation;
using vantrel::runtime::Utf16;
using vantrel::runtime::Wide;
using vantrel::wintest::BinDir;
using vantrel::wintest::DialogAnswerer;
using vantrel::wintest::ToolLog;
using vantrel::wintest::ToolRun;
using vantrel::wintest::WaitUntil;

constexpr Operation kAllOperations[] = {Operation::MountReadOnly, Operation::MountReadWrite, Operation::UnmountDiscard,
                                        Operation::UnmountCommit, Operation::Apply,          Operation::Capture,
                                        Operation::CaptureBoot,   Operation::Append};

using vantrel::wintest::g_ended;

// The switches of an operation as separate arguments ("imagex /unmount /commit " gives /unmount, /commit).
std::vector<std::wstring> Switches(Operation op) {
  std::wstring prefix = Wide(vantrel::imaging::Prefix(op));
  std::vector<std::wstring> words;
  std::size_t start = prefix.find(L' ') + 1;  // after "imagex"
  for (std::size_t space; (space = prefix.find(L' ', start)) != std::wstring::npos; start = space + 1)
    words.push_back(prefix.substr(start, space - start));
  return words;
}

std::size_t ArgumentCount(Operation op) {
  return op == Operation::UnmountDiscard || op == Operation::UnmountCommit ? 1 : 3;
}

// The platform's own splitter (shell32), the same rules the C runtime applies to the tool's command line.
std::vector<std::wstring> SplitLikeWindows(const std::wstring& line) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
  std::vector<std::wstring> args;
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  LocalFree(argv);
  return args;
}

bool MakeFolder(const std::wstring& path) {
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Deletes a file, waiting for a stand-in that has just written its record to finish exiting.
void RemoveFile(const std::wstring& path) {
  WaitUntil([&] { return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND; },
            std::chrono::seconds(10));
}

TEST(CommandLineRoundTrip, RandomFieldsComeBackExactlyFromTheWindowsSplitter) {
  vantrel::test_support::RandomFields random(20240611);
  std::size_t fields = 0, lines = 0;
  while (fields < 10000) {
    const std::u16string folder = random.Folder();
    const Operation op = kAllOperations[random.Below(std::size(kAllOperations))];
    std::vector<std::u16string> args, typed;
    for (std::size_t i = 0; i < ArgumentCount(op); ++i) {
      args.push_back(random.Field());
      typed.push_back(random.AsTyped(args.back()));  // now and then in the quotes of a pasted path
    }

    const vantrel::imaging::CommandLine command = Compose(folder, op, typed);
    std::vector<std::wstring> expected{Wide(folder) + L"\\imagex"};
    for (const std::wstring& word : Switches(op)) expected.push_back(word);
    for (const std::u16string& field : args) expected.push_back(Wide(field));

    const std::vector<std::wstring> got = SplitLikeWindows(Wide(command.line));
    ASSERT_EQ(got, expected) << "line: " << testing::PrintToString(Wide(command.line));
    fields += args.size();
    ++lines;
  }
  EXPECT_GE(lines, 3000u);
}

// A launch from a program folder with a space. An unquoted, searched path would start
// <base>\Vantrel.exe (the decoy) with the same command line; the real tool sits in <base>\Vantrel Test\.
class ToolInFolderWithSpace : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    base_ = std::wstring(temp) + L"vantrel-launch-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    folder_ = base_ + L"Vantrel Test";
    decoy_ = base_ + L"Vantrel.exe";
    ASSERT_TRUE(MakeFolder(base_));
    ASSERT_TRUE(MakeFolder(folder_));
    const std::wstring standIn = BinDir() + L"\\imagex.exe";
    ASSERT_TRUE(CopyFileW(standIn.c_str(), (folder_ + L"\\imagex.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(standIn.c_str(), decoy_.c_str(), FALSE));
    // Each copy keeps its record beside itself.
    toolLog_ = std::make_unique<ToolLog>(ToolLog::BesideTool(folder_));
    decoyLog_ = std::make_unique<ToolLog>(ToolLog::BesideTool(base_));
  }
  void TearDown() override {
    for (const std::wstring& file :
         {folder_ + L"\\imagex.exe", folder_ + L"\\imagex.log", decoy_, base_ + L"imagex.log"})
      RemoveFile(file);
    RemoveDirectoryW(folder_.c_str());
    RemoveDirectoryW(base_.c_str());
  }

  std::wstring base_, folder_, decoy_;
  std::unique_ptr<ToolLog> toolLog_, decoyLog_;
};

TEST_F(ToolInFolderWithSpace, TheToolItselfRunsWithExactArgumentsAndShowState) {
  const std::vector<std::u16string> mountArgs{u"E:\\My Images\\base.wim", u"2", u"C:\\mount here\\"};
  const std::vector<std::u16string> captureArgs{u"C:\\source dir", u"D:\\out.wim", u"weekly backup"};
  ASSERT_TRUE(vantrel::imaging::StartTool(nullptr, Compose(Utf16(folder_), Operation::MountReadOnly, mountArgs)));
  ASSERT_TRUE(vantrel::imaging::StartTool(nullptr, Compose(Utf16(folder_), Operation::Capture, captureArgs)));

  ASSERT_TRUE(toolLog_->WaitForRuns(2));
  std::vector<ToolRun> runs = toolLog_->Runs();
  ASSERT_EQ(runs.size(), 2u);
  // The two runs are independent processes; sort them by their first switch.
  if (runs[0].args.at(0) != L"/mount") std::swap(runs[0], runs[1]);
  EXPECT_EQ(runs[0].args,
            (std::vector<std::wstring>{L"/mount", L"E:\\My Images\\base.wim", L"2", L"C:\\mount here\\"}));
  EXPECT_EQ(runs[0].show, SW_SHOWMINIMIZED);
  EXPECT_EQ(runs[1].args, (std::vector<std::wstring>{L"/capture", L"/compress", L"maximum", L"C:\\source dir",
                                                     L"D:\\out.wim", L"weekly backup"}));
  EXPECT_EQ(runs[1].show, SW_SHOWNORMAL);
  // The tool's own name comes first, whole, although its folder holds a space.
  EXPECT_EQ(SplitLikeWindows(runs[0].line).at(0), folder_ + L"\\imagex");
  EXPECT_TRUE(decoyLog_->Runs().empty()) << "the program at the unquoted path was started";

  // The decoy is where a searched, unquoted line would land: starting the plain unquoted line without an
  // application name reaches it. Without this the check above could not fail.
  std::wstring unquoted = folder_ + L"\\imagex /unmount C:\\mnt";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(
      CreateProcessW(nullptr, unquoted.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_TRUE(decoyLog_->WaitForRuns(1));
  EXPECT_EQ(toolLog_->Runs().size(), 2u);
}

class LaunchFromProgram : public vantrel::wintest::MainWindowFixture {
 protected:
  void BeforeOpen() override { log_ = std::make_unique<ToolLog>(); }
  std::unique_ptr<ToolLog> log_;
};

TEST_F(LaunchFromProgram, AMissingToolIsReportedAndTheProgramGoesOn) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring empty = std::wstring(temp) + L"vantrel-no-tool-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(MakeFolder(empty));
  const HWND main = window_->hwnd();

  DialogAnswerer box(vantrel::runtime::kAppTitle);
  const bool started =
      vantrel::imaging::StartTool(main, Compose(Utf16(empty), Operation::MountReadOnly, {u"a.wim", u"1", u"C:\\mnt"}));
  RemoveDirectoryW(empty.c_str());
  EXPECT_FALSE(started);
  ASSERT_TRUE(box.Wait());
  // The path tried and the system's reason, in a box modal to the main window.
  EXPECT_NE(box.Text().find(empty + L"\\imagex.exe"), std::wstring::npos) << testing::PrintToString(box.Text());
  EXPECT_NE(box.Text().find(vantrel::runtime::SystemErrorText(ERROR_FILE_NOT_FOUND)), std::wstring::npos)
      << testing::PrintToString(box.Text());
  EXPECT_EQ(box.Owner(), main);
  EXPECT_TRUE(box.OwnerWasDisabled());

  // Still running: the window is there and the next operation launches.
  EXPECT_EQ(g_ended, 0);
  ASSERT_TRUE(IsWindow(main));
  EXPECT_TRUE(IsWindowEnabled(main));
  SetWindowTextW(window_->Control(ControlId::MountPath), L"C:\\mnt");
  SendMessageW(window_->Control(ControlId::unMountWim), BM_CLICK, 0, 0);
  ASSERT_TRUE(log_->WaitForRuns(1));
  EXPECT_EQ(log_->Runs().at(0).args, (std::vector<std::wstring>{L"/unmount", L"C:\\mnt"}));
}

TEST_F(LaunchFromProgram, LongAndNonAnsiPathsReachTheToolWhole) {
  // A 300-character folder with spaces, one without, and a file name outside every ANSI code page.
  std::wstring longWithSpaces = L"C:\\";
  while (longWithSpaces.size() < 300)
    longWithSpaces += L"镜像 folder " + std::to_wstring(longWithSpaces.size()) + L"\\";
  longWithSpaces.resize(300);
  std::wstring longPlain = L"D:\\";
  while (longPlain.size() < 300) longPlain += L"abcdefghij\\";
  longPlain.resize(300);
  const std::wstring unicodeFile = L"E:\\系统 镜像\\备份😀\U0002000B.wim";

  const HWND main = window_->hwnd();
  ASSERT_TRUE(vantrel::imaging::StartTool(main, Compose(Utf16(vantrel::runtime::ProgramFolder()), Operation::Apply,
                                                    {Utf16(unicodeFile), u"1", Utf16(longWithSpaces)})));
  ASSERT_TRUE(log_->WaitForRuns(1));
  ASSERT_TRUE(vantrel::imaging::StartTool(
      main, Compose(Utf16(vantrel::runtime::ProgramFolder()), Operation::UnmountCommit, {Utf16(longPlain)})));
  ASSERT_TRUE(log_->WaitForRuns(2));
  const std::vector<ToolRun> runs = log_->Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].args, (std::vector<std::wstring>{L"/apply", unicodeFile, L"1", longWithSpaces}));
  EXPECT_EQ(runs[1].args, (std::vector<std::wstring>{L"/unmount", L"/commit", longPlain}));
  EXPECT_EQ(runs[1].args.back().size(), 300u);
}

TEST_F(LaunchFromProgram, ManyRandomFieldsInOneLineReachTheToolThroughItsCRuntime) {
  // The C runtime of the tool splits its own command line; check it agrees with the platform's splitter on
  // one long line of random fields (the capture form takes any number of trailing fields here).
  vantrel::test_support::RandomFields random(77);
  std::vector<std::u16string> fields, typed;
  for (int i = 0; i < 400; ++i) {
    fields.push_back(random.Field(16));
    typed.push_back(random.AsTyped(fields.back()));
  }
  const auto command = Compose(Utf16(vantrel::runtime::ProgramFolder()), Operation::Append, typed);
  ASSERT_LT(command.line.size(), 32000u);
  ASSERT_TRUE(vantrel::imaging::StartTool(window_->hwnd(), command));
  ASSERT_TRUE(log_->WaitForRuns(1));
  std::vector<std::wstring> expected{L"/append"};
  for (const std::u16string& field : fields) expected.push_back(Wide(field));
  EXPECT_EQ(log_->Runs().at(0).args, expected);
}

// What the tray was told while a test ran: balloons (title, text, icon, record size) and tips, in order.
struct Balloon {
  std::wstring title, text;
  DWORD icon = 0;
  DWORD size = 0;
  BOOL result = FALSE;
};
std::vector<Balloon> g_balloons;
std::vector<std::wstring> g_tips;  // through either record
bool g_deleted = false;
bool g_quitOnBalloon = false;

void OnBalloon(const NOTIFYICONDATAW& record, BOOL result) {
  if (record.uFlags & NIF_TIP) {
    g_tips.emplace_back(record.szTip);  // a tip the system code page cannot hold
    return;
  }
  g_balloons.push_back({record.szInfoTitle, record.szInfo, record.dwInfoFlags, record.cbSize, result});
  if (g_quitOnBalloon) PostQuitMessage(0);
}
void OnNotify(DWORD message, const NOTIFYICONDATAA& record, BOOL) {
  if (message == NIM_MODIFY && (record.uFlags & NIF_TIP)) {
    wchar_t tip[64] = {};
    MultiByteToWideChar(CP_ACP, 0, record.szTip, -1, tip, 64);
    g_tips.emplace_back(tip);
  }
  if (message == NIM_DELETE) g_deleted = true;
}

// The tip as the shell reads it: the text whole, in the 8-bit record where the system code page holds it, else
// in the Unicode one.
std::wstring Tip(const std::wstring& text) { return text; }

class ReportsFromProgram : public LaunchFromProgram {
 protected:
  void BeforeOpen() override {
    g_balloons.clear();
    g_deleted = false;
    g_quitOnBalloon = false;
    vantrel::runtime::TestSeam().balloon = &OnBalloon;
    vantrel::runtime::TestSeam().trayNotify = &OnNotify;
    LaunchFromProgram::BeforeOpen();
  }
  void AfterOpen() override { g_tips.clear(); }
  void Set(const char* name, const wchar_t* text) { SetWindowTextW(Ctl(name), text); }
  void Click(const char* name) { SendMessageW(Ctl(name), BM_CLICK, 0, 0); }
  void Check(const char* name, bool on) {
    SendMessageW(Ctl(name), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
};

TEST_F(ReportsFromProgram, EachRunIsReportedOnceWhenItsToolEndsAndAMessageBoxDelaysTheReport) {
  using vantrel::runtime::LoadResString;
  // Three runs in flight at once, ending in the reverse of the order they started in.
  Set("MountPath", L"C:\\m1 standin:sleep=3000");
  Click("unMountWim");  // unmount, discarding: succeeds last
  Set("WIMPath", L"D:\\base.wim");
  Set("WIMindex", L"1");
  Set("MountPath", L"C:\\m2 standin:sleep=1800 standin:exit=0xC1420117");
  Click("ExtWIM");  // apply: fails second with an HRESULT
  Check("WIMR_Check", true);
  Set("MountPath", L"C:\\m3 standin:sleep=600 standin:exit=2");
  Click("MountWim");  // read-write mount: fails first with a small code
  EXPECT_EQ(window_->RunsInFlight(), 3u);
  EXPECT_TRUE(g_balloons.empty()) << "a report before any tool ended";
  ASSERT_TRUE(WaitUntil([] { return g_balloons.size() >= 3; }, std::chrono::seconds(20)));
  ASSERT_TRUE(log_->WaitForRuns(3));
  Sleep(500);
  vantrel::wintest::PumpMessages();
  vantrel::runtime::ProcessWatch::WaitForMessagesOrProcesses(0);
  ASSERT_EQ(g_balloons.size(), 3u) << "each run is reported once";
  EXPECT_EQ(window_->RunsInFlight(), 0u);

  const std::wstring systemText = vantrel::runtime::SystemMessageText(2);
  ASSERT_FALSE(systemText.empty());
  // Each title names the run and the tool; a listed code is explained before the system's text.
  auto title = [](std::uint16_t id) { return LoadResString(id) + L" \u00B7 imagex"; };
  EXPECT_EQ(g_balloons[0].title, title(50102));
  EXPECT_EQ(g_balloons[0].text, L"操作失败\uFF0C退出代码\uFF1A2\u3002\n" + LoadResString(50112) + L"\n" + systemText);
  EXPECT_EQ(g_balloons[0].icon, static_cast<DWORD>(NIIF_ERROR));
  EXPECT_EQ(g_balloons[1].title, title(10111));
  EXPECT_EQ(g_balloons[1].text.rfind(L"操作失败\uFF0C退出代码\uFF1A-1052638953\uFF080xC1420117\uFF09\u3002", 0), 0u)
      << testing::PrintToString(g_balloons[1].text);
  EXPECT_EQ(g_balloons[1].icon, static_cast<DWORD>(NIIF_ERROR));
  EXPECT_EQ(g_balloons[2].title, title(10110));
  EXPECT_EQ(g_balloons[2].text, L"操作已完成\u3002");
  EXPECT_EQ(g_balloons[2].icon, static_cast<DWORD>(NIIF_INFO));
  for (const Balloon& b : g_balloons) {
    EXPECT_EQ(b.size, static_cast<DWORD>(NOTIFYICONDATAW_V2_SIZE));
    EXPECT_TRUE(b.result) << "the shell refused the balloon";
  }
  // The tip named the one run, counted the runs with each launch and down with each end, named the run left,
  // then went back to the idle tip; each tip once (the looks at the logs change nothing while no bar is drawn).
  const auto fill = [](std::uint16_t pattern, const std::wstring& value) {
    std::wstring text = LoadResString(pattern);
    return text.replace(text.find(L"%1"), 2, value);
  };
  const std::wstring one = Tip(fill(50121, LoadResString(10110)));
  EXPECT_EQ(g_tips, (std::vector<std::wstring>{one, Tip(fill(50108, L"2")), Tip(fill(50108, L"3")),
                                              Tip(fill(50108, L"2")), one, Tip(LoadResString(40101))}));

  // A run that ends while a message box is up is reported once the box has closed, not inside it.
  g_balloons.clear();
  Check("WIMR_Check", false);
  Set("MountPath", L"C:\\m4 standin:sleep=200");
  Click("unMountWim");
  std::size_t balloonsWhileOpen = 99;
  DialogAnswerer box(vantrel::runtime::kAppTitle, [&](HWND dialog) {
    // Stays open until the tool has recorded its run and gone, and a while longer.
    for (int i = 0; i < 500 && log_->Runs().size() < 4; ++i) Sleep(20);
    Sleep(800);
    balloonsWhileOpen = g_balloons.size();
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  });
  Set("WIMPath", L"");
  Click("MountWim");  // no image file: the message box, modal, until answered
  ASSERT_TRUE(box.Wait());
  EXPECT_EQ(log_->Runs().size(), 4u) << "the tool had not ended while the box was open";
  EXPECT_EQ(balloonsWhileOpen, 0u) << "a report came while the message box was open";
  ASSERT_TRUE(WaitUntil([] { return !g_balloons.empty(); }, std::chrono::seconds(5))) << "the report was lost";
  EXPECT_EQ(g_balloons.at(0).title, title(10110));

  // Ending the program while a tool runs: the icon goes, the tool goes on, and nothing is reported later.
  g_balloons.clear();
  Set("MountPath", L"C:\\m5 standin:sleep=700");
  Click("unMountWim");
  window_->MacWindow_CloseWindow();
  EXPECT_TRUE(g_deleted);
  EXPECT_EQ(g_ended, 1);
  EXPECT_TRUE(log_->WaitForRuns(5)) << "the running tool was stopped";
  Sleep(300);
  vantrel::wintest::PumpMessages();
  vantrel::runtime::ProcessWatch::WaitForMessagesOrProcesses(0);
  EXPECT_TRUE(g_balloons.empty()) << "a report after the program ended";
}

int g_timers = 0, g_messages = 0;
LRESULT CALLBACK CountMessages(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && wParam == PM_REMOVE) {
    ++g_messages;
    if (reinterpret_cast<MSG*>(lParam)->message == WM_TIMER) ++g_timers;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
DWORD WINAPI QuitLater(void* thread) {
  Sleep(20000);
  PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(thread)), WM_QUIT, 0, 0);
  return 0;
}

// The message loop sleeps while tools run but for the looks at their logs, at most four a second (a timer message
// and the strip drawn again), with hardly any CPU; then the tool's end wakes it.
TEST_F(ReportsFromProgram, TheMessageLoopSleepsWhileAToolRuns) {
  Set("MountPath", L"C:\\idle standin:sleep=3000");
  for (int i = 0; i < 20; ++i) {  // settle: paint, activation
    vantrel::wintest::PumpMessages();
    Sleep(10);
  }
  int& timers = g_timers;
  int& messages = g_messages;
  timers = messages = 0;
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, &CountMessages, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  // A guard ends the loop should the report never come.
  const DWORD thread = GetCurrentThreadId();
  HANDLE guard = CreateThread(nullptr, 0, &QuitLater, reinterpret_cast<void*>(static_cast<UINT_PTR>(thread)), 0, nullptr);
  FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelBefore, &userBefore);
  Click("unMountWim");
  const int messagesAtLaunch = messages;
  const auto started = std::chrono::steady_clock::now();
  g_quitOnBalloon = true;
  vantrel::app::MainWindow::RunMessageLoop(window_->hwnd());
  g_quitOnBalloon = false;
  const auto waited = std::chrono::steady_clock::now() - started;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernelAfter, &userAfter);
  UnhookWindowsHookEx(hook);
  TerminateThread(guard, 0);
  CloseHandle(guard);
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  const ULONGLONG cpu100ns = ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore);

  ASSERT_EQ(g_balloons.size(), 1u) << "the loop did not end on the report";
  EXPECT_GE(waited, std::chrono::milliseconds(2500)) << "the loop ended before the tool";
  EXPECT_LT(waited, std::chrono::milliseconds(10000));
  const auto looks = std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() / 250 + 1;
  EXPECT_GT(timers, 0) << "the log was never looked at while the tool ran";
  EXPECT_LE(timers, looks) << "more than four looks a second";
  EXPECT_LE(messages - messagesAtLaunch, 2 * timers + 10)
      << "the loop was woken " << messages - messagesAtLaunch << " times for " << timers << " looks";
  EXPECT_LT(cpu100ns, 1500000u) << "CPU time " << cpu100ns / 10000 << " ms while a tool ran for 3 s";
}

// The watch itself, on handles the test controls (events: they end when set; an event has no exit code, so each
// end is reported as one whose code could not be read).
TEST(ProcessWatchTest, EveryEndIsSeenHoweverBusyTheQueueAndAFailedWaitNeverSpins) {
  using vantrel::runtime::ProcessEnd;
  using vantrel::runtime::ProcessWatch;
  using vantrel::runtime::UniqueKernelHandle;
  ProcessWatch watch;
  std::vector<UniqueKernelHandle> events;
  std::vector<int> reported;
  std::vector<ProcessEnd> ends;
  auto add = [&](DWORD access) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE watched = nullptr;
    DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &watched, access, FALSE, 0);
    const int number = static_cast<int>(events.size());
    events.emplace_back(event);
    watch.Watch(UniqueKernelHandle(watched), [&, number](ProcessEnd end) {
      reported.push_back(number);
      ends.push_back(end);
    });
  };
  for (int i = 0; i < 70; ++i) add(SYNCHRONIZE | EVENT_MODIFY_STATE);
  // A queue that is never empty: a message posted before every wait, and a 10 ms timer.
  HWND busy = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(busy, nullptr);
  SetTimer(busy, 1, 10, nullptr);
  auto runLoop = [&](std::chrono::milliseconds length, bool post) {
    int waits = 0;
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (post) PostMessageW(busy, WM_USER, 0, 0);
      ProcessWatch::WaitForMessagesOrProcesses(100);
      ++waits;
    }
    return waits;
  };
  // Ends inside the first turn of 63 handles and outside it.
  for (int i : {2, 63, 64, 69}) SetEvent(events[static_cast<std::size_t>(i)].get());
  runLoop(std::chrono::milliseconds(2500), true);
  std::sort(reported.begin(), reported.end());
  EXPECT_EQ(reported, (std::vector<int>{2, 63, 64, 69})) << "an end outside the wait's turn was never seen";
  EXPECT_EQ(watch.InFlight(), 66u);
  for (const ProcessEnd& end : ends) {
    EXPECT_FALSE(end.known) << "an event's exit code was reported as the tool's own";
    EXPECT_NE(end.value, 0u);
  }
  watch.Forget();
  events.clear();
  reported.clear();
  ends.clear();
  KillTimer(busy, 1);
  DestroyWindow(busy);

  // A handle that cannot be waited for (no SYNCHRONIZE access) next to one that can: the wait fails, the bad
  // one is reported at once as an end not known, the loop sleeps instead of going round the failure, and the
  // good one's end is still seen.
  add(EVENT_MODIFY_STATE);
  add(SYNCHRONIZE | EVENT_MODIFY_STATE);
  const int waits = runLoop(std::chrono::milliseconds(1000), false);
  EXPECT_LE(waits, 15) << "the loop went round a failing wait " << waits << " times in a second";
  ASSERT_EQ(reported, std::vector<int>{0});
  EXPECT_FALSE(ends[0].known);
  EXPECT_EQ(ends[0].value, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  SetEvent(events[1].get());
  runLoop(std::chrono::milliseconds(1500), false);
  EXPECT_EQ(reported, (std::vector<int>{0, 1}));
  EXPECT_EQ(watch.InFlight(), 0u);
}

}  // namespace
