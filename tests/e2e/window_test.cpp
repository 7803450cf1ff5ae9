// The main window as a user sees and handles it: its picture and shape at start-up, the captions, the
// validation messages, the mode switch, dragging, and the tray icon with its menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <thread>
#include <sstream>

#include "app/control_tree.h"
#include "resources/bmp.h"
#include "tests/e2e/harness.h"

namespace vantrel::e2e {
namespace {

using resources::Image;

constexpr int kWidth = app::kWindowWidth, kHeight = app::kWindowHeight;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

int Luminance(std::uint32_t p) { return (Red(p) * 30 + Green(p) * 59 + Blue(p) * 11) / 100; }

struct CaptionLook {
  int ink = 0;           // dark pixels in the area
  int boxes = 0;         // glyph cells drawn as empty rectangles (the "missing character" box)
};

// Looks at the text in `area` of `shot`: how much ink, and how many glyph cells (runs of columns with ink)
// are a hollow rectangle, which is how a font without the character draws it.
CaptionLook LookAtCaption(const Image& shot, Rect area) {
  CaptionLook look;
  // Ink is what stands out from the area's most common colour: dark text on a light face, or light text on
  // the highlighted mode button.
  std::map<std::uint32_t, int> counts;
  for (int y = 0; y < area.height; ++y)
    for (int x = 0; x < area.width; ++x) ++counts[shot.at(area.x + x, area.y + y)];
  int background = Luminance(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                               return a.second < b.second;
                             })->first);
  auto ink = [&](int x, int y) { return std::abs(Luminance(shot.at(area.x + x, area.y + y)) - background) > 40; };
  std::vector<bool> column(static_cast<std::size_t>(area.width));
  for (int x = 0; x < area.width; ++x)
    for (int y = 0; y < area.height; ++y)
      if (ink(x, y)) {
        ++look.ink;
        column[static_cast<std::size_t>(x)] = true;
      }
  for (int x = 0; x < area.width;) {
    if (!column[static_cast<std::size_t>(x)]) {
      ++x;
      continue;
    }
    int left = x;
    while (x < area.width && column[static_cast<std::size_t>(x)]) ++x;
    int right = x - 1, top = area.height, bottom = -1;
    for (int cx = left; cx <= right; ++cx)
      for (int y = 0; y < area.height; ++y)
        if (ink(cx, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    if (right - left < 4 || bottom - top < 6) continue;  // too small to be a box
    int border = 0, borderInk = 0, inside = 0, insideInk = 0;
    for (int cx = left; cx <= right; ++cx)
      for (int y = top; y <= bottom; ++y) {
        bool edge = cx == left || cx == right || y == top || y == bottom;
        (edge ? border : inside) += 1;
        if (ink(cx, y)) (edge ? borderInk : insideInk) += 1;
      }
    if (borderInk * 10 >= border * 9 && insideInk * 10 <= inside) ++look.boxes;
  }
  return look;
}

// The picture as the program draws it, with the colours given for the window: the edges, the header
// gradient, the separator and the pinstripe body.
TEST(StartUp, WindowPictureShapeAndCaptions) {
  Deadline deadline(TestName(), std::chrono::seconds(180));
  Image before = Screenshot();
  App app;
  Rect g = app.Geometry();
  ASSERT_EQ(g.width, kWidth);
  ASSERT_EQ(g.height, kHeight);
  Image screen = Screenshot();
  Image shot = resources::Crop(screen, g.x, g.y, g.width, g.height);

  // Separator above the mode buttons and the bottom edge: full width, RGB(141,141,141).
  for (int x = 0; x < kWidth; ++x) {
    EXPECT_TRUE(IsGrey(shot.at(x, 67), 141)) << "row 67, x " << x << ": " << DescribePixel(shot.at(x, 67));
    EXPECT_TRUE(IsGrey(shot.at(x, 273), 141)) << "row 273, x " << x << ": " << DescribePixel(shot.at(x, 273));
  }
  // Top edge between the cut corners.
  for (int x = 5; x <= 400; ++x) EXPECT_TRUE(IsGrey(shot.at(x, 0), 181)) << "row 0, x " << x;
  // The header gradient, right of the header artwork: 252 at the top, 189 at row 66, darker downwards,
  // the same across each row.
  EXPECT_TRUE(IsGrey(shot.at(300, 1), 252)) << DescribePixel(shot.at(300, 1));
  EXPECT_TRUE(IsGrey(shot.at(300, 66), 189)) << DescribePixel(shot.at(300, 66));
  for (int y = 21; y <= 66; ++y) {
    EXPECT_LE(Red(shot.at(300, y)), Red(shot.at(300, y - 1))) << "row " << y;
    for (int x = 180; x <= 400; x += 20) EXPECT_EQ(shot.at(x, y), shot.at(300, y)) << "row " << y << ", x " << x;
  }
  // The body's pinstripe where no control covers it (beside the panels and right of the mode buttons):
  // row 68 236, rows 69-70 240, rows 71-72 236, and so on.
  for (int y = 68; y <= 272; ++y) {
    int level = (y - 65) % 4 < 2 ? 240 : 236;
    EXPECT_TRUE(IsGrey(shot.at(402, y), level)) << "x 402, row " << y << ": " << DescribePixel(shot.at(402, y));
    if (y >= 88) {
      EXPECT_TRUE(IsGrey(shot.at(4, y), level)) << "x 4, row " << y << ": " << DescribePixel(shot.at(4, y));
    }
  }
  // The side edges darken to 141 from row 65 down.
  for (int y = 5; y <= 273; ++y) {
    for (int x : {0, kWidth - 1}) {
      int level = Red(shot.at(x, y));
      if (y >= 65) {
        EXPECT_TRUE(IsGrey(shot.at(x, y), 141)) << "edge x " << x << ", row " << y;
      } else {
        EXPECT_TRUE(level >= 141 && level <= 181 && IsGrey(shot.at(x, y), level)) << "edge x " << x << ", row " << y;
      }
    }
  }

  // Rounded top corners: the 24 magenta pixels are holes showing the desktop; the pixel next to each run is
  // the window's. The bottom corners are square (covered by the bottom edge check).
  const int run[5] = {5, 3, 2, 1, 1};
  for (int y = 0; y < 5; ++y) {
    for (int i = 0; i < run[y]; ++i) {
      for (int x : {i, kWidth - 1 - i}) {
        EXPECT_EQ(screen.at(g.x + x, g.y + y), before.at(g.x + x, g.y + y))
            << "corner pixel " << x << "," << y << " is " << DescribePixel(shot.at(x, y)) << ", not the desktop";
      }
    }
    EXPECT_NE(screen.at(g.x + run[y], g.y + y), before.at(g.x + run[y], g.y + y)) << "row " << y;
  }
  int magenta = 0;
  for (std::uint32_t p : shot.pixels) magenta += (p & 0xFFFFFF) == 0xFF00FF;
  EXPECT_EQ(magenta, 0);

  // Captions are drawn, and drawn with real glyphs, not boxes.
  for (const char* control : {"Option1", "Option2", "WimB", "MountB", "MountWim", "unMountWim", "ExtWIM", "WIMR_Check"}) {
    Rect r = App::ControlRect(control);
    CaptionLook look = LookAtCaption(shot, {r.x + 2, r.y + 2, r.width - 4, r.height - 4});
    EXPECT_GT(look.ink, 15) << control << " shows no caption";
    EXPECT_EQ(look.boxes, 0) << control << " shows missing-character boxes";
  }
  for (const char* label : {"Label1", "Label2", "Label3"}) {
    Rect r = App::ControlRect(label);
    int width = std::string_view(label) == "Label3" ? 80 : 220;  // Label3 is followed by the index box
    CaptionLook look = LookAtCaption(shot, {r.x, r.y, width, 14});
    EXPECT_GT(look.ink, 40) << label << " shows no caption";
    EXPECT_EQ(look.boxes, 0) << label << " shows missing-character boxes";
  }
}

TEST(StartUp, TrayIconIsShownWhileTheProgramRuns) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  std::optional<Rect> tray;
  ASSERT_TRUE(WaitUntil([&] { return (tray = WineTrayWindow()).has_value(); }, 20s)) << "no tray window";
  // The icon itself: Wine draws it in the first slot; it is not plain background.
  Image shot = Screenshot();
  Image slot = resources::Crop(shot, tray->x, tray->y, std::min(tray->width, 24), tray->height);
  std::uint32_t background = shot.at(tray->x + tray->width - 2, tray->y + tray->height - 2);
  int differing = 0;
  for (std::uint32_t p : slot.pixels) differing += p != background;
  EXPECT_GT(differing, 40) << "the tray shows no icon";
}

// Each validation message comes up in a message box captioned "Vantrel" with one button, goes away with that
// button, and nothing is launched; the only other change is the "1" written into an empty index box.
TEST(Validation, MessagesAppearAndNothingIsLaunched) {
  Deadline deadline(TestName(), std::chrono::seconds(300));
  App app;
  int step = 0;
  auto expectMessage = [&](std::string_view button, const std::string& text) {
    SCOPED_TRACE(std::string(button) + ", message " + std::to_string(++step));
    app.Click(button);
    auto box = app.WaitForMessageBox();
    ASSERT_TRUE(box.has_value()) << "no message box";
    EXPECT_EQ(box->text, text);
    ASSERT_EQ(box->buttons.size(), 1u);
    // What the user sees: the text is drawn, in real glyphs.
    auto where = WindowGeometry(box->window);
    ASSERT_TRUE(where.has_value());
    Image shot = Screenshot();
    CaptionLook look =
        LookAtCaption(shot, {where->x + 4, where->y + 4, where->width - 8, box->buttons[0].rect.y - where->y - 6});
    EXPECT_GT(look.ink, 60);
    EXPECT_EQ(look.boxes, 0);
    // Alternately dismissed with Return and with a click on the button.
    if (step % 2) {
      FocusWindow(box->window);
      Keys({"Return"});
    } else {
      ClickAt(box->buttons[0].rect.CentreX(), box->buttons[0].rect.CentreY());
    }
    EXPECT_TRUE(app.WaitForNoMessageBox()) << "the message box stays";
  };

  expectMessage("MountWim", "请选择需要挂载的 WIM 镜像文件后再继续本操作！");
  expectMessage("ExtWIM", "请选择 WIM 镜像文件后再继续本操作！");
  app.SetField("WIMPath", R"(C:\a.wim)");
  app.SetField("WIMindex", "");
  app.Click("MountWim");  // an empty index becomes "1"; nothing else happens
  EXPECT_EQ(app.Field("WIMindex"), "1");
  EXPECT_TRUE(app.MessageBoxes().empty()) << "a message for an empty index";
  expectMessage("MountWim", "请选择挂载目录后再继续本操作！");

  app.Click("Option2");
  expectMessage("MakeWimImage", "请选择要制作为WIM 镜像的目录后再继续本操作！");
  app.SetField("mk_WIMPath", R"(C:\src)");
  expectMessage("MakeWimImage", "请选择WIM 镜像的保存位置后再继续本操作！");
  app.SetField("WIMSavePath", R"(C:\out.wim)");
  expectMessage("MakeWimImage", "请输入WIM 镜像的注释后再继续本操作！");

  // One launch that needs no field: it must be the only run the tool saw.
  app.Click("Option1");
  app.Click("unMountWim");
  ASSERT_TRUE(app.WaitForRuns(1));
  auto runs = app.Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].args.at(0), "/unmount");
}

