// A run's log: the tool's output goes to a file of the run that the program reads while the tool writes it. The
// launch hands the tool that file and the null device and nothing else of ours, and gives it no console window;
// a log that cannot be made leaves the run as it always started.
// clang-format off
#include <windows.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "runs/log_folder.h"
#include "runs/run_log_win32.h"
#include "runs/tool_log.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::runs::CreateRunLog;
using vantrel::runs::RunLog;
using vantrel::runs::RunLogResult;
using vantrel::runtime::UniqueKernelHandle;
using vantrel::wintest::BinDir;
using vantrel::wintest::g_tray;
using vantrel::wintest::ToolLog;
using vantrel::wintest::WaitUntil;

// Starts the stand-in `program` of the test folder with `args`, its output to `output` (none: as a launch
// without a log). The process handle comes back in `process`.
DWORD Start(const wchar_t* program, const std::wstring& args, HANDLE output, UniqueKernelHandle& process) {
  const std::wstring path = BinDir() + L"\\" + program;
  vantrel::runtime::ProcessLaunch launch{path, L"\"" + path + L"\" " + args, SW_SHOWNORMAL, BinDir(), output};
  return vantrel::runtime::Shell(launch, &process);
}

bool Ended(const UniqueKernelHandle& process) {
  return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::set<std::wstring> FilesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return names;
}

// TMP and TEMP pointed elsewhere for one test, and put back afterwards.
class TempFolderSetting {
 public:
  explicit TempFolderSetting(const std::wstring& folder) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      wchar_t value[32768];
      const DWORD length = GetEnvironmentVariableW(name, value, 32768);
      saved_.push_back(length ? std::wstring(value, length) : std::wstring());
      SetEnvironmentVariableW(name, folder.c_str());
    }
  }
  ~TempFolderSetting() {
    SetEnvironmentVariableW(L"TMP", saved_[0].empty() ? nullptr : saved_[0].c_str());
    SetEnvironmentVariableW(L"TEMP", saved_[1].empty() ? nullptr : saved_[1].c_str());
  }

 private:
  std::vector<std::wstring> saved_;
};

TEST(RunLogLaunch, TheToolsOutputIsReadFromTheLogWhileItRunsOnlyNewBytesAtEachLook) {
  ToolLog records;
  RunLogResult made = CreateRunLog();
  ASSERT_TRUE(made.log) << testing::PrintToString(made.reason);
  RunLog& log = *made.log;
  EXPECT_EQ(log.Folder(), vantrel::runs::RunLogFolder());
  EXPECT_TRUE(vantrel::runs::IsRunLogName(vantrel::runtime::Utf16(log.Path().substr(log.Folder().size() + 1))))
      << testing::PrintToString(log.Path());

  // 20 bars, 100 ms apart, drawn over each other with a lone CR as DISM draws them.
  UniqueKernelHandle process;
  ASSERT_EQ(Start(L"imagex.exe", L"/mount a.wim 1 C:\\mnt standin:progress=20,100", log.WriteHandle(), process), 0u);
  log.CloseWriteHandle();

  std::string all;
  std::vector<std::uint8_t> bytes;
  bool sawPartWhileRunning = false;
  int looks = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const bool endedBefore = Ended(process);
        EXPECT_EQ(log.ReadNew(bytes), 0u);
        all += Text(bytes);
        ++looks;
        if (!endedBefore && all.find("Mounting image") != std::string::npos &&
            all.find("successfully") == std::string::npos)
          sawPartWhileRunning = true;
        return endedBefore;
      },
      std::chrono::seconds(20)));
  EXPECT_TRUE(sawPartWhileRunning) << "the output was not there to read while the tool ran (" << looks << " looks)";
  EXPECT_EQ(log.ReadNew(bytes), 0u);
  all += Text(bytes);
  EXPECT_EQ(log.ReadNew(bytes), 0u);
  EXPECT_TRUE(bytes.empty()) << "a look after the end read old bytes again";
  EXPECT_EQ(log.Offset(), all.size());

  EXPECT_EQ(all.rfind("\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.1\r\n\r\n", 0), 0u)
      << all;
  EXPECT_NE(all.find("Mounting image\r\n[==      "), std::string::npos);  // 5 %
  EXPECT_EQ(std::count(all.begin(), all.end(), '%'), 20);
  EXPECT_EQ(std::count(all.begin(), all.end(), '\r'), 5 + 20 + 1);
  EXPECT_NE(all.find("[==========================100.0%==========================]\r\n"
                     "The operation completed successfully.\r\n"),
            std::string::npos)
      << all;
  // The file itself holds exactly what the looks read.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(log.Path().c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(data.nFileSizeLow, all.size());
  // And the run-log reader makes of it what a run window shows.
  vantrel::runs::ToolLog reader;
  reader.Feed(bytes = std::vector<std::uint8_t>(all.begin(), all.end()));
  reader.Finish();
  EXPECT_EQ(reader.percentTenths(), 1000);
  EXPECT_EQ(reader.phase(), u"Mounting image");

  // What the tool was given: its output a disk file, its input the null device, no console window.
  ASSERT_TRUE(records.WaitForRuns(1));
  const auto run = records.Runs().at(0);
  EXPECT_EQ(run.stdoutType, static_cast<int>(FILE_TYPE_DISK));
  EXPECT_EQ(run.stdinType, static_cast<int>(FILE_TYPE_CHAR));
  EXPECT_EQ(run.console, 0);
  EXPECT_EQ(run.show, SW_SHOWNORMAL);
  DeleteFileW(log.Path().c_str());
}

