// MacWindow: the title-bar control of a borderless window, as a platform-free model.
//
// The bar is a close button (BuStart) at the left end, a stretched picture strip (BuImg) in the
// middle, a minimise button (BuEnd) at the right end, and a caption label (CaptionText) centred
// over them. The control never closes, minimises or moves a window itself: it raises events and
// the host decides what they mean.
//
// The model holds everything the control decides: the picture each bar widget shows, whether the
// 10 ms hover timer runs, the layout in pixels, the outer size in twips, the caption, the font and
// the enabled flag. Everything platform-bound goes through MacWindowHost. The Win32 adapter owns
// one child window, feeds mouse messages into the Pointer* functions (or the per-part inputs),
// runs SetTimer/KillTimer as TimerEnabledChanged says, feeds WM_TIMER into TimerTick with the
// cursor position in client pixels, reports WM_SIZE through OnResized and paints Box(part) with
// the picture PictureOf(part) and the caption text in Font().
//
// Units: the outer Width and Height are twips (15 to the pixel); everything inside the control
// is in pixels: ScaleWidth = Width / 15, ScaleHeight = Height / 15, ScaleLeft = ScaleTop = 0.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "skin/font_desc.h"
#include "skin/property_bag.h"

namespace vantrel::skin {

// The pictures of the bar. U_/M_/D_ are normal, hover and pressed; 1 is the close button,
// 2 the minimise button; WindowImg is the strip.
enum class Picture { U_Img1, M_Img1, D_Img1, U_Img2, M_Img2, D_Img2, WindowImg };

// What a mouse message hit: one of the bar's widgets, or the control's own surface.
enum class Part { BuStart, BuImg, BuEnd, CaptionText, Surface };

// The control's events; the value is the ordinal of the declaration, by which a framework
// dispatches them.
enum class Event {
  CloseWindow = 1,
  MiniWindow,
  MoveWindow,
  MouseOut,
  MouseDown,
  MouseMove,
  MouseUp,
  MiniMouseDown,
  MiniMouseMove,
  MiniMouseUp,
};

// Arguments of a mouse event, handed to the host by reference. Button: for a press or release
// the button concerned, for a move the buttons held (1 left, 2 right, 4 middle); Shift: the
// modifier keys (1 Shift, 2 Ctrl, 4 Alt); X, Y: pixels relative to the widget that was hit.
struct MouseArgs {
  std::int16_t Button = 0;
  std::int16_t Shift = 0;
  float X = 0;
  float Y = 0;
};

struct Rect {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

inline constexpr double kTwipsPerPixel = 15;
inline constexpr double kBarHeightTwips = 270;     // the only height the control keeps
inline constexpr double kMinWidthTwips = 2000;     // narrower sizes are raised to it
inline constexpr float kCloseButtonWidth = 17;     // BuStart, the size of its pictures
inline constexpr float kMiniButtonWidth = 24;      // BuEnd
inline constexpr float kBarHeight = 18;            // every bar picture
inline constexpr int kHoverTimerIntervalMs = 10;   // Timer1
inline constexpr std::int16_t kLeftButton = 1;

// Size of the control as it was designed (152 x 85 pixels), before the host sizes it.
inline constexpr double kDesignWidthTwips = 152 * kTwipsPerPixel;
inline constexpr double kDesignHeightTwips = 85 * kTwipsPerPixel;

// What the control needs from its host and framework. All calls come on the UI thread.
class MacWindowHost {
 public:
  // Raise an event to the host. The host may change args; the control reads Button again after
  // MouseMove and MiniMouseMove. Events without arguments get a scratch MouseArgs. The host may
  // destroy the control from inside the handler: the control touches nothing afterwards.
  virtual void RaiseEvent(Event e, MouseArgs& args) = 0;
  // A persisted property ("Caption", "Font") changed.
  virtual void PropertyChanged(std::u16string_view name) = 0;
  // The hover timer was started (true: SetTimer, kHoverTimerIntervalMs) or stopped (KillTimer).
  // Called on changes only.
  virtual void TimerEnabledChanged(bool running) = 0;
  // A bar widget now shows another picture: repaint.
  virtual void PicturesChanged() = 0;
  // A layout pass ran, or the caption text or its size changed: repaint.
  virtual void LayoutChanged() = 0;
  // Size the control's window to this outer size. A host may report the new size back through
  // OnResized before returning (as a window does with WM_SIZE); the model is correct either way.
  virtual void SetOuterSize(double widthTwips, double heightTwips) = 0;
  // Width and height in pixels of text drawn in font (the caption label sizes itself to them).
  virtual std::pair<float, float> MeasureCaption(std::u16string_view text, const FontRef& font) = 0;
  // The host's name for the instance ("MacWindow") and the host's font.
  virtual std::u16string AmbientDisplayName() = 0;
  virtual FontRef AmbientFont() = 0;

