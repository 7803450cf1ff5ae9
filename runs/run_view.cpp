#include "runs/run_view.h"

#include <algorithm>

#include "resources/text.h"

namespace vantrel::runs {
namespace {

// Design values, in 96-dpi pixels.
constexpr int kMargin = 8, kGap = 6, kLabelHeight = 16, kLabelGap = 2;
constexpr int kButtonHeight = 24, kCopyButtonWidth = 112, kFolderButtonWidth = 148;
constexpr int kToolWidth = 64, kStartedWidth = 72, kDurationWidth = 60;
constexpr int kOperationMin = 140, kStateMin = 110;
constexpr int kScrollBarRoom = 18;  // kept free for the list's vertical scroll bar, which comes with more rows
constexpr int kListShare = 45;      // percent of the height the list and the output box share

}  // namespace

RunWindowLayout LayOutRunWindow(int clientWidth, int clientHeight, resources::DpiScale scale) {
  const int margin = scale.Px(kMargin);
  const int width = std::max(clientWidth - 2 * margin, 0);
  const int buttonHeight = scale.Px(kButtonHeight);
  const int buttonsTop = std::max(clientHeight - margin - buttonHeight, margin);
  const int shared = std::max(buttonsTop - margin - margin - scale.Px(kGap) - scale.Px(kLabelHeight) -
                                  scale.Px(kLabelGap),
                              0);
  RunWindowLayout layout;
  layout.list = {margin, margin, width, shared * kListShare / 100};
  const int labelTop = layout.list.top + layout.list.height + scale.Px(kGap);
  layout.label = {margin, labelTop, width, scale.Px(kLabelHeight)};
  const int outputTop = labelTop + layout.label.height + scale.Px(kLabelGap);
  layout.output = {margin, outputTop, width, shared - layout.list.height};
  layout.copyButton = {margin, buttonsTop, scale.Px(kCopyButtonWidth), buttonHeight};
  layout.folderButton = {margin + layout.copyButton.width + scale.Px(kGap), buttonsTop, scale.Px(kFolderButtonWidth),
                         buttonHeight};
  return layout;
}

std::array<int, kColumnCount> ColumnWidths(int listWidth, resources::DpiScale scale) {
  const int tool = scale.Px(kToolWidth), started = scale.Px(kStartedWidth), duration = scale.Px(kDurationWidth);
  const int flexible = listWidth - scale.Px(kScrollBarRoom) - tool - started - duration;
  const int operation = std::max(scale.Px(kOperationMin), flexible * 55 / 100);
  const int state = std::max(scale.Px(kStateMin), flexible - operation);
  return {operation, tool, started, duration, state};
}

std::array<std::u16string, kColumnCount> RowTexts(const Run& run, std::uint64_t nowTick, const TextLookup& text) {
  const std::uint64_t end = run.InFlight() ? nowTick : run.endTick;
  const std::uint64_t duration = end > run.startTick ? end - run.startTick : 0;
  return {run.caption, run.tool, ClockText(run.started), DurationText(duration), StateText(run, text)};
}

RowEdits EditRows(const std::vector<std::uint32_t>& shown, const std::vector<std::uint32_t>& wanted) {
  RowEdits edits;
  std::vector<std::uint32_t> kept;
  for (std::size_t row = shown.size(); row-- > 0;) {
    if (std::find(wanted.begin(), wanted.end(), shown[row]) == wanted.end())
      edits.remove.push_back(row);
    else
      kept.insert(kept.begin(), shown[row]);
  }
  // The book only ever adds at the end, so what stays is the start of what is wanted. Should it not be, every
  // row goes and the list is made again, rather than showing the runs out of order.
  if (kept.size() > wanted.size() || !std::equal(kept.begin(), kept.end(), wanted.begin())) {
    edits.remove.clear();
    for (std::size_t row = shown.size(); row-- > 0;) edits.remove.push_back(row);
    kept.clear();
  }
  edits.add.assign(wanted.begin() + static_cast<std::ptrdiff_t>(kept.size()), wanted.end());
  return edits;
}

std::optional<std::size_t> RowToSelect(const std::vector<std::uint32_t>& ids, std::optional<std::uint32_t> selected) {
  if (ids.empty()) return std::nullopt;
  if (selected) {
    const auto found = std::find(ids.begin(), ids.end(), *selected);
    if (found != ids.end()) return static_cast<std::size_t>(found - ids.begin());
  }
  return ids.size() - 1;
}

std::u16string NoLogText(const Run& run, const TextLookup& text) {
  return resources::FillIn(text(kNoLog), {run.logProblem});
}

bool FollowsEnd(const OutputView& view) {
  return view.selectionStart == view.selectionEnd && view.firstVisibleLine + view.visibleLines >= view.lineCount;
}

BoxChange OutputText::Show(std::u16string_view text) {
  front_ = end_ = 0;
  breaks_.clear();
  BoxChange change;
  change.restart = true;
  change.text = Append(text);
  return change;
}

BoxChange OutputText::Apply(const TextChange& change, std::size_t keptUnits) {
  if (change.restart) return Show(change.text);
  BoxChange box;
  const std::uint64_t from = end_ - std::min<std::uint64_t>(change.erase, LogUnits());
  box.erase = BoxUnitsFrom(from);
  breaks_.erase(std::lower_bound(breaks_.begin(), breaks_.end(), from), breaks_.end());
  end_ = from;
  box.text = Append(change.text);
  if (LogUnits() > keptUnits) {
    // The log let go of the front of its text: so does the box.
    const std::uint64_t newFront = end_ - keptUnits;
    const auto firstKept = std::lower_bound(breaks_.begin(), breaks_.end(), newFront);
    box.dropFront = static_cast<std::size_t>(newFront - front_) + static_cast<std::size_t>(firstKept - breaks_.begin());
    breaks_.erase(breaks_.begin(), firstKept);
    front_ = newFront;
  }
  return box;
}

std::size_t OutputText::BoxUnitsFrom(std::uint64_t from) const {
  const auto firstBreak = std::lower_bound(breaks_.begin(), breaks_.end(), from);
  return static_cast<std::size_t>(end_ - from) + static_cast<std::size_t>(breaks_.end() - firstBreak);
}

std::u16string OutputText::Append(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (const char16_t c : text) {
    if (c == u'\n') {
      breaks_.push_back(end_);
      out += u"\r\n";
    } else {
      // A NUL would end the text where the box takes it in.
      out += c == u'\0' ? u'\uFFFD' : c;
    }
    ++end_;
  }
  return out;
}

}  // namespace vantrel::runs
