// The title bar and the ways out, as a user meets them: button pictures under the pointer, dragging the bar,
// closing, minimising and bringing the window back from the tray.
#include <gtest/gtest.h>

#include "resources/artwork.h"
#include "resources/bmp.h"
#include "tests/e2e/harness.h"

namespace vantrel::e2e {
namespace {

using resources::Image;
using resources::TitlePicture;

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

// The bar's parts in window coordinates: the close button at the bar's left end, the minimise button at its
// right end, the strip between them.
Rect Bar() { return App::ControlRect("MacWindow"); }
Rect CloseButton() { return {Bar().x, Bar().y, 17, 18}; }
Rect MiniButton() { return {Bar().x + Bar().width - 24, Bar().y, 24, 18}; }

// True when the screen shows `picture` at `part` of the window.
bool Shows(const App& app, Rect part, TitlePicture picture) {
  Rect g = app.Geometry();
  Image shown = resources::Crop(Screenshot(), g.x + part.x, g.y + part.y, part.width, part.height);
  return resources::CountDifferingPixels(shown, resources::TitleBarPicture(picture)) == 0;
}

// Waits until both buttons show the given pictures.
::testing::AssertionResult ButtonsShow(const App& app, TitlePicture close, TitlePicture mini) {
  if (WaitUntil([&] { return Shows(app, CloseButton(), close) && Shows(app, MiniButton(), mini); }, 5s, 50ms))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "close button " << (Shows(app, CloseButton(), close) ? "as expected" : "wrong")
                                       << ", minimise button " << (Shows(app, MiniButton(), mini) ? "as expected" : "wrong");
}

void MoveTo(const App& app, int windowX, int windowY) { MouseMove(app.ScreenX(windowX), app.ScreenY(windowY)); }

TEST(TitleBar, ButtonPicturesFollowThePointer) {
  Deadline deadline(TestName(), std::chrono::seconds(180));
  App app;
  const Rect close = CloseButton(), mini = MiniButton();
  const int bodyY = 150;
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "at start";

  MoveTo(app, close.CentreX(), close.CentreY());
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::M_Img1, TitlePicture::U_Img2)) << "hovering the close button";
  // A screen reader in another process finds the two drawn buttons by name and role (push button, 43) where
  // they are on the screen, the one under the pointer hot-tracked (128); the window by its caption, the text
  // boxes by their labels.
  const Rect g = app.Geometry();
  auto at = [&](const Rect& r) {
    return std::to_string(g.x + r.x) + " " + std::to_string(g.y + r.y) + " " + std::to_string(r.width) + " " +
           std::to_string(r.height);
  };
  const std::vector<std::string> expected = {
      "window Vantrel",
      "bar 1 Vantrel",
      "child 1 43 128 " + at(close) + " 关闭|按下",
      "child 2 43 0 " + at(mini) + " 最小化|按下",
      "field WIM 镜像的ID：",
      "field 1.选择 WIM 镜像文件路径：",
      "field 2.选择 WIM 镜像挂载的目录：",
  };
  EXPECT_EQ(App::AccessibleItems(), expected);
  // The strip has no hover of its own: the close button keeps its hover picture until the pointer leaves.
  MoveTo(app, 100, close.CentreY());
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::M_Img1, TitlePicture::U_Img2)) << "on the strip";
  MoveTo(app, mini.CentreX(), mini.CentreY());
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::M_Img1, TitlePicture::M_Img2)) << "hovering the minimise button";
  MoveTo(app, mini.CentreX(), bodyY);
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "after leaving the bar";

  // Pressed, then dragged off the bar with the button held: pressed, then normal once outside; letting go
  // outside the button clicks nothing.
  MoveTo(app, mini.CentreX(), mini.CentreY());
  MouseDown();
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::D_Img2)) << "pressing the minimise button";
  MoveTo(app, mini.CentreX(), bodyY);
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "held outside the bar";
  MouseUp();
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "released outside";

  MoveTo(app, close.CentreX(), close.CentreY());
  MouseDown();
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::D_Img1, TitlePicture::U_Img2)) << "pressing the close button";
  MoveTo(app, close.CentreX(), bodyY);
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "held outside the bar";
  MouseUp();
  // The release shows the hover picture for a moment; the bar then finds the pointer outside.
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "released outside the close button";
  EXPECT_TRUE(app.Running()) << "a release outside the close button closed the program";
  auto state = app.SystemState();
  ASSERT_TRUE(state.has_value());
  EXPECT_FALSE(state->minimised);
}

// Dragging the strip or the caption moves the window; the buttons do not.
TEST(TitleBar, DraggingTheStripOrTheCaptionMovesTheWindow) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  auto drag = [&](int windowX, int dx, int dy) {
    Rect g = app.Geometry();
    int x = g.x + windowX, y = g.y + Bar().y + 9;
    MouseMove(x, y);
    MouseDown();
    for (int i = 1; i <= 10; ++i) MouseMove(x + dx * i / 10, y + dy * i / 10);
    MouseUp();
    Rect want{g.x + dx, g.y + dy, g.width, g.height};
    Rect now;
    bool moved = WaitUntil([&] { return (now = app.Geometry()) == want; }, 10s);
    EXPECT_TRUE(moved) << "dragged at x " << windowX << ": window at " << now.x << "," << now.y << ", expected "
                       << want.x << "," << want.y;
  };
  drag(60, 90, 40);                          // the strip
  drag(Bar().x + Bar().width / 2, -150, 60);  // the caption, centred on the bar
  EXPECT_TRUE(app.Running());
}

