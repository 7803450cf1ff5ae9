// A run's log read as it grows (tool_log.h).
#include "runs/tool_log.h"

#include <algorithm>
#include <utility>

namespace vantrel::runs {
namespace {

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

ToolLog::ToolLog(CodePage oem, LogLimits limits) : decoder_(std::move(oem)), limits_(limits) {
  limits_.keptUnits = std::max<std::size_t>(limits_.keptUnits, 64);
  limits_.lineUnits = std::clamp<std::size_t>(limits_.lineUnits, 2, limits_.keptUnits / 4);
}

void ToolLog::Feed(std::span<const std::uint8_t> bytes) {
  if (!finished_) decoder_.Feed(bytes, *this);
}

void ToolLog::Finish() {
  if (finished_) return;
  decoder_.Finish(*this);
  if (!crEnded_ && lineLength_ > 0) EndLine();
  finished_ = true;
}

const std::u16string& ToolLog::phase() const {
  return percent_ && !percentAfterText_ ? phase_ : lastText_;
}

std::size_t ToolLog::footprint() const {
  return sizeof(*this) + 2 * (text_.capacity() + lastText_.capacity() + phase_.capacity() + errorLine_.capacity() +
                              errorText_.capacity());
}

void ToolLog::Put(char16_t c) {
  if (c == u'\r') {
    if (!crEnded_) {
      EndLine();
      crEnded_ = true;
    }
    return;
  }
  if (c == u'\n') {
    if (!crEnded_) EndLine();
    crEnded_ = false;
    Append(u'\n');
    lineStart_ = text_.size();
    lineLength_ = 0;
    lineCut_ = false;
    return;
  }
  if (crEnded_) {  // drawn over the line that a CR ended
    crEnded_ = false;
    Changed(lineStart_);
    text_.erase(lineStart_);
    lineLength_ = 0;
    lineCut_ = false;
  }
  ++lineLength_;
  if (!lineCut_) {
    // Cut where a character ends: a high surrogate as the last unit kept would lose its other half.
    const bool fits = lineLength_ < limits_.lineUnits || (lineLength_ == limits_.lineUnits && !IsHighSurrogate(c));
    if (fits) {
      Append(c);
    } else {
      Append(u'…');
      lineCut_ = true;
    }
  }
  Scan(c);
}

bool ToolLog::Retract(std::size_t count) {
  if (count == 0) return true;
  if (crEnded_ || lineCut_ || count > lineLength_) return false;
  Changed(text_.size() - count);
  text_.erase(text_.size() - count);
  lineLength_ -= count;
  scanner_.Reset();
  lineIsProgress_ = false;
  for (std::size_t i = lineStart_; i < text_.size(); ++i) Scan(text_[i]);
  return true;
}

void ToolLog::Append(char16_t c) {
  if (text_.size() >= limits_.keptUnits) {
    // Keep the last three quarters from a line's start, so that this happens once in a while, not at every
    // character. Lines are far shorter than the text kept, so one starts there before the current one.
    const std::size_t from = text_.size() - limits_.keptUnits / 4 * 3;
    const std::size_t lf = text_.find(u'\n', from - 1);
    const std::size_t drop = lf == text_.npos || lf >= lineStart_ ? lineStart_ : lf + 1;
    text_.erase(0, drop);
    base_ += drop;
    lineStart_ -= drop;
  }
  if (text_.size() == text_.capacity()) {
    // Powers of two up to limits_.keptUnits exactly (left to itself the string would grow beyond it).
    std::size_t capacity = 1024;
    while (capacity <= text_.size()) capacity *= 2;
    text_.reserve(std::min(capacity, limits_.keptUnits));
  }
  text_ += c;
}

void ToolLog::Scan(char16_t c) {
  if (const std::optional<int> tenths = scanner_.Put(c)) {
    percent_ = tenths;
    percentAfterText_ = true;
    lineIsProgress_ = true;
  }
}

void ToolLog::EndLine() {
  const bool progress = std::exchange(lineIsProgress_, false);
  scanner_.Reset();
  if (progress) return;
  const std::u16string_view line = Trim(std::u16string_view(text_).substr(lineStart_));
  switch (Classify(line)) {
    case LineKind::Blank:
      errorBlank_ = error_ == Error::Collecting && !errorText_.empty();
      return;
    case LineKind::Banner:
      return;
    case LineKind::LogFileLine:
      if (error_ == Error::Collecting) error_ = Error::Closed;
      return;
    case LineKind::WimlibError:
      if (error_ != Error::Collecting || !errorFromWimlib_) {
        error_ = Error::Collecting;
        errorFromWimlib_ = true;
        errorLine_ = line;
        errorText_.clear();
      }
      AddErrorText(Trim(line.substr(7)));
      break;
    case LineKind::ErrorLine:
      error_ = Error::Collecting;
      errorFromWimlib_ = false;
      errorLine_ = line;
      errorText_.clear();
      errorBlank_ = false;
      break;
    case LineKind::Text:
      if (error_ == Error::Collecting) AddErrorText(line);
      break;
  }
  if (percentAfterText_) {  // lastText_ is the step of the latest percentage
    phase_.swap(lastText_);
    percentAfterText_ = false;
  }
  lastText_ = line;
}

void ToolLog::AddErrorText(std::u16string_view line) {
  if (line.empty()) return;
  const std::u16string_view gap = errorText_.empty() ? u"" : errorBlank_ ? u"\n\n" : u"\n";
  errorBlank_ = false;
  if (errorText_.size() + gap.size() >= limits_.errorUnits) return;
  errorText_ += gap;
  std::size_t room = std::min(line.size(), limits_.errorUnits - errorText_.size());
  if (room < line.size() && room > 0 && IsHighSurrogate(line[room - 1])) --room;
  errorText_.append(line.substr(0, room));
}

TextChange ToolLog::TakeNew() {
  TextChange change;
  const std::uint64_t from = std::min(handedOut_, changedFrom_);
  if (from < base_) {
    change.restart = true;
    change.text = text_;
  } else {
    change.erase = static_cast<std::size_t>(handedOut_ - from);
    change.text = text_.substr(static_cast<std::size_t>(from - base_));
  }
  handedOut_ = base_ + text_.size();
  changedFrom_ = UINT64_MAX;
  return change;
}

}  // namespace vantrel::runs
