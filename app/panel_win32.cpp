#include "app/panel_win32.h"

#include "runtime/bitmaps.h"
#include "runtime/handles.h"

namespace vantrel::app {

bool Panel::Create(HWND parent, ControlId id, DWORD style, const RECT& place, const wchar_t* text) {
  WNDCLASSEXW wc{};
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  return CreateFor(wc, WS_EX_CONTROLPARENT, text, style, place.left, place.top, place.right - place.left,
                   place.bottom - place.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

LRESULT Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const runtime::PaintDc paint(hwnd());
      RECT client{};
      GetClientRect(hwnd(), &client);
      runtime::DrawBitmap(paint.get(), owner_.PanelPicture(), 0, 0, client.right, client.bottom);
      return 0;
    }
    case WM_COMMAND:
      owner_.OnCommand(static_cast<ControlId>(LOWORD(wParam)), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return owner_.OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_SETCURSOR:
      if (HIWORD(lParam) == WM_MOUSEMOVE) owner_.OnPointerOver(reinterpret_cast<HWND>(wParam));
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return owner_.OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
  }
  return DefaultProc(message, wParam, lParam);
}

}  // namespace vantrel::app
