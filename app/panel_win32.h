// A panel of the main window (WIM_Mount, WIM_Makes): a container of controls that paints the panel picture
// behind them and hands what its children send (commands, notifications, colour questions, the pointer's
// first arrival) to the window that holds it.
#pragma once
#include <windows.h>

#include "resources/control_ids.h"
#include "runtime/window.h"

namespace vantrel::app {

// The holder's side: the same handling whichever container a control sits in.
class PanelOwner {
 public:
  virtual void OnCommand(ControlId id, HWND control, int notification) = 0;
  virtual LRESULT OnNotify(NMHDR* header) = 0;
  // WM_CTLCOLORSTATIC / WM_CTLCOLORBTN of a control: the brush it is drawn on.
  virtual LRESULT OnControlColour(UINT message, HDC dc, HWND control) = 0;
  // The pointer moved onto `control` (WM_SETCURSOR, asked of the parent first).
  virtual void OnPointerOver(HWND control) = 0;
  // The panel picture, larger than the panel and clipped by it.
  virtual HBITMAP PanelPicture() const = 0;

 protected:
  ~PanelOwner() = default;
};

class Panel final : public runtime::Window<Panel> {
 public:
  static constexpr wchar_t kClassName[] = L"VantrelPanel";

  explicit Panel(PanelOwner& owner) : owner_(owner) {}
  // Makes the panel's window in `parent` (WS_CHILD with `style`), with the control id `id` and the name `text`.
  bool Create(HWND parent, ControlId id, DWORD style, const RECT& place, const wchar_t* text);

 private:
  friend class runtime::Window<Panel>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  PanelOwner& owner_;
};

}  // namespace vantrel::app
