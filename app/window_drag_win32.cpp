#include "app/window_drag_win32.h"

namespace vantrel::app {
namespace {

// Let go of the mouse and start the system's own window move, as a press on a caption bar would.
void StartSystemMove(HWND window) {
  ReleaseCapture();
  SendMessageW(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

// The system's own move follows the left button only: started for another button, it keeps the window on
// the pointer after that button is let go, until the next left click. For the right and middle buttons the
// window follows the pointer here, for as long as the button that pressed stays down.
void FollowPointerWhileHeld(HWND window, std::int16_t button) {
  const int key = button == 2 ? VK_RBUTTON : button == 4 ? VK_MBUTTON : 0;
  const UINT release = button == 2 ? WM_RBUTTONUP : WM_MBUTTONUP;
  const WPARAM held = button == 2 ? MK_RBUTTON : MK_MBUTTON;
  // Only a button that is really down has a drag to follow (a press sent as a message has none).
  if (!key || !(GetKeyState(key) & 0x8000) || !window) return;
  // Positions are those of the messages, not of the pointer now: input that has already arrived (a quick
  // drag and release) is followed step by step, and a move after the release is not.
  const DWORD pressedAt = GetMessagePos();
  const POINT start{static_cast<short>(LOWORD(pressedAt)), static_cast<short>(HIWORD(pressedAt))};
  RECT origin{};
  GetWindowRect(window, &origin);
  ReleaseCapture();
  SetCapture(window);
  auto moveTo = [&](int left, int top) {
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  MSG msg;
  while (IsWindow(window) && GetCapture() == window) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop ends the program
      break;
    }
    if (msg.hwnd == window && (msg.message == WM_MOUSEMOVE || msg.message == release)) {
      moveTo(origin.left + msg.pt.x - start.x, origin.top + msg.pt.y - start.y);
      if (msg.message == release || !(msg.wParam & held)) break;
      continue;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
      moveTo(origin.left, origin.top);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (GetCapture() == window) ReleaseCapture();
}

}  // namespace

void DragWindow(HWND window, std::int16_t button) {
  if (button == 1)
    StartSystemMove(window);
  else
    FollowPointerWhileHeld(window, button);
}

}  // namespace vantrel::app
