#include "runtime/process_watch.h"

#include <utility>

namespace vantrel::runtime {
namespace {
ProcessWatch* g_active = nullptr;
constexpr DWORD kTurnMs = 500;
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
  std::vector<Entry> finished;
  for (std::size_t i = 0; i < entries_.size();) {
    if (WaitForSingleObject(entries_[i].process.get(), 0) == WAIT_OBJECT_0) {
      finished.push_back(std::move(entries_[i]));
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
  for (Entry& entry : finished) {
    DWORD code = 0;
    if (!GetExitCodeProcess(entry.process.get(), &code)) code = GetLastError();
    entry.process.reset();  // the handle goes before the report, which may end the program
    if (entry.ended) entry.ended(code);
  }
}

void ProcessWatch::WaitForMessagesOrProcesses(DWORD timeoutMs) {
  ProcessWatch* watch = g_active && g_active->thread_ == GetCurrentThreadId() ? g_active : nullptr;
  HANDLE handles[kHandlesPerWait];
  DWORD count = 0;
  bool taking_turns = false;
  if (watch) {
    const std::size_t total = watch->entries_.size();
    taking_turns = total > kHandlesPerWait;
    if (watch->turn_ >= total) watch->turn_ = 0;
    for (std::size_t i = 0; i < total && count < kHandlesPerWait; ++i)
      handles[count++] = watch->entries_[(watch->turn_ + i) % total].process.get();
    if (taking_turns && (timeoutMs == INFINITE || timeoutMs > kTurnMs)) timeoutMs = kTurnMs;
  }
  // MWMO_INPUTAVAILABLE: messages that a nested loop has already looked at but left in the queue wake us too.
  const DWORD result = MsgWaitForMultipleObjectsEx(count, handles, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (!watch || g_active != watch) return;
  if (result < WAIT_OBJECT_0 + count || (taking_turns && result == WAIT_TIMEOUT)) {
    if (taking_turns) watch->turn_ += kHandlesPerWait;
    watch->ReportEnded();
  }
}

}  // namespace vantrel::runtime
