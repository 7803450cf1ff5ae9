// The image operations as a user does them: type into the boxes, tick the boxes, one click on the button; then
// what the imaging tool received, argument by argument, and what the window showed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "resources/bmp.h"
#include "tests/e2e/harness.h"

namespace vantrel::e2e {
namespace {

using Args = std::vector<std::string>;

// Paths a user may well have: spaces, Chinese characters, a folder given with its closing backslash.
const std::string kWim = R"(C:\镜像 文件\install.wim)";
const std::string kMountFolder = R"(C:\挂载 目录\)";
const std::string kSource = R"(D:\源 文件夹\系统 盘\)";
const std::string kSavePath = R"(E:\备份 2024\新 镜像.wim)";

// The command line the tool is started with: its full path (quoted, as the program folder has a space), then
// the switches and the fields. Fields with whitespace are quoted, backslashes before the closing quote doubled.
std::string ExpectedLine(const App& app, const std::string& rest) {
  std::string line = "\"";
  line += app.WindowsFolder();
  line += "\\imagex\" ";
  return line + rest;
}

class Operations : public ::testing::Test {
 protected:
  Deadline deadline_{::testing::UnitTest::GetInstance()->current_test_info()->name(), std::chrono::seconds(240)};
  App app_;

  // Clicks `button` and waits for the tool's run number `count`.
  ToolRun Launch(std::string_view button, std::size_t count) {
    app_.Click(button);
    EXPECT_TRUE(app_.WaitForRuns(count)) << "the tool was not started by " << button;
    auto runs = app_.Runs();
    return runs.size() >= count ? runs[count - 1] : ToolRun{};
  }
};

TEST_F(Operations, MountReadOnlyAndReadWriteThenUnmountWithAndWithoutCommit) {
  app_.SetField("WIMPath", kWim);
  app_.SetField("WIMindex", "2");
  app_.SetField("MountPath", kMountFolder);

  ToolRun mount = Launch("MountWim", 1);
  EXPECT_EQ(mount.args, (Args{"/mount", kWim, "2", kMountFolder}));
  EXPECT_EQ(mount.line, ExpectedLine(app_, R"(/mount "C:\镜像 文件\install.wim" 2 "C:\挂载 目录\\")"));
  EXPECT_EQ(mount.show, 2);  // minimised

  app_.Click("WIMR_Check");
  ToolRun mountRw = Launch("MountWim", 2);
  EXPECT_EQ(mountRw.args, (Args{"/mountrw", kWim, "2", kMountFolder}));
  EXPECT_EQ(mountRw.show, 2);

  // Still ticked: the unmount commits the changes.
  ToolRun commit = Launch("unMountWim", 3);
  EXPECT_EQ(commit.args, (Args{"/unmount", "/commit", kMountFolder}));
  EXPECT_EQ(commit.line, ExpectedLine(app_, R"(/unmount /commit "C:\挂载 目录\\")"));

  // Unticked after mounting read-write: the unmount discards them.
  app_.Click("WIMR_Check");
  ToolRun discard = Launch("unMountWim", 4);
  EXPECT_EQ(discard.args, (Args{"/unmount", kMountFolder}));
  EXPECT_EQ(discard.show, 2);
  // Mount and unmount are recorded only: no WIM work was attempted.
  for (const ToolRun& run : app_.Runs()) EXPECT_TRUE(run.wimlib.empty()) << run.line;
}

TEST_F(Operations, ApplyUsesTheIndexAndTheFolder) {
  app_.SetField("WIMPath", kWim);
  app_.SetField("WIMindex", "3");
  app_.SetField("MountPath", kMountFolder);
  ToolRun apply = Launch("ExtWIM", 1);
  EXPECT_EQ(apply.args, (Args{"/apply", kWim, "3", kMountFolder}));
  EXPECT_EQ(apply.line, ExpectedLine(app_, R"(/apply "C:\镜像 文件\install.wim" 3 "C:\挂载 目录\\")"));
  EXPECT_EQ(apply.show, 2);
}

TEST_F(Operations, CaptureBootableCaptureAndAppend) {
  app_.Click("Option2");
  app_.SetField("mk_WIMPath", kSource);
  app_.SetField("WIMSavePath", kSavePath);
  app_.SetField("WIM_Info", "系统 备份");

  ToolRun capture = Launch("MakeWimImage", 1);
  EXPECT_EQ(capture.args, (Args{"/capture", "/compress", "maximum", kSource, kSavePath, "系统 备份"}));
  EXPECT_EQ(capture.line, ExpectedLine(app_, R"(/capture /compress maximum "D:\源 文件夹\系统 盘\\" )"
                                             R"("E:\备份 2024\新 镜像.wim" "系统 备份")"));
  EXPECT_EQ(capture.show, 1);  // the one run the user watches

  app_.Click("WimBoot");
  ToolRun boot = Launch("MakeWimImage", 2);
  EXPECT_EQ(boot.args, (Args{"/capture", "/boot", "/compress", "maximum", kSource, kSavePath, "系统 备份"}));
  EXPECT_EQ(boot.show, 2);

  // Append wins over Boot.
  app_.Click("WIM_add_c");
  ToolRun append = Launch("MakeWimImage", 3);
  EXPECT_EQ(append.args, (Args{"/append", kSource, kSavePath, "系统 备份"}));
  EXPECT_EQ(append.line, ExpectedLine(app_, R"(/append "D:\源 文件夹\系统 盘\\" "E:\备份 2024\新 镜像.wim" "系统 备份")"));
  EXPECT_EQ(append.show, 2);
}

// A comment in which the user typed quotes, tabs and backslashes is passed exactly as typed: the user's own
// quoting decides how the tool splits it, as on any command line.
TEST_F(Operations, CommentWithQuotesTabsAndBackslashesReachesTheToolAsTyped) {
  const std::string comment = "say \"hello\tworld\" C:\\dir\\ \\\"x";
  app_.Click("Option2");
  app_.SetField("mk_WIMPath", R"(C:\src)");
  app_.SetField("WIMSavePath", R"(C:\out.wim)");
  app_.SetField("WIM_Info", comment);
  ToolRun run = Launch("MakeWimImage", 1);
  EXPECT_EQ(run.line, ExpectedLine(app_, "/capture /compress maximum C:\\src C:\\out.wim " + comment));
  // The C runtime's reading of that text: quotes group, \" is a literal quote, other backslashes stay.
  EXPECT_EQ(run.args, (Args{"/capture", "/compress", "maximum", R"(C:\src)", R"(C:\out.wim)", "say",
                            "hello\tworld", R"(C:\dir\)", "\"x"}));
}

// After a click the tray tells how the run ended, in a balloon the user (or a screen reader) can read.
TEST_F(Operations, ABalloonOnTheTrayIconSaysWhetherTheRunFinishedOrFailed) {
  app_.SetField("MountPath", R"(C:\mnt standin:sleep=300)");
  Launch("unMountWim", 1);
  auto finished = App::WaitForTooltip("操作已完成。");
  EXPECT_TRUE(finished.has_value()) << "no balloon for a finished run; tooltips shown: "
                                    << testing::PrintToString(App::Tooltips());

  app_.SetField("MountPath", R"(C:\mnt standin:exit=0x80070005)");
  Launch("unMountWim", 2);
  auto failed = App::WaitForTooltip("操作失败，退出代码：-2147024891（0x80070005）。");
  ASSERT_TRUE(failed.has_value()) << "no balloon for a failed run; tooltips shown: "
                                  << testing::PrintToString(App::Tooltips());
  // The system's own text for the code follows on a line of its own.
  EXPECT_NE(failed->find("。\n"), std::string::npos) << *failed;
  EXPECT_GT(failed->size(), std::string("操作失败，退出代码：-2147024891（0x80070005）。\n").size()) << *failed;
  EXPECT_TRUE(app_.Running());
}

// The progress strip along the bottom edge of the header band: rows 65-67 of the window at 96 dpi, the band's
// whole width.
constexpr int kStripLeft = 1, kStripTop = 65, kStripWidth = 404, kStripHeight = 3;
constexpr std::uint32_t kStripGreen = resources::Rgb(38, 160, 72), kStripTrack = resources::Rgb(170, 170, 170);

resources::Image StripPixels(const App& app) {
  return resources::Crop(app.WindowShot(), kStripLeft, kStripTop, kStripWidth, kStripHeight);
}

// The percentage at the end of a tip ("Vantrel：制作镜像 45%"), or -1.
int PercentAtEnd(const std::string& tip) {
  const std::size_t space = tip.rfind(' ');
  if (space == std::string::npos || !tip.ends_with('%')) return -1;
  return std::atoi(tip.c_str() + space + 1);
}

// A run followed as the user sees it: the strip under the header band while it runs and never otherwise, the tray
// tip with a rising percentage, the strip's own tip, the run window a click on it opens; the tool's own words in
// a failure's balloon; and a tool that goes on to the end of its log after the program has gone.
TEST_F(Operations, ARunIsFollowedOnTheStripTheTrayAndTheRunWindowAndOutlivesTheProgram) {
  namespace fs = std::filesystem;
  const resources::Image before = StripPixels(app_);
  for (int y = 0; y < kStripHeight; ++y)
    for (int x = 0; x < kStripWidth; ++x) ASSERT_NE(before.at(x, y), kStripGreen) << "a strip before any run";

  // A capture whose tool draws 240 bars, 100 ms apart (the stand-in writes them before it captures).
  fs::create_directories(app_.folder() + "/源 文件夹");
  std::ofstream(app_.folder() + "/源 文件夹/a.txt") << "12345";
  app_.Click("Option2");
  app_.SetField("mk_WIMPath", App::WindowsPath(app_.folder() + "/源 文件夹"));
  app_.SetField("WIMSavePath", App::WindowsPath(app_.folder() + "/out.wim"));
  app_.SetField("WIM_Info", "backup standin:progress=240,100");
  app_.Click("MakeWimImage");

  // The strip: green from its left end, the grey track to the right of it.
  resources::Image strip;
  const auto drawnPart = [&] {
    strip = StripPixels(app_);
    int green = 0;
    for (int x = 0; x < kStripWidth && strip.at(x, 1) == kStripGreen; ++x) ++green;
    for (int y = 0; y < kStripHeight; ++y)
      if (strip.at(0, y) != kStripGreen || strip.at(kStripWidth - 1, y) != kStripTrack) return 0;
    return green;
  };
  EXPECT_TRUE(WaitUntil([&] { return drawnPart() > 0; }, 15s, 100ms))
      << "no strip while the run goes on: left end " << DescribePixel(strip.at(0, 1)) << ", right end "
      << DescribePixel(strip.at(kStripWidth - 1, 1));

  // The tray tip, shown while the pointer rests on the icon: the operation and a percentage that rises.
  std::optional<Rect> tray;
  ASSERT_TRUE(WaitUntil([&] { return (tray = WineTrayWindow()).has_value(); }, 20s)) << "no tray icon";
  int hover = 0;
  const auto trayPercent = [&] {
    MouseMove(1010, 750);
    std::this_thread::sleep_for(300ms);
    MouseMove(tray->x + 8 + hover++ % 5, tray->y + tray->height / 2);
    auto tip = App::WaitForTooltip("Vantrel：制作镜像 ", 5s);
    return tip ? PercentAtEnd(*tip) : -1;
  };
  const int first = trayPercent();
  EXPECT_GT(first, 0) << "tooltips: " << testing::PrintToString(App::Tooltips());
  int later = first;
  WaitUntil([&] { return (later = trayPercent()) > first; }, 20s, 500ms);
  EXPECT_GT(later, first) << "the tray tip's percentage did not rise";
  EXPECT_LT(later, 100);

  // The strip's own tip: the operation, the step the tool is at and its percentage.
  const int stripX = app_.ScreenX(kStripLeft + kStripWidth / 2), stripY = app_.ScreenY(kStripTop + 1);
  MouseMove(1010, 750);
  MouseMove(stripX, stripY);
  auto stripTip = App::WaitForTooltip("制作镜像 · Mounting image · ", 10s);
  ASSERT_TRUE(stripTip.has_value()) << testing::PrintToString(App::Tooltips());
  EXPECT_GT(PercentAtEnd(*stripTip), 0) << *stripTip;

  // A click on it opens the run window, which lists the run with its state.
  FocusWindow(app_.window());
  ClickAt(stripX, stripY);
  std::optional<App::RunWindow> runs;
  ASSERT_TRUE(WaitUntil([&] { return (runs = App::RunWindowShown()) && runs->visible; }, 15s, 200ms))
      << "the click on the strip opened no run window";
  EXPECT_EQ(runs->title, "运行记录");
  ASSERT_EQ(runs->rows.size(), 1u) << testing::PrintToString(runs->rows);
  EXPECT_EQ(runs->rows[0].rfind("制作镜像|imagex|", 0), 0u) << runs->rows[0];
  EXPECT_NE(runs->rows[0].find("|正在进行 "), std::string::npos) << runs->rows[0];
  EXPECT_NE(runs->output.find("Mounting image"), std::string::npos) << runs->output;
  // Esc hides it (the largest window of the program besides the main window is the run window).
  std::string runWindow;
  long largest = 0;
  for (const std::string& w : VisibleWindowsOf(app_.pid()))
    if (auto g = WindowGeometry(w); w != app_.window() && g && long{g->width} * g->height > largest)
      largest = long{g->width} * g->height, runWindow = w;
  FocusWindow(runWindow);
  Keys({"Escape"});
  EXPECT_TRUE(WaitUntil([&] { return (runs = App::RunWindowShown()) && !runs->visible; }, 10s, 200ms));

  // The run ends: reported, and the strip is gone, the band's own picture back.
  MouseMove(1010, 750);
  ASSERT_TRUE(app_.WaitForRuns(1, 60s));
  EXPECT_TRUE(App::WaitForTooltip("操作已完成。", 20s).has_value()) << testing::PrintToString(App::Tooltips());
  EXPECT_TRUE(WaitUntil([&] { return resources::CountDifferingPixels(StripPixels(app_), before) == 0; }, 5s, 200ms))
      << "the strip stays after the run";

  // A failure quotes the tool's own words after the code and its explanation (OEM code page 437: English); its
  // "Error: 0xc1420127" line is left out, as the code is the balloon's first line.
  app_.Click("Option1");
  app_.SetField("MountPath", R"(C:\mnt standin:dismerror=0xC1420127)");
  Launch("unMountWim", 2);
  auto failed = App::WaitForTooltip("操作失败，退出代码：-1052638937（0xC1420127）。");
  ASSERT_TRUE(failed.has_value()) << testing::PrintToString(App::Tooltips());
  EXPECT_NE(failed->find("以前的一次挂载没有卸载"), std::string::npos) << *failed;
  EXPECT_NE(failed->find("没有卸载。请先卸载或清理那次挂载后再试。\nThe specified image in the specified wim is already mounted for read/write access."),
            std::string::npos)
      << *failed;

  // The program ends while a tool runs: the tool goes on, and its log is whole afterwards.
  app_.SetField("MountPath", R"(C:\mnt standin:progress=80,100)");
  app_.Click("unMountWim");
  ASSERT_TRUE(WaitUntil([&] { return drawnPart() > 0; }, 15s, 100ms)) << "the run did not start";
  const Rect bar = App::ControlRect("MacWindow");
  FocusWindow(app_.window());
  ClickAt(app_.ScreenX(bar.x + 8), app_.ScreenY(bar.y + 9));  // the close button
  ASSERT_TRUE(app_.WaitExit(15s)) << "the program did not end";
  EXPECT_EQ(app_.Runs().size(), 2u) << "the tool ended with the program";
  ASSERT_TRUE(app_.WaitForRuns(3, 30s)) << "the tool did not finish after the program ended";
  fs::path newest;
  const fs::path users = Session::Get().prefix() + "/drive_c/users";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(users, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->path().extension() == ".log" && it->path().parent_path().filename() == "logs" &&
        it->path().parent_path().parent_path().filename() == "Vantrel" &&
        (newest.empty() || fs::last_write_time(it->path()) > fs::last_write_time(newest)))
      newest = it->path();
  ASSERT_FALSE(newest.empty()) << "no run log under " << users;
  std::stringstream log;
  log << std::ifstream(newest, std::ios::binary).rdbuf();
  EXPECT_TRUE(log.str().ends_with("=]\r\nThe operation completed successfully.\r\n") &&
              log.str().find("100.0%") != std::string::npos)
      << newest << ":\n"
      << log.str().substr(log.str().size() > 300 ? log.str().size() - 300 : 0);
}

// Paths pasted as Explorer's "Copy as path" gives them, in double quotes and ending in a backslash: each
// reaches the tool as the one path inside the quotes, and the fields after it stay fields of their own.
TEST_F(Operations, QuotedPathsEndingInABackslashStayOneArgument) {
  app_.SetField("WIMPath", R"("D:\")");
  app_.SetField("MountPath", R"(C:\mnt)");
  ToolRun mount = Launch("MountWim", 1);
  EXPECT_EQ(mount.args, (Args{"/mount", R"(D:\)", "1", R"(C:\mnt)"}));
  EXPECT_EQ(mount.line, ExpectedLine(app_, R"(/mount "D:\\" 1 C:\mnt)"));

  app_.Click("Option2");
  app_.SetField("mk_WIMPath", R"("C:\我的 目录\")");  // Chinese: pasted from the clipboard
  app_.SetField("WIMSavePath", R"(C:\out.wim)");
  app_.SetField("WIM_Info", "x");
  ToolRun capture = Launch("MakeWimImage", 2);
  EXPECT_EQ(capture.args, (Args{"/capture", "/compress", "maximum", R"(C:\我的 目录\)", R"(C:\out.wim)", "x"}));
}

// Without imagex.exe beside the program: Windows' own DISM from the system folder, in its words.
class WithoutImagex : public ::testing::Test {
 protected:
  Deadline deadline_{::testing::UnitTest::GetInstance()->current_test_info()->name(), std::chrono::seconds(240)};

