#include "skin/mac_window.h"
#include "skin/title_bar_accessible.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace vantrel::skin {
namespace {

using Events = std::vector<Event>;

// Records everything the control asks of its host. Captions measure (characters x points) by
// (points + 4) pixels, so a font change changes the caption's size.
class Recorder : public MacWindowHost {
 public:
  enum class Reentry { None, Echo, EchoWholePixels, RefuseHeight };

  void RaiseEvent(Event e, MouseArgs& args) override {
    events.push_back(e);
    args_seen.push_back(args);
    if (on_event) on_event(e, args);
  }
  void PropertyChanged(std::u16string_view name) override { changed.emplace_back(name); }
  void TimerEnabledChanged(bool running) override { timer.push_back(running); }
  void PicturesChanged() override { ++pictures_changed; }
  void LayoutChanged() override {}
  void SetOuterSize(double w, double h) override {
    sizes.emplace_back(w, h);
    if (!control || reentry == Reentry::None) return;
    if (reentry == Reentry::Echo) control->OnResized(w, h);
    if (reentry == Reentry::EchoWholePixels)
      control->OnResized(std::round(w / 15) * 15, std::round(h / 15) * 15);
    if (reentry == Reentry::RefuseHeight) control->OnResized(w, 300);
  }
  std::pair<float, float> MeasureCaption(std::u16string_view text, const FontRef& f) override {
    const float points = f ? float(f->points) : 8;
    return {float(text.size()) * points, points + 4};
  }
  std::u16string AmbientDisplayName() override { return display_name; }
  FontRef AmbientFont() override { return ambient_font; }

  void Clear() { events.clear(), args_seen.clear(), changed.clear(), timer.clear(), sizes.clear(); }

  MacWindow* control = nullptr;
  Reentry reentry = Reentry::Echo;
  std::function<void(Event, MouseArgs&)> on_event;
  Events events;
  std::vector<MouseArgs> args_seen;
  std::vector<std::u16string> changed;
  std::vector<bool> timer;
  std::vector<std::pair<double, double>> sizes;
  int pictures_changed = 0;
  std::u16string display_name = u"MacWindow1";
  FontRef ambient_font = std::make_shared<const FontDesc>(FontDesc{u"Tahoma", 8, 400, 0});
};

// The control as the main window has it: created, loaded from its stored record, sized
// 5940 x 270 twips (396 x 18 pixels) and shown.
class MacWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    host.control = &mw;
    mw.UserControl_Initialize();
    mw.UserControl_ReadProperties(MainWindowStoredRecord());
    mw.OnResized(5940, 270);
    mw.UserControl_Show();
    host.Clear();
  }
  Recorder host;
  MacWindow mw{host};
};

// ---------- Buttons and hover tracking ----------

enum class After { Unchanged, Normal, Hover, Pressed, Refresh };

struct TransitionRow {
  const char* input;
  std::function<void(MacWindow&)> apply;
  Events events;
  After close, mini;
};

Picture Expected(After after, Picture start, Picture normal, Picture hover, Picture pressed,
                 bool enabled) {
  switch (after) {
    case After::Unchanged: return start;
    case After::Normal: return normal;
    case After::Hover: return hover;
    case After::Pressed: return pressed;
    case After::Refresh: return enabled ? normal : hover;
  }
  return start;
}

