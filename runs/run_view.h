// What the run window shows, decided from plain values: where its parts go at a DPI, the widths of the list's
// columns, the rows of the book and their texts, which row stays selected across a refresh, and how the text a
// run's log hands out becomes the text of the output box (whose line breaks are CR LF) without losing the
// user's place in it. The Win32 side (run_window_win32.*) reads the controls and applies what is decided here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resources/dpi_scale.h"
#include "runs/run_book.h"

namespace vantrel::runs {

// String-table identifiers of the run window.
inline constexpr std::uint16_t kRunWindowTitle = 50140;
inline constexpr std::uint16_t kColumnOperation = 50141;
inline constexpr std::uint16_t kColumnTool = 50142;
inline constexpr std::uint16_t kColumnStarted = 50143;
inline constexpr std::uint16_t kColumnDuration = 50144;
inline constexpr std::uint16_t kColumnState = 50145;
inline constexpr std::uint16_t kCopyCommandButton = 50146;
inline constexpr std::uint16_t kOpenLogFolderButton = 50147;
inline constexpr std::uint16_t kOutputLabel = 50148;

inline constexpr std::size_t kColumnCount = 5;
inline constexpr std::array<std::uint16_t, kColumnCount> kColumnCaptions{
    kColumnOperation, kColumnTool, kColumnStarted, kColumnDuration, kColumnState};

// The window's size at 96 dpi when it first opens, and the least it can be made.
inline constexpr int kRunWindowWidth = 640, kRunWindowHeight = 440;
inline constexpr int kRunWindowMinWidth = 380, kRunWindowMinHeight = 280;

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Box&) const = default;
};

// The parts of the client area, top to bottom: the list of runs, the output label, the output box, and the two
// buttons in a row under it.
struct RunWindowLayout {
  Box list, label, output, copyButton, folderButton;
};
RunWindowLayout LayOutRunWindow(int clientWidth, int clientHeight, resources::DpiScale scale);

// The widths of the five columns for a list whose client area is `listWidth` pixels wide: the tool, the start
// time and the duration keep their design widths; the operation and the state share the rest, each keeping at
// least its own minimum (the list then scrolls sideways).
std::array<int, kColumnCount> ColumnWidths(int listWidth, resources::DpiScale scale);

// One row's texts, in column order. A run in flight counts its duration up to `nowTick`.
std::array<std::u16string, kColumnCount> RowTexts(const Run& run, std::uint64_t nowTick, const TextLookup& text);

// The list shows the book's runs in the order launched, the newest at the bottom (as a log reads). A refresh
// takes away the rows of runs the book let go of and adds the new ones at the end; the other rows stay where they
// are, so neither the selection nor the scroll position moves.
struct RowEdits {
  std::vector<std::size_t> remove;  // row indices, highest first, so each removal leaves the others in place
  std::vector<std::uint32_t> add;   // run ids to append, in order
  bool operator==(const RowEdits&) const = default;
};
RowEdits EditRows(const std::vector<std::uint32_t>& shown, const std::vector<std::uint32_t>& wanted);

// The row to select after a refresh: the selected run's row while it is still listed, else the newest run's;
// none for an empty list.
std::optional<std::size_t> RowToSelect(const std::vector<std::uint32_t>& ids, std::optional<std::uint32_t> selected);

// What the output box shows of the selected run when it has no log to show.
std::u16string NoLogText(const Run& run, const TextLookup& text);

// The output box holds at most this many UTF-16 units: the log's kept text with a CR before every line break.
inline constexpr std::size_t kOutputLimit = 2 * kKeptUnits + 2;

// Where the user is in the output box.
struct OutputView {
  std::size_t selectionStart = 0, selectionEnd = 0;
  int firstVisibleLine = 0, visibleLines = 0, lineCount = 0;
};
// New text follows the end while the user has neither selected text nor scrolled up from the last line.
bool FollowsEnd(const OutputView& view);

// A change of the output box, in its own units: take `dropFront` units off the front and `erase` off the end,
// then append `text`; with `restart`, replace everything with `text`.
struct BoxChange {
  bool restart = false;
  std::size_t dropFront = 0;
  std::size_t erase = 0;
  std::u16string text;
  bool operator==(const BoxChange&) const = default;
};

// The output box's copy of a log's text in the box's form. A multi-line edit box breaks lines at CR LF only, so
// every '\n' of the log is two units there, and the log's counts of units to erase cannot be used as they are:
// this keeps where the line breaks shown are, and turns the log's changes into the box's. It also drops the
// front of what is shown when the log's kept text has moved on past it, so the box never holds more than the log.
class OutputText {
 public:
  // Shows `text` alone (a run newly selected).
  BoxChange Show(std::u16string_view text);
  // The log's change since the last one shown; `keptUnits` is the size of the log's kept text afterwards.
  BoxChange Apply(const TextChange& change, std::size_t keptUnits);

  // The units the box holds in the log's terms and in its own.
  std::size_t LogUnits() const { return static_cast<std::size_t>(end_ - front_); }
  std::size_t BoxUnits() const { return LogUnits() + breaks_.size(); }

 private:
  // The box's units from log position `from` (absolute) to the end.
  std::size_t BoxUnitsFrom(std::uint64_t from) const;
  std::u16string Append(std::u16string_view text);

  std::uint64_t front_ = 0, end_ = 0;  // what is shown, in absolute log positions
  std::vector<std::uint64_t> breaks_;  // the absolute positions of the line breaks shown, in order
};

}  // namespace vantrel::runs
