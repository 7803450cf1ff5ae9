// The progress strip along the bottom edge of the header band, shown only while a run is in flight: how far the
// least advanced run has come, a moving piece while some run has drawn no bar yet; its tooltip names each run,
// its step and percentage, and a click on it opens the run window. With no run in flight nothing of it is drawn.
#include "app/main_window_win32.h"

#include <commctrl.h>

#include "runtime/runtime.h"

namespace vantrel::app {
namespace {

constexpr int kStripHeight = 3;                   // design pixels, at the bottom of the header band
constexpr COLORREF kStripTrack = RGB(170, 170, 170);  // darker than the band's foot, so the rest shows
constexpr COLORREF kStripBar = RGB(38, 160, 72);  // the taskbar's own progress green
constexpr int kMovingPieceTenths = 250;           // an indeterminate strip: a quarter of it moves along

std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }

void Fill(HDC dc, RECT r, COLORREF colour) {
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

}  // namespace

RECT MainWindow::StripRect() const {
  const ControlDef& band = Def(ControlId::Image1);
  const int bottom = scale_.Px(band.top + band.height);
  return RECT{scale_.Px(band.left), bottom - scale_.Px(kStripHeight), scale_.Px(band.left + band.width), bottom};
}

void MainWindow::UpdateStrip() {
  const bool visible = runs_.InFlight() > 0;
  const std::optional<int> tenths = runs::StripTenths(runs_);
  // A measure that did not move leaves the strip alone; a piece without one moves on at each look.
  if (visible == strip_.visible && tenths == strip_.tenths && (!visible || tenths)) return;
  strip_.visible = visible;
  strip_.tenths = tenths;
  if (!tenths) ++strip_.step;
  if (visible) MakeStripTip();
  const RECT r = StripRect();
  InvalidateRect(hwnd(), &r, FALSE);
}

void MainWindow::PaintStrip(HDC dc) const {
  if (!strip_.visible) return;
  RECT r = StripRect();
  Fill(dc, r, kStripTrack);
  const int width = r.right - r.left;
  RECT bar = r;
  if (strip_.tenths) {
    bar.right = r.left + MulDiv(width, *strip_.tenths, 1000);
  } else {
    const int piece = MulDiv(width, kMovingPieceTenths, 1000);
    const int travel = width + piece;
    bar.left = r.left - piece + (strip_.step * travel / 12) % travel;
    bar.right = bar.left + piece;
    bar.left = std::max(bar.left, r.left);
    bar.right = std::min(bar.right, r.right);
  }
  if (bar.right > bar.left) Fill(dc, bar, kStripBar);
}

bool MainWindow::StripPressed(POINT at) {
  if (!strip_.visible) return false;
  const RECT r = StripRect();
  if (!PtInRect(&r, at)) return false;
  OpenRunWindow();
  return true;
}

void MainWindow::MakeStripTip() {
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_SUBCLASS;
  info.hwnd = hwnd();
  info.uId = kStripToolId;
  info.rect = StripRect();
  info.lpszText = LPSTR_TEXTCALLBACKW;
  if (stripTip_) {
    SendMessageW(stripTip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    return;
  }
  // Made with the first run, never at start-up.
  stripTip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance_,
                                  nullptr));
  if (!stripTip_) return;
  SendMessageW(stripTip_.get(), TTM_SETMAXTIPWIDTH, 0, scale_.Px(kStripTipWidth));
  SendMessageW(stripTip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT MainWindow::OnStripTipText(NMHDR* header) {
  if (!stripTip_ || header->hwndFrom != stripTip_.get() || header->code != TTN_GETDISPINFOW) return 0;
  stripTipText_ = runtime::Wide(runs::StripTip(runs_, TableText));
  reinterpret_cast<NMTTDISPINFOW*>(header)->lpszText = stripTipText_.data();
  return 0;
}

}  // namespace vantrel::app
