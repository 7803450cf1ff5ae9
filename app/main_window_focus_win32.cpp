// Keyboard focus and navigation of the main window, kept as a dialog keeps them, and the message loop.
#include "app/main_window_win32.h"
#include "runtime/controls.h"

namespace vantrel::app {

void MainWindow::ShowView(ControlId shown, ControlId hidden) {
  CreatePanelChildren(shown);
  const bool focusLeaves = IsChild(Control(hidden), GetFocus());
  ShowWindow(Control(shown), SW_SHOW);
  ShowWindow(Control(hidden), SW_HIDE);
  // Focus in the panel now hidden goes to the first tab stop of the one now shown.
  if (focusLeaves) FocusFirstTabStop();
}

bool MainWindow::CanTakeFocus(HWND control) const {
  return control && hwnd() && IsChild(hwnd(), control) && IsWindowVisible(control) && IsWindowEnabled(control);
}

void MainWindow::FocusControl(HWND control, bool selectText) {
  // As the dialog manager does: a text box reached by the keyboard has its text selected, so typing
  // replaces it; a control given back after a deactivation keeps its caret and selection.
  if (selectText && (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL))
    SendMessageW(control, EM_SETSEL, 0, -1);
  SetFocus(control);
}

// The tab stop after (or before) the control named `from` in the design order, among those that can take
// the focus now; the empty name when there is none.
std::string_view MainWindow::TabStopFrom(std::string_view from, bool backwards) const {
  const auto existing = [this](std::string_view name) {
    const ControlDef* def = FindControl(name);
    return def ? Existing(def->id) : nullptr;
  };
  return NextTabStop(
      from, backwards, [&](std::string_view name) { return CanTakeFocus(existing(name)); },
      [&](std::string_view name) { return runtime::IsChecked(existing(name)); });
}

bool MainWindow::MoveFocusByTab(bool backwards) {
  const std::optional<ControlId> focus = IdOf(GetFocus());
  const std::string_view next = TabStopFrom(focus ? Def(*focus).name : std::string_view(), backwards);
  if (next.empty()) return false;
  FocusControl(Control(FindControl(next)->id), true);
  return true;
}

void MainWindow::FocusFirstTabStop() {
  const std::string_view first = TabStopFrom("", false);
  if (!first.empty()) FocusControl(Control(FindControl(first)->id), true);
}

void MainWindow::OnSetFocus(HWND lost) {
  // The window itself takes no keys: its focus goes on to a control. The one that just gave it up (the
  // tray's restore focuses the window), else the one it had when the window was deactivated, else the
  // first tab stop of the view shown.
  if (!hwnd() || IsIconic(hwnd())) return;
  if (CanTakeFocus(lost)) return FocusControl(lost, false);
  if (CanTakeFocus(savedFocus_)) return FocusControl(savedFocus_, false);
  FocusFirstTabStop();
}

void MainWindow::KeepFocusOnDeactivation(UINT message, WPARAM wParam) {
  // Deactivated or minimised (a minimised window may stay the active one): the control with the focus is
  // remembered for when the window gets the focus back.
  if ((message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) || (message == WM_SIZE && wParam == SIZE_MINIMIZED)) {
    HWND focus = GetFocus();
    if (focus && IsChild(hwnd(), focus)) savedFocus_ = focus;
  } else if (message == WM_SIZE && GetFocus() == hwnd()) {
    // Restored: the focus the window took while it was still minimised goes on to its control.
    OnSetFocus(nullptr);
  }
}

bool MainWindow::DialogMessage(HWND window, MSG* msg) {
  if (!IsWindow(window)) return false;
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_TAB && (msg->hwnd == window || IsChild(window, msg->hwnd)) &&
      !(SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) & DLGC_WANTTAB)) {
    // The dialog manager walks each panel's children together; the design order puts the capture panel's
    // last button after the mode buttons, outside the panel.
    if (MainWindow* self = FromHandle(window)) {
      self->MoveFocusByTab((GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return true;
    }
  }
  return IsDialogMessageW(window, msg) != FALSE;
}

int MainWindow::RunMessageLoop(HWND window) {
  // Messages and the ends of the launched tools, together: the loop sleeps until either comes. Nested loops
  // (message boxes, dialogs, the tray menu, a window move) do not look at the tools; a tool that ends meanwhile
  // is reported here once they are over.
  MSG msg;
  for (;;) {
    // A queue that never runs dry must not keep the tools' ends from being seen: the wait comes round at least
    // every half second.
    const DWORD started = GetTickCount();
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      // The run window's keys first: it is a window of its own, not one of the main window's controls.
      if (!runs::RunWindow::DialogMessage(&msg) && !DialogMessage(window, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      if (GetTickCount() - started >= runtime::ProcessWatch::kTurnMs) break;
    }
    runtime::ProcessWatch::WaitForMessagesOrProcesses(INFINITE);
  }
}

}  // namespace vantrel::app
