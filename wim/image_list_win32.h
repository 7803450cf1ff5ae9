// The panels' knowledge of the WIM files their path fields name, on Windows. A file is read on a thread-pool
// thread (its header, then its description's range: a few kilobytes whatever the file's size), so that a file
// on a slow share never stalls typing; a posted message tells the window that the outcome has come, and it is
// kept until the path changes. What is shown is decided by wim/image_choice.h; this class puts it into the labels
// beside the index box (mount panel) and beside 以追加方式 (capture panel), keeps the whole text in a tooltip
// when the label cuts it, and shows the list to pick from (a click on the label, or F4 / Alt+Down in the index
// box).
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/control_host.h"
#include "wim/image_choice.h"

namespace vantrel::wim {

// Reads the listing of the file at `path` now, on the calling thread: its header and description only.
Listing ReadListing(const std::wstring& path);

// One path field's file: read after a pause in typing, off the user-interface thread.
class ListReader {
 public:
  ListReader(UINT message, UINT_PTR timerId);
  // The field now holds `fieldText`: what was known is forgotten and the new path is read after a pause.
  void PathChanged(HWND window, std::wstring_view fieldText);
  // True when `message` was this reader's (its timer or its outcome) and has been handled; `changed` is set
  // when the listing changed.
  bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* changed);
  const Listing& listing() const { return listing_; }
  // The same file is read again in a moment (it may have been written); what is known stays until then.
  void ReadAgain(HWND window);
  // What a click may act on: the file's facts, none unless the list was read and the file is still as it was
  // then; a file changed since is read again.
  std::optional<FileFacts> FactsForClick(HWND window);

  // Where the reading thread leaves its outcome; the message it posts only says that one has come. The slot
  // is shared with the read in flight, so neither outlives what it uses.
  struct Slot;

 private:
  UINT message_;
  UINT_PTR timerId_;
  std::uint32_t generation_ = 0;  // the outcome of an earlier path is dropped when it comes
  std::shared_ptr<Slot> slot_;
  std::optional<std::wstring> path_;  // the file the field names, as the tool opens it
  Listing listing_;
};

// Where the image list's commands go when one is picked.
class ListCommandSink {
 public:
  virtual void ListCommandPicked(ListCommand command) = 0;

 protected:
  ~ListCommandSink() = default;
};

class PanelImageInfo {
 public:
  // The messages and timers of the window `host.Owner()` that these readers use.
  static constexpr UINT kMountMessage = WM_APP + 16, kCaptureMessage = WM_APP + 17;
  static constexpr UINT_PTR kMountTimer = 0x5716, kCaptureTimer = 0x5717;

  PanelImageInfo(runtime::ControlHost& host, ListCommandSink& commands) : host_(host), commands_(commands) {}
  PanelImageInfo(const PanelImageInfo&) = delete;
  PanelImageInfo& operator=(const PanelImageInfo&) = delete;

  // After the mount panel's controls exist: the index box's keys.
  void Attach();
  // A notification from the control `id`: path, index and 以追加方式 changes update what is shown.
  void Command(ControlId id, int notification);
  // The window moved to another DPI: the labels are in a new font and size, so whether a text is cut is worked
  // out again, and the tooltip's width follows the scale.
  void ScaleChanged(int dpi);
  // A message of the window: true when it was one of ours and has been handled.
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // What the mount panel's file, and the capture panel's save path, are known to hold: when the list was read
  // and the file has not changed since (it is then read again).
  std::optional<FileFacts> MountFacts();
  std::optional<FileFacts> CaptureFacts();
  // A launched run has ended: it may have written the files the panels name (a capture or an append to the
  // save path, a committed unmount into its WIM file), so both are read again.
  void RunEnded();
  // The list to pick from, under the index box, and the commands below it: the index box gets the number
  // picked, a command goes to the sink.
  void ShowPicker();
  // Shows `text` in one of the panels' info lines `label` (these and the mounted images' line), with the whole
  // text in a tooltip when the label cuts it; `again` works out the tooltip even when the text is the same.
  void SetLine(HWND label, const std::wstring& text, bool again = false);

 private:
  void ShowMountLine();
  void ShowCaptureLine();
  static LRESULT CALLBACK IndexBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  runtime::ControlHost& host_;
  ListCommandSink& commands_;
  ListReader mount_{kMountMessage, kMountTimer};
  ListReader capture_{kCaptureMessage, kCaptureTimer};
  HWND tooltip_ = nullptr;  // owned by the main window, destroyed with it
  bool captureLineShown_ = false;
};

}  // namespace vantrel::wim