 protected:
  ~MacWindowHost() = default;
};

// The font the caption label has as designed: SimSun 9 pt bold, GB2312. Replaced by the
// InitProperties or ReadProperties hook before the control is first shown.
FontRef DesignFont();

// The record that the main window keeps for its instance "MacWindow": caption "10101", font
// SimSun 9 pt regular GB2312, extent 10478 x 476 HIMETRIC; no "Enabled" entry.
PropertyBag MainWindowStoredRecord();

class MacWindow {
 public:
  // The model starts as designed (152 x 85 pixels unless told otherwise, caption "MacWindow" in
  // DesignFont(), normal pictures, timer stopped, enabled) and calls the host only from the hooks
  // and inputs below.
  explicit MacWindow(MacWindowHost& host, double widthTwips = kDesignWidthTwips,
                     double heightTwips = kDesignHeightTwips);
  ~MacWindow();
  MacWindow(const MacWindow&) = delete;
  MacWindow& operator=(const MacWindow&) = delete;

  // Lifecycle hooks, in the order a framework calls them: Initialize; then InitProperties (new
  // instance) or ReadProperties (stored instance); Show. WriteProperties when the host saves.
  void UserControl_Initialize();
  void UserControl_InitProperties();
  // False, with nothing changed, when "Caption" is not text or "Font" is not a font.
  bool UserControl_ReadProperties(const PropertyBag& bag);
  void UserControl_WriteProperties(PropertyBag& bag);
  void UserControl_Show();
  // Lays the control out; run by OnResized and by the hooks above.
  void UserControl_Resize();

  // The framework reports the control's outer size (twips) -> UserControl_Resize. A size that
  // spans the same whole pixels as the one the model holds is the same size: the model keeps its
  // own finer figure (so 2000 twips reported back as 133 pixels = 1995 twips stay 2000). Values
  // that are not finite, negative or beyond 1e9 twips are ignored.
  void OnResized(double widthTwips, double heightTwips);

  // Properties.
  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string vNewCaption);
  const FontRef& Font() const { return font_; }
  void SetFont(FontRef vNewFont);
  // The control's own enabled state (the framework's UserControl.Enabled; true from creation,
  // nothing in this program clears it). Decides what RefreshButtons shows.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  // Mouse input per widget, X and Y relative to the widget hit. Widgets without a handler for an
  // input ignore it (the strip and caption handle presses only).
  void MouseDown(Part part, MouseArgs args);
  void MouseMove(Part part, MouseArgs args);
  void MouseUp(Part part, MouseArgs args);
  void Click(Part part);

  // Mouse input in control pixels, routed as the framework routes it to windowless widgets: a
  // press goes to the widget under the pointer, which then holds the mouse until every button is
  // up and receives the moves and the release wherever they happen; moves with no button held go
  // to the widget under the pointer. A left-button release over the widget pressed is a click
  // (after the release event). buttonsStillDown is the mask of buttons held after the release.
  // The adapter holds the system capture while HasCapture() and reports a lost capture (the host
  // takes it away to move the window) through PointerCaptureLost.
  void PointerDown(float x, float y, std::int16_t button, std::int16_t shift);
  void PointerMove(float x, float y, std::int16_t buttons, std::int16_t shift);
  void PointerUp(float x, float y, std::int16_t button, std::int16_t shift,
                 std::int16_t buttonsStillDown);
  void PointerCaptureLost() { captured_.reset(); }
  bool HasCapture() const { return captured_.has_value(); }

