// The log file of a run on Windows: made in %TEMP%\Vantrel\logs before the tool starts, handed to the tool as its
// standard output and standard error, and read by the program while the tool writes it.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/handles.h"

namespace vantrel::runs {

// The most one ReadNew reads: a tool that writes megabytes at once is followed over several looks, and no look
// keeps the user-interface thread for long. One read takes at most kReadChunk.
inline constexpr std::size_t kReadChunk = 64 * 1024;
inline constexpr std::size_t kReadPerLook = 1024 * 1024;

// The folder the run logs go to, %TEMP%\Vantrel\logs, without a trailing backslash. Not made here.
std::wstring RunLogFolder();

struct RunLogResult;
RunLogResult CreateRunLog();

class RunLog {
 public:
  RunLog(RunLog&&) = default;
  RunLog& operator=(RunLog&&) = default;

  // The handle the tool writes to (inheritable): for ProcessLaunch::output. Null once closed.
  HANDLE WriteHandle() const { return write_ ? write_.get() : nullptr; }
  // Closes the program's copy of the write handle. Right after the launch: then the tool holds the only one,
  // and the file is closed for writing when the tool (and whatever it started with the handle) has ended.
  void CloseWriteHandle() { write_.reset(); }
  // The tool did not start: the file goes (it stays until this object goes, and nothing else keeps it).
  void Discard();

  // The bytes the tool added since the last look, at most kReadPerLook of them, in `bytes` (emptied first).
  // `more` (when given) says whether there may be more already written: look again soon. Returns 0, or the
  // system's error of the read that failed (the bytes read before it are in `bytes`).
  DWORD ReadNew(std::vector<std::uint8_t>& bytes, bool* more = nullptr);
  // How many bytes the looks have read so far (or passed over).
  std::uint64_t Offset() const { return offset_; }
  // Passes over what the tool has written beyond the last `tail` bytes not yet read, so that the next look reads
  // the newest output: a tool that writes faster than the looks read is followed where it is now, and its last
  // words (its error text) are read at its end. True when anything was passed over.
  bool SkipToTail(std::uint64_t tail);

  // The log's full path, and its folder (for "open the log folder").
  const std::wstring& Path() const { return path_; }
  std::wstring Folder() const { return path_.substr(0, path_.find_last_of(L'\\')); }

 private:
  friend RunLogResult CreateRunLog();
  RunLog() = default;

  runtime::UniqueFile write_, read_;
  std::wstring path_;
  std::uint64_t offset_ = 0;
};

// A run's log, or why there is none: the run then starts as without a log, and its output goes nowhere.
struct RunLogResult {
  std::optional<RunLog> log;
  DWORD error = 0;      // when there is no log: the system's error
  std::wstring reason;  // and the path that could not be made, with the system's text for the error
};

// Makes the folder (as needed) and a new, empty log file in it for one run. Before the session's first, the
// folder is tidied (PruneRunLogs).
RunLogResult CreateRunLog();

// Deletes the oldest run logs of the folder so that the newest kKeptRunLogs stay; files of other names stay
// whatever they are. Done before the session's first run log. Returns how many were deleted (a log still
// open without sharing for deletion stays).
std::size_t PruneRunLogs(const std::wstring& folder = RunLogFolder());

}  // namespace vantrel::runs