TEST(RunLogLaunch, ALookReadsAtMostOneMebibyteAndSaysThatMoreIsWaiting) {
  RunLogResult made = CreateRunLog();
  ASSERT_TRUE(made.log);
  RunLog& log = *made.log;
  // 2.5 MiB written at once, as a tool that prints a long listing would.
  std::string written(5 * 512 * 1024, '\0');
  for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<char>('a' + i * 7 % 26);
  DWORD count = 0;
  ASSERT_TRUE(WriteFile(log.WriteHandle(), written.data(), static_cast<DWORD>(written.size()), &count, nullptr));
  std::vector<std::uint8_t> bytes;
  std::string read;
  std::vector<std::size_t> sizes;
  bool more = true;
  for (int look = 0; look < 10 && more; ++look) {
    ASSERT_EQ(log.ReadNew(bytes, &more), 0u);
    sizes.push_back(bytes.size());
    read += Text(bytes);
  }
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1 << 20, 1 << 20, 512 * 1024}));
  EXPECT_EQ(read, written);
  // What comes later is read from where the last look stopped.
  ASSERT_TRUE(WriteFile(log.WriteHandle(), "tail", 4, &count, nullptr));
  ASSERT_EQ(log.ReadNew(bytes, &more), 0u);
  EXPECT_EQ(Text(bytes), "tail");
  EXPECT_FALSE(more);
  // A tool far ahead of the looks: what lies beyond the last share is passed over, and the look reads the newest.
  ASSERT_TRUE(WriteFile(log.WriteHandle(), written.data(), static_cast<DWORD>(written.size()), &count, nullptr));
  EXPECT_FALSE(log.SkipToTail(written.size())) << "nothing to pass over";
  EXPECT_TRUE(log.SkipToTail(1000));
  ASSERT_EQ(log.ReadNew(bytes, &more), 0u);
  EXPECT_EQ(Text(bytes), written.substr(written.size() - 1000));
  EXPECT_EQ(log.Offset(), 2 * written.size() + 4);
  EXPECT_FALSE(log.SkipToTail(0)) << "nothing left to pass over";
  const std::wstring path = log.Path();
  log.Discard();
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a discarded log stayed";
}