// Switching panels keeps what was typed in either one; the visible panel is the one whose boxes take the
// clicks (the two panels lie at the same place).
TEST(ModeSwitch, KeepsWhatWasTyped) {
  Deadline deadline(TestName(), std::chrono::seconds(240));
  App app;
  app.SetField("WIMPath", R"(C:\镜像\a.wim)");
  app.SetField("MountPath", R"(C:\mnt\)");
  app.Click("WIMR_Check");
  Image mountPanel = app.WindowShot();
  app.Click("Option2");
  app.SetField("mk_WIMPath", R"(D:\源\)");
  app.SetField("WIM_Info", "备注 1");
  Image capturePanel = app.WindowShot();
  EXPECT_GT(resources::CountDifferingPixels(mountPanel, capturePanel), 2000) << "the panel did not change";

  app.Click("Option1");
  EXPECT_EQ(app.Field("WIMPath"), R"(C:\镜像\a.wim)");
  EXPECT_EQ(app.Field("MountPath"), R"(C:\mnt\)");
  app.Click("Option2");
  EXPECT_EQ(app.Field("mk_WIMPath"), R"(D:\源\)");
  EXPECT_EQ(app.Field("WIM_Info"), "备注 1");
  // The read-write tick survived too: an unmount commits.
  app.Click("Option1");
  app.Click("unMountWim");
  ASSERT_TRUE(app.WaitForRuns(1));
  EXPECT_EQ(app.Runs().at(0).args, (std::vector<std::string>{"/unmount", "/commit", R"(C:\mnt\)"}));
}