// The close button ends the program, and the icon leaves the tray with it.
TEST(TitleBar, CloseButtonEndsTheProgramAndRemovesTheIcon) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  ASSERT_TRUE(WaitUntil([] { return WineTrayWindow().has_value(); }, 20s)) << "no tray icon to begin with";
  std::string trayWindow = WineTrayWindowId();
  WindowEvents screen("root");
  Rect close = CloseButton();
  FocusWindow(app.window());
  ClickAt(app.ScreenX(close.CentreX()), app.ScreenY(close.CentreY()));
  EXPECT_TRUE(app.WaitExit(15s)) << "the program is still running";
  EXPECT_TRUE(WaitUntil([] { return !WineTrayWindow().has_value(); }, 10s)) << "the tray still shows an icon";
  // The program took its icon away itself, before its window went: Wine would also clear the icon of a
  // program that died, but only after the program's windows are gone.
  EXPECT_TRUE(WaitUntil([&] { return GoneBefore(screen.Text(), trayWindow, app.window()); }, 10s))
      << screen.Text();
}

// The minimise button minimises the window; a left click on the tray icon brings it back, where it was.
TEST(Tray, LeftClickBringsBackTheMinimisedWindow) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  std::optional<Rect> tray;
  ASSERT_TRUE(WaitUntil([&] { return (tray = WineTrayWindow()).has_value(); }, 20s));
  auto before = app.SystemState();
  ASSERT_TRUE(before.has_value());
  Rect mini = MiniButton();
  FocusWindow(app.window());
  ClickAt(app.ScreenX(mini.CentreX()), app.ScreenY(mini.CentreY()));
  std::optional<App::State> state;
  EXPECT_TRUE(WaitUntil([&] { return (state = app.SystemState()) && state->minimised; }, 10s)) << "not minimised";

  ClickAt(tray->x + 10, tray->y + tray->height / 2);
  EXPECT_TRUE(WaitUntil([&] { return (state = app.SystemState()) && !state->minimised && state->visible; }, 10s))
      << "still minimised";
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->rect, before->rect);
  EXPECT_TRUE(ButtonsShow(app, TitlePicture::U_Img1, TitlePicture::U_Img2)) << "the bar is not drawn again";
}

// The tray menu's show command hides the window and shows it again, where it was, or restores it when it is
// minimised; dismissing the menu with Escape does nothing.
TEST(Tray, ShowWindowFromTheMenu) {
  Deadline deadline(TestName(), std::chrono::seconds(120));
  App app;
  std::optional<Rect> tray;
  ASSERT_TRUE(WaitUntil([&] { return (tray = WineTrayWindow()).has_value(); }, 20s));
  Rect before = app.Geometry();
  WindowEvents events(app.window());
  auto openMenu = [&] {
    ClickAt(tray->x + 10, tray->y + tray->height / 2, 3);
    std::string menu;
    EXPECT_TRUE(WaitUntil(
        [&] {
          for (const std::string& w : VisibleWindowsOf(app.pid()))
            if (w != app.window()) menu = w;
          return !menu.empty();
        },
        10s))
        << "no popup menu";
    return menu;
  };
  auto menuClosed = [&] { return VisibleWindowsOf(app.pid()) == std::vector<std::string>{app.window()}; };

  std::string menu = openMenu();
  ASSERT_FALSE(menu.empty());
  FocusWindow(menu);
  Keys({"Escape"});
  EXPECT_TRUE(WaitUntil(menuClosed, 10s)) << "Escape left the menu open";
  EXPECT_EQ(events.Text().find("UnmapNotify"), std::string::npos) << "dismissing the menu hid the window";

  menu = openMenu();
  ASSERT_FALSE(menu.empty());
  auto where = WindowGeometry(menu);
  ASSERT_TRUE(where.has_value());
  ClickAt(where->x + where->width / 2, where->y + 10);  // the first entry, 显示窗口
  EXPECT_TRUE(WaitUntil(menuClosed, 10s)) << "the menu stays open";
  auto hiddenThenShown = [&] {
    std::string text = events.Text();
    std::size_t unmap = text.find("UnmapNotify");
    return unmap != std::string::npos && text.find("\nMapNotify", unmap) != std::string::npos;
  };
  EXPECT_TRUE(WaitUntil(hiddenThenShown, 10s))
      << "the window was not hidden and shown again:\n" << events.Text();
  EXPECT_TRUE(app.Running());
  EXPECT_EQ(app.Geometry(), before);

  // Minimised, the command brings the window back where it was, and the keyboard focus with it: typing goes
  // on in the box the user was typing in.
  auto shown = app.SystemState();
  ASSERT_TRUE(shown.has_value());
  app.Click("WIMPath");
  TypeAscii(R"(C:\b)");
  Rect mini = MiniButton();
  ClickAt(app.ScreenX(mini.CentreX()), app.ScreenY(mini.CentreY()));
  std::optional<App::State> state;
  ASSERT_TRUE(WaitUntil([&] { return (state = app.SystemState()) && state->minimised; }, 10s)) << "not minimised";
  menu = openMenu();
  ASSERT_FALSE(menu.empty());
  where = WindowGeometry(menu);
  ASSERT_TRUE(where.has_value());
  ClickAt(where->x + where->width / 2, where->y + 10);
  EXPECT_TRUE(WaitUntil([&] { return (state = app.SystemState()) && !state->minimised && state->visible; }, 10s))
      << "显示窗口 left the window minimised";
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(state->rect, shown->rect);
  // The X focus as a window manager hands it to the window brought back, and a click on a bare part of
  // the panel, which takes the focus into no box.
  FocusWindow(app.window());
  ClickAt(app.ScreenX(8 + 250), app.ScreenY(96 + 62));
  TypeAscii(".wim");
  EXPECT_EQ(app.Field("WIMPath"), R"(C:\b.wim)");
}

}  // namespace
}  // namespace vantrel::e2e
