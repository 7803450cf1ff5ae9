#include "skin/mac_window_win32.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "resources/artwork.h"
#include "runtime/bitmaps.h"
#include "runtime/runtime.h"
#include "runtime/test_seam.h"
#include "skin/title_bar_accessible.h"
#include "skin/title_bar_accessible_win32.h"

namespace vantrel::skin {
namespace {

constexpr UINT_PTR kTimer1 = 1;

// Pictures are indexed by their Picture value.
constexpr std::size_t Index(Picture p) { return static_cast<std::size_t>(p); }

resources::TitlePicture ArtworkOf(Picture p) {
  switch (p) {
    case Picture::U_Img1: return resources::TitlePicture::U_Img1;
    case Picture::M_Img1: return resources::TitlePicture::M_Img1;
    case Picture::D_Img1: return resources::TitlePicture::D_Img1;
    case Picture::U_Img2: return resources::TitlePicture::U_Img2;
    case Picture::M_Img2: return resources::TitlePicture::M_Img2;
    case Picture::D_Img2: return resources::TitlePicture::D_Img2;
    case Picture::WindowImg: break;
  }
  return resources::TitlePicture::WindowImg;
}

int MouseX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int MouseY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

}  // namespace

MacWindowControl::MacWindowControl(HINSTANCE, const Site& site)
    : model_(*this, site.width * kTwipsPerPixel, site.height * kTwipsPerPixel),
      scale_(site.dpi),
      siteLeft_(site.left),
      siteTop_(site.top),
      events_(site.events),
      displayName_(site.displayName),
      ambientFont_(site.ambientFont) {
  // The seven pictures are drawn when first shown (PictureBitmap): the hover and pressed ones wait for the
  // pointer, and most runs never show some of them.
  pictureDc_.reset(CreateCompatibleDC(nullptr));
  backDc_.reset(CreateCompatibleDC(nullptr));
  // The strip picture is the same in every column, so plain column copies stretch it exactly.
  if (backDc_) SetStretchBltMode(backDc_.get(), COLORONCOLOR);
}

MacWindowControl::~MacWindowControl() {
  if (hwnd()) KillTimer(hwnd(), kTimer1);
  DestroyWindowNow();
  // The back buffer can only be deleted once its DC has let go of it.
  if (backDc_ && backDcFirstBitmap_) SelectObject(backDc_.get(), backDcFirstBitmap_);
}

std::unique_ptr<MacWindowControl> MacWindowControl::Create(HINSTANCE instance, const Site& site) {
  if (!site.parent) return nullptr;
  std::unique_ptr<MacWindowControl> self(new MacWindowControl(instance, site));
  // The model works in design pixels; the window is at the parent's DPI.
  const resources::DpiScale scale = self->scale_;
  WNDCLASSEXW wc{};
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  if (!self->CreateFor(wc, 0, L"", WS_CHILD | WS_CLIPSIBLINGS, scale.Px(site.left), scale.Px(site.top),
                       scale.Extent(site.left, site.width), scale.Extent(site.top, site.height), site.parent,
                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(site.id))))
    return nullptr;
  self->initialized_ = true;
  self->model_.UserControl_Initialize();
  return self;
}

void MacWindowControl::Show() {
  if (hwnd()) ShowWindow(hwnd(), SW_SHOWNA);
}

