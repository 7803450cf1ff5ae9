// The title-bar control on Windows: what it draws (read back through WM_PRINTCLIENT), the events and
// pictures that mouse messages produce, the mouse capture, the hover timer against the real pointer,
// and the control on the main window: close, minimise and window moves driven by real X input.
#include <gtest/gtest.h>
#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window_win32.h"
#include "resources/artwork.h"
#include "runtime/bitmaps.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "skin/mac_window_win32.h"
#include "tests/win/main_window_fixture.h"
#include "tests/win/win_test_support.h"

namespace vantrel::skin {
namespace {

using resources::TitleBarPicture;
using resources::TitlePicture;
using wintest::PumpMessages;
using wintest::WaitUntil;
using Events = std::vector<Event>;

constexpr int kWidth = 396, kHeight = 18;  // the control as the main window places it
constexpr int kMiniLeft = kWidth - 24;

FontRef StoredFont() { return std::make_shared<const FontDesc>(FontDesc{u"宋体", 9, 400, 134}); }

// ---------- reading back what the control draws ----------

struct Pixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> data;
  std::uint32_t at(int x, int y) const { return data[static_cast<std::size_t>(y * width + x)] & 0xFFFFFFu; }
};

// The control's client area as it paints it, into a 32-bit memory bitmap.
Pixels PrintClient(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  Pixels pixels{client.right, client.bottom, {}};
  BITMAPINFO info = runtime::TopDownDib(pixels.width, pixels.height);
  void* bits = nullptr;
  runtime::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  runtime::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dc || !bitmap || !bits) return pixels;
  {
    runtime::SelectObjectScope select(dc.get(), bitmap.get());
    SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
  }
  const auto* p = static_cast<const std::uint32_t*>(bits);
  pixels.data.assign(p, p + static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height));
  return pixels;
}

// Pixels of the area [left, left + picture width) that differ from the picture, the strip being the
// picture stretched over [left, right).
int Mismatches(const Pixels& shown, int left, int right, TitlePicture which) {
  const resources::Image picture = TitleBarPicture(which);
  int wrong = 0;
  for (int y = 0; y < shown.height; ++y)
    for (int x = left; x < right; ++x) {
      const int px = which == TitlePicture::WindowImg ? 0 : x - left;
      if (shown.at(x, y) != (picture.at(px, y) & 0xFFFFFFu)) ++wrong;
    }
  return wrong;
}

int CloseButtonMismatches(const Pixels& shown, TitlePicture which) { return Mismatches(shown, 0, 17, which); }
int MiniButtonMismatches(const Pixels& shown, TitlePicture which) {
  return Mismatches(shown, kMiniLeft, kWidth, which);
}

SIZE TextExtent(HFONT font, const std::u16string& text) {
  runtime::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  runtime::SelectObjectScope select(dc.get(), font);
  const std::wstring wide = runtime::Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &size);
  return size;
}

// ---------- a control on a window of the test's own ----------

struct Raised {
  Event event;
  MouseArgs args;
};

class Recorder final : public MacWindowEvents {
 public:
  void MacWindowEvent(Event e, MouseArgs& args) override {
    raised.push_back({e, args});
    if (onEvent) onEvent(e, args);
  }
  Events Seen() const {
    Events events;
    for (const Raised& r : raised) events.push_back(r.event);
    return events;
  }
  std::vector<Raised> raised;
  std::function<void(Event, MouseArgs&)> onEvent;
};

constexpr wchar_t kParentClass[] = L"MacWindowTestParent";