TEST_F(MacWindowTest, PictureTransitionsFollowTheTableFromEveryStartingState) {
  using E = Event;
  using P = Part;
  const std::vector<TransitionRow> rows = {
      {"move close, left", [](MacWindow& m) { m.MouseMove(P::BuStart, {1, 0, 5, 5}); },
       {E::MouseMove}, After::Pressed, After::Unchanged},
      {"move close, right", [](MacWindow& m) { m.MouseMove(P::BuStart, {2, 0, 5, 5}); },
       {E::MouseMove}, After::Hover, After::Unchanged},
      {"move close, outside", [](MacWindow& m) { m.MouseMove(P::BuStart, {1, 0, 30, 5}); }, {},
       After::Unchanged, After::Unchanged},
      {"press close", [](MacWindow& m) { m.MouseDown(P::BuStart, {2, 0, 5, 5}); },
       {E::MouseDown}, After::Pressed, After::Normal},
      {"release close", [](MacWindow& m) { m.MouseUp(P::BuStart, {2, 0, 5, 5}); }, {E::MouseUp},
       After::Hover, After::Refresh},
      {"click close", [](MacWindow& m) { m.Click(P::BuStart); }, {E::CloseWindow},
       After::Unchanged, After::Unchanged},
      {"move mini, left", [](MacWindow& m) { m.MouseMove(P::BuEnd, {1, 0, 20, 5}); },
       {E::MiniMouseMove}, After::Unchanged, After::Pressed},
      {"move mini, right+left", [](MacWindow& m) { m.MouseMove(P::BuEnd, {3, 0, 20, 5}); },
       {E::MiniMouseMove}, After::Unchanged, After::Hover},
      {"move mini, outside", [](MacWindow& m) { m.MouseMove(P::BuEnd, {1, 0, 5, 19}); }, {},
       After::Unchanged, After::Unchanged},
      {"press mini", [](MacWindow& m) { m.MouseDown(P::BuEnd, {4, 0, 5, 5}); },
       {E::MiniMouseDown}, After::Unchanged, After::Pressed},
      {"release mini", [](MacWindow& m) { m.MouseUp(P::BuEnd, {1, 0, 5, 5}); },
       {E::MiniMouseUp}, After::Unchanged, After::Normal},
      {"click mini", [](MacWindow& m) { m.Click(P::BuEnd); }, {E::MiniWindow},
       After::Unchanged, After::Unchanged},
      {"press surface", [](MacWindow& m) { m.MouseDown(P::Surface, {2, 0, 5, 5}); },
       {E::MouseDown}, After::Normal, After::Normal},
      {"release surface", [](MacWindow& m) { m.MouseUp(P::Surface, {2, 0, 5, 5}); },
       {E::MouseUp}, After::Refresh, After::Refresh},
      {"tick outside", [](MacWindow& m) { m.TimerTick(400, 5); }, {E::MouseOut},
       After::Refresh, After::Refresh},
      {"tick inside", [](MacWindow& m) { m.TimerTick(200, 9); }, {}, After::Unchanged,
       After::Unchanged},
  };
  for (const bool enabled : {true, false}) {
    for (const std::int16_t startButton : {0, 1}) {  // start from hover, then from pressed
      for (const TransitionRow& row : rows) {
        SCOPED_TRACE(testing::Message() << row.input << ", enabled " << enabled
                                        << ", start button " << startButton);
        mw.SetEnabled(enabled);
        mw.MouseMove(Part::BuStart, {startButton, 0, 1, 1});
        mw.MouseMove(Part::BuEnd, {startButton, 0, 1, 1});
        const Picture close0 = mw.PictureOf(Part::BuStart), mini0 = mw.PictureOf(Part::BuEnd);
        host.Clear();
        row.apply(mw);
        EXPECT_EQ(host.events, row.events);
        EXPECT_EQ(mw.PictureOf(Part::BuStart),
                  Expected(row.close, close0, Picture::U_Img1, Picture::M_Img1, Picture::D_Img1,
                           enabled));
        EXPECT_EQ(mw.PictureOf(Part::BuEnd),
                  Expected(row.mini, mini0, Picture::U_Img2, Picture::M_Img2, Picture::D_Img2,
                           enabled));
        EXPECT_EQ(mw.PictureOf(Part::BuImg), Picture::WindowImg);
      }
    }
  }
}

