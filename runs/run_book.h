// The runs of this session, as the program shows them: each launched run's caption, tool, command line, log,
// times and state, with the reader of its log; and what the tray tip, the taskbar button, the progress strip and
// say of them. Decided from plain values; the Win32 side reads the logs, the clock and the
// exit codes, and makes the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/tool_log.h"

namespace vantrel::runs {

using TextLookup = std::function<std::u16string(std::uint16_t)>;

// String-table identifiers.
inline constexpr std::uint16_t kTipIdle = 40101;         // nothing runs
inline constexpr std::uint16_t kTipOneRun = 50121;       // "%1" the run's caption
inline constexpr std::uint16_t kTipOneRunAt = 50122;     // "%1" the caption, "%2" its percentage
inline constexpr std::uint16_t kTipSeveralRuns = 50108;  // "%1" how many
inline constexpr std::uint16_t kTipSeveralAt = 50123;    // "%1" how many, "%2" the least advanced one's percentage
inline constexpr std::uint16_t kPercent = 50124;         // "%1" whole percent: "%1%"
inline constexpr std::uint16_t kStateRunning = 50125;    // no percentage yet
inline constexpr std::uint16_t kStateRunningAt = 50126;  // "%1" the percentage
inline constexpr std::uint16_t kStateFinished = 50127;
inline constexpr std::uint16_t kStateFailed = 50128;       // "%1" the exit code as the balloon writes it
inline constexpr std::uint16_t kStateEndUnknown = 50129;   // the exit code could not be read
inline constexpr std::uint16_t kNoLog = 50130;             // "%1" why the run's output was not kept
inline constexpr std::uint16_t kJoined = 50109;            // "%1 · %2"

enum class RunState { Running, Finished, Failed, EndUnknown };

// A wall-clock time of day, as the run window shows when a run started.
struct ClockTime {
  int hour = 0, minute = 0, second = 0;
};

struct Run {
  std::uint32_t id = 0;        // 1, 2, ... in the order launched
  std::u16string caption;      // the operation, as the balloon's title names it ("挂载 WIM 镜像（可修改）")
  std::u16string tool;         // "imagex" or "DISM"
  std::u16string commandLine;  // as launched
  std::u16string logPath;      // the run's log file; empty when its output is not kept
  std::u16string logProblem;   // why its output is not kept (the system's words), else empty
  ClockTime started;
  std::uint64_t startTick = 0, endTick = 0;  // milliseconds of the adapter's steady clock
  RunState state = RunState::Running;
  std::u16string endText;  // how it ended, in words (the exit code), once it has
  std::unique_ptr<ToolLog> log;

  bool InFlight() const { return state == RunState::Running; }
  // The latest percentage in tenths; none before the tool has drawn a bar (or when nothing is read of it).
  std::optional<int> PercentTenths() const { return log ? log->percentTenths() : std::nullopt; }
};

class RunBook {
 public:
  // The most runs kept; the oldest ended runs leave first (their log files stay in the log folder).
  static constexpr std::size_t kMaxRuns = 100;

  // A new run in flight, with the next id; its log reader is made by the caller (none when nothing is read).
  Run& Add(std::u16string caption, std::u16string tool, std::u16string commandLine, ClockTime started,
           std::uint64_t startTick);
  Run* Find(std::uint32_t id);
  const Run* Find(std::uint32_t id) const;
  // Ends a run: its state, its end tick and how it ended in words.
  void End(std::uint32_t id, RunState state, std::u16string endText, std::uint64_t endTick);

  const std::vector<std::unique_ptr<Run>>& runs() const { return runs_; }
  std::size_t InFlight() const;

 private:
  std::vector<std::unique_ptr<Run>> runs_;
  std::uint32_t nextId_ = 1;
};

// "45%": whole percent, rounded down, so that 100% shows only when the tool has drawn it.
std::u16string PercentText(int tenths, const TextLookup& text);

// "0:05", "12:40", "1:02:03".
std::u16string DurationText(std::uint64_t milliseconds);
// "09:05:03".
std::u16string ClockText(ClockTime time);

// The tray tip: the idle tip with nothing in flight; one run's caption and percentage; for several, how many and
// the percentage of the least advanced (a run without a percentage counts as 0).
std::u16string RunsTip(const RunBook& book, const TextLookup& text);

// The state column of the run window: 正在进行 45% / 已完成 / 失败 with the exit code / not known.
std::u16string StateText(const Run& run, const TextLookup& text);

// What the taskbar button shows: nothing with no run in flight; indeterminate until every run in flight has drawn
// a percentage (the least advanced run's percentage then); the error state while a failure is being shown.
enum class TaskbarState { None, Indeterminate, Normal, Error };
struct TaskbarProgress {
  TaskbarState state = TaskbarState::None;
  int tenths = 0;  // of Normal, 0-1000
  bool operator==(const TaskbarProgress&) const = default;
};
TaskbarProgress DecideTaskbar(const RunBook& book, bool showingFailure);

// The progress strip: the least advanced percentage of the runs in flight (none when no run is, or none has drawn
// one yet: the strip then shows a run without a measure), and its tooltip, one line per run in flight: caption,
// phase and percentage.
std::optional<int> StripTenths(const RunBook& book);
std::u16string StripTip(const RunBook& book, const TextLookup& text);

}  // namespace vantrel::runs
