// Launching the imaging tool: composed lines survive the platform's own argument splitting, the tool is
// started by its full path and never searched for, a missing tool is reported, and long or non-ANSI paths
// reach it whole.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "imaging/imaging_commands.h"
#include "runtime/runtime.h"
#include "tests/common/random_fields.h"
#include "tests/win/win_test_support.h"

namespace {

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

int g_ended = 0;
void RecordEnd() {
  ++g_ended;
}

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
  ASSERT_TRUE(vantrel::runtime::Shell(nullptr, Compose(Utf16(folder_), Operation::MountReadOnly, mountArgs)));
  ASSERT_TRUE(vantrel::runtime::Shell(nullptr, Compose(Utf16(folder_), Operation::Capture, captureArgs)));

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

class LaunchFromProgram : public testing::Test {
 protected:
  void SetUp() override {
    g_ended = 0;
    previousEnd_ = vantrel::runtime::SetEndProgramHandler(&RecordEnd);
    log_ = std::make_unique<ToolLog>();
    window_ = vantrel::app::MainWindow::Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL);
    ASSERT_TRUE(window_);
  }
  void TearDown() override {
    if (window_ && window_->hwnd()) window_->MacWindow_CloseWindow();
    window_.reset();
    vantrel::runtime::SetEndProgramHandler(previousEnd_);
  }
  std::unique_ptr<vantrel::app::MainWindow> window_;
  std::unique_ptr<ToolLog> log_;
  vantrel::runtime::EndProgramHandler previousEnd_ = nullptr;
};

TEST_F(LaunchFromProgram, AMissingToolIsReportedAndTheProgramGoesOn) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring empty = std::wstring(temp) + L"vantrel-no-tool-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(MakeFolder(empty));
  const HWND main = window_->hwnd();

  DialogAnswerer box(vantrel::runtime::kAppTitle);
  const bool started =
      vantrel::runtime::Shell(main, Compose(Utf16(empty), Operation::MountReadOnly, {u"a.wim", u"1", u"C:\\mnt"}));
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
  SetWindowTextW(window_->Control("MountPath"), L"C:\\mnt");
  SendMessageW(window_->Control("unMountWim"), BM_CLICK, 0, 0);
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
  ASSERT_TRUE(vantrel::runtime::Shell(main, Compose(Utf16(vantrel::runtime::ProgramFolder()), Operation::Apply,
                                                    {Utf16(unicodeFile), u"1", Utf16(longWithSpaces)})));
  ASSERT_TRUE(log_->WaitForRuns(1));
  ASSERT_TRUE(vantrel::runtime::Shell(
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
  ASSERT_TRUE(vantrel::runtime::Shell(window_->hwnd(), command));
  ASSERT_TRUE(log_->WaitForRuns(1));
  std::vector<std::wstring> expected{L"/append"};
  for (const std::u16string& field : fields) expected.push_back(Wide(field));
  EXPECT_EQ(log_->Runs().at(0).args, expected);
}

}  // namespace
