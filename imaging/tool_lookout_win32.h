// Which tool a click would start, looked at off the user-interface thread for the action buttons' tooltips. A
// hover must never wait on the file system: the program folder may be on a share or a USB stick that has just
// gone. The facts are looked at again when the window is activated (the user may have put imagex.exe beside the
// program meanwhile); a click still reads them afresh, since it starts the tool anyway.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "imaging/panels_win32.h"

namespace vantrel::imaging {

class ToolLookout {
 public:
  // `message` is posted to the window given to Refresh when a look has come.
  explicit ToolLookout(UINT message);

  // Looks again on a thread-pool thread, unless a look is on its way already.
  void Refresh(HWND window);
  // True for the lookout's message, whose facts are taken: Known() has them from now on.
  bool Handle(UINT message);
  // The facts of the last look that came; none before the first.
  const std::optional<ToolSetup>& Known() const { return known_; }

  struct Slot;

 private:
  UINT message_;
  std::shared_ptr<Slot> slot_;  // shared with the look in flight, so neither outlives what it uses
  std::optional<ToolSetup> known_;
};

}  // namespace vantrel::imaging
