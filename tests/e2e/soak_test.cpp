// Long runs a user can make: many launches (each watched until its tool ends and reported in a balloon), many panel switches, the pointer playing over the title bar.
// Each is driven with real X input (xdotool) and ends with the program as responsive as it started and its
// memory where it was: the resident size of the Wine process running Vantrel.exe, measured after a warm-up,
// may grow by 64 KiB at most.
//
// Keys and pointer moves are sent as one xdotool command per batch: xdotool then replays them as fast as the
// X server takes them (thousands a second), which is fast enough that no helper program posting window
// messages is needed, and the input takes the same path as a user's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "resources/bmp.h"
#include "tests/e2e/harness.h"

namespace vantrel::e2e {
namespace {

using resources::Image;

constexpr long kAllowedGrowthKiB = 64;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The resident size once it has settled: the lowest of a few readings taken while the program is idle.
long SettledResidentKiB(const App& app) {
  long lowest = app.ResidentKiB();
  for (int i = 0; i < 5; ++i) {
    std::this_thread::sleep_for(100ms);
    lowest = std::min(lowest, app.ResidentKiB());
  }
  return lowest;
}

// The panel area of the window, for telling the panels apart.
Image PanelShot(const App& app) {
  Rect g = app.Geometry();
  return resources::Crop(Screenshot(), g.x + 8, g.y + 96, 392, 169);
}

TEST(Soak, ThousandLaunchesInARow) {
  Deadline deadline(TestName(), std::chrono::seconds(900));
  App app;
  // Messages first, so that the measured launches do not pay for the first dialog's memory should one of
  // them be refused (below): the mount with no image file says so.
  app.Click("MountWim");
  auto warmUpBox = app.WaitForMessageBox();
  ASSERT_TRUE(warmUpBox.has_value()) << "no message for a mount without an image file";
  FocusWindow(warmUpBox->window);
  Keys({"Return"});
  ASSERT_TRUE(app.WaitForNoMessageBox());
  app.SetField("MountPath", R"(C:\mnt)");
  const std::string tool = app.WindowsFolder() + "\\imagex.exe";
  // And one refused launch, whose message (with the system's text for the error, looked up the first time
  // here) is what a refusal under load below shows: imagex.exe is, for one click, a file that is no program.
  {
    const std::filesystem::path real = app.folder() + "/imagex.exe", kept = app.folder() + "/imagex.exe.kept";
    std::filesystem::rename(real, kept);
    std::ofstream(real) << "not a program\n";
    app.Click("unMountWim");
    auto refused = app.WaitForMessageBox();
    std::filesystem::remove(real);
    std::filesystem::rename(kept, real);
    ASSERT_TRUE(refused.has_value()) << "no message for a tool that cannot start";
    ASSERT_EQ(refused->text.rfind(tool + "\r\n\r\n", 0), 0u) << "an unexpected message: " << refused->text;
    FocusWindow(refused->window);
    Keys({"Return"});
    ASSERT_TRUE(app.WaitForNoMessageBox());
  }
  // The unmount button validates nothing: each click is one launch. Clicks come in batches of ten; the next
  // batch goes once the tool has recorded every run of the last, so the runs never pile up.
  //
  // Under this load Wine now and then fails to start a process at all (CreateProcessW answers "Internal
  // error."). The program then tells the user which program did not start and why, in a modal message, and
  // the clicks that land while it is up do nothing. That is the right behaviour, so such a batch is accepted:
  // the message is checked and dismissed, and the launches it cost are not counted. A batch short of runs with
  // no such message, or more than five refusals, fail the test.
  Rect button = App::ControlRect("unMountWim");
  std::size_t launched = 0, refusals = 0;
  auto launch = [&](std::size_t count) {
    for (std::size_t done = 0; done < count;) {
      MouseMove(app.ScreenX(button.CentreX()), app.ScreenY(button.CentreY()));
      std::size_t n = std::min<std::size_t>(10, count - done);
      CommandResult r = RunCommand({"xdotool", "click", "--repeat", std::to_string(n), "--delay", "30", "1"}, 60s,
                                   {"DISPLAY=" + Session::Get().display()});
      ASSERT_EQ(r.status, 0);
      launched += n;
      done += n;
      if (app.WaitForRuns(launched, 60s)) continue;
      auto box = app.WaitForMessageBox(5s);
      ASSERT_TRUE(box.has_value()) << "the tool saw " << app.Runs().size() << " of " << launched
                                   << " runs, and no message says why";
      ASSERT_EQ(box->text.rfind(tool + "\r\n\r\n", 0), 0u) << "an unexpected message: " << box->text;
      std::cerr << "e2e: launch refused after " << app.Runs().size() << " runs: " << box->text << "\n";
      FocusWindow(box->window);
      Keys({"Return"});
      ASSERT_TRUE(app.WaitForNoMessageBox());
      ++refusals;
      launched = app.Runs().size();
    }
  };
  launch(100);  // warm-up
  ASSERT_FALSE(HasFatalFailure());
  long before = SettledResidentKiB(app), serverBefore = WineServerResidentKiB();
  launch(1000);
  ASSERT_FALSE(HasFatalFailure());
  // Each run is watched until its tool ends and then reported in a balloon, its handle closed: once the last
  // runs have had time to be reported, nothing of the 1,000 may be left in the program or the wineserver.
  EXPECT_TRUE(App::WaitForTooltip("操作已完成。").has_value()) << "no balloon after the launches";
  std::this_thread::sleep_for(1s);
  long after = SettledResidentKiB(app), serverAfter = WineServerResidentKiB();
  auto runs = app.Runs();
  ASSERT_EQ(runs.size(), launched);
  EXPECT_LE(refusals, 5u) << "the program could not start the tool " << refusals << " times";
  for (const ToolRun& run : runs) ASSERT_EQ(run.args, (std::vector<std::string>{"/unmount", R"(C:\mnt)"}));
  EXPECT_LE(after - before, kAllowedGrowthKiB) << "resident size " << before << " KiB before, " << after << " KiB after";
  // Process and thread handles the program keeps would keep their objects alive in the wineserver: some
  // 3 KiB for each launch.
  ASSERT_GT(serverBefore, 0);
  EXPECT_LE(serverAfter - serverBefore, 256) << "wineserver " << serverBefore << " KiB before, " << serverAfter
                                             << " KiB after: handles of the launched runs are kept";
  std::cerr << "e2e: " << launched << " launches, " << refusals << " refused: resident " << before << " -> "
            << after << " KiB, wineserver " << serverBefore << " -> " << serverAfter << " KiB\n";
}

TEST(Soak, TenThousandPanelSwitches) {
  Deadline deadline(TestName(), std::chrono::seconds(600));
  App app;
  // With the focus on a mode button, the arrow keys select the other one: each key is one switch. Both
  // pictures are taken with the focus there, as during the switches (at start-up it is in the index box).
  app.Click("Option2");
  Image capture = PanelShot(app);
  app.Click("Option1");
  Image mount = PanelShot(app);
  ASSERT_GT(resources::CountDifferingPixels(mount, capture), 1000);
  bool onCapture = false;
  auto switchPanels = [&](int count) {
    std::vector<std::string> keys;
    for (int i = 0; i < count; ++i) {
      keys.push_back(onCapture ? "Left" : "Right");
      onCapture = !onCapture;
    }
    FocusWindow(app.window());
    Keys(keys, 1);
    const Image& expected = onCapture ? capture : mount;
    EXPECT_TRUE(WaitUntil([&] { return resources::CountDifferingPixels(PanelShot(app), expected) == 0; }, 30s))
        << "after " << count << " switches the " << (onCapture ? "capture" : "mount") << " panel is not shown";
    if (std::getenv("VANTREL_E2E_TRACE")) std::cerr << "e2e: resident " << app.ResidentKiB() << " KiB\n";
  };
  // Warm-up: the resident size still creeps up over the first few thousand switches (the heap settling to
  // the working set of a burst of input), then stays flat.
  for (int batch = 0; batch < 3; ++batch) switchPanels(batch == 2 ? 1000 : 999);
  long before = SettledResidentKiB(app);
  // Odd batches: the panel shown changes from batch to batch, so a batch that went missing shows.
  for (int batch = 0; batch < 10; ++batch) switchPanels(batch == 9 ? 1009 : 999);
  long after = SettledResidentKiB(app);
  EXPECT_LE(after - before, kAllowedGrowthKiB) << "resident size " << before << " KiB before, " << after << " KiB after";
  std::cerr << "e2e: 10000 panel switches: resident " << before << " -> " << after << " KiB\n";
}

TEST(Soak, TenThousandTitleBarCycles) {
  Deadline deadline(TestName(), std::chrono::seconds(600));
  App app;
  Rect bar = App::ControlRect("MacWindow");
  Rect g = app.Geometry();
  const int y = g.y + bar.y + 9, awayY = g.y + 150;
  const int closeX = g.x + bar.x + 8, miniLeft = g.x + bar.x + bar.width - 24, miniX = miniLeft + 12;
  auto miniShows = [&](resources::TitlePicture picture) {
    return WaitUntil(
        [&] {
          Image shown = resources::Crop(Screenshot(), miniLeft, g.y + bar.y, 24, 18);
          return resources::CountDifferingPixels(shown, resources::TitleBarPicture(picture)) == 0;
        },
        60s, 100ms);
  };
  // Cycles on both buttons in turn: hover, press, leave the bar with the button held, let go outside (no
  // click). Each batch ends with the pointer resting on the minimise button and then leaving it; the batch has
  // been handled once the screen shows that, so the input never runs far ahead of the program.
  auto cycles = [&](int count) {
    for (int done = 0; done < count;) {
      std::vector<std::string> argv = {"xdotool"};
      int n = std::min(250, count - done);
      for (int i = 0; i < n; ++i) {
        std::string x = std::to_string((done + i) % 2 ? miniX : closeX);
        for (std::string word : {std::string("mousemove"), x, std::to_string(y), std::string("mousedown"),
                                 std::string("1"), std::string("mousemove"), x, std::to_string(awayY),
                                 std::string("mouseup"), std::string("1")})
          argv.push_back(word);
      }
      argv.insert(argv.end(), {"mousemove", std::to_string(miniX), std::to_string(y)});
      CommandResult r = RunCommand(argv, 300s, {"DISPLAY=" + Session::Get().display()});
      ASSERT_EQ(r.status, 0);
      ASSERT_TRUE(miniShows(resources::TitlePicture::M_Img2)) << "the bar did not catch up with the pointer";
      MouseMove(miniX, awayY);
      ASSERT_TRUE(miniShows(resources::TitlePicture::U_Img2)) << "leaving the bar did not restore the picture";
      done += n;
      if (std::getenv("VANTREL_E2E_TRACE")) std::cerr << "e2e: resident " << app.ResidentKiB() << " KiB\n";
    }
  };
  cycles(2000);  // warm-up
  ASSERT_FALSE(HasFatalFailure());
  long before = SettledResidentKiB(app);
  cycles(10000);
  ASSERT_FALSE(HasFatalFailure());
  long after = SettledResidentKiB(app);
  EXPECT_TRUE(app.Running());
  auto state = app.SystemState();
  ASSERT_TRUE(state.has_value());
  EXPECT_FALSE(state->minimised) << "a release outside the minimise button minimised the window";
  EXPECT_EQ(app.Geometry(), g);
  EXPECT_LE(after - before, kAllowedGrowthKiB) << "resident size " << before << " KiB before, " << after << " KiB after";
  std::cerr << "e2e: 10000 title-bar cycles: resident " << before << " -> " << after << " KiB\n";
}

}  // namespace
}  // namespace vantrel::e2e