class ControlTest : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = kParentClass;
    RegisterClassExW(&wc);
    parent_ = CreateWindowExW(0, kParentClass, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100, 420, 120,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    MacWindowControl::Site site;
    site.parent = parent_;
    site.left = 5;
    site.top = 2;
    site.width = kWidth;
    site.height = kHeight;
    site.displayName = u"MacWindow";
    site.ambientFont = StoredFont();
    site.events = &events_;
    control_ = MacWindowControl::Create(GetModuleHandleW(nullptr), site);
    ASSERT_TRUE(control_);
    // As the main window loads it: the stored record, then the caption from the string table, then shown.
    control_->ReadProperties(MainWindowStoredRecord());
    control_->SetCaption(u"Vantrel");
    control_->Show();
    PumpMessages();
    events_.raised.clear();
  }
  void TearDown() override {
    control_.reset();
    if (parent_) DestroyWindow(parent_);
  }

  HWND hwnd() const { return control_->hwnd(); }
  const MacWindow& model() const { return control_->Model(); }
  void Send(UINT message, WPARAM flags, int x, int y) {
    SendMessageW(hwnd(), message, flags, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
  void LeftClick(int x, int y) {
    Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
    Send(WM_LBUTTONUP, 0, x, y);
  }
  POINT OnScreen(int x, int y) const {
    POINT p{x, y};
    ClientToScreen(hwnd(), &p);
    return p;
  }

  HWND parent_ = nullptr;
  Recorder events_;
  std::unique_ptr<MacWindowControl> control_;
};

TEST_F(ControlTest, DrawsTheBarAndTheCentredCaptionInTheStoredFont) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  EXPECT_EQ(client.right, kWidth);
  EXPECT_EQ(client.bottom, kHeight);
  EXPECT_TRUE(IsWindowVisible(hwnd()));

  // The font of the stored record, made for the screen's resolution.
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(control_->CaptionFont(), sizeof lf, &lf), static_cast<int>(sizeof lf));
  EXPECT_STREQ(lf.lfFaceName, L"宋体");
  EXPECT_EQ(lf.lfWeight, 400);
  EXPECT_EQ(lf.lfCharSet, 134);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(lf.lfHeight, -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);

  // The caption was set after loading; showing the control centred it at the size it has in that font.
  const SIZE text = TextExtent(control_->CaptionFont(), u"Vantrel");
  const Rect caption = model().Box(Part::CaptionText);
  EXPECT_FLOAT_EQ(caption.width, static_cast<float>(text.cx));
  EXPECT_FLOAT_EQ(caption.height, static_cast<float>(text.cy));
  EXPECT_FLOAT_EQ(caption.left, (kWidth - text.cx) / 2.0f);
  EXPECT_FLOAT_EQ(caption.top, (kHeight - text.cy) / 2.0f);

  // Close button, strip and minimise button edge to edge, exactly the pictures; the caption's text is
  // drawn in the window-text colour over the strip and nothing else is drawn anywhere.
  const Pixels shown = PrintClient(hwnd());
  ASSERT_EQ(shown.width, kWidth);
  EXPECT_EQ(CloseButtonMismatches(shown, TitlePicture::U_Img1), 0);
  EXPECT_EQ(MiniButtonMismatches(shown, TitlePicture::U_Img2), 0);
  const int captionLeft = static_cast<int>(std::lround(caption.left));
  const int captionRight = captionLeft + text.cx;
  EXPECT_EQ(Mismatches(shown, 17, captionLeft, TitlePicture::WindowImg), 0);
  EXPECT_EQ(Mismatches(shown, captionRight, kMiniLeft, TitlePicture::WindowImg), 0);
  const COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
  const std::uint32_t inkPixel = (GetRValue(ink) << 16) | (GetGValue(ink) << 8) | GetBValue(ink);
  int inked = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = captionLeft; x < captionRight; ++x) inked += shown.at(x, y) == inkPixel;
  EXPECT_GT(inked, 20) << "the caption's text is not drawn";
}

