#include "runs/run_book.h"

#include <algorithm>
#include <utility>

#include "resources/text.h"

namespace vantrel::runs {
namespace {

using resources::Decimal;
using resources::FillIn;

std::u16string TwoDigits(int value) {
  std::u16string digits = Decimal(value);
  if (digits.size() < 2) digits.insert(digits.begin(), u'0');
  return digits;
}

// The least advanced percentage of the runs in flight, a run without one counting as 0; none with none in
// flight.
std::optional<int> LeastTenths(const RunBook& book) {
  std::optional<int> least;
  for (const auto& run : book.runs()) {
    if (!run->InFlight()) continue;
    const int tenths = run->PercentTenths().value_or(0);
    least = least ? std::min(*least, tenths) : tenths;
  }
  return least;
}

bool EveryRunInFlightHasAPercentage(const RunBook& book) {
  return std::all_of(book.runs().begin(), book.runs().end(),
                     [](const auto& run) { return !run->InFlight() || run->PercentTenths(); });
}

}  // namespace

Run& RunBook::Add(std::u16string caption, std::u16string tool, std::u16string commandLine, ClockTime started,
                  std::uint64_t startTick) {
  if (runs_.size() >= kMaxRuns) {
    const auto ended = std::find_if(runs_.begin(), runs_.end(), [](const auto& run) { return !run->InFlight(); });
    if (ended != runs_.end()) runs_.erase(ended);
  }
  auto run = std::unique_ptr<Run>(new Run());
  run->id = nextId_++;
  run->caption = std::move(caption);
  run->tool = std::move(tool);
  run->commandLine = std::move(commandLine);
  run->started = started;
  run->startTick = startTick;
  runs_.push_back(std::move(run));
  return *runs_.back();
}

Run* RunBook::Find(std::uint32_t id) {
  for (auto& run : runs_)
    if (run->id == id) return run.get();
  return nullptr;
}

const Run* RunBook::Find(std::uint32_t id) const {
  for (const auto& run : runs_)
    if (run->id == id) return run.get();
  return nullptr;
}

void RunBook::End(std::uint32_t id, RunState state, std::u16string endText, std::uint64_t endTick) {
  Run* run = Find(id);
  if (!run || !run->InFlight()) return;
  run->state = state;
  run->endText = std::move(endText);
  run->endTick = endTick;
}

std::size_t RunBook::InFlight() const {
  return static_cast<std::size_t>(
      std::count_if(runs_.begin(), runs_.end(), [](const auto& run) { return run->InFlight(); }));
}

std::u16string PercentText(int tenths, const TextLookup& text) {
  return FillIn(text(kPercent), {Decimal(std::clamp(tenths, 0, 1000) / 10)});
}

std::u16string DurationText(std::uint64_t milliseconds) {
  const std::uint64_t seconds = milliseconds / 1000;
  const std::uint64_t hours = seconds / 3600, minutes = seconds / 60 % 60;
  std::u16string out;
  if (hours) {
    out = Decimal(static_cast<std::int64_t>(hours)) + u':' + TwoDigits(static_cast<int>(minutes));
  } else {
    out = Decimal(static_cast<std::int64_t>(minutes));
  }
  return out + u':' + TwoDigits(static_cast<int>(seconds % 60));
}

std::u16string ClockText(ClockTime time) {
  return TwoDigits(time.hour) + u':' + TwoDigits(time.minute) + u':' + TwoDigits(time.second);
}

std::u16string RunsTip(const RunBook& book, const TextLookup& text) {
  const std::size_t inFlight = book.InFlight();
  if (inFlight == 0) return text(kTipIdle);
  if (inFlight == 1) {
    for (const auto& run : book.runs()) {
      if (!run->InFlight()) continue;
      if (const auto tenths = run->PercentTenths())
        return FillIn(text(kTipOneRunAt), {run->caption, PercentText(*tenths, text)});
      return FillIn(text(kTipOneRun), {run->caption});
    }
  }
  const std::u16string count = Decimal(static_cast<std::int64_t>(inFlight));
  const bool anyPercentage = std::any_of(book.runs().begin(), book.runs().end(),
                                         [](const auto& run) { return run->InFlight() && run->PercentTenths(); });
  if (!anyPercentage) return FillIn(text(kTipSeveralRuns), {count});
  return FillIn(text(kTipSeveralAt), {count, PercentText(*LeastTenths(book), text)});
}

std::u16string StateText(const Run& run, const TextLookup& text) {
  switch (run.state) {
    case RunState::Running:
      if (const auto tenths = run.PercentTenths()) return FillIn(text(kStateRunningAt), {PercentText(*tenths, text)});
      return text(kStateRunning);
    case RunState::Finished:
      return text(kStateFinished);
    case RunState::Failed:
      return FillIn(text(kStateFailed), {run.endText});
    case RunState::EndUnknown:
      return text(kStateEndUnknown);
  }
  return {};
}

TaskbarProgress DecideTaskbar(const RunBook& book, bool showingFailure) {
  if (showingFailure) return {TaskbarState::Error, 1000};
  const std::optional<int> least = LeastTenths(book);
  if (!least) return {};
  if (!EveryRunInFlightHasAPercentage(book)) return {TaskbarState::Indeterminate, 0};
  return {TaskbarState::Normal, *least};
}

std::optional<int> StripTenths(const RunBook& book) {
  if (!EveryRunInFlightHasAPercentage(book)) return std::nullopt;
  return LeastTenths(book);
}

std::u16string StripTip(const RunBook& book, const TextLookup& text) {
  std::u16string tip;
  for (const auto& run : book.runs()) {
    if (!run->InFlight()) continue;
    const std::u16string phase = run->log ? run->log->phase() : std::u16string();
    const auto tenths = run->PercentTenths();
    std::u16string line = run->caption;
    for (const std::u16string& part : {phase, tenths ? PercentText(*tenths, text) : text(kStateRunning)})
      if (!part.empty()) line = FillIn(text(kJoined), {line, part});
    if (!tip.empty()) tip += u'\n';
    tip += line;
  }
  return tip;
}

}  // namespace vantrel::runs
