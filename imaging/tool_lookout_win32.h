// Which tool a click would start, for the action buttons' tooltips, looked at on a thread of its own. A hover
// must never wait on the file system: the program folder may be on a share or a USB stick that has just gone.
// The thread looks once when started, then each time a file name changes in the program folder (imagex.exe
// put beside the program, or taken away), and otherwise sleeps in the kernel: nothing runs while nothing
// changes. A click still reads the facts afresh, since it starts the tool anyway.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "imaging/panels_win32.h"
#include "runtime/handles.h"

namespace vantrel::imaging {

class ToolLookout {
 public:
  // `message` is posted, carrying nothing, to the window given to Start after each look.
  explicit ToolLookout(UINT message);
  // Stops the thread; a look stuck on a folder gone away is not waited for long.
  ~ToolLookout();
  ToolLookout(const ToolLookout&) = delete;
  ToolLookout& operator=(const ToolLookout&) = delete;

  // Starts the looking, once; later calls do nothing.
  void Start(HWND window);
  // True for the lookout's message: Known() has the latest look from now on.
  bool Handle(UINT message);
  // The facts of the latest look taken; none before the first.
  const std::optional<ToolSetup>& Known() const { return known_; }

  struct Shared;

 private:
  UINT message_;
  std::shared_ptr<Shared> shared_;  // shared with the thread, which may outlive this object at exit
  runtime::UniqueKernelHandle thread_;
  std::optional<ToolSetup> known_;
};

}  // namespace vantrel::imaging