TEST_F(ControlTest, ButtonsFollowTheMouseAndRaiseTheirEvents) {
  // Hover over the close button: its event with the button-relative position, the hover picture, the timer.
  Send(WM_MOUSEMOVE, 0, 8, 9);
  ASSERT_EQ(events_.Seen(), Events{Event::MouseMove});
  EXPECT_FLOAT_EQ(events_.raised[0].args.X, 8);
  EXPECT_EQ(events_.raised[0].args.Button, 0);
  EXPECT_EQ(model().PictureOf(Part::BuStart), Picture::M_Img1);
  EXPECT_EQ(CloseButtonMismatches(PrintClient(hwnd()), TitlePicture::M_Img1), 0);
  EXPECT_TRUE(model().TimerRunning());

  // Pressed with Shift held: pressed picture, the mouse is the control's until release.
  events_.raised.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, 8, 9);
  ASSERT_EQ(events_.Seen(), Events{Event::MouseDown});
  EXPECT_EQ(events_.raised[0].args.Button, 1);
  EXPECT_EQ(events_.raised[0].args.Shift, 1);
  EXPECT_EQ(CloseButtonMismatches(PrintClient(hwnd()), TitlePicture::D_Img1), 0);
  EXPECT_EQ(GetCapture(), hwnd());
  // Dragged off the control and released there: still the close button's release, but no click.
  Send(WM_MOUSEMOVE, MK_LBUTTON, 250, 40);
  Send(WM_LBUTTONUP, 0, 250, 40);
  EXPECT_EQ(events_.Seen(), (Events{Event::MouseDown, Event::MouseUp}));
  EXPECT_FLOAT_EQ(events_.raised[1].args.X, 250);
  EXPECT_FLOAT_EQ(events_.raised[1].args.Y, 40);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(model().PictureOf(Part::BuStart), Picture::M_Img1);

  // A right click is no click; a left click closes.
  events_.raised.clear();
  Send(WM_RBUTTONDOWN, MK_RBUTTON, 8, 9);
  Send(WM_RBUTTONUP, 0, 8, 9);
  LeftClick(8, 9);
  EXPECT_EQ(events_.Seen(), (Events{Event::MouseDown, Event::MouseUp, Event::MouseDown, Event::MouseUp,
                                    Event::CloseWindow}));
  EXPECT_EQ(events_.raised[0].args.Button, 2);

  // The minimise button: its own events, pressed while down, normal after the release.
  events_.raised.clear();
  Send(WM_MOUSEMOVE, 0, kMiniLeft + 5, 9);
  EXPECT_EQ(MiniButtonMismatches(PrintClient(hwnd()), TitlePicture::M_Img2), 0);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, kMiniLeft + 5, 9);
  EXPECT_EQ(MiniButtonMismatches(PrintClient(hwnd()), TitlePicture::D_Img2), 0);
  Send(WM_LBUTTONUP, 0, kMiniLeft + 5, 9);
  EXPECT_EQ(MiniButtonMismatches(PrintClient(hwnd()), TitlePicture::U_Img2), 0);
  EXPECT_EQ(events_.Seen(),
            (Events{Event::MiniMouseMove, Event::MiniMouseDown, Event::MiniMouseUp, Event::MiniWindow}));
  EXPECT_FLOAT_EQ(events_.raised[0].args.X, 5);
  // The close button kept its hover picture: only the timer puts it back.
  EXPECT_EQ(model().PictureOf(Part::BuStart), Picture::M_Img1);
}

