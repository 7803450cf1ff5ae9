#include "skin/mac_window.h"

#include <cmath>

namespace vantrel::skin {

namespace {

// Passes nested deeper than this (a host that never settles on the size asked for) lay out with
// the size they were given and ask for no other; a host that re-enters normally nests three deep.
constexpr int kMaxResizeDepth = 4;
constexpr double kMaxTwips = 1e9;

bool SaneTwips(double v) { return std::isfinite(v) && v >= 0 && v <= kMaxTwips; }

float SaneExtent(float v) { return std::isfinite(v) && v >= 0 ? v : 0.0f; }

long WholePixels(double twips) { return std::lround(twips / kTwipsPerPixel); }

bool Within(const Rect& r, float x, float y) {
  return x >= r.left && y >= r.top && x < r.left + r.width && y < r.top + r.height;
}

}  // namespace

FontRef DesignFont() {
  return MakeFont({u"宋体", 9, 700, 134});
}

PropertyBag MainWindowStoredRecord() {
  PropertyBag bag;
  bag.WriteProperty(u"_ExtentX", std::int32_t{10478});
  bag.WriteProperty(u"_ExtentY", std::int32_t{476});
  bag.WriteProperty(u"Caption", std::u16string(u"10101"));
  bag.WriteProperty(u"Font", MakeFont({u"宋体", 9, 400, 134}));
  return bag;
}

MacWindow::MacWindow(MacWindowHost& host, double widthTwips, double heightTwips)
    : host_(host), font_(DesignFont()) {
  StoreSize(SaneTwips(widthTwips) ? widthTwips : kDesignWidthTwips,
            SaneTwips(heightTwips) ? heightTwips : kDesignHeightTwips);
}

MacWindow::~MacWindow() = default;

// ---- lifecycle hooks ----

void MacWindow::UserControl_Initialize() {
  buStart_.top = 0;
  buStart_.left = 0;
  buImg_.top = 0;
  buEnd_.top = 0;
  RefreshButtons();
  UserControl_Resize();
}

void MacWindow::UserControl_InitProperties() {
  enabled_ = true;
  SetCaption(host_.AmbientDisplayName());
  SetFont(host_.AmbientFont());
}

bool MacWindow::UserControl_ReadProperties(const PropertyBag& bag) {
  // Both are read before either is set: a bag with a value of the wrong kind changes nothing.
  std::optional<std::u16string> caption = bag.ReadText(u"Caption", host_.AmbientDisplayName());
  std::optional<FontRef> font = bag.ReadFont(u"Font", host_.AmbientFont());
  if (!caption || !font) return false;
  SetCaption(std::move(*caption));
  SetFont(std::move(*font));
  return true;
}

void MacWindow::UserControl_WriteProperties(PropertyBag& bag) {
  bag.WriteProperty(u"Enabled", enabled_, true);
  bag.WriteProperty(u"Caption", caption_, host_.AmbientDisplayName());
  bag.WriteProperty(u"Font", font_, host_.AmbientFont());
}

void MacWindow::UserControl_Show() {
  UserControl_Resize();
  RefreshButtons();
}

// ---- properties ----

void MacWindow::SetCaption(std::u16string vNewCaption) {
  caption_ = std::move(vNewCaption);
  MeasureCaptionLabel();  // the label sizes itself and keeps its left edge
  host_.PropertyChanged(u"Caption");
}

void MacWindow::SetFont(FontRef vNewFont) {
  font_ = std::move(vNewFont);  // the surface and the caption label draw with this same object
  MeasureCaptionLabel();
  UserControl_Resize();
  host_.PropertyChanged(u"Font");
}

void MacWindow::MeasureCaptionLabel() {
  const auto [width, height] = host_.MeasureCaption(caption_, font_);
  captionBox_.width = SaneExtent(width);
  captionBox_.height = SaneExtent(height);
  host_.LayoutChanged();
}

// ---- layout ----

void MacWindow::StoreSize(double widthTwips, double heightTwips) {
  width_ = widthTwips;
  height_ = heightTwips;
  scaleWidth_ = static_cast<float>(widthTwips / kTwipsPerPixel);
  scaleHeight_ = static_cast<float>(heightTwips / kTwipsPerPixel);
}

void MacWindow::SetOuterHeight(double heightTwips) {
  if (resizeDepth_ > kMaxResizeDepth) return;
  StoreSize(width_, heightTwips);
  host_.SetOuterSize(width_, height_);
}

void MacWindow::SetOuterWidth(double widthTwips) {
  if (resizeDepth_ > kMaxResizeDepth) return;
  StoreSize(widthTwips, height_);
  host_.SetOuterSize(width_, height_);
}

void MacWindow::OnResized(double widthTwips, double heightTwips) {
  const bool newWidth = SaneTwips(widthTwips) && WholePixels(widthTwips) != WholePixels(width_);
  const bool newHeight =
      SaneTwips(heightTwips) && WholePixels(heightTwips) != WholePixels(height_);
  StoreSize(newWidth ? widthTwips : width_, newHeight ? heightTwips : height_);
  UserControl_Resize();
}

// Setting the height or the width resizes the control's window, and a window reports its new size
// at once: the host may run a complete inner pass inside SetOuterSize. Every step therefore reads
// the current sizes afresh, and the outer pass simply carries on after the inner one.
void MacWindow::UserControl_Resize() {
  ++resizeDepth_;
  if (height_ != kBarHeightTwips) SetOuterHeight(kBarHeightTwips);
  buImg_.left = buStart_.width;
  if (width_ < kMinWidthTwips) SetOuterWidth(kMinWidthTwips);
  const double scaleWidth = ScaleWidth();
  const double scaleHeight = ScaleHeight();
  buImg_.width = static_cast<float>((scaleWidth - buEnd_.width) - buStart_.width);
  buEnd_.left = static_cast<float>(scaleWidth - buEnd_.width);
  captionBox_.top = static_cast<float>((scaleHeight - captionBox_.height) / 2.0);
  captionBox_.left = static_cast<float>((scaleWidth - captionBox_.width) / 2.0);
  --resizeDepth_;
  host_.LayoutChanged();
}

// ---- pictures and timer ----

void MacWindow::Show(Picture& shown, Picture picture) {
  if (shown == picture) return;
  shown = picture;
  host_.PicturesChanged();
}

void MacWindow::ShowNormalButtons() {
  Show(buStartPicture_, Picture::U_Img1);
  Show(buEndPicture_, Picture::U_Img2);
  Show(buImgPicture_, Picture::WindowImg);
}

void MacWindow::ShowHoverButtons() {
  Show(buStartPicture_, Picture::M_Img1);
  Show(buEndPicture_, Picture::M_Img2);
  Show(buImgPicture_, Picture::WindowImg);
}

void MacWindow::RefreshButtons() {
  if (enabled_)
    ShowNormalButtons();
  else
    ShowHoverButtons();
}

void MacWindow::SetTimerEnabled(bool running) {
  if (timerRunning_ == running) return;
  timerRunning_ = running;
  host_.TimerEnabledChanged(running);
}

bool MacWindow::Raise(Event e, MouseArgs& args) {
  const std::weak_ptr<char> alive = alive_;
  host_.RaiseEvent(e, args);
  return !alive.expired();
}

// ---- handlers ----

void MacWindow::UserControl_MouseDown(MouseArgs& args) {
  if (!Raise(Event::MouseDown, args)) return;
  ShowNormalButtons();
}

void MacWindow::UserControl_MouseUp(MouseArgs& args) {
  if (!Raise(Event::MouseUp, args)) return;
  RefreshButtons();
}

void MacWindow::BuStart_MouseDown(MouseArgs& args) {
  const std::weak_ptr<char> alive = alive_;
  UserControl_MouseDown(args);
  if (alive.expired()) return;
  Show(buStartPicture_, Picture::D_Img1);
}

void MacWindow::BuStart_MouseMove(MouseArgs& args) {
  ButtonMouseMove(buStartPicture_, buStart_.width, Event::MouseMove, Picture::D_Img1,
                  Picture::M_Img1, args);
}

void MacWindow::BuStart_MouseUp(MouseArgs& args) {
  const std::weak_ptr<char> alive = alive_;
  UserControl_MouseUp(args);
  if (alive.expired()) return;
  Show(buStartPicture_, Picture::M_Img1);
  // The release shows the hover picture wherever the pointer is, and no move may follow to start the
  // timer (the pointer may have left the bar while the button was held and the timer may have stopped
  // already): the timer checks the pointer again and puts the normal pictures back once it is outside.
  SetTimerEnabled(true);
}

void MacWindow::BuStart_Click() {
  MouseArgs none;
  Raise(Event::CloseWindow, none);
}

void MacWindow::BuEnd_MouseDown(MouseArgs& args) {
  if (!Raise(Event::MiniMouseDown, args)) return;
  Show(buEndPicture_, Picture::D_Img2);
}

void MacWindow::BuEnd_MouseMove(MouseArgs& args) {
  ButtonMouseMove(buEndPicture_, buEnd_.width, Event::MiniMouseMove, Picture::D_Img2,
                  Picture::M_Img2, args);
}

void MacWindow::BuEnd_MouseUp(MouseArgs& args) {
  if (!Raise(Event::MiniMouseUp, args)) return;
  Show(buEndPicture_, Picture::U_Img2);
}

void MacWindow::BuEnd_Click() {
  MouseArgs none;
  Raise(Event::MiniWindow, none);
}

void MacWindow::BuImg_MouseDown(MouseArgs& args) { Raise(Event::MoveWindow, args); }

void MacWindow::CaptionText_MouseDown(MouseArgs& args) { BuImg_MouseDown(args); }

// Buttons get no notice when the pointer leaves them, so every move starts the timer whose tick
// restores the pictures once the pointer has left the whole control.
void MacWindow::ButtonMouseMove(Picture& shown, float boxWidth, Event e, Picture pressed,
                                Picture hover, MouseArgs& args) {
  const float w = boxWidth;
  SetTimerEnabled(true);
  const float h = buImg_.height;
  if (args.X >= 0 && args.Y >= 0 && args.X <= w && args.Y <= h) {
    if (!Raise(e, args)) return;
    Show(shown, args.Button == kLeftButton ? pressed : hover);
  }
}

void MacWindow::Timer1_Timer(double x, double y) {
  const double left = 0, top = 0;  // ScaleLeft, ScaleTop
  const double width = ScaleWidth(), height = ScaleHeight();
  if (x < left || y < top || x > left + width || y > top + height) {
    SetTimerEnabled(false);
    MouseArgs none;
    if (!Raise(Event::MouseOut, none)) return;
    RefreshButtons();
  }
}

// ---- inputs ----

void MacWindow::MouseDown(Part part, MouseArgs args) {
  switch (part) {
    case Part::BuStart: return BuStart_MouseDown(args);
    case Part::BuEnd: return BuEnd_MouseDown(args);
    case Part::BuImg: return BuImg_MouseDown(args);
    case Part::CaptionText: return CaptionText_MouseDown(args);
    case Part::Surface: return UserControl_MouseDown(args);
  }
}

void MacWindow::MouseMove(Part part, MouseArgs args) {
  switch (part) {
    case Part::BuStart: return BuStart_MouseMove(args);
    case Part::BuEnd: return BuEnd_MouseMove(args);
    case Part::BuImg:
    case Part::CaptionText:
    case Part::Surface: return;
  }
}

void MacWindow::MouseUp(Part part, MouseArgs args) {
  switch (part) {
    case Part::BuStart: return BuStart_MouseUp(args);
    case Part::BuEnd: return BuEnd_MouseUp(args);
    case Part::Surface: return UserControl_MouseUp(args);
    case Part::BuImg:
    case Part::CaptionText: return;
  }
}

void MacWindow::Click(Part part) {
  switch (part) {
    case Part::BuStart: return BuStart_Click();
    case Part::BuEnd: return BuEnd_Click();
    case Part::BuImg:
    case Part::CaptionText:
    case Part::Surface: return;
  }
}

void MacWindow::TimerTick(double clientX, double clientY) {
  if (timerRunning_) Timer1_Timer(clientX, clientY);
}

MouseArgs MacWindow::ArgsFor(Part part, float x, float y, std::int16_t button,
                             std::int16_t shift) const {
  const Rect box = Box(part);
  return MouseArgs{button, shift, x - box.left, y - box.top};
}

void MacWindow::PointerDown(float x, float y, std::int16_t button, std::int16_t shift) {
  if (!captured_) captured_ = HitTest(x, y);
  const Part part = *captured_;
  MouseDown(part, ArgsFor(part, x, y, button, shift));
}

void MacWindow::PointerMove(float x, float y, std::int16_t buttons, std::int16_t shift) {
  const Part part = captured_ ? *captured_ : HitTest(x, y);
  MouseMove(part, ArgsFor(part, x, y, buttons, shift));
}

void MacWindow::PointerUp(float x, float y, std::int16_t button, std::int16_t shift,
                          std::int16_t buttonsStillDown) {
  const std::optional<Part> pressed = captured_;
  const Part part = pressed ? *pressed : HitTest(x, y);
  const bool click = pressed && button == kLeftButton && HitTest(x, y) == part;
  if (buttonsStillDown == 0) captured_.reset();
  const std::weak_ptr<char> alive = alive_;
  MouseUp(part, ArgsFor(part, x, y, button, shift));
  if (click && !alive.expired()) Click(part);
}

// ---- queries ----

Part MacWindow::HitTest(float x, float y) const {
  if (!Within(Box(Part::Surface), x, y)) return Part::Surface;
  if (Within(captionBox_, x, y)) return Part::CaptionText;
  if (Within(buStart_, x, y)) return Part::BuStart;
  if (Within(buEnd_, x, y)) return Part::BuEnd;
  if (Within(buImg_, x, y)) return Part::BuImg;
  return Part::Surface;
}

Picture MacWindow::PictureOf(Part part) const {
  switch (part) {
    case Part::BuStart: return buStartPicture_;
    case Part::BuEnd: return buEndPicture_;
    case Part::BuImg: return buImgPicture_;
    case Part::CaptionText:
    case Part::Surface: break;
  }
  return Picture::WindowImg;
}

Rect MacWindow::Box(Part part) const {
  switch (part) {
    case Part::BuStart: return buStart_;
    case Part::BuImg: return buImg_;
    case Part::BuEnd: return buEnd_;
    case Part::CaptionText: return captionBox_;
    case Part::Surface: break;
  }
  return Rect{0, 0, ScaleWidth(), ScaleHeight()};
}

}  // namespace vantrel::skin