  // A tick of the hover timer, with the pointer in client pixels (GetCursorPos, ScreenToClient).
  // Ignored while the timer is stopped.
  void TimerTick(double clientX, double clientY);

  // The widget at (x, y) in control pixels: the caption above everything, then the buttons and
  // the strip; Surface where none is, and anywhere outside the control.
  Part HitTest(float x, float y) const;

  // State for painting and testing.
  Picture PictureOf(Part part) const;  // BuStart, BuEnd, BuImg; WindowImg for the others
  Rect Box(Part part) const;           // Surface: the whole control
  bool TimerRunning() const { return timerRunning_; }
  double Width() const { return width_; }    // twips
  double Height() const { return height_; }  // twips
  float ScaleWidth() const { return scaleWidth_; }
  float ScaleHeight() const { return scaleHeight_; }

 private:
  // Handlers, named by widget and event.
  void UserControl_MouseDown(MouseArgs& args);
  void UserControl_MouseUp(MouseArgs& args);
  void BuStart_MouseDown(MouseArgs& args);
  void BuStart_MouseMove(MouseArgs& args);
  void BuStart_MouseUp(MouseArgs& args);
  void BuStart_Click();
  void BuEnd_MouseDown(MouseArgs& args);
  void BuEnd_MouseMove(MouseArgs& args);
  void BuEnd_MouseUp(MouseArgs& args);
  void BuEnd_Click();
  void BuImg_MouseDown(MouseArgs& args);
  void CaptionText_MouseDown(MouseArgs& args);
  void Timer1_Timer(double x, double y);

  void ButtonMouseMove(Picture& shown, float boxWidth, Event e, Picture pressed, Picture hover,
                       MouseArgs& args);
  void ShowNormalButtons();
  void ShowHoverButtons();
  void RefreshButtons();
  void Show(Picture& shown, Picture picture);
  void SetTimerEnabled(bool running);
  // Raises e; false when the host destroyed the control meanwhile.
  bool Raise(Event e, MouseArgs& args);
  void MeasureCaptionLabel();
  void SetOuterHeight(double heightTwips);
  void SetOuterWidth(double widthTwips);
  MouseArgs ArgsFor(Part part, float x, float y, std::int16_t button, std::int16_t shift) const;
  void StoreSize(double widthTwips, double heightTwips);

  MacWindowHost& host_;
  // The outer size and the pixel scale are only changed together, by StoreSize. The scale is
  // kept rounded to float once, not converted on each read: g++ 12 at -O2 drops the narrowing
  // of a (double)(float)(x / 15.0) pair when it vectorises two such reads.
  double width_ = 0;   // twips
  double height_ = 0;  // twips
  float scaleWidth_ = 0;
  float scaleHeight_ = 0;
  Rect buStart_{0, 0, kCloseButtonWidth, kBarHeight};
  Rect buImg_{20, 0, 23, kBarHeight};
  Rect buEnd_{48, 0, kMiniButtonWidth, kBarHeight};
  Rect captionBox_{86, 7, 65, 12};
  Picture buStartPicture_ = Picture::U_Img1;
  Picture buEndPicture_ = Picture::U_Img2;
  Picture buImgPicture_ = Picture::WindowImg;
  std::u16string caption_ = u"MacWindow";
  FontRef font_;
  bool enabled_ = true;
  bool timerRunning_ = false;
  int resizeDepth_ = 0;
  std::optional<Part> captured_;
  std::shared_ptr<char> alive_{new char()};  // not make_shared: see MakeFont
};

}  // namespace vantrel::skin
