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

bool RegisterControlClass(HINSTANCE, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.lpfnWndProc = proc;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = MacWindowControl::kClassName;
  return runtime::EnsureWindowClass(wc);
}

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
  if (hwnd_) {
    KillTimer(hwnd_, kTimer1);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }
  window_.reset();
  // The back buffer can only be deleted once its DC has let go of it.
  if (backDc_ && backDcFirstBitmap_) SelectObject(backDc_.get(), backDcFirstBitmap_);
}

std::unique_ptr<MacWindowControl> MacWindowControl::Create(HINSTANCE instance, const Site& site) {
  if (!site.parent || !RegisterControlClass(instance, &MacWindowControl::WindowProc)) return nullptr;
  std::unique_ptr<MacWindowControl> self(new MacWindowControl(instance, site));
  // The model works in design pixels; the window is at the parent's DPI.
  const resources::DpiScale scale = self->scale_;
  HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, scale.Px(site.left), scale.Px(site.top),
                              scale.Px(site.width), scale.Px(site.height), site.parent, nullptr, instance, self.get());
  if (!hwnd) return nullptr;
  self->window_.reset(hwnd);
  self->initialized_ = true;
  self->model_.UserControl_Initialize();
  return self;
}

MacWindowControl* MacWindowControl::FromHandle(HWND window) {
  wchar_t cls[64] = {};
  if (!window || !GetClassNameW(window, cls, 64) || lstrcmpW(cls, kClassName) != 0) return nullptr;
  return reinterpret_cast<MacWindowControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void MacWindowControl::Show() {
  if (hwnd_) ShowWindow(hwnd_, SW_SHOWNA);
}

void MacWindowControl::SetDpi(int dpi) {
  const resources::DpiScale scale(dpi);
  if (scale == scale_) return;
  scale_ = scale;
  for (runtime::UniqueGdiObject& picture : pictures_) picture.reset();
  font_.reset();
  fontMadeFor_.reset();
  if (!hwnd_) return;
  SetWindowPos(hwnd_, nullptr, scale_.Px(siteLeft_), scale_.Px(siteTop_), scale_.Px(model_.Width() / kTwipsPerPixel),
               scale_.Px(model_.Height() / kTwipsPerPixel), SWP_NOZORDER | SWP_NOACTIVATE);
  // The caption is measured again in the font made for this DPI, and centred again.
  model_.SetCaption(model_.Caption());
  model_.UserControl_Resize();
  InvalidateRect(hwnd_, nullptr, FALSE);
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
  if (const auto observe = runtime::TestSeam().titleBarEvent) observe(hwnd_, e, args);
  if (events_) events_->MacWindowEvent(e, args);
}

void MacWindowControl::PropertyChanged(std::u16string_view) {
  // The host stores the properties only when it saves its design data; at run time there is
  // nothing to mark.
}

void MacWindowControl::TimerEnabledChanged(bool running) {
  if (!hwnd_) return;
  if (running)
    SetTimer(hwnd_, kTimer1, kHoverTimerIntervalMs, nullptr);
  else
    KillTimer(hwnd_, kTimer1);
}

void MacWindowControl::PicturesChanged() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void MacWindowControl::LayoutChanged() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void MacWindowControl::SetOuterSize(double widthTwips, double heightTwips) {
  // The window reports the new size through WM_SIZE before SetWindowPos returns; the model is
  // written to be re-entered that way.
  if (!hwnd_) return;
  const int width = scale_.Px(widthTwips / kTwipsPerPixel);
  const int height = scale_.Px(heightTwips / kTwipsPerPixel);
  SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
  if (font_ && SameFont(fontMadeFor_, font)) return static_cast<HFONT>(font_.get());
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
HGDIOBJ MacWindowControl::PictureBitmap(Picture picture) {
  runtime::UniqueGdiObject& bitmap = pictures_[Index(picture)];
  if (!bitmap) {
    const resources::Image image = resources::TitleBarPicture(ArtworkOf(picture), scale_);
    bitmap = runtime::MakeBitmap(image);
    pictureSizes_[Index(picture)] = SIZE{image.width, image.height};
  }
  return bitmap.get();
}

void MacWindowControl::DrawPicture(HDC dc, Part part, bool stretch) {
  const Picture picture = model_.PictureOf(part);
  HGDIOBJ bitmap = PictureBitmap(picture);
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
  GetClientRect(hwnd_, &client);
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
  if (GetCapture() != hwnd_) SetCapture(hwnd_);
  model_.PointerDown(DesignX(lParam), DesignY(lParam), button, runtime::ShiftState(wParam));
  if (alive.expired() || !hwnd_) return;
  if (!model_.HasCapture() && GetCapture() == hwnd_) ReleaseCapture();
}

void MacWindowControl::OnButtonUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const std::weak_ptr<char> alive = alive_;
  // wParam no longer holds the button released: what it holds is still down.
  model_.PointerUp(DesignX(lParam), DesignY(lParam), button, runtime::ShiftState(wParam), runtime::ButtonsHeld(wParam));
  if (alive.expired() || !hwnd_) return;
  if (!model_.HasCapture() && GetCapture() == hwnd_) ReleaseCapture();
}

float MacWindowControl::DesignX(LPARAM lParam) const { return static_cast<float>(scale_.Design(MouseX(lParam))); }
float MacWindowControl::DesignY(LPARAM lParam) const { return static_cast<float>(scale_.Design(MouseY(lParam))); }

void MacWindowControl::OnTimer() {
  // Timer1: is the pointer still over the control? Two system calls, nothing allocated.
  POINT p{0, 0};
  GetCursorPos(&p);
  ScreenToClient(hwnd_, &p);
  model_.TimerTick(scale_.Design(p.x), scale_.Design(p.y));
}

LRESULT MacWindowControl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      Render(dc);
      EndPaint(hwnd_, &ps);
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
      if (reinterpret_cast<HWND>(lParam) != hwnd_) model_.PointerCaptureLost();
      return 0;
    case WM_GETOBJECT: {
      LRESULT answer = 0;
      if (AnswerGetObject(hwnd_, wParam, lParam, answer)) return answer;
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
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK MacWindowControl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = runtime::WindowObject<MacWindowControl>(hwnd, message, lParam);
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCCREATE) self->hwnd_ = hwnd;
  if (message == WM_NCDESTROY) {
    // Destroyed with the host window: the control object lives on without a window and asks the
    // system for nothing more.
    KillTimer(hwnd, kTimer1);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->initialized_ = false;
    self->window_.release();
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

}  // namespace vantrel::skin
