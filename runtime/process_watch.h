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

class ProcessWatch {
 public:
  using Ended = std::function<void(DWORD exitCode)>;

  // The watch the message loop waits for, from construction to destruction (one at a time: the main window's).
  // Only the thread that made it waits for it and reports from it.
  ProcessWatch();
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  // Watches `process` until it ends; then `ended` runs once with its exit code, from the message loop.
  void Watch(UniqueKernelHandle process, Ended ended);
  // How many watched processes have not been reported yet.
  std::size_t InFlight() const { return entries_.size(); }
  // Lets go of every watched process without a report (they keep running; only the handles are closed).
  void Forget() { entries_.clear(); }

  // Reports every watched process that has ended. Each report runs after its entry is gone, so a report may
  // start new watches or end the program.
  void ReportEnded();

  // One wait of the message loop: returns when a message is in this thread's queue, after reporting the
  // watched processes that ended while it waited, or after `timeoutMs`. With more handles than one wait can
  // take (63 besides the queue), the wait takes turns over them and looks at all of them every half second.
  static void WaitForMessagesOrProcesses(DWORD timeoutMs);

  // The most handles a single wait takes beside the message queue.
  static constexpr std::size_t kHandlesPerWait = MAXIMUM_WAIT_OBJECTS - 1;

 private:
  struct Entry {
    UniqueKernelHandle process;
    Ended ended;
  };
  std::vector<Entry> entries_;
  std::size_t turn_ = 0;                 // where the next wait starts when not all handles fit
  DWORD thread_ = GetCurrentThreadId();  // the thread that waits for this watch
};

}  // namespace vantrel::runtime