TEST_F(MacWindowTest, FullClicksRaiseTheirEventsInOrderWithArgumentsRelativeToTheWidget) {
  const Rect caption = mw.Box(Part::CaptionText);
  struct Case {
    float x, y;
    std::int16_t button;
    Events events;
    float relX;
  } cases[] = {
      {5, 6, 1, {Event::MouseDown, Event::MouseUp, Event::CloseWindow}, 5},
      {390, 6, 1, {Event::MiniMouseDown, Event::MiniMouseUp, Event::MiniWindow}, 18},
      {100, 1, 2, {Event::MoveWindow}, 83},  // the strip, right button: moves all the same
      {caption.left + 2.5f, 9, 1, {Event::MoveWindow}, 2.5f},
      {5, 6, 2, {Event::MouseDown, Event::MouseUp}, 5},  // a right click closes nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "at " << c.x << " button " << c.button);
    host.Clear();
    mw.PointerDown(c.x, c.y, c.button, 2);
    EXPECT_TRUE(mw.HasCapture());
    mw.PointerUp(c.x, c.y, c.button, 2, 0);
    EXPECT_FALSE(mw.HasCapture());
    EXPECT_EQ(host.events, c.events);
    EXPECT_FLOAT_EQ(host.args_seen.at(0).X, c.relX);
    EXPECT_EQ(host.args_seen.at(0).Button, c.button);
    EXPECT_EQ(host.args_seen.at(0).Shift, 2);
  }
}

TEST_F(MacWindowTest, AHeldButtonKeepsTheMouseAndAReleaseElsewhereIsNoClick) {
  mw.PointerDown(5, 5, 1, 0);
  mw.PointerMove(200, 5, 1, 0);  // still the close button's, outside its box: raises nothing
  EXPECT_EQ(host.events, Events{Event::MouseDown});
  EXPECT_TRUE(mw.TimerRunning());
  EXPECT_EQ(mw.PictureOf(Part::BuStart), Picture::D_Img1);
  mw.PointerDown(200, 5, 2, 0);     // a second button, over the strip: still the close button's
  mw.PointerUp(200, 5, 2, 0, 1);    // the left one is still down
  EXPECT_TRUE(mw.HasCapture());
  mw.PointerUp(200, 5, 1, 0, 0);
  EXPECT_FALSE(mw.HasCapture());
  EXPECT_EQ(host.events,
            (Events{Event::MouseDown, Event::MouseDown, Event::MouseUp, Event::MouseUp}));
  EXPECT_FLOAT_EQ(host.args_seen.back().X, 200);

  // The host takes the mouse away to move the window; later moves go where the pointer is.
  host.Clear();
  host.on_event = [this](Event, MouseArgs&) { mw.PointerCaptureLost(); };
  mw.PointerDown(100, 1, 1, 0);
  EXPECT_FALSE(mw.HasCapture());
  host.on_event = nullptr;
  mw.PointerMove(390, 5, 0, 0);
  EXPECT_EQ(host.events, (Events{Event::MoveWindow, Event::MiniMouseMove}));
}

TEST_F(MacWindowTest, TheButtonTheHostLeavesInMouseMoveChoosesThePicture) {
  struct Case {
    Part part;
    std::int16_t given, setByHost;
    Picture shown;
  } cases[] = {
      {Part::BuStart, 0, 1, Picture::D_Img1}, {Part::BuStart, 1, 0, Picture::M_Img1},
      {Part::BuStart, 3, 3, Picture::M_Img1}, {Part::BuEnd, 2, 1, Picture::D_Img2},
      {Part::BuEnd, 1, 4, Picture::M_Img2},
  };
  for (const Case& c : cases) {
    host.on_event = [&](Event, MouseArgs& args) {
      EXPECT_EQ(args.Button, c.given);
      args.Button = c.setByHost;
    };
    mw.MouseMove(c.part, {c.given, 0, 3, 3});
    EXPECT_EQ(mw.PictureOf(c.part), c.shown) << "button " << c.given << " -> " << c.setByHost;
  }
}

TEST_F(MacWindowTest, AButtonsBoxIncludesItsRightAndBottomEdges) {
  struct Case {
    Part part;
    float x, y;
    bool inside;
  } cases[] = {
      {Part::BuStart, 0, 0, true},        {Part::BuStart, 17, 18, true},
      {Part::BuStart, 17.01f, 0, false},  {Part::BuStart, 0, 18.01f, false},
      {Part::BuStart, -0.01f, 5, false},  {Part::BuStart, 5, -0.01f, false},
      {Part::BuEnd, 24, 18, true},        {Part::BuEnd, 24.01f, 9, false},
  };
  for (const Case& c : cases) {
    host.Clear();
    mw.MouseMove(c.part, {0, 0, c.x, c.y});
    EXPECT_EQ(host.events.size(), c.inside ? 1u : 0u) << c.x << "," << c.y;
    EXPECT_TRUE(mw.TimerRunning());
  }
}