TEST_F(ControlTest, PressOnStripOrCaptionAsksForAMoveWithAnyButton) {
  const Rect caption = model().Box(Part::CaptionText);
  const int cx = static_cast<int>(caption.left) + 3, cy = 9;
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 100, 5);
  Send(WM_LBUTTONUP, 0, 100, 5);
  Send(WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, cx, cy);
  Send(WM_RBUTTONUP, 0, cx, cy);
  Send(WM_MBUTTONDOWN, MK_MBUTTON, 300, 9);
  Send(WM_MBUTTONUP, 0, 300, 9);
  ASSERT_EQ(events_.Seen(), (Events{Event::MoveWindow, Event::MoveWindow, Event::MoveWindow}));
  EXPECT_FLOAT_EQ(events_.raised[0].args.X, 100 - 17);  // relative to the strip
  EXPECT_EQ(events_.raised[0].args.Button, 1);
  EXPECT_FLOAT_EQ(events_.raised[1].args.X, cx - caption.left);  // relative to the caption
  EXPECT_EQ(events_.raised[1].args.Button, 2);
  EXPECT_EQ(events_.raised[1].args.Shift, 2);
  EXPECT_EQ(events_.raised[2].args.Button, 4);
  EXPECT_EQ(model().PictureOf(Part::BuStart), Picture::U_Img1);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ControlTest, AMoveOrAnyOtherLossOfTheMouseEndsThePress) {
  // The host moves the window as the main window does: it takes the mouse away inside the event, and the
  // system's move swallows the release.
  events_.onEvent = [](Event e, MouseArgs&) {
    if (e == Event::MoveWindow) ReleaseCapture();
  };
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 100, 5);
  EXPECT_FALSE(model().HasCapture());
  EXPECT_NE(GetCapture(), hwnd());
  // The next press goes to the part under the pointer, not to the strip pressed before.
  LeftClick(8, 9);
  EXPECT_EQ(events_.Seen(), (Events{Event::MoveWindow, Event::MouseDown, Event::MouseUp, Event::CloseWindow}));

  // Another window takes the mouse while the close button is held.
  events_.raised.clear();
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 8, 9);
  EXPECT_EQ(GetCapture(), hwnd());
  SetCapture(parent_);
  EXPECT_FALSE(model().HasCapture());
  ReleaseCapture();
  LeftClick(kMiniLeft + 5, 9);
  EXPECT_EQ(events_.Seen(),
            (Events{Event::MouseDown, Event::MiniMouseDown, Event::MiniMouseUp, Event::MiniWindow}));
}

// Counts the hover timer's ticks as the message loop takes them.
std::atomic<int> g_ticks{0};
HWND g_ticking = nullptr;
LRESULT CALLBACK CountTicks(int code, WPARAM wParam, LPARAM lParam) {
  const auto* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->message == WM_TIMER && msg->hwnd == g_ticking) ++g_ticks;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool PointerAt(POINT p) {
  SetCursorPos(p.x, p.y);
  return WaitUntil([&] {
    POINT now{};
    GetCursorPos(&now);
    return now.x == p.x && now.y == p.y;
  });
}

int Count(const Events& events, Event e) { return static_cast<int>(std::count(events.begin(), events.end(), e)); }

TEST_F(ControlTest, HoverTimerRunsWhileThePointerIsOverTheBarAndStopsOnceItLeaves) {
  g_ticks = 0;
  g_ticking = hwnd();
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, CountTicks, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);

  ASSERT_TRUE(PointerAt(OnScreen(8, 9)));
  Send(WM_MOUSEMOVE, 0, 8, 9);
  Send(WM_MOUSEMOVE, 0, kMiniLeft + 5, 9);
  ASSERT_TRUE(model().TimerRunning());
  EXPECT_TRUE(WaitUntil([] { return g_ticks >= 5; }));
  // On to the strip and the caption: still over the control, both buttons keep their hover pictures.
  ASSERT_TRUE(PointerAt(OnScreen(200, 9)));
  const int before = g_ticks;
  EXPECT_TRUE(WaitUntil([&] { return g_ticks >= before + 5; }));
  ASSERT_TRUE(PointerAt(OnScreen(kWidth, kHeight)));  // the bottom-right edge is still inside
  const int atEdge = g_ticks;
  EXPECT_TRUE(WaitUntil([&] { return g_ticks >= atEdge + 5; }));
  EXPECT_EQ(Count(events_.Seen(), Event::MouseOut), 0);
  EXPECT_EQ(model().PictureOf(Part::BuStart), Picture::M_Img1);
  EXPECT_EQ(model().PictureOf(Part::BuEnd), Picture::M_Img2);

  // Leaving: one MouseOut at the next tick, normal pictures, and the timer is gone.
  ASSERT_TRUE(PointerAt(OnScreen(200, 60)));
  EXPECT_TRUE(WaitUntil([&] { return Count(events_.Seen(), Event::MouseOut) > 0; }));
  EXPECT_FALSE(model().TimerRunning());
  EXPECT_FALSE(KillTimer(hwnd(), 1)) << "the hover timer still runs";
  PumpMessages();
  EXPECT_EQ(Count(events_.Seen(), Event::MouseOut), 1);
  const Pixels shown = PrintClient(hwnd());
  EXPECT_EQ(CloseButtonMismatches(shown, TitlePicture::U_Img1), 0);
  EXPECT_EQ(MiniButtonMismatches(shown, TitlePicture::U_Img2), 0);
  UnhookWindowsHookEx(hook);
}

