// Watching the launched tools until they end, on the user-interface thread and without a timer: the message
// loop waits for the watched process handles and for messages together, and when a process has ended its exit
// code is read, its handle closed and its report made, once.
#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "runtime/handles.h"

namespace vantrel::runtime {

// How a watched process ended, as far as it could be learnt.
struct ProcessEnd {
  bool known = true;  // false when its exit code could not be read, or its handle could not be waited for
  DWORD value = 0;    // the exit code; when not known, the system's error code that says why
};

class ProcessWatch {
 public:
  using Ended = std::function<void(ProcessEnd end)>;

  // The watch the message loop waits for, from construction to destruction (one at a time: the main window's).
  // Only the thread that made it waits for it and reports from it.
  ProcessWatch();
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  // Watches `process` until it ends; then `ended` runs once with how it ended, from the message loop.
  void Watch(UniqueKernelHandle process, Ended ended);
  // How many watched processes have not been reported yet.
  std::size_t InFlight() const { return entries_.size(); }
  // Lets go of every watched process without a report (they keep running; only the handles are closed).
  void Forget() { entries_.clear(); }

  // Reports every watched process that has ended, and every one whose handle cannot be waited for (as an end
  // not known). Each report runs after its entry is gone, so a report may start new watches or end the program.
  void ReportEnded();

  // One wait of the message loop: returns when a message is in this thread's queue, after reporting the
  // watched processes that ended while it waited, or after `timeoutMs`. With more handles than one wait can
  // take (63 besides the queue), the wait takes turns over them, and every handle is looked at at least every
  // half second however busy the queue is. A wait the system refuses never makes the loop spin: the handles at
  // fault are reported, and the watch looks at the rest every half second from then on.
  static void WaitForMessagesOrProcesses(DWORD timeoutMs);

  // The most handles a single wait takes beside the message queue.
  static constexpr std::size_t kHandlesPerWait = MAXIMUM_WAIT_OBJECTS - 1;
  // The longest a watched process's end waits to be seen while the wait takes turns or after a failed wait.
  static constexpr DWORD kTurnMs = 500;

 private:
  struct Entry {
    UniqueKernelHandle process;
    Ended ended;
  };
  std::vector<Entry> entries_;
  std::size_t turn_ = 0;                 // where the next wait starts when not all handles fit
  DWORD lastScan_ = GetTickCount();      // when every handle was last looked at
  bool waitFailed_ = false;              // a wait was refused: look at the handles in turns of kTurnMs only
  DWORD thread_ = GetCurrentThreadId();  // the thread that waits for this watch
};

}  // namespace vantrel::runtime
