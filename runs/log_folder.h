// The folder of run logs: what a run's log is called, and which logs go when the folder is tidied.
//
// A run's log is named after the local time the run started, to the millisecond, the id of the process that
// made it and that process's count of runs (from 1):
//   YYYYMMDD-HHMMSS-mmm-PID-N.log        e.g. 20261211-120301-123-4242-1.log
// The time comes first at a fixed width, so the names sort by time as text; the process id and the count make
// two runs of the same millisecond, of one program or of two, distinct. Nothing else in the folder has a name
// of this form, and only names of this form are ever deleted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::runs {

// How many run logs the folder keeps: the newest ones.
inline constexpr std::size_t kKeptRunLogs = 20;

// A local time as the system gives it (SYSTEMTIME's fields).
struct LocalTime {
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

std::u16string RunLogName(const LocalTime& time, std::uint32_t processId, std::uint32_t sequence);

// True for a name of the form above (".log" in any case, as Windows compares names).
bool IsRunLogName(std::u16string_view name);

// The run logs among `names` (a folder's file names) that go so that the newest `keep` stay: their places in
// `names`, in order. Names of another form are never among them. Logs of the same millisecond are ordered by
// their count.
std::vector<std::size_t> RunLogsToDelete(std::span<const std::u16string> names, std::size_t keep = kKeptRunLogs);

}  // namespace vantrel::runs