// Keyboard focus as in a dialog: typing at start-up goes into the first tab stop (the index, selected, so it
// is typed over); it stays in the box the user was typing in while another program is active; after a
// message box Tab goes on from the button that opened it.
TEST(Keyboard, FocusIsPlacedAndKeptAsInADialog) {
  Deadline deadline(TestName(), std::chrono::seconds(240));
  App app;
  FocusWindow(app.window());  // as a window manager gives the X focus to the window just shown
  TypeAscii("7");
  Keys({"Tab", "Tab", "Tab"});  // WimB, WIMPath, MountPath
  TypeAscii(R"(C:\m)");

  // Another program takes the keyboard, then the user comes back to this one without clicking into it.
  Child other({"xev", "-name", "vantrel-elsewhere"}, {"DISPLAY=" + Session::Get().display()});
  std::string otherWindow;
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto found = RunCommand({"xdotool", "search", "--name", "vantrel-elsewhere"}, 5s,
                                {"DISPLAY=" + Session::Get().display()});
        std::istringstream lines(found.out);
        return static_cast<bool>(std::getline(lines, otherWindow)) && !otherWindow.empty();
      },
      10s))
      << "the other program's window did not come up";
  FocusWindow(otherWindow);
  std::this_thread::sleep_for(500ms);
  // Back with a click on a bare part of the panel; the X focus is handed back as a window manager would.
  FocusWindow(app.window());
  ClickAt(app.ScreenX(8 + 250), app.ScreenY(96 + 62));
  TypeAscii("nt");

  // MountPath, MountB, MountWim: a mount without a WIM file, answered by its message box.
  Keys({"Tab", "Tab", "space"});
  auto box = app.WaitForMessageBox();
  ASSERT_TRUE(box.has_value()) << "no message box: the focus was not on the mount button";
  FocusWindow(box->window);
  Keys({"Return"});
  ASSERT_TRUE(app.WaitForNoMessageBox());
  FocusWindow(app.window());  // the owner gets the X focus back, as from a window manager
  Keys({"Tab", "space"});     // unMountWim, after the mount button
  ASSERT_TRUE(app.WaitForRuns(1)) << "Tab after the message box did not reach the unmount button";
  EXPECT_EQ(app.Runs().at(0).args, (std::vector<std::string>{"/unmount", R"(C:\mnt)"}));
  EXPECT_EQ(app.Field("WIMindex"), "7");
  EXPECT_EQ(app.Field("WIMPath"), "");
  EXPECT_EQ(app.Runs().size(), 1u);
}