TEST(RunLogLaunch, TheToolInheritsTheLogAndTheNullDeviceAndNoOtherHandleOfOurs) {
  ToolLog records;
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  UniqueKernelHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  wchar_t value[32];
  wsprintfW(value, L"0x%lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(event.get())));
  const std::wstring probe = std::wstring(L"/unmount C:\\mnt standin:setevent=") + value;

  // Without the list an inheritable handle goes to the child, which can then set our event: the probe works.
  {
    const std::wstring path = BinDir() + L"\\imagex.exe";
    std::wstring line = L"\"" + path + L"\" " + probe;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(
        CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started));
    CloseHandle(started.hThread);
    UniqueKernelHandle process(started.hProcess);
    ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    ASSERT_TRUE(records.WaitForRuns(1));
    EXPECT_EQ(records.Runs().at(0).setEvent, true);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_OBJECT_0) << "the probe could not reach an inherited handle";
    ResetEvent(event.get());
  }

  RunLogResult made = CreateRunLog();
  ASSERT_TRUE(made.log);
  UniqueKernelHandle process;
  ASSERT_EQ(Start(L"imagex.exe", probe, made.log->WriteHandle(), process), 0u);
  made.log->CloseWriteHandle();
  ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
  ASSERT_TRUE(records.WaitForRuns(2));
  const auto run = records.Runs().at(1);
  EXPECT_EQ(run.setEvent, false);
  EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "an inheritable handle outside the list reached the tool";
  EXPECT_EQ(run.stdoutType, static_cast<int>(FILE_TYPE_DISK));
  made.log->Discard();
}

TEST(RunLogLaunch, AConsoleToolGetsNoConsoleWindowAndWritesToTheLog) {
  ToolLog records;
  // The control: a console program started with a console of its own has a window.
  {
    const std::wstring path = BinDir() + L"\\imagex_console.exe";
    std::wstring line = L"\"" + path + L"\" /unmount C:\\mnt";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                               &startup, &started));
    CloseHandle(started.hThread);
    UniqueKernelHandle process(started.hProcess);
    ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
    ASSERT_TRUE(records.WaitForRuns(1));
    EXPECT_EQ(records.Runs().at(0).console, 1) << "a console program on a console of its own saw no window";
  }
  // Vantrel has no console; this test program may have one, which a console tool would share without a window
  // of its own whatever the launch asked. Without it, only CREATE_NO_WINDOW keeps the tool's console windowless.
  FreeConsole();
  RunLogResult made = CreateRunLog();
  ASSERT_TRUE(made.log);
  UniqueKernelHandle process;
  ASSERT_EQ(Start(L"imagex_console.exe", L"/unmount C:\\mnt standin:progress=2,0,lf", made.log->WriteHandle(), process),
            0u);
  made.log->CloseWriteHandle();
  ASSERT_EQ(WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
  ASSERT_TRUE(records.WaitForRuns(2));
  const auto run = records.Runs().at(1);
  EXPECT_EQ(run.console, 0);
  EXPECT_EQ(run.stdoutType, static_cast<int>(FILE_TYPE_DISK));
  EXPECT_EQ(run.stdinType, static_cast<int>(FILE_TYPE_CHAR));
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(made.log->ReadNew(bytes), 0u);
  EXPECT_NE(Text(bytes).find("[==========================50.0%                           ]\r\n"
                             "[==========================100.0%==========================]\r\n"),
            std::string::npos)
      << Text(bytes);
  made.log->Discard();
}

// Runs the stand-in with `args` and a log, and gives back what the log holds once it has ended, and its exit code.
std::string OutputOf(const std::wstring& args, DWORD& exitCode) {
  RunLogResult made = CreateRunLog();
  EXPECT_TRUE(made.log);
  if (!made.log) return {};
  UniqueKernelHandle process;
  EXPECT_EQ(Start(L"imagex.exe", args, made.log->WriteHandle(), process), 0u);
  made.log->CloseWriteHandle();
  EXPECT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  GetExitCodeProcess(process.get(), &exitCode);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(made.log->ReadNew(bytes), 0u);
  made.log->Discard();
  return Text(bytes);
}

