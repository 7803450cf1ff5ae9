// Which tool a click would start, for the action buttons' tooltips, looked at on a thread of its own. A hover
// must never wait on the file system: the program folder may be on a share or a USB stick that has just gone.
// The thread looks once when started, then each time a file name changes in the program folder (imagex.exe
// put beside the program, or taken away), and otherwise sleeps in the kernel: nothing runs while nothing
// changes (runtime::LatestFromThread). A click still reads the facts afresh, since it starts the tool anyway.
#pragma once
#include <windows.h>

#include <optional>

#include "imaging/panels_win32.h"
#include "runtime/handles.h"
#include "runtime/latest_from_thread.h"

namespace vantrel::imaging {

// What the lookout's thread looks at, and the program folder's change notification it is woken by; made on the
// thread, so that a folder slow to answer never holds up the window.
class ToolSource {
 public:
  ToolSource();
  std::optional<ToolSetup> Read();
  // A folder that cannot be watched is looked at once.
  HANDLE Signal() const { return change_ ? change_.get() : nullptr; }
  bool WatchAgain();

 private:
  runtime::UniqueChangeNotification change_;
};

class ToolLookout {
 public:
  // `message` is posted, carrying nothing, to the window given to Start after each look.
  explicit ToolLookout(UINT message) : lookout_(message) {}
  // Stops the thread; a look stuck on a folder gone away is not waited for long.
  ~ToolLookout() = default;
  ToolLookout(const ToolLookout&) = delete;
  ToolLookout& operator=(const ToolLookout&) = delete;

  // Starts the looking, once; later calls do nothing.
  void Start(HWND window) {
    if (started_) return;
    started_ = true;
    lookout_.Ask(window);
  }
  // True for the lookout's message: Known() has the latest look from now on.
  bool Handle(UINT message) { return started_ && lookout_.Handle(message); }
  // The facts of the latest look taken; none before the first.
  const std::optional<ToolSetup>& Known() const { return lookout_.Known(); }

 private:
  runtime::LatestFromThread<ToolSource> lookout_;
  bool started_ = false;
};

}  // namespace vantrel::imaging