// Tab in the capture view follows the design order: the comment, the boot box, the checked mode button, the
// save path's browse button, round to the source.
TEST(Keyboard, CaptureViewTabOrder) {
  Deadline deadline(TestName(), std::chrono::seconds(240));
  App app;
  const Image mountView = app.WindowShot();
  app.Click("Option2");
  const Image captureView = app.WindowShot();
  auto mountShown = [&] {
    Image now = app.WindowShot();
    return resources::CountDifferingPixels(now, mountView) < resources::CountDifferingPixels(now, captureView);
  };
  ASSERT_FALSE(mountShown());
  app.Click("WIM_Info");
  TypeAscii("c1");
  // After the boot box comes the checked mode button: Left there selects the mount view, Right the capture
  // view again.
  Keys({"Tab", "space", "Tab", "Left"});
  EXPECT_TRUE(WaitUntil(mountShown, 5s)) << "Tab after the boot box did not reach the mode buttons";
  Keys({"Right"});
  ASSERT_TRUE(WaitUntil([&] { return !mountShown(); }, 5s));
  // Then the save path's browse button, then round to the source.
  Keys({"Tab", "Tab"});
  TypeAscii(R"(C:\src)");
  Keys({"Tab", "Tab", "Tab"});  // mk_WimB01, WIM_add_c, WIMSavePath
  TypeAscii(R"(C:\o.wim)");
  Keys({"Tab", "space"});  // MakeWimImage
  ASSERT_TRUE(app.WaitForRuns(1)) << "nothing launched: " << (app.MessageBoxes().empty() ? "no message" : "a message");
  EXPECT_EQ(app.Runs().at(0).args,
            (std::vector<std::string>{"/capture", "/boot", "/compress", "maximum", R"(C:\src)", R"(C:\o.wim)", "c1"}));
}