void MacWindowControl::SetDpi(int dpi) {
  const resources::DpiScale scale(dpi);
  if (scale == scale_) return;
  scale_ = scale;
  for (runtime::UniqueBitmap& picture : pictures_) picture.reset();
  font_.reset();
  fontMadeFor_.reset();
  if (!hwnd()) return;
  // Both edges rounded, as every control's: the size is the distance between them.
  SetWindowPos(hwnd(), nullptr, scale_.Px(siteLeft_), scale_.Px(siteTop_),
               scale_.Extent(siteLeft_, model_.Width() / kTwipsPerPixel),
               scale_.Extent(siteTop_, model_.Height() / kTwipsPerPixel), SWP_NOZORDER | SWP_NOACTIVATE);
  // The caption is measured again in the font made for this DPI, and centred again.
  model_.SetCaption(model_.Caption());
  model_.UserControl_Resize();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

RECT MacWindowControl::PartRect(Part part) const {
  // Rounding both edges (not the width) keeps neighbouring parts edge to edge.
  const Rect box = model_.Box(part);
  return RECT{scale_.Px(box.left), scale_.Px(box.top), scale_.Px(box.left + box.width),
              scale_.Px(box.top + box.height)};
}

std::optional<long> MacWindowControl::AccessibleChildAt(POINT client) const {
  return AccChildAt(model_, static_cast<float>(scale_.Design(client.x)), static_cast<float>(scale_.Design(client.y)));
}

// ---- MacWindowHost ----

void MacWindowControl::RaiseEvent(Event e, MouseArgs& args) {
  if (const auto observe = runtime::TestSeam().titleBarEvent) observe(hwnd(), e, args);
  if (events_) events_->MacWindowEvent(e, args);
}

void MacWindowControl::PropertyChanged(std::u16string_view) {
  // The host stores the properties only when it saves its design data; at run time there is
  // nothing to mark.
}

void MacWindowControl::TimerEnabledChanged(bool running) {
  if (!hwnd()) return;
  if (running)
    SetTimer(hwnd(), kTimer1, kHoverTimerIntervalMs, nullptr);
  else
    KillTimer(hwnd(), kTimer1);
}

void MacWindowControl::PicturesChanged() {
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void MacWindowControl::LayoutChanged() {
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void MacWindowControl::SetOuterSize(double widthTwips, double heightTwips) {
  // The window reports the new size through WM_SIZE before SetWindowPos returns; the model is
  // written to be re-entered that way.
  if (!hwnd()) return;
  const int width = scale_.Extent(siteLeft_, widthTwips / kTwipsPerPixel);
  const int height = scale_.Extent(siteTop_, heightTwips / kTwipsPerPixel);
  SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::pair<float, float> MacWindowControl::MeasureCaption(std::u16string_view text, const FontRef& font) {
  HDC dc = pictureDc_.get();
  if (!dc) return {0.0f, 0.0f};
  runtime::SelectObjectScope select(dc, FontFor(font));
  const std::wstring wide = runtime::Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  return {static_cast<float>(scale_.Design(size.cx)), static_cast<float>(scale_.Design(size.cy))};
}

// ---- GDI objects ----

HFONT MacWindowControl::FontFor(const FontRef& font) {
  if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (font_ && SameFont(fontMadeFor_, font)) return font_.get();
  LOGFONTW lf{};
  const int pixelsPerInch = scale_.Dpi();
  lf.lfHeight = -static_cast<LONG>(std::lround(font->points * pixelsPerInch / 72.0));
  lf.lfWeight = font->weight;
  lf.lfItalic = font->italic;
  lf.lfUnderline = font->underline;
  lf.lfStrikeOut = font->strikethrough;
  lf.lfCharSet = static_cast<BYTE>(font->charset);
  const std::wstring face = runtime::Wide(font->face);
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  HFONT made = CreateFontIndirectW(&lf);
  if (!made) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  font_.reset(made);
  fontMadeFor_ = font;
  return made;
}

bool MacWindowControl::EnsureBackBuffer(int width, int height) {
  if (!backDc_) return false;
  if (backBitmap_ && backSize_.cx == width && backSize_.cy == height) return true;
  if (backDcFirstBitmap_) SelectObject(backDc_.get(), backDcFirstBitmap_);
  backBitmap_.reset();
  backSize_ = SIZE{};
  const BITMAPINFO info = runtime::TopDownDib(width, height);
  void* bits = nullptr;
  backBitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!backBitmap_) return false;
  HGDIOBJ previous = SelectObject(backDc_.get(), backBitmap_.get());
  if (!backDcFirstBitmap_) backDcFirstBitmap_ = previous;
  backSize_ = SIZE{width, height};
  return true;
}

// ---- painting ----

// A picture's bitmap, drawn the first time it is asked for and kept for the life of the control.
HBITMAP MacWindowControl::PictureBitmap(Picture picture) {
  runtime::UniqueBitmap& bitmap = pictures_[Index(picture)];
  if (!bitmap) {
    const resources::Image image = resources::TitleBarPicture(ArtworkOf(picture), scale_);
    bitmap = runtime::MakeBitmap(image);
    pictureSizes_[Index(picture)] = SIZE{image.width, image.height};
  }
  return bitmap.get();
}

void MacWindowControl::DrawPicture(HDC dc, Part part, bool stretch) {
  const Picture picture = model_.PictureOf(part);
  HBITMAP bitmap = PictureBitmap(picture);
  if (!bitmap || !pictureDc_) return;
  const RECT box = PartRect(part);
  const int left = box.left, top = box.top, width = box.right - box.left, height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return;
  const SIZE size = pictureSizes_[Index(picture)];
  runtime::SelectObjectScope select(pictureDc_.get(), bitmap);
  if (stretch)
    StretchBlt(dc, left, top, width, height, pictureDc_.get(), 0, 0, size.cx, size.cy, SRCCOPY);
  else
    BitBlt(dc, left, top, std::min<int>(width, size.cx), std::min<int>(height, size.cy), pictureDc_.get(), 0, 0,
           SRCCOPY);
}

void MacWindowControl::Render(HDC target) {
  RECT client{};
  GetClientRect(hwnd(), &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  // Everything is drawn into the back buffer and copied to the screen in one piece, so the caption
  // never flickers over a freshly drawn picture.
  HDC dc = EnsureBackBuffer(client.right, client.bottom) ? backDc_.get() : target;
  // The control's own surface; after a layout the three pictures cover all of it.
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  DrawPicture(dc, Part::BuImg, true);
  DrawPicture(dc, Part::BuStart, false);
  DrawPicture(dc, Part::BuEnd, false);
  // The caption label above the pictures: its text only, in the window-text colour.
  const Rect box = model_.Box(Part::CaptionText);
  const std::wstring caption = runtime::Wide(model_.Caption());
  {
    runtime::SelectObjectScope select(dc, FontFor(model_.Font()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    TextOutW(dc, scale_.Px(box.left), scale_.Px(box.top), caption.c_str(), static_cast<int>(caption.size()));
  }
  if (dc != target) BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
}

// ---- messages ----

void MacWindowControl::OnButtonDown(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const std::weak_ptr<char> alive = alive_;
  // The pressed part keeps the mouse until every button is up. The capture is taken before the
  // event, so a host that starts a window move (and lets go of the capture) is seen to have done so.
  if (GetCapture() != hwnd()) SetCapture(hwnd());
  model_.PointerDown(DesignX(lParam), DesignY(lParam), button, runtime::ShiftState(wParam));
  if (alive.expired() || !hwnd()) return;
  if (!model_.HasCapture() && GetCapture() == hwnd()) ReleaseCapture();
}

void MacWindowControl::OnButtonUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const std::weak_ptr<char> alive = alive_;
  // wParam no longer holds the button released: what it holds is still down.
  model_.PointerUp(DesignX(lParam), DesignY(lParam), button, runtime::ShiftState(wParam), runtime::ButtonsHeld(wParam));
  if (alive.expired() || !hwnd()) return;
  if (!model_.HasCapture() && GetCapture() == hwnd()) ReleaseCapture();
}

float MacWindowControl::DesignX(LPARAM lParam) const { return static_cast<float>(scale_.Design(MouseX(lParam))); }
float MacWindowControl::DesignY(LPARAM lParam) const { return static_cast<float>(scale_.Design(MouseY(lParam))); }

void MacWindowControl::OnTimer() {
  // Timer1: is the pointer still over the control? Two system calls, nothing allocated.
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(hwnd(), &p);
  model_.TimerTick(scale_.Design(p.x), scale_.Design(p.y));
}

LRESULT MacWindowControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const runtime::PaintDc paint(hwnd());
      Render(paint.get());
      return 0;
    }
    case WM_PRINTCLIENT:
      Render(reinterpret_cast<HDC>(wParam));
      return 0;
    case WM_SIZE:
      if (initialized_)
        model_.OnResized(scale_.Design(LOWORD(lParam)) * kTwipsPerPixel, scale_.Design(HIWORD(lParam)) * kTwipsPerPixel);
      return 0;
    case WM_SHOWWINDOW:
      if (wParam && initialized_) model_.UserControl_Show();
      break;
    case WM_MOUSEMOVE:
      model_.PointerMove(DesignX(lParam), DesignY(lParam), runtime::ButtonsHeld(wParam), runtime::ShiftState(wParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      OnButtonDown(runtime::MouseButtonOf(message), wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      OnButtonUp(runtime::MouseButtonOf(message), wParam, lParam);
      return 0;
    case WM_CAPTURECHANGED:
      // Someone else has the mouse now (the host's window move, a menu, a message box): the part
      // that was pressed gets no release, and the next press goes where the pointer is.
      if (reinterpret_cast<HWND>(lParam) != hwnd()) model_.PointerCaptureLost();
      return 0;
    case WM_GETOBJECT: {
      LRESULT answer = 0;
      if (AnswerGetObject(hwnd(), wParam, lParam, answer)) return answer;
      break;
    }
    case kPressPartMessage:
      // The accessible object's default action: a click of the button, as a mouse click ends.
      if (const auto part = AccPartOf(static_cast<long>(wParam))) model_.Click(*part);
      return 0;
    case WM_TIMER:
      if (wParam == kTimer1) {
        OnTimer();
        return 0;
      }
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace vantrel::skin