TEST_F(MacWindowTest, TheExitTestCountsTheRightAndBottomEdgeAsInside) {
  for (const double width : {5940.0, 2000.0}) {  // 396 px; 133.33 px
    mw.OnResized(width, 270);
    const double w = mw.ScaleWidth(), h = mw.ScaleHeight();
    struct Case {
      double x, y;
      bool outside;
    } cases[] = {
        {0, 0, false},  {w, h, false}, {std::nextafter(w, 1e9), 0, true},
        {0, h + 1e-9, true}, {-1e-9, 5, true}, {5, -1e-9, true},
    };
    for (const Case& c : cases) {
      host.Clear();
      mw.MouseMove(Part::BuStart, {0, 0, 99, 0});
      mw.TimerTick(c.x, c.y);
      EXPECT_EQ(host.events, c.outside ? Events{Event::MouseOut} : Events{})
          << "width " << width << " at " << c.x << "," << c.y;
      EXPECT_EQ(mw.TimerRunning(), !c.outside);
    }
  }
}

TEST_F(MacWindowTest, EveryMoveStartsTheTimerAndLeavingRaisesMouseOutOnce) {
  mw.MouseDown(Part::BuEnd, {1, 0, 5, 5});
  mw.MouseMove(Part::BuEnd, {1, 0, -40, 5});  // held button dragged out of the box
  mw.MouseMove(Part::BuEnd, {1, 0, -60, 5});
  EXPECT_EQ(host.events, Events{Event::MiniMouseDown});
  EXPECT_EQ(host.timer, std::vector<bool>{true});  // SetTimer once, not on every move
  mw.TimerTick(150, 9);                            // over the strip: still inside
  EXPECT_EQ(mw.PictureOf(Part::BuEnd), Picture::D_Img2);
  mw.TimerTick(150, 30);
  mw.TimerTick(150, 30);  // a late tick after the timer stopped
  EXPECT_EQ(host.events, (Events{Event::MiniMouseDown, Event::MouseOut}));
  EXPECT_EQ(host.timer, (std::vector<bool>{true, false}));
  EXPECT_EQ(mw.PictureOf(Part::BuEnd), Picture::U_Img2);
  EXPECT_EQ(host.pictures_changed, 2);  // pressed, then normal: repaint on changes only
}

// The close button pressed, held off the bar until the timer has put the normal pictures back, then
// released there: the release shows the hover picture, and the timer checks the pointer again so that the
// pictures end up as the pointer's place says; over the bar the hover picture stays, as after any move.
TEST_F(MacWindowTest, AReleaseOfTheCloseButtonChecksThePointerAgain) {
  for (const bool releasedOverTheBar : {false, true}) {
    SCOPED_TRACE(releasedOverTheBar ? "released over the bar" : "released outside");
    host.Clear();
    mw.PointerDown(5, 5, 1, 0);
    mw.PointerMove(5, 60, 1, 0);
    mw.TimerTick(5, 60);
    ASSERT_FALSE(mw.TimerRunning());
    ASSERT_EQ(mw.PictureOf(Part::BuStart), Picture::U_Img1);
    const float y = releasedOverTheBar ? 9 : 60;
    mw.PointerUp(200, y, 1, 0, 0);
    EXPECT_EQ(mw.PictureOf(Part::BuStart), Picture::M_Img1);
    EXPECT_TRUE(mw.TimerRunning());
    mw.TimerTick(200, y);
    EXPECT_EQ(mw.TimerRunning(), releasedOverTheBar);
    EXPECT_EQ(mw.PictureOf(Part::BuStart), releasedOverTheBar ? Picture::M_Img1 : Picture::U_Img1);
    EXPECT_EQ(mw.PictureOf(Part::BuEnd), Picture::U_Img2);
    EXPECT_EQ(host.events, releasedOverTheBar
                               ? (Events{Event::MouseDown, Event::MouseOut, Event::MouseUp})
                               : (Events{Event::MouseDown, Event::MouseOut, Event::MouseUp, Event::MouseOut}));
    mw.TimerTick(200, 60);  // leaves the bar
    EXPECT_FALSE(mw.TimerRunning());
  }
}