TEST(RunLogLaunch, DismsErrorParagraphAndWimlibsOwnLinesReachTheLog) {
  ToolLog records;
  DWORD exitCode = 0;
  const std::string error = OutputOf(L"/unmount C:\\mnt standin:dismerror=0xC1420127", exitCode);
  EXPECT_EQ(exitCode, 0xC1420127u);
  EXPECT_NE(error.find("\r\n\r\nError: 0xc1420127\r\n\r\nThe specified image in the specified wim is already mounted "
                       "for read/write access.\r\n\r\nThe DISM log file can be found at "
                       "C:\\Windows\\Logs\\DISM\\dism.log\r\n"),
            std::string::npos)
      << error;
  vantrel::runs::ToolLog reader;
  reader.Feed(std::vector<std::uint8_t>(error.begin(), error.end()));
  reader.Finish();
  EXPECT_EQ(reader.errorLine(), u"Error: 0xc1420127");
  EXPECT_NE(reader.errorText().find(u"already mounted for read/write access."), std::u16string::npos);
  // A small code is decimal, as DISM writes Win32 errors; standin:exit still decides the exit code.
  EXPECT_NE(OutputOf(L"/unmount C:\\mnt standin:dismerror=87 standin:exit=5", exitCode).find("\r\nError: 87\r\n"),
            std::string::npos);
  EXPECT_EQ(exitCode, 5u);

  if (GetFileAttributesW(L"Z:\\usr\\bin\\wimlib-imagex") == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "wimlib-imagex is not installed";
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring source = std::wstring(temp) + L"vantrel-capture-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring wim = source + L".wim";
  ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
  HANDLE file = CreateFileW((source + L"\\a.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "hello", 5, &written, nullptr);
  CloseHandle(file);
  const std::string wimlib = OutputOf(L"/capture \"" + source + L"\" \"" + wim + L"\" name", exitCode);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_NE(wimlib.find("Scanning"), std::string::npos) << wimlib;
  EXPECT_NE(wimlib.find("(100%) done"), std::string::npos) << wimlib;
  DeleteFileW((source + L"\\a.txt").c_str());
  RemoveDirectoryW(source.c_str());
  DeleteFileW(wim.c_str());
}

TEST(RunLogFolderOnDisk, AMissingTempFolderGivesTheReasonAndTidyingKeepsTheNewestTwenty) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring base = std::wstring(temp) + L"vantrel-logs-" + std::to_wstring(GetCurrentProcessId());
  {
    const TempFolderSetting missing(base + L"\\missing");
    const RunLogResult made = CreateRunLog();
    EXPECT_FALSE(made.log);
    EXPECT_EQ(made.error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(made.reason.find(base + L"\\missing\\Vantrel"), std::wstring::npos)
        << testing::PrintToString(made.reason);
    EXPECT_NE(made.reason.find(vantrel::runtime::SystemErrorText(ERROR_PATH_NOT_FOUND)), std::wstring::npos);
  }
  // Made on first use, both levels.
  ASSERT_TRUE(CreateDirectoryW(base.c_str(), nullptr));
  {
    const TempFolderSetting fresh(base);
    EXPECT_EQ(vantrel::runs::RunLogFolder(), base + L"\\Vantrel\\logs");
    RunLogResult made = CreateRunLog();
    ASSERT_TRUE(made.log) << testing::PrintToString(made.reason);
    EXPECT_EQ(made.log->Folder(), base + L"\\Vantrel\\logs");
    made.log->Discard();
  }

  // A folder of earlier sessions: 25 logs, two files of other names and a log the program has open. Tidying
  // keeps the newest twenty logs (the open one among them) and everything else.
  const std::wstring used = base + L"\\used";
  const std::wstring folder = used + L"\\Vantrel\\logs";
  for (const std::wstring& level : {used, used + L"\\Vantrel", folder})
    ASSERT_TRUE(CreateDirectoryW(level.c_str(), nullptr));
  std::vector<std::wstring> logs;
  for (unsigned i = 0; i < 25; ++i)
    logs.push_back(vantrel::runtime::Wide(vantrel::runs::RunLogName({2000, 1, 11, 8, i, 0, 0}, 77, i + 1)));
  std::set<std::wstring> expected(logs.begin() + 6, logs.end());
  for (const wchar_t* other : {L"notes.txt", L"00000000-000000-000-1-1.log.old"}) {
    logs.push_back(other);
    expected.insert(other);
  }
  for (const std::wstring& name : logs) {
    HANDLE file = CreateFileW((folder + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  {
    const TempFolderSetting earlier(used);
    RunLogResult open = CreateRunLog();
    ASSERT_TRUE(open.log);
    expected.insert(open.log->Path().substr(folder.size() + 1));
    EXPECT_EQ(vantrel::runs::PruneRunLogs(folder), 6u);
    EXPECT_EQ(FilesIn(folder), expected);
    EXPECT_EQ(vantrel::runs::PruneRunLogs(folder), 0u);
  }

  for (const std::wstring& name : FilesIn(folder)) DeleteFileW((folder + L"\\" + name).c_str());
  for (const std::wstring& level :
       {folder, used + L"\\Vantrel", used, base + L"\\Vantrel\\logs", base + L"\\Vantrel", base})
    RemoveDirectoryW(level.c_str());
}

class RunLogFromPanel : public vantrel::wintest::MainWindowFixture {
 protected:
  void BeforeOpen() override { records_ = std::make_unique<ToolLog>(); }
  std::unique_ptr<ToolLog> records_;
};

TEST_F(RunLogFromPanel, AClickGivesTheRunALogAndARunWithoutOneStartsAsBefore) {
  const std::wstring folder = vantrel::runs::RunLogFolder();
  const std::set<std::wstring> before = FilesIn(folder);
  SetWindowTextW(Ctl("MountPath"), L"C:\\mnt standin:progress=3,10");
  SendMessageW(Ctl("unMountWim"), BM_CLICK, 0, 0);
  ASSERT_TRUE(records_->WaitForRuns(1));
  EXPECT_EQ(records_->Runs().at(0).args, (std::vector<std::wstring>{L"/unmount", L"C:\\mnt standin:progress=3,10"}));
  EXPECT_EQ(records_->Runs().at(0).stdoutType, static_cast<int>(FILE_TYPE_DISK));
  std::vector<std::wstring> added;
  for (const std::wstring& name : FilesIn(folder))
    if (!before.count(name)) added.push_back(name);
  ASSERT_EQ(added.size(), 1u);
  const std::wstring path = folder + L"\\" + added[0];
  std::string content;
  ASSERT_TRUE(WaitUntil([&] {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD got = 0;
    content.clear();
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) content.append(buffer, got);
    CloseHandle(file);
    return content.find("successfully") != std::string::npos;
  }));
  EXPECT_NE(content.find("Mounting image"), std::string::npos);

  // With no temporary folder to put it in, the run has no log and starts all the same.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::set<std::wstring> beforeSecond = FilesIn(folder);
  SetWindowTextW(Ctl("MountPath"), L"C:\\mnt");
  {
    const TempFolderSetting missing(std::wstring(temp) + L"vantrel-no-such-folder");
    SendMessageW(Ctl("unMountWim"), BM_CLICK, 0, 0);
  }
  ASSERT_TRUE(records_->WaitForRuns(2));
  EXPECT_EQ(records_->Runs().at(1).args, (std::vector<std::wstring>{L"/unmount", L"C:\\mnt"}));
  EXPECT_NE(records_->Runs().at(1).stdoutType, static_cast<int>(FILE_TYPE_DISK));
  EXPECT_EQ(records_->Runs().at(1).show, records_->Runs().at(0).show);
  EXPECT_EQ(FilesIn(folder), beforeSecond);
  EXPECT_TRUE(WaitUntil([&] { return window_->RunsInFlight() == 0; }, std::chrono::seconds(10)));
  DeleteFileW(path.c_str());
}

// What the taskbar was told while the progress test ran.
struct TaskbarCall {
  int state, tenths;
};
std::vector<TaskbarCall> g_taskbar;

TEST_F(RunLogFromPanel, TheRunsProgressShowsInTheTipAndOnTheTaskbarAndAFailureQuotesTheTool) {
  using vantrel::runtime::LoadResString;
  g_taskbar.clear();
  g_tray.Start();
  vantrel::runtime::TestSeam().taskbarProgress = [](HWND, int state, int tenths, HRESULT) {
    g_taskbar.push_back({state, tenths});
  };
  // Explorer says the button is there (Wine may never say it): from now on the taskbar object is asked.
  SendMessageW(main_, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
  EXPECT_TRUE(g_taskbar.empty()) << "no run, nothing to show: the taskbar object is not even made";

  SetWindowTextW(Ctl("MountPath"), L"C:\\mnt standin:progress=12,150");
  SendMessageW(Ctl("unMountWim"), BM_CLICK, 0, 0);
  // The tip names the run, then its percentage as the bars come; the percentages only rise.
  std::wstring caption = LoadResString(10110);
  const std::wstring tipAt = L"Vantrel\uFF1A" + caption + L" ";
  ASSERT_TRUE(WaitUntil([&] { return !g_tray.tips.empty() && g_tray.tips.back().find(L"%") != std::wstring::npos; },
                        std::chrono::seconds(10)));
  EXPECT_EQ(g_tray.tips.front(), L"Vantrel\uFF1A" + caption) << "before the first bar";
  ASSERT_TRUE(WaitUntil([&] { return window_->RunsInFlight() == 0; }, std::chrono::seconds(15)));
  int last = -1;
  for (const std::wstring& tip : g_tray.tips) {
    if (tip.rfind(tipAt, 0) != 0) continue;
    const int percent = _wtoi(tip.c_str() + tipAt.size());
    EXPECT_GE(percent, last) << "the percentage went back";
    last = percent;
  }
  EXPECT_GT(last, 0) << "no percentage in the tip";
  EXPECT_EQ(g_tray.tips.back(), LoadResString(40101));
  // The taskbar: indeterminate until the first bar, then the bar's value rising, then nothing again.
  ASSERT_GE(g_taskbar.size(), 3u);
  EXPECT_EQ(g_taskbar.front().state, TBPF_INDETERMINATE);
  EXPECT_EQ(g_taskbar.back().state, TBPF_NOPROGRESS);
  int lastTenths = -1;
  for (const TaskbarCall& call : g_taskbar) {
    if (call.state != TBPF_NORMAL) continue;
    EXPECT_GE(call.tenths, lastTenths);
    lastTenths = call.tenths;
  }
  EXPECT_GT(lastTenths, 0) << "no value on the taskbar";
  // The book has the whole output, and the run as finished.
  const vantrel::runs::Run& done = *window_->Runs().runs().back();
  EXPECT_EQ(done.state, vantrel::runs::RunState::Finished);
  ASSERT_TRUE(done.log);
  EXPECT_NE(done.log->text().find(u"The operation completed successfully."), std::u16string::npos);
  EXPECT_EQ(done.log->percentTenths(), 1000);

  // A failure: the balloon quotes DISM's own words after the code and its explanation (its "Error:" line says the
  // code again and is left out), the taskbar shows the error for a moment and then nothing.
  g_taskbar.clear();
  SetWindowTextW(Ctl("MountPath"), L"C:\\mnt standin:dismerror=0xC1420127");
  SendMessageW(Ctl("unMountWim"), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitUntil(
      [] { return !g_tray.balloons.empty() && g_tray.balloons.back().find(L"0xC1420127") != std::wstring::npos; },
      std::chrono::seconds(10)));
  const std::wstring balloon = g_tray.balloons.back();
  EXPECT_NE(balloon.find(LoadResString(50118) + L"\nThe specified image in the specified wim is already mounted for "
                                                L"read/write access."),
            std::wstring::npos)
      << balloon;
  EXPECT_EQ(balloon.find(L"dism.log"), std::wstring::npos) << "DISM's closing line is not the tool's words";
  ASSERT_FALSE(g_taskbar.empty());
  EXPECT_EQ(g_taskbar.back().state, TBPF_ERROR);
  EXPECT_TRUE(WaitUntil([] { return g_taskbar.back().state == TBPF_NOPROGRESS; }, std::chrono::seconds(6)))
      << "the error state stayed";
  EXPECT_EQ(window_->Runs().runs().back()->state, vantrel::runs::RunState::Failed);
}

}  // namespace
