// Moving the main window by a press on the header band or the title strip, with any mouse button.
#pragma once
#include <windows.h>

#include <cstdint>

namespace vantrel::app {

// The press of `button` (1 left, 2 right, 4 middle) moves `window`: the system's own move for the left
// button, as a press on a caption bar starts it; for the right and middle buttons the window follows the
// pointer until that button is released (Esc puts it back).
void DragWindow(HWND window, std::int16_t button);

}  // namespace vantrel::app