TEST_F(MacWindowTest, TheHostMayDestroyTheControlInsideAnyEvent) {
  for (const Event victim : {Event::MouseDown, Event::MouseUp, Event::CloseWindow,
                             Event::MiniMouseMove, Event::MouseOut}) {
    Recorder h;
    auto control = std::make_unique<MacWindow>(h, 5940, 270);
    h.control = control.get();
    control->UserControl_Initialize();
    h.on_event = [&](Event e, MouseArgs&) {
      if (e == victim) control.reset();
    };
    control->MouseMove(Part::BuEnd, {0, 0, 1, 1});
    if (control) control->PointerDown(5, 5, 1, 0);
    if (control) control->PointerUp(5, 5, 1, 0, 0);
    if (control) control->TimerTick(-5, -5);
    EXPECT_FALSE(control);
    EXPECT_EQ(h.events.back(), victim);
  }
}

// ---------- Layout ----------

TEST(MacWindowLayout, EnforcesHeightAndMinimumWidthAndFillsTheBarWithAnyHost) {
  struct Case {
    double w, h;
    double finalW;
  } cases[] = {{1000, 500, 2000}, {1999, 270, 2000}, {2000, 270, 2000},
               {2001, 100, 2001}, {5940, 270, 5940}, {9000, 4000, 9000}};
  using R = Recorder::Reentry;
  for (const R reentry : {R::None, R::Echo, R::EchoWholePixels}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " reentry " << int(reentry));
      Recorder host;
      host.reentry = reentry;
      MacWindow mw(host, 5940, 270);
      host.control = &mw;
      mw.OnResized(c.w, c.h);
      EXPECT_EQ(mw.Width(), c.finalW);
      EXPECT_EQ(mw.Height(), 270);
      const Rect start = mw.Box(Part::BuStart), strip = mw.Box(Part::BuImg),
                 end = mw.Box(Part::BuEnd);
      EXPECT_EQ(strip.left, start.left + start.width);
      EXPECT_FLOAT_EQ(strip.left + strip.width, end.left);
      EXPECT_FLOAT_EQ(end.left + end.width, float(c.finalW / 15));
      EXPECT_GT(strip.width, 0);
      // The size is asked for once per dimension that needed correcting, height first.
      std::vector<std::pair<double, double>> asked;
      if (c.h != 270) asked.emplace_back(c.w, 270);
      if (c.w < 2000) asked.emplace_back(2000, 270);
      EXPECT_EQ(host.sizes, asked);
    }
  }
}

TEST(MacWindowLayout, AHostThatNeverSettlesStillEndsWithAConsistentBar) {
  Recorder host;
  host.reentry = Recorder::Reentry::RefuseHeight;  // always reports 300 twips high
  MacWindow mw(host);
  host.control = &mw;
  mw.OnResized(1000, 300);
  EXPECT_LT(host.sizes.size(), 40u);
  EXPECT_FLOAT_EQ(mw.Box(Part::BuImg).left + mw.Box(Part::BuImg).width, mw.Box(Part::BuEnd).left);
  EXPECT_FLOAT_EQ(mw.Box(Part::BuEnd).left + 24, mw.ScaleWidth());
}

TEST_F(MacWindowTest, TheMainWindowsBarAndItsCaptionAreCentredUnrounded) {
  EXPECT_FLOAT_EQ(mw.Box(Part::BuImg).left, 17);
  EXPECT_FLOAT_EQ(mw.Box(Part::BuImg).width, 355);
  EXPECT_FLOAT_EQ(mw.Box(Part::BuEnd).left, 372);
  struct Case {
    std::u16string caption;
    double width;
    float left, top;
  } cases[] = {
      {u"10101", 5940, 175.5f, 2.5f},                   // 45 x 13 px: halves kept
      {u"Vantrel", 5940, 166.5f, 2.5f},                 // 63 px
      {std::u16string(20, u'x'), 2000, (2000 / 15.0f - 180) / 2, 2.5f},  // 180 px: overflows
  };
  for (const Case& c : cases) {
    mw.SetCaption(c.caption);
    mw.OnResized(c.width, 270);
    EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).left, c.left);
    EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).top, c.top);
  }
  EXPECT_EQ(mw.HitTest(1, 9), Part::CaptionText);  // the wide caption lies over the close button
}

