// What one line of a run's log is: a progress bar, the tool's banner, its error line, the closing line of a
// DISM error that names its log file, or plain text. Decided from the line's decoded text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::runs {

// Finds percentages as a line's characters arrive, in constant time and memory per character: a number of
// 0-100 with at most one decimal kept, followed by '%', inside brackets (DISM's bar "[=====  25.0%  ]",
// imagex's "[ 45% ]") or in parentheses (wimlib's "... (12%) done"). A percentage anywhere else ("100% of the
// disk") is not progress.
class PercentScanner {
 public:
  void Reset() { *this = PercentScanner{}; }
  // The percentage that this character completes, in tenths (0-1000).
  std::optional<int> Put(char16_t c);

 private:
  void EndNumber();

  bool inBracket_ = false;
  char16_t previous_ = 0, beforeNumber_ = 0;
  int whole_ = 0, wholeDigits_ = 0, tenth_ = 0, fractionDigits_ = 0;
  bool dot_ = false;
  std::optional<int> awaitingParen_;  // "(12%" seen: progress when ')' follows
};

enum class LineKind {
  Blank,
  Banner,       // the tool's name, version and copyright lines
  ErrorLine,    // DISM's "Error: 0xc1420127" / "错误: 87", imagex's "Error mounting image."
  WimlibError,  // "[ERROR] ...": the error text is on the line itself
  LogFileLine,  // DISM's last line after an error, naming its log file
  Text,
};

// `line` without its leading and trailing blanks.
LineKind Classify(std::u16string_view line);

std::u16string_view Trim(std::u16string_view line);

// The first `maxLines` non-blank lines of `errorText`, one per line, within `maxUnits` UTF-16 units (a tray
// balloon holds 255, the caller's own words included): what is left out shows as "…" at the end, and a
// character is never cut in half.
std::u16string ErrorSummary(std::u16string_view errorText, std::size_t maxLines, std::size_t maxUnits);

}  // namespace vantrel::runs
