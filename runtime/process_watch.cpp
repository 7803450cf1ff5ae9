#include "runtime/process_watch.h"

#include <utility>

namespace vantrel::runtime {
namespace {
ProcessWatch* g_active = nullptr;
}  // namespace

ProcessWatch::ProcessWatch() {
  g_active = this;
}

ProcessWatch::~ProcessWatch() {
  if (g_active == this) g_active = nullptr;
}

void ProcessWatch::Watch(UniqueKernelHandle process, Ended ended) {
  if (!process) return;
  entries_.push_back(Entry{std::move(process), std::move(ended)});
}

void ProcessWatch::ReportEnded() {
  lastScan_ = GetTickCount();
  std::vector<std::pair<Entry, ProcessEnd>> finished;
  for (std::size_t i = 0; i < entries_.size();) {
    const DWORD state = WaitForSingleObject(entries_[i].process.get(), 0);
    if (state == WAIT_TIMEOUT) {
      ++i;
      continue;
    }
    ProcessEnd end;
    if (state != WAIT_OBJECT_0) {
      // The handle cannot be waited for: its end would never be seen, so it is reported now as unknown.
      end = {false, GetLastError()};
    } else if (!GetExitCodeProcess(entries_[i].process.get(), &end.value)) {
      end = {false, GetLastError()};
    }
    finished.emplace_back(std::move(entries_[i]), end);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  for (auto& [entry, end] : finished) {
    entry.process.reset();  // the handle goes before the report, which may end the program
    if (entry.ended) entry.ended(end);
  }
}

void ProcessWatch::WaitForMessagesOrProcesses(DWORD timeoutMs) {
  ProcessWatch* watch = g_active && g_active->thread_ == GetCurrentThreadId() ? g_active : nullptr;
  HANDLE handles[kHandlesPerWait];
  DWORD count = 0;
  bool inTurns = false;
  if (watch && !watch->entries_.empty()) {
    const std::size_t total = watch->entries_.size();
    inTurns = total > kHandlesPerWait || watch->waitFailed_;
    if (watch->turn_ >= total) watch->turn_ = 0;
    if (!watch->waitFailed_)
      for (std::size_t i = 0; i < total && count < kHandlesPerWait; ++i)
        handles[count++] = watch->entries_[(watch->turn_ + i) % total].process.get();
    if (inTurns && (timeoutMs == INFINITE || timeoutMs > kTurnMs)) timeoutMs = kTurnMs;
  }
  // MWMO_INPUTAVAILABLE: messages that a nested loop has already looked at but left in the queue wake us too.
  const DWORD result = MsgWaitForMultipleObjectsEx(count, handles, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (!watch || g_active != watch) return;
  if (result == WAIT_FAILED) {
    // One of the handles cannot be waited for. Looking at each finds and reports it; from then on the watch
    // looks at its handles in turns, so the loop never goes round a failing wait at full speed.
    watch->waitFailed_ = true;
    watch->ReportEnded();
    return;
  }
  if (inTurns) watch->turn_ += kHandlesPerWait;
  // A handle signalled, or (when the wait takes turns) half a second gone since every handle was looked at:
  // a steady stream of messages cannot keep the handles outside this turn from being seen.
  if (result < WAIT_OBJECT_0 + count || (inTurns && GetTickCount() - watch->lastScan_ >= kTurnMs))
    watch->ReportEnded();
  if (watch->entries_.empty()) watch->waitFailed_ = false;
}

}  // namespace vantrel::runtime
