// Something read off the user-interface thread, on a thread of its own that sleeps in the kernel until asked: the
// latest outcome waits in a locked slot, and a posted message, which carries nothing, tells the window it has come.
// One long-lived thread per reader, made at the first Ask, never at start-up. (A thread-pool work item for each
// read made the pool's threads come and go, and the resident set grew with them.)
//
// `Source` says what is read. It is made on the thread when the thread starts, and lives and ends there:
//   Value Read();            one outcome (Value: default-constructible and movable)
// and, to be woken by the system as well as by Ask (a folder's change notification), both of:
//   HANDLE Signal() const;   a waitable handle signalled when the outcome may have changed (none: null)
//   bool WatchAgain();       called after each signal, to wait for the next one; false: wait for it no more
#pragma once
#include <windows.h>

#include <concepts>
#include <memory>
#include <optional>
#include <utility>

#include "runtime/handles.h"

namespace vantrel::runtime {

template <class Source>
concept SourceWithSignal = requires(Source& source) {
  { source.Signal() } -> std::convertible_to<HANDLE>;
  { source.WatchAgain() } -> std::convertible_to<bool>;
};

template <class Source>
class LatestFromThread {
 public:
  using Value = decltype(std::declval<Source&>().Read());

  // `message` is posted, carrying nothing, to the window last given to Ask after each outcome.
  // Not make_shared: see skin::MakeFont.
  explicit LatestFromThread(UINT message) : message_(message), shared_(new Shared()) { shared_->message = message; }
  // A read in flight is forgotten: it posts nothing, and frees what it holds when it ends; the thread ends after it
  // (waited for a moment only: a read stuck in a library or on a share does not hold up the program's end).
  ~LatestFromThread() {
    Stop();
    if (!thread_) return;
    SetEvent(shared_->stop.get());
    WaitForSingleObject(thread_.get(), kStopWaitMs);
  }
  LatestFromThread(const LatestFromThread&) = delete;
  LatestFromThread& operator=(const LatestFromThread&) = delete;

  // Reads afresh for `window`. While a read is in flight, one more is made after it instead (the freshest outcome
  // comes, and never more than one read at a time).
  void Ask(HWND window) {
    if (!thread_ && shared_->wake && shared_->stop) {
      // Its stack is small: all it does is call Source.
      auto context = std::make_unique<std::shared_ptr<Shared>>(shared_);
      thread_.reset(
          CreateThread(nullptr, 64 * 1024, &Run, context.get(), STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
      if (thread_) context.release();
    }
    const ExclusiveLock lock(shared_->lock);
    shared_->window = window;
    if (!thread_) return;
    if (shared_->inFlight) {
      shared_->again = true;
      return;
    }
    BeginRead(*shared_);
    SetEvent(shared_->wake.get());
  }
  // The window is going: nothing is posted to it from now on (Ask starts again).
  void Stop() {
    const ExclusiveLock lock(shared_->lock);
    shared_->window = nullptr;
    shared_->latest.reset();
  }
  // True for the reader's message: Known() has the latest outcome from now on.
  bool Handle(UINT message) {
    if (message != message_) return false;
    const ExclusiveLock lock(shared_->lock);
    if (shared_->latest) known_ = std::move(*shared_->latest);
    shared_->latest.reset();
    return true;
  }
  // The outcome last taken by Handle: Value() before the first.
  const Value& Known() const { return known_; }

  // How many reads of every reader of this Source are in flight, for the tests: each frees its work when it ends.
  static long ReadsInFlight() { return InterlockedCompareExchange(&reads_, 0, 0); }

 private:
  // Shared with the thread, which may outlive the reader at the program's end, so neither outlives what it uses.
  struct Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;  // null once the window is going: nothing is posted then
    UINT message = 0;
    bool inFlight = false;  // a read is asked for or runs now
    bool again = false;     // asked for while it ran: it reads once more before it posts
    std::optional<Value> latest;  // an outcome the window has not taken yet
    UniqueKernelHandle wake{CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // a read is asked for
    UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};   // the reader is gone
  };

  // How long the reader's end waits for a read in progress.
  static constexpr DWORD kStopWaitMs = 2000;

  // Called under the lock.
  static void BeginRead(Shared& shared) {
    shared.inFlight = true;
    InterlockedIncrement(&reads_);
  }

  // One read asked for: read until no read was asked for meanwhile, leave the outcome in the slot and nudge the
  // window. The post is made under the lock, so Stop never returns while a post to its window is still to come. Any
  // program of the same integrity level can post the message too: it carries nothing the window would take.
  static void ReadUntilFresh(Shared& shared, Source& source) {
    for (;;) {
      Value value = source.Read();
      const ExclusiveLock lock(shared.lock);
      if (shared.window && shared.again) {
        shared.again = false;
        continue;
      }
      if (shared.window) {
        shared.latest = std::move(value);
        PostMessageW(shared.window, shared.message, 0, 0);
      }
      value = Value();  // the read's work is freed before it counts as ended
      shared.inFlight = shared.again = false;
      InterlockedDecrement(&reads_);
      return;
    }
  }

  static DWORD WINAPI Run(void* context) {
    // The thread's own reference: the reader may be gone before this thread is.
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(context));
    Shared& shared = **owned;
    Source source;
    HANDLE waits[] = {shared.stop.get(), shared.wake.get(), nullptr};
    DWORD count = 2;
    if constexpr (SourceWithSignal<Source>) {
      waits[2] = source.Signal();
      if (waits[2]) count = 3;
    }
    for (;;) {
      const DWORD woken = WaitForMultipleObjects(count, waits, FALSE, INFINITE);
      if (woken == WAIT_OBJECT_0 + 2) {
        if constexpr (SourceWithSignal<Source>) {
          if (!source.WatchAgain()) count = 2;
        }
        // A read already asked for comes after this signal anyway.
        const ExclusiveLock lock(shared.lock);
        if (shared.inFlight) continue;
        BeginRead(shared);
      } else if (woken != WAIT_OBJECT_0 + 1) {
        break;
      }
      ReadUntilFresh(shared, source);
    }
    return 0;
  }

  UINT message_;
  std::shared_ptr<Shared> shared_;
  UniqueKernelHandle thread_;  // made at the first Ask
  Value known_{};
  static inline volatile LONG reads_ = 0;
};

}  // namespace vantrel::runtime
