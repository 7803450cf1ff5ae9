// What the handlers and readers of the panels need of the window that holds the controls.
#pragma once
#include <windows.h>

#include "resources/control_ids.h"

namespace vantrel::runtime {

class ControlHost {
 public:
  // A control by its id, or null; a control of a panel not yet filled is made first.
  virtual HWND Control(ControlId id) = 0;
  // The owner of message boxes and dialogs, and the window that gets the readers' messages and timers.
  virtual HWND Owner() const = 0;

 protected:
  ~ControlHost() = default;
};

}  // namespace vantrel::runtime