TEST_F(ControlTest, PicturesAndFontAreMadeOnceNotPerMoveOrPaint) {
  const HFONT font = control_->CaptionFont();
  for (int i = 0; i < 20; ++i) {
    Send(WM_MOUSEMOVE, 0, i % 2 ? 8 : kMiniLeft + 5, 9);
    PrintClient(hwnd());
  }
  EXPECT_EQ(control_->CaptionFont(), font);
  // A new caption in the same font is measured with it; a new font replaces it, once.
  control_->SetCaption(u"WIM 镜像挂载");
  EXPECT_EQ(control_->CaptionFont(), font);
  control_->SetFont(std::make_shared<const FontDesc>(FontDesc{u"宋体", 12, 700, 134}));
  const HFONT bigger = control_->CaptionFont();
  EXPECT_NE(bigger, nullptr);
  LOGFONTW lf{};
  GetObjectW(bigger, sizeof lf, &lf);
  EXPECT_EQ(lf.lfWeight, 700);
  PrintClient(hwnd());
  EXPECT_EQ(control_->CaptionFont(), bigger);
  // The font assignment laid the control out again: the longer caption is centred in the new font.
  const SIZE text = TextExtent(bigger, u"WIM 镜像挂载");
  EXPECT_FLOAT_EQ(model().Box(Part::CaptionText).left, (kWidth - text.cx) / 2.0f);
}

// ---------- the control on the main window ----------

std::vector<Event> g_observed;
int g_ended = 0;
bool g_mainAliveAtEnd = false;
HWND g_main = nullptr;
void Observe(HWND, Event e, const MouseArgs&) { g_observed.push_back(e); }
void RecordEnd() {
  ++g_ended;
  g_mainAliveAtEnd = IsWindow(g_main) != FALSE;
}

