// Dragging the window by its header band, with real X input from xdotool: Wine's window-move loop only
// follows real pointer events. Wine's desktop process must be on this test's X display: a wineserver of the
// same prefix started from another display (a concurrent run elsewhere) makes the move loop die of an X
// BadWindow error.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "app/main_window_win32.h"
#include "runtime/runtime.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace {

using vantrel::wintest::RunXdotool;
using vantrel::wintest::WaitUntil;

using vantrel::wintest::g_ended;

class HeaderDrag : public vantrel::wintest::MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    if (HasFatalFailure()) return;
    SetForegroundWindow(main_);
    vantrel::wintest::PumpMessages();
  }

  RECT Rect() const {
    RECT r{};
    GetWindowRect(main_, &r);
    return r;
  }
  static std::wstring At(LONG x, LONG y) { return std::to_wstring(x) + L" " + std::to_wstring(y); }
  // Presses the left button at window point (x, y), moves by (dx, dy) in two steps and releases.
  bool Drag(int x, int y, int dx, int dy) {
    const RECT r = Rect();
    const LONG sx = r.left + x, sy = r.top + y;
    return RunXdotool(L"mousemove " + At(sx, sy) + L" mousedown 1 mousemove " + At(sx + dx / 2, sy + dy / 2) +
                      L" mousemove " + At(sx + dx, sy + dy) + L" mouseup 1");
  }
  bool MovedTo(LONG left, LONG top) {
    return WaitUntil([&] {
      RECT r = Rect();
      return r.left == left && r.top == top;
    });
  }
};

TEST_F(HeaderDrag, LeftButtonOnTheBandMovesTheWindow) {
  const RECT before = Rect();
  ASSERT_TRUE(Drag(300, 40, -60, 45));
  EXPECT_TRUE(MovedTo(before.left - 60, before.top + 45))
      << "window at " << Rect().left << "," << Rect().top << ", was " << before.left << "," << before.top;
  const RECT after = Rect();
  EXPECT_EQ(after.right - after.left, 406);
  EXPECT_EQ(after.bottom - after.top, 274);
  EXPECT_EQ(g_ended, 0);
}

TEST_F(HeaderDrag, RightAndMiddleButtonsMoveTheWindowUntilTheirRelease) {
  // The window follows the pointer while the button that pressed is held, and stays where it was let go:
  // the pointer moving on afterwards does not take it along.
  for (int button : {3, 2}) {
    const RECT before = Rect();
    const LONG x = before.left + 150, y = before.top + 30;
    ASSERT_TRUE(RunXdotool(L"mousemove " + At(x, y) + L" mousedown " + std::to_wstring(button) + L" mousemove " +
                           At(x + 40, y + 50) + L" mousemove " + At(x + 80, y + 100) + L" mouseup " +
                           std::to_wstring(button) + L" mousemove " + At(x + 120, y + 160)));
    EXPECT_TRUE(MovedTo(before.left + 80, before.top + 100))
        << "X button " << button << ": window at " << Rect().left << "," << Rect().top << ", was " << before.left << ","
        << before.top;
  }
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(HeaderDrag, APressBelowThePanelsDoesNotMoveTheWindow) {
  const RECT before = Rect();
  // y 269: the window's own bottom strip, under the panels and outside the band.
  ASSERT_TRUE(Drag(200, 269, 70, -30));
  // Then a drag on the band: the window ends where that drag alone takes it.
  ASSERT_TRUE(Drag(300, 40, 20, 20));
  EXPECT_TRUE(MovedTo(before.left + 20, before.top + 20))
      << "window at " << Rect().left << "," << Rect().top << ", was " << before.left << "," << before.top;
}

}  // namespace
