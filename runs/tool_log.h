// What a run's log says while the tool writes it: the latest percentage, the step it belongs to, the tool's own
// error text, and the text itself for a run window. The caller reads the log file from where it left off and
// feeds only the new bytes; pieces may split anywhere. Memory stays bounded whatever the tool writes.
//
// Updates are separated by CR, LF or CRLF. A line ended by a lone CR (a progress bar drawn over itself) is
// replaced in the kept text by the next line, as a console shows it; it still counts as an update.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "runs/log_decoder.h"
#include "runs/log_lines.h"

namespace vantrel::runs {

inline constexpr std::size_t kKeptUnits = 512 * 1024;  // the last 1 MiB of text (UTF-16 units)
inline constexpr std::size_t kLineUnits = 32 * 1024;   // 64 KiB of one line; the rest is left out ("…")
inline constexpr std::size_t kErrorUnits = 8 * 1024;   // the tool's error text

// The program keeps to the bounds above; the fuzzer reaches them sooner with smaller ones. A line is kept to at
// most a quarter of the text kept, and the text's buffer stays at keptUnits when that is a power of two.
struct LogLimits {
  std::size_t keptUnits = kKeptUnits;
  std::size_t lineUnits = kLineUnits;
  std::size_t errorUnits = kErrorUnits;
};

// What changed in the text since the last TakeNew: take `erase` units off the end of what was handed out
// before, then append `text`; with `restart`, what was handed out before has left the kept text: show `text`
// (all of the kept text) alone.
struct TextChange {
  bool restart = false;
  std::size_t erase = 0;
  std::u16string text;
};

class ToolLog : private TextSink {
 public:
  explicit ToolLog(CodePage oem = Cp437(), LogLimits limits = {});

  void Feed(std::span<const std::uint8_t> bytes);
  // The tool has ended and its log is read to the end: a last line without a line break counts as a line, a
  // cut character is U+FFFD. Feed does nothing afterwards.
  void Finish();

  // The latest percentage in tenths (0-1000), also from a bar still being drawn.
  std::optional<int> percentTenths() const { return percent_; }
  // The last line of text (not blank, no progress, no banner) before the latest percentage; before the first
  // percentage, the last line of text so far.
  const std::u16string& phase() const;
  // The tool's error line and what it printed after it up to DISM's line that names its log file (left out),
  // blank lines trimmed and runs of them made one; wimlib's "[ERROR]" lines without the tag. Whole lines only:
  // the last line counts once its line break or Finish has come.
  const std::u16string& errorLine() const { return errorLine_; }
  const std::u16string& errorText() const { return errorText_; }

  // The kept text: lines end in '\n', the last one as far as it has come.
  const std::u16string& text() const { return text_; }
  TextChange TakeNew();

  LogEncoding encoding() const { return decoder_.encoding(); }
  // Bytes this reader holds, its buffers' capacity included.
  std::size_t footprint() const;

 private:
  void Put(char16_t c) override;
  bool Retract(std::size_t count) override;
  void Append(char16_t c);
  void Scan(char16_t c);
  void EndLine();
  void AddErrorText(std::u16string_view line);
  void Changed(std::size_t at) { changedFrom_ = std::min(changedFrom_, base_ + at); }

  LogDecoder decoder_;
  LogLimits limits_;
  bool finished_ = false;

  std::u16string text_;
  std::uint64_t base_ = 0;      // the position of text_[0] in all text ever kept
  std::size_t lineStart_ = 0;   // the current line, in text_
  std::size_t lineLength_ = 0;  // its units so far, those left out included
  bool crEnded_ = false;        // ended by a lone CR so far: a next character starts a line in its place
  bool lineCut_ = false;        // longer than limits_.lineUnits: the rest is left out

  PercentScanner scanner_;
  bool lineIsProgress_ = false;
  std::optional<int> percent_;
  bool percentAfterText_ = false;  // the latest percentage came after lastText_
  std::u16string lastText_, phase_;

  enum class Error { None, Collecting, Closed } error_ = Error::None;
  bool errorFromWimlib_ = false, errorBlank_ = false;
  std::u16string errorLine_, errorText_;

  std::uint64_t handedOut_ = 0;             // the end of what TakeNew handed out
  std::uint64_t changedFrom_ = UINT64_MAX;  // the first position changed below handedOut_ since
};

}  // namespace vantrel::runs