TEST_F(MacWindowTest, ACaptionSetAfterShowKeepsItsLeftEdgeUntilTheNextLayout) {
  const float left = mw.Box(Part::CaptionText).left;
  mw.SetCaption(u"A much longer caption");
  EXPECT_EQ(mw.Box(Part::CaptionText).left, left);
  EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).width, 21 * 9);
  EXPECT_EQ(host.changed, std::vector<std::u16string>{u"Caption"});

  mw.SetFont(std::make_shared<const FontDesc>(FontDesc{u"Arial", 10, 400, 0}));
  EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).left, (396 - 210) / 2.0f);
  EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).top, (18 - 14) / 2.0f);
  EXPECT_EQ(host.changed, (std::vector<std::u16string>{u"Caption", u"Font"}));

  mw.SetCaption(u"x");
  mw.UserControl_Show();
  EXPECT_FLOAT_EQ(mw.Box(Part::CaptionText).left, (396 - 10) / 2.0f);
}

TEST_F(MacWindowTest, HitTestPutsTheCaptionAboveTheBar) {
  const Rect caption = mw.Box(Part::CaptionText);  // 45 x 13 at (175.5, 2.5)
  struct Case {
    float x, y;
    Part part;
  } cases[] = {
      {0, 0, Part::BuStart},      {16.9f, 17.9f, Part::BuStart}, {17, 0, Part::BuImg},
      {371.9f, 0, Part::BuImg},   {372, 0, Part::BuEnd},         {395.9f, 17.9f, Part::BuEnd},
      {396, 5, Part::Surface},    {-0.1f, 5, Part::Surface},     {200, 9, Part::CaptionText},
      {caption.left - 0.1f, 9, Part::BuImg}, {200, 2.4f, Part::BuImg}, {200, 15.5f, Part::BuImg},
  };
  for (const Case& c : cases) EXPECT_EQ(mw.HitTest(c.x, c.y), c.part) << c.x << "," << c.y;
}

// ---------- Properties and persistence ----------

TEST_F(MacWindowTest, AssistiveTechnologyFindsTwoButtonsThatFollowThePointer) {
  // Where the pointer is, what a screen reader is told is there.
  EXPECT_EQ(AccChildAt(mw, 3, 9), kAccCloseButton);
  EXPECT_EQ(AccChildAt(mw, 390, 9), kAccMinimiseButton);
  EXPECT_EQ(AccChildAt(mw, 100, 9), kAccSelf);  // the strip
  EXPECT_EQ(AccChildAt(mw, 198, 9), kAccSelf);  // the caption over it
  EXPECT_EQ(AccChildAt(mw, 396, 9), std::nullopt);
  EXPECT_EQ(AccChildAt(mw, 3, -1), std::nullopt);
  EXPECT_EQ(AccRole(kAccCloseButton), kAccRolePushButton);
  EXPECT_EQ(AccRole(kAccSelf), kAccRoleTitleBar);
  EXPECT_EQ(AccNameId(kAccCloseButton), 10118);
  EXPECT_EQ(AccNameId(kAccMinimiseButton), 10119);
  EXPECT_EQ(AccPartOf(3), std::nullopt);
  // The states follow the pictures: hot under the pointer, pressed while held.
  EXPECT_EQ(AccState(mw, kAccCloseButton), 0);
  mw.PointerMove(3, 9, 0, 0);
  EXPECT_EQ(AccState(mw, kAccCloseButton), kAccStateHotTracked);
  mw.PointerDown(390, 9, kLeftButton, 0);
  EXPECT_EQ(AccState(mw, kAccMinimiseButton), kAccStatePressed);
  mw.SetEnabled(false);
  EXPECT_EQ(AccState(mw, kAccSelf), kAccStateUnavailable);
  // Navigation among the children, without wrapping.
  EXPECT_EQ(AccNavigate(kAccSelf, 7), kAccCloseButton);
  EXPECT_EQ(AccNavigate(kAccSelf, 8), kAccMinimiseButton);
  EXPECT_EQ(AccNavigate(kAccCloseButton, 5), kAccMinimiseButton);
  EXPECT_EQ(AccNavigate(kAccMinimiseButton, 5), std::nullopt);
  EXPECT_EQ(AccNavigate(kAccMinimiseButton, 3), kAccCloseButton);
}