  static ToolRun Launch(App& app, std::string_view button, std::size_t count) {
    app.Click(button);
    EXPECT_TRUE(app.WaitForRuns(count)) << "DISM was not started by " << button;
    auto runs = app.Runs();
    return runs.size() >= count ? runs[count - 1] : ToolRun{};
  }
  // The program names DISM as a console of the system's own architecture finds it.
  static std::string DismLine(const std::string& rest) { return R"(C:\windows\System32\Dism.exe )" + rest; }
};

TEST_F(WithoutImagex, Windows10DismGetsEveryFieldWholeAndAFailureIsExplained) {
  App app(App::Tool::DismWindows10);
  app.SetField("WIMPath", kWim);
  app.SetField("MountPath", R"(C:\挂载 目录\ standin:exit=0xC1420127)");
  const std::string line = DismLine(R"(/Mount-Image /ImageFile:"C:\镜像 文件\install.wim" /Index:1 )"
                                    R"(/MountDir:"C:\挂载 目录\ standin:exit=0xC1420127" /ReadOnly)");
  app.Click("MountWim");

  ASSERT_TRUE(app.WaitForRuns(1));
  const ToolRun mount = app.Runs().at(0);
  EXPECT_EQ(mount.args, (Args{"/Mount-Image", "/ImageFile:" + kWim, "/Index:1",
                              R"(/MountDir:C:\挂载 目录\ standin:exit=0xC1420127)", "/ReadOnly"}));
  EXPECT_EQ(mount.line, line);
  EXPECT_EQ(mount.show, 2);
  // The report says in plain words what the code means.
  auto report = App::WaitForTooltip("操作失败，退出代码：-1052638937（0xC1420127）。\n");
  ASSERT_TRUE(report.has_value()) << testing::PrintToString(App::Tooltips());
  EXPECT_NE(report->find("以前的一次挂载没有卸载"), std::string::npos) << *report;

  // Capture with a Chinese name holding a space, bootable, from a folder given with its closing backslash.
  app.Click("Option2");
  app.SetField("mk_WIMPath", kSource);
  app.SetField("WIMSavePath", kSavePath);
  app.SetField("WIM_Info", "Windows 7 旗舰版");
  app.Click("WimBoot");
  ToolRun capture = Launch(app, "MakeWimImage", 2);
  EXPECT_EQ(capture.args, (Args{"/Capture-Image", "/ImageFile:" + kSavePath, "/CaptureDir:" + kSource,
                                "/Name:Windows 7 旗舰版", "/Compress:max", "/Bootable"}));
  EXPECT_TRUE(app.Running());
}

TEST_F(WithoutImagex, Windows7DismMountsInItsOlderWordsAndRefusesWhatItCannotDo) {
  App app(App::Tool::DismWindows7);
  app.SetField("WIMPath", kWim);
  app.SetField("WIMindex", "2");
  app.SetField("MountPath", kMountFolder);
  app.Click("WIMR_Check");
  ToolRun mount = Launch(app, "MountWim", 1);
  EXPECT_EQ(mount.args, (Args{"/Mount-Wim", "/WimFile:" + kWim, "/Index:2", "/MountDir:" + kMountFolder}));
  ToolRun unmount = Launch(app, "unMountWim", 2);
  EXPECT_EQ(unmount.args, (Args{"/Unmount-Wim", "/MountDir:" + kMountFolder, "/Commit"}));

  // Apply is not in this DISM: a message says imagex.exe is needed, and nothing starts.
  app.Click("ExtWIM");
  auto box = app.WaitForMessageBox();
  ASSERT_TRUE(box.has_value());
  EXPECT_NE(box->text.find("imagex.exe"), std::string::npos) << box->text;
  Keys({"Return"});
  EXPECT_TRUE(app.WaitForNoMessageBox());
  std::this_thread::sleep_for(1s);
  EXPECT_EQ(app.Runs().size(), 2u);

  // Nor is export: the image list's command says so before any dialog asks for a destination.
  namespace fs = std::filesystem;
  if (fs::exists("/usr/bin/wimlib-imagex")) {
    const std::string wim = app.folder() + "/一个 映像.wim";
    fs::create_directories(app.folder() + "/tree");
    std::ofstream(app.folder() + "/tree/a.txt") << "a";
    ASSERT_EQ(std::system(("wimlib-imagex capture '" + app.folder() + "/tree' '" + wim + "' one >/dev/null 2>&1").c_str()), 0);
    app.SetField("WIMPath", App::WindowsPath(wim));
    app.SetField("WIMindex", "1");
    App::LabelStartingWith("one");
    app.PickListCommand(1, 1);
    app.DismissMessageSaying("imagex.exe");
    EXPECT_EQ(app.Runs().size(), 2u);
  }
}

TEST_F(WithoutImagex, NeitherToolIsANamedMessageAndNothingStarts) {
  App app(App::Tool::None);
  app.SetField("WIMPath", kWim);
  app.SetField("MountPath", kMountFolder);
  app.Click("MountWim");
  auto box = app.WaitForMessageBox();
  ASSERT_TRUE(box.has_value());
  // Both places looked at are named.
  EXPECT_NE(box->text.find(app.WindowsFolder() + "\\imagex.exe"), std::string::npos) << box->text;
  EXPECT_NE(box->text.find("Dism.exe"), std::string::npos) << box->text;
  Keys({"Return"});
  EXPECT_TRUE(app.WaitForNoMessageBox());
  EXPECT_TRUE(app.Runs().empty());
  EXPECT_TRUE(app.Running());
}

// The WIM file's own list beside the index box: the name of the image the index names, the list picked from
// with the keyboard, an index the file has no image for refused, and a file that is no WIM mounted as typed.
TEST_F(Operations, TheImagesOfTheWimFileAreShownPickedAndChecked) {
  if (std::system("command -v wimlib-imagex >/dev/null 2>&1") != 0) GTEST_SKIP() << "wimlib-imagex is missing";
  namespace fs = std::filesystem;
  const std::string tree = app_.folder() + "/tree", wim = app_.folder() + "/三个 映像.wim";
  fs::create_directories(tree);
  std::ofstream(tree + "/a.txt") << "12345";
  const std::string quiet = " >/dev/null 2>&1";
  ASSERT_EQ(std::system(("wimlib-imagex capture '" + tree + "' '" + wim + "' 第一个映像" + quiet).c_str()), 0);
  ASSERT_EQ(std::system(("wimlib-imagex append '" + tree + "' '" + wim + "' 第二个映像" + quiet).c_str()), 0);
  ASSERT_EQ(std::system(("wimlib-imagex append '" + tree + "' '" + wim + "' 第三个映像" + quiet).c_str()), 0);
  const std::string wimPath = App::WindowsPath(wim);


  app_.SetField("WIMPath", wimPath);
  app_.SetField("WIMindex", "2");
  EXPECT_EQ(App::LabelStartingWith("第二个映像"), "第二个映像 · 5 B");

  // The list from the index box by the keyboard: F4 opens it, the third entry is picked.
  app_.Click("WIMindex");
  Keys({"F4"});
  std::this_thread::sleep_for(500ms);
  Keys({"Down", "Down", "Down", "Return"});
  EXPECT_EQ(app_.Field("WIMindex"), "3");
  App::LabelStartingWith("第三个映像");

  // And by the mouse: a click on the line opens the list under the index box; a click on its first entry.
  app_.Click("WimInfo");
  std::this_thread::sleep_for(500ms);
  const Rect index = App::ControlRect("WIMindex");
  ClickAt(app_.ScreenX(index.x + 40), app_.ScreenY(index.y + index.height + 10));
  EXPECT_EQ(app_.Field("WIMindex"), "1");
  App::LabelStartingWith("第一个映像");
  app_.SetField("WIMindex", "3");

  app_.SetField("MountPath", R"(C:\mnt)");
  ToolRun mount = Launch("MountWim", 1);
  EXPECT_EQ(mount.args, (Args{"/mount", wimPath, "3", R"(C:\mnt)"}));

  // No image 7 in this file: told, nothing launched.
  app_.SetField("WIMindex", "7");
  App::LabelStartingWith("没有 ID 为 7 的映像");
  app_.Click("MountWim");
  auto box = app_.WaitForMessageBox();
  ASSERT_TRUE(box.has_value()) << "no message for index 7";
  EXPECT_NE(box->text.find("没有该 ID 的映像"), std::string::npos) << box->text;
  Keys({"Return"});
  EXPECT_TRUE(app_.WaitForNoMessageBox());
  EXPECT_EQ(app_.Runs().size(), 1u);

  // A file that is no WIM: the reason is shown and the index passes as typed.
  std::ofstream(app_.folder() + "/not a wim.txt") << "plain text, not an image";
  const std::string other = App::WindowsPath(app_.folder() + "/not a wim.txt");
  app_.SetField("WIMPath", other);
  App::LabelStartingWith("不是 WIM 文件");
  ToolRun asTyped = Launch("MountWim", 2);
  EXPECT_EQ(asTyped.args, (Args{"/mount", other, "7", R"(C:\mnt)"}));

  // imagex writes no ESD: an export into a new .esd file is refused with a message once the name is chosen.
  app_.SetField("WIMPath", wimPath);
  App::LabelStartingWith("没有 ID 为 7 的映像");
  app_.SetField("WIMindex", "2");
  App::LabelStartingWith("第二个映像");
  app_.PickListCommand(3, 1);
  ASSERT_TRUE(app_.SaveAs(App::WindowsPath(app_.folder() + "/第二.esd"))) << "no save dialog for the export";
  app_.DismissMessageSaying("ESD");
  EXPECT_EQ(app_.Runs().size(), 2u);
}

// ---- The mounted images: the line beside the mount folder, the list, its repairs, and the refusals ----------

// What Windows' imaging library says is mounted (the stand-in wimgapi.dll's description file): an image mounted
// read-write, one left by a restart that needs a remount, and one whose WIM file is gone.
const std::string kFineWim = R"(C:\镜像\install.wim)";
const std::string kFineFolder = R"(C:\挂载 目录\win10)";
const std::string kStaleFolder = R"(C:\mnt\boot)";
const std::string kMountsFile = "mounted|readwrite\t1\t" + kFineWim + "\t" + kFineFolder + "\n" +
                                "remountable|readwrite\t2\t" + R"(C:\镜像\boot.wim)" + "\t" + kStaleFolder + "\n" +
                                "invalid|nowim\t1\t" + R"(C:\镜像\gone.wim)" + "\t" + R"(C:\mnt\gone)" + "\n";

TEST_F(Operations, TheMountedImagesAreListedRepairedAndGuardTheMountPanel) {
  namespace fs = std::filesystem;
  const auto mountsLine = [] {
    for (const std::string& text : App::Labels())
      if (text.rfind("已挂载", 0) == 0) return text;
    return std::string();
  };
  // Opens the list from the mount folder box by the keyboard and picks its n-th entry (separators are skipped).
  const auto pickByKeyboard = [&](int entry) {
    app_.Click("MountPath");
    Keys({"F4"});
    std::this_thread::sleep_for(500ms);
    std::vector<std::string> keys(static_cast<std::size_t>(entry), "Down");
    keys.push_back("Return");
    Keys(keys);
  };
  // A click that must be refused: its message box, answered, and no run started.
  const auto refusal = [&](std::string_view button) {
    const std::size_t runs = app_.Runs().size();
    app_.Click(button);
    auto box = app_.WaitForMessageBox();
    Keys({"Return"});
    EXPECT_TRUE(app_.WaitForNoMessageBox());
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(app_.Runs().size(), runs) << button << " started the tool";
    return box ? box->text : "(no message box after " + std::string(button) + ")";
  };

  // The library is asked again when the list opens: F4 before anything is known opens nothing, and the line comes.
  std::ofstream(app_.mountsFile(), std::ios::binary) << kMountsFile;
  app_.Click("MountPath");
  Keys({"F4"});
  std::string line;
  EXPECT_TRUE(WaitUntil([&] { return !(line = mountsLine()).empty(); }, 20s, 200ms))
      << "labels: " << testing::PrintToString(App::Labels());
  EXPECT_EQ(line, "已挂载 3 个映像，2 个需要修复");
  Keys({"Escape"});  // in case the window's own read came first and the list did open

  // A click on the line opens the list under the mount folder box; a click on its first entry fills the folder,
  // the WIM file and the index, and leaves 可修改 as it was (ticked here: the unmount then commits).
  app_.Click("WIMR_Check");
  app_.Click("MountsInfo");
  std::this_thread::sleep_for(500ms);
  const Rect folderBox = App::ControlRect("MountPath");
  ClickAt(app_.ScreenX(folderBox.x + 40), app_.ScreenY(folderBox.y + folderBox.height + 10));
  EXPECT_EQ(app_.Field("MountPath"), kFineFolder);
  EXPECT_EQ(app_.Field("WIMPath"), kFineWim);
  EXPECT_EQ(app_.Field("WIMindex"), "1");
  EXPECT_EQ(Launch("unMountWim", 1).args, (Args{"/unmount", "/commit", kFineFolder}));

  // The repairs at the end of the list, after the three mounts: the remount of the stale one, then the cleanup.
  pickByKeyboard(4);
  ASSERT_TRUE(app_.WaitForRuns(2)) << "重新装载 started nothing";
  EXPECT_EQ(app_.Runs()[1].args, (Args{"/remount", kStaleFolder}));
  pickByKeyboard(5);
  ASSERT_TRUE(app_.WaitForRuns(3)) << "清理失效的挂载 started nothing";
  EXPECT_EQ(app_.Runs()[2].args, (Args{"/cleanup"}));

  // Mounting into a folder that holds a mount: the message names the WIM file mounted there.
  app_.Click("WIMR_Check");  // read-only from here on
  app_.SetField("WIMPath", R"(C:\镜像\other.wim)");
  app_.SetField("MountPath", kFineFolder);
  const std::string holds = refusal("MountWim");
  EXPECT_NE(holds.find("已经挂载了 " + kFineWim + " 中的映像 1"), std::string::npos) << holds;

  // Mounting read-write, into another folder, the image that is mounted read-write.
  app_.SetField("WIMPath", kFineWim);
  app_.SetField("MountPath", R"(C:\mnt\second)");
  app_.Click("WIMR_Check");
  const std::string twice = refusal("MountWim");
  EXPECT_NE(twice.find("已经以可写方式挂载在 " + kFineFolder + " 中"), std::string::npos) << twice;

  // Unmounting a folder where nothing is mounted.
  app_.SetField("MountPath", R"(C:\mnt\empty)");
  const std::string nothing = refusal("unMountWim");
  EXPECT_NE(nothing.find(R"(C:\mnt\empty 中没有挂载任何映像)"), std::string::npos) << nothing;

  // With no description file nothing is mounted: read again when the list opens (still the old list, closed
  // unpicked), the line goes, and a mount into the folder refused before starts the tool.
  fs::remove(app_.mountsFile());
  app_.Click("MountPath");
  Keys({"F4"});
  std::this_thread::sleep_for(500ms);
  Keys({"Escape"});
  EXPECT_TRUE(WaitUntil([&] { return mountsLine().empty(); }, 20s, 200ms))
      << "labels: " << testing::PrintToString(App::Labels());
  app_.Click("WIMR_Check");
  app_.SetField("WIMPath", R"(C:\镜像\other.wim)");
  app_.SetField("MountPath", kFineFolder);
  EXPECT_EQ(Launch("MountWim", 4).args, (Args{"/mount", R"(C:\镜像\other.wim)", "1", kFineFolder}));
}

}  // namespace
}  // namespace vantrel::e2e