class MainWindowTitleBar : public wintest::MainWindowFixture {
 protected:
  void BeforeOpen() override {
    g_observed.clear();
    g_ended = 0;
    runtime::TestSeam().endProgram = &RecordEnd;
    runtime::TestSeam().titleBarEvent = &Observe;
  }
  void AfterOpen() override {
    g_main = main_;
    ASSERT_NE(window_->TitleBar(), nullptr);
    bar_ = window_->TitleBar()->hwnd();
    PumpMessages();
    g_observed.clear();
  }
  void Send(UINT message, WPARAM flags, int x, int y) {
    SendMessageW(bar_, message, flags, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  }
  RECT Frame() const {
    RECT r{};
    GetWindowRect(g_main, &r);
    return r;
  }

  HWND bar_ = nullptr;
};

TEST_F(MainWindowTitleBar, IsLoadedFromItsRecordAndShowsTheCaptionCentred) {
  EXPECT_EQ(window_->Control(ControlId::MacWindow), bar_);
  EXPECT_EQ(GetParent(bar_), g_main);
  EXPECT_TRUE(IsWindowVisible(bar_));
  RECT r{};
  GetWindowRect(bar_, &r);
  MapWindowPoints(HWND_DESKTOP, g_main, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right - r.left, kWidth);
  EXPECT_EQ(r.bottom - r.top, kHeight);

  const MacWindowControl& bar = *window_->TitleBar();
  EXPECT_EQ(runtime::Wide(bar.Caption()), runtime::LoadResString(10101));
  ASSERT_TRUE(bar.Font());
  EXPECT_EQ(*bar.Font(), *StoredFont());
  const SIZE text = TextExtent(bar.CaptionFont(), bar.Caption());
  EXPECT_FLOAT_EQ(bar.Model().Box(Part::CaptionText).left, (kWidth - text.cx) / 2.0f);
  EXPECT_EQ(bar.Model().PictureOf(Part::BuStart), Picture::U_Img1);
  EXPECT_EQ(bar.Model().PictureOf(Part::BuEnd), Picture::U_Img2);
}

// What a screen reader reads, through the system's accessibility API as a client reads it.
struct Accessible {
  IAccessible* object = nullptr;
  // The interface id is the header's own: MinGW-w64's import library carries a wrong IID_IAccessible
  // for x86-64.
  Accessible(HWND window, LONG id) {
    AccessibleObjectFromWindow(window, static_cast<DWORD>(id), __uuidof(IAccessible), reinterpret_cast<void**>(&object));
  }
  ~Accessible() {
    if (object) object->Release();
  }
  static VARIANT Child(LONG id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
  }
  static std::wstring Take(HRESULT hr, BSTR text) {
    std::wstring s = SUCCEEDED(hr) && text ? std::wstring(text, SysStringLen(text)) : L"<none>";
    SysFreeString(text);
    return s;
  }
  std::wstring Name(LONG child) const {
    BSTR text = nullptr;
    const HRESULT hr = object->get_accName(Child(child), &text);
    return Take(hr, text);
  }
  std::wstring Action(LONG child) const {
    BSTR text = nullptr;
    const HRESULT hr = object->get_accDefaultAction(Child(child), &text);
    return Take(hr, text);
  }
  LONG Role(LONG child) const {
    VARIANT v;
    VariantInit(&v);
    return SUCCEEDED(object->get_accRole(Child(child), &v)) && v.vt == VT_I4 ? v.lVal : -1;
  }
};

TEST_F(MainWindowTitleBar, ScreenReadersReadTheButtonsNamesAndRolesAndCanPressThem) {
  // The window is named by its title bar's caption (Wine's window object names nothing; its client object
  // reads the window's name as Windows' does).
  Accessible window(g_main, OBJID_CLIENT);
  ASSERT_NE(window.object, nullptr);
  EXPECT_EQ(window.Name(CHILDID_SELF), runtime::LoadResString(10101));

  Accessible bar(bar_, OBJID_CLIENT);
  ASSERT_NE(bar.object, nullptr);
  LONG count = 0;
  EXPECT_EQ(bar.object->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(bar.Name(CHILDID_SELF), runtime::LoadResString(10101));
  EXPECT_EQ(bar.Role(CHILDID_SELF), ROLE_SYSTEM_TITLEBAR);
  EXPECT_EQ(bar.Name(1), L"关闭");
  EXPECT_EQ(bar.Name(2), L"最小化");
  for (LONG child : {1, 2}) {
    EXPECT_EQ(bar.Role(child), ROLE_SYSTEM_PUSHBUTTON) << child;
    EXPECT_EQ(bar.Action(child), L"按下") << child;
  }
  EXPECT_EQ(bar.Name(3), L"<none>");

  // Where each button is on the screen, and which one is found there.
  RECT barOnScreen{};
  GetWindowRect(bar_, &barOnScreen);
  for (LONG child : {1, 2}) {
    LONG left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(bar.object->accLocation(&left, &top, &width, &height, Accessible::Child(child)), S_OK);
    EXPECT_EQ(top, barOnScreen.top);
    EXPECT_EQ(height, kHeight);
    EXPECT_EQ(left, child == 1 ? barOnScreen.left : barOnScreen.right - 24) << child;
    EXPECT_EQ(width, child == 1 ? 17 : 24) << child;
    VARIANT found;
    VariantInit(&found);
    ASSERT_EQ(bar.object->accHitTest(left + width / 2, top + height / 2, &found), S_OK);
    EXPECT_EQ(found.vt, VT_I4);
    EXPECT_EQ(found.lVal, child);
  }

  // The default action presses the button: the minimise button minimises the window.
  EXPECT_EQ(bar.object->accDoDefaultAction(Accessible::Child(2)), S_OK);
  EXPECT_TRUE(WaitUntil([] { return IsIconic(g_main) != FALSE; }));
  EXPECT_EQ(g_observed, (Events{Event::MiniWindow}));
  ShowWindow(g_main, SW_RESTORE);
  PumpMessages();

  // Each text box is announced with its label's text.
  for (const auto& [box, label] : {std::pair{"WIMPath", 10104}, std::pair{"WIMindex", 10105},
                                   std::pair{"MountPath", 10107}, std::pair{"WIM_Info", 10116}}) {
    Accessible field(Ctl(box), OBJID_CLIENT);
    ASSERT_NE(field.object, nullptr) << box;
    EXPECT_EQ(field.Name(CHILDID_SELF), runtime::LoadResString(label)) << box;
  }
}

TEST_F(MainWindowTitleBar, CloseButtonEndsTheProgramAfterItsEventsInOrder) {
  Send(WM_LBUTTONDOWN, MK_LBUTTON, 8, 9);
  EXPECT_EQ(g_ended, 0);
  Send(WM_LBUTTONUP, 0, 8, 9);
  EXPECT_EQ(g_observed, (Events{Event::MouseDown, Event::MouseUp, Event::CloseWindow}));
  EXPECT_EQ(g_ended, 1);
  EXPECT_FALSE(g_mainAliveAtEnd) << "the window goes before the program ends";
  EXPECT_EQ(window_->hwnd(), nullptr);
  EXPECT_EQ(window_->TitleBar()->hwnd(), nullptr);
}

TEST_F(MainWindowTitleBar, MinimiseButtonMinimisesTheWindow) {
  Send(WM_LBUTTONDOWN, MK_LBUTTON, kMiniLeft + 5, 9);
  EXPECT_FALSE(IsIconic(g_main));
  Send(WM_LBUTTONUP, 0, kMiniLeft + 5, 9);
  EXPECT_EQ(g_observed, (Events{Event::MiniMouseDown, Event::MiniMouseUp, Event::MiniWindow}));
  EXPECT_TRUE(WaitUntil([] { return IsIconic(g_main) != FALSE; }));
  EXPECT_EQ(g_ended, 0);
  ShowWindow(g_main, SW_RESTORE);
}

// Real X input from a second thread while this one runs the message loop (and the window moves inside it).
class XInput {
 public:
  // Runs `script` on its own thread; when it fails, xdotool is given `cleanup` so that no move loop is left
  // waiting for input that will not come.
  XInput(std::function<bool()> script, std::wstring cleanup) : script_(std::move(script)), cleanup_(std::move(cleanup)) {
    thread_ = CreateThread(nullptr, 0, &XInput::Run, this, 0, nullptr);
  }
  ~XInput() {
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
  }
  XInput(const XInput&) = delete;
  XInput& operator=(const XInput&) = delete;
  bool Finished() const { return done_; }
  bool Succeeded() const { return ok_; }

  static bool Xdotool(const std::wstring& args);
  // Polls a condition from the input thread (it has no windows of its own to serve).
  static bool Poll(const std::function<bool()>& done) {
    for (int i = 0; i < 1000; ++i, Sleep(10))
      if (done()) return true;
    return false;
  }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<XInput*>(param);
    self->ok_ = self->script_();
    if (!self->ok_) Xdotool(self->cleanup_);
    self->done_ = true;
    return 0;
  }
  std::function<bool()> script_;
  std::wstring cleanup_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> done_{false}, ok_{false};
};

// Wine starts a Linux program but gives no process handle to wait on, so xdotool runs under /bin/sh, which
// leaves its exit status in a file under /tmp when it is done.
bool XInput::Xdotool(const std::wstring& args) {
  static std::atomic<int> serial{0};
  const std::wstring name = L"vantrel-mac-window-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++serial);
  const std::wstring marker = L"Z:\\tmp\\" + name;
  DeleteFileW(marker.c_str());
  std::wstring line = L"\"Z:\\bin\\sh\" -c \"xdotool " + args + L"; echo $? > /tmp/" + name + L".part && mv /tmp/" +
                      name + L".part /tmp/" + name + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  bool done = Poll([&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; });
  char status[8] = {};
  if (done) {
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD read = 0;
    if (file != INVALID_HANDLE_VALUE) {
      ReadFile(file, status, sizeof status - 1, &read, nullptr);
      CloseHandle(file);
    }
  }
  DeleteFileW(marker.c_str());
  return done && status[0] == '0';
}

std::wstring Pos(POINT p) { return std::to_wstring(p.x) + L" " + std::to_wstring(p.y); }

RECT FrameOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

std::atomic<int> g_moveRequests{0};
std::atomic<int> g_closeMoves{0};
void ObserveMoves(HWND, Event e, const MouseArgs&) {
  g_observed.push_back(e);
  if (e == Event::MoveWindow) ++g_moveRequests;
  if (e == Event::MouseMove) ++g_closeMoves;
}

TEST_F(MainWindowTitleBar, DraggingTheCaptionWithEitherButtonMovesTheWindowUntilReleased) {
  runtime::TestSeam().titleBarEvent = &ObserveMoves;
  g_moveRequests = 0;
  g_closeMoves = 0;
  const RECT start = Frame();
  POINT grip{0, 9};
  grip.x = static_cast<LONG>(window_->TitleBar()->Model().Box(Part::CaptionText).left) + 5;
  ClientToScreen(bar_, &grip);
  const HWND main = g_main;

  XInput left([&] {
    return XInput::Xdotool(L"mousemove " + Pos(grip)) && XInput::Xdotool(L"mousedown 1") &&
           XInput::Poll([] { return g_moveRequests == 1; }) &&
           XInput::Xdotool(L"mousemove " + Pos({grip.x + 40, grip.y + 30})) &&
           XInput::Poll([&] { return FrameOf(main).left == start.left + 40; }) && XInput::Xdotool(L"mouseup 1");
  }, L"mouseup 1");
  ASSERT_TRUE(WaitUntil([&] { return left.Finished(); }, std::chrono::seconds(40)));
  ASSERT_TRUE(left.Succeeded());
  EXPECT_TRUE(WaitUntil([&] { return Frame().top == start.top + 30; }));
  EXPECT_EQ(Frame().left, start.left + 40);
  EXPECT_FALSE(window_->TitleBar()->Model().HasCapture()) << "the move took the mouse; the press is over";

  // The right button: the window follows while it is held and stays where it was let go. The pointer then
  // goes on to the close button, whose move event shows that the bar has the mouse again.
  const RECT moved = Frame();
  const POINT grip2{grip.x + 40, grip.y + 30};
  POINT closeButton{8, 9};
  ClientToScreen(bar_, &closeButton);
  XInput right([&] {
    return XInput::Xdotool(L"mousemove " + Pos(grip2)) && XInput::Xdotool(L"mousedown 3") &&
           XInput::Poll([] { return g_moveRequests == 2; }) &&
           XInput::Xdotool(L"mousemove " + Pos({grip2.x - 30, grip2.y - 20})) &&
           XInput::Poll([&] { return FrameOf(main).left == moved.left - 30; }) && XInput::Xdotool(L"mouseup 3") &&
           XInput::Xdotool(L"mousemove " + Pos({closeButton.x - 30, closeButton.y - 20})) &&
           XInput::Poll([] { return g_closeMoves > 0; });
  }, L"key Escape");
  ASSERT_TRUE(WaitUntil([&] { return right.Finished(); }, std::chrono::seconds(40)));
  EXPECT_TRUE(right.Succeeded());
  EXPECT_EQ(Frame().left, moved.left - 30);
  EXPECT_EQ(Frame().top, moved.top - 20);
  EXPECT_EQ(g_moveRequests, 2);
}

}  // namespace
}  // namespace vantrel::skin