// Drags with the left button held: the window follows the pointer by the same distance.
void Drag(int fromX, int fromY, int dx, int dy) {
  MouseMove(fromX, fromY);
  MouseDown(1);
  for (int i = 1; i <= 10; ++i) MouseMove(fromX + dx * i / 10, fromY + dy * i / 10);
  MouseUp(1);
}

TEST(HeaderDrag, DraggingTheHeaderBandMovesTheWindow) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  Rect before = app.Geometry();
  FocusWindow(app.window());
  Drag(before.x + 300, before.y + 45, -120, 70);
  Rect after;
  EXPECT_TRUE(WaitUntil([&] { return (after = app.Geometry()).x == before.x - 120 && after.y == before.y + 70; }, 10s))
      << "window at " << after.x << "," << after.y << ", expected " << before.x - 120 << "," << before.y + 70;
  // A drag on the body moves nothing.
  Drag(after.x + 300, after.y + 92, 50, 50);
  Rect still = app.Geometry();
  EXPECT_EQ(still, after);
}

// Right click on the icon, then X (the exit entry's access key): the program ends and takes its icon along.
TEST(Tray, ExitWithTheAccessKeyEndsTheProgramAndRemovesTheIcon) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  std::optional<Rect> tray;
  ASSERT_TRUE(WaitUntil([&] { return (tray = WineTrayWindow()).has_value(); }, 20s));
  ClickAt(tray->x + 10, tray->y + tray->height / 2, 3);
  std::string menu;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const std::string& w : VisibleWindowsOf(app.pid()))
          if (w != app.window()) menu = w;
        return !menu.empty();
      },
      10s));
  std::string trayWindow = WineTrayWindowId();
  WindowEvents screen("root");
  FocusWindow(menu);
  Keys({"x"});
  EXPECT_TRUE(app.WaitExit(15s)) << "the program is still running";
  EXPECT_TRUE(WaitUntil([] { return !WineTrayWindow().has_value(); }, 10s)) << "the tray still shows an icon";
  // Taken away by the program, before its window went (see TitleBar.CloseButtonEndsTheProgramAndRemovesTheIcon).
  EXPECT_TRUE(WaitUntil([&] { return GoneBefore(screen.Text(), trayWindow, app.window()); }, 10s))
      << screen.Text();
}

}  // namespace
}  // namespace vantrel::e2e
