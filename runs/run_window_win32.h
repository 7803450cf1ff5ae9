// The run window 「运行记录」: the runs of this session in a list (the newest at the bottom), the selected run's
// output under it, live while the run goes on, and two buttons: copy the run's command line, open the folder of
// its log file. A plain resizable window owned by the main window (above it, minimised and closed with it), laid
// out at its own DPI. It shows the book it is given and changes nothing in it; the main window tells it when the
// book or a run's log has moved on. What it shows is decided in run_view.h.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "resources/dpi_scale.h"
#include "runs/run_book.h"
#include "runs/run_view.h"
#include "runtime/handles.h"
#include "runtime/window.h"

namespace vantrel::runs {

class RunWindow final : public runtime::Window<RunWindow> {
 public:
  static constexpr wchar_t kClassName[] = L"VantrelRunWindow";
  // The controls' ids, in tab order.
  enum ControlIdValue : int { kListId = 100, kLabelId, kOutputId, kCopyId, kFolderId };

  // Makes the window (hidden) at the owner's DPI, near the owner. Null when it cannot be made.
  static std::unique_ptr<RunWindow> Create(HINSTANCE instance, HWND owner, RunBook& book);
  ~RunWindow();

  // Shows the window (restored, in front) with the newest run selected and the list focused.
  void Show();
  // Hides the window, as Esc and its close button do; the object and its window stay for the next Show.
  void Hide();
  // A run was added or ended, or the percentages and durations moved on: the rows are brought up to date, the
  // selection and the scroll position stay.
  void RunsChanged();
  // New text was read into the log of run `runId`: the output box takes it when that run is shown.
  void OutputChanged(std::uint32_t runId);

  // The keyboard of the window for one message of the message loop: Tab and Shift+Tab move between the list, the
  // output box and the buttons, Esc hides the window, Alt with an access key presses a button. True when the
  // message was the window's and must not be dispatched.
  static bool DialogMessage(MSG* msg);

  // The run selected in the list, if any.
  std::optional<std::uint32_t> SelectedRun() const;
  void SelectRun(std::uint32_t runId);
  HWND Control(ControlIdValue id) const { return GetDlgItem(hwnd(), id); }
  const resources::DpiScale& Scale() const { return scale_; }

 private:
  friend class runtime::Window<RunWindow>;
  RunWindow(HINSTANCE instance, RunBook& book) : instance_(instance), book_(book) {}
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnWindowGone();

  bool CreateControls();
  void MakeFont();
  void LayOut();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void SelectRow(std::size_t row);
  // Shows the selected run's output, its whole log text; called once the selection has settled.
  void ShowSelected();
  void ApplyToOutput(const BoxChange& change);
  void EnableButtons();
  void CopyCommand();
  void OpenLogFolder();
  const Run* ShownRun() const { return shownRun_ ? book_.Find(*shownRun_) : nullptr; }

  HINSTANCE instance_;
  RunBook& book_;
  resources::DpiScale scale_;
  runtime::UniqueFont font_;
  int lineHeight_ = 16;  // of the output box's font, for how many lines it shows
  HWND list_ = nullptr, output_ = nullptr;
  HWND savedFocus_ = nullptr;
  // The rows as shown: each one's run and texts, so a refresh sets only what changed.
  std::vector<std::uint32_t> rowIds_;
  std::vector<std::array<std::u16string, kColumnCount>> rowTexts_;
  bool refreshing_ = false;           // the list's own selection changes of a refresh are not the user's
  bool selectionPosted_ = false;      // a selection change is waiting for the posted message
  std::optional<std::uint32_t> shownRun_;  // the run whose output the box shows
  OutputText outputText_;
};

}  // namespace vantrel::runs