TEST(MacWindowProperties, NewAndLoadedInstancesTakeTheirDefaultsFromTheHost) {
  PropertyBag textFont;
  textFont.WriteProperty(u"Font", std::u16string(u"SimSun"));
  PropertyBag boolCaption;
  boolCaption.WriteProperty(u"caption", true);
  PropertyBag enabledTrue;
  enabledTrue.WriteProperty(u"Enabled", true);
  struct Case {
    const char* name;
    std::optional<PropertyBag> bag;  // none: a new instance
    std::u16string caption;
    std::optional<FontDesc> font;  // none: the ambient font object itself
    bool throws = false;
  } cases[] = {
      {"new", std::nullopt, u"MacWindow1", std::nullopt},
      {"empty record", PropertyBag(), u"MacWindow1", std::nullopt},
      {"Enabled is not read", enabledTrue, u"MacWindow1", std::nullopt},
      {"main window", MainWindowStoredRecord(), u"10101", FontDesc{u"宋体", 9, 400, 134}},
      {"font stored as text", textFont, u"MacWindow1", std::nullopt, true},
      {"caption stored as boolean", boolCaption, u"", std::nullopt, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder host;
    MacWindow mw(host);
    host.control = &mw;
    mw.UserControl_Initialize();
    mw.SetEnabled(false);
    if (!c.bag) {
      mw.UserControl_InitProperties();
    } else if (c.throws) {
      // Refused as a whole: the caption and font stay as they were.
      const std::u16string caption = mw.Caption();
      const FontRef font = mw.Font();
      EXPECT_FALSE(mw.UserControl_ReadProperties(*c.bag));
      EXPECT_EQ(mw.Caption(), caption);
      EXPECT_EQ(mw.Font(), font);
      continue;
    } else {
      EXPECT_TRUE(mw.UserControl_ReadProperties(*c.bag));
    }
    EXPECT_EQ(mw.Enabled(), !c.bag.has_value());
    EXPECT_EQ(mw.Caption(), c.caption);
    if (c.font)
      EXPECT_EQ(*mw.Font(), *c.font);
    else
      EXPECT_EQ(mw.Font(), host.ambient_font);
    EXPECT_EQ(host.changed, (std::vector<std::u16string>{u"Caption", u"Font"}));
    const Rect caption = mw.Box(Part::CaptionText);  // the font's layout pass centred it
    EXPECT_FLOAT_EQ(caption.left, (mw.ScaleWidth() - caption.width) / 2);
  }
}

TEST(MacWindowProperties, WritesOnlyWhatDiffersFromTheDefaultsInOrder) {
  Recorder host;
  MacWindow mw(host);
  host.control = &mw;
  mw.UserControl_Initialize();
  mw.UserControl_InitProperties();
  PropertyBag bag;
  bag.WriteProperty(u"CAPTION", std::u16string(u"stale"));
  mw.UserControl_WriteProperties(bag);
  EXPECT_TRUE(bag.Entries().empty());

  mw.SetEnabled(false);
  mw.SetCaption(u"标题");
  mw.SetFont(std::make_shared<const FontDesc>(FontDesc{u"Tahoma", 8, 700, 0}));
  mw.UserControl_WriteProperties(bag);
  ASSERT_EQ(bag.Entries().size(), 3u);
  EXPECT_EQ(bag.Entries()[0].name, u"Enabled");
  EXPECT_EQ(bag.Entries()[1].name, u"Caption");
  EXPECT_EQ(bag.Entries()[2].name, u"Font");

  // What was saved loads back into a fresh instance.
  Recorder host2;
  MacWindow loaded(host2);
  EXPECT_TRUE(loaded.UserControl_ReadProperties(bag));
  EXPECT_EQ(loaded.Caption(), u"标题");
  EXPECT_EQ(loaded.Font()->weight, 700);
}

}  // namespace
}  // namespace vantrel::skin
