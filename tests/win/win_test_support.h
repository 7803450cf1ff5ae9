// Helpers shared by the Windows tests: waiting with deadlines, reading what the stand-in tool recorded,
// and answering the message boxes and dialogs the program opens.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/common/tool_log.h"

namespace vantrel::wintest {

// Pumps this thread's messages and polls `done` until it returns true or `timeout` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Pumps this thread's messages until the queue is empty.
void PumpMessages();
// What the tray was told while a test ran: the tips (through either record) and the balloons' texts, in order.
// Start() empties both and installs the seam's tray observers (the fixture puts the seam back after the test).
struct TrayRecord {
  std::vector<std::wstring> tips, balloons;
  void Start();
};
inline TrayRecord g_tray;
// A key press as a message loop gets it from the control with the focus, handed to a window's keyboard
// navigation (`navigate`), with Shift held for it when `shift`; the keyboard state is put back after. True when
// the navigation took the key.
bool PressKeyThrough(const std::function<bool(MSG*)>& navigate, WPARAM key, bool shift = false);

// One run of the stand-in imagex.exe as recorded in its log.
using ToolRun = testlog::BasicToolRun<std::wstring>;

// The stand-in's log for this test program, emptied at construction. The path is handed to the tool through
// the environment, which launched processes inherit.
class ToolLog {
 public:
  ToolLog();
  // The log that stand-ins in `folder` write when no log is named in the environment: <folder>\imagex.log.
  // Clears the environment's log name (for this process and what it launches from now on) and deletes the
  // file, so that stand-ins in different folders keep separate records.
  static ToolLog BesideTool(const std::wstring& folder);
  std::vector<ToolRun> Runs() const;
  // Waits until at least `count` runs have been recorded.
  bool WaitForRuns(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  const std::wstring& path() const { return path_; }

 private:
  struct Beside {};
  ToolLog(Beside, std::wstring path);
  std::wstring path_;
};

// Answers the next top-level dialog (class "#32770") with caption `caption` from a second thread: records
// its static text and presses the button with id `button` (IDOK by default) or runs `action`.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::wstring caption, int button = IDOK);
  DialogAnswerer(std::wstring caption, std::function<void(HWND)> action);
  // The next visible "#32770" dialog of this process for which `match` returns true (for dialogs whose
  // caption is the system's own, such as the file dialogs).
  DialogAnswerer(std::function<bool(HWND)> match, std::function<void(HWND)> action);
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  bool Seen() const { return seen_; }
  // True as soon as the dialog has been found, before it is answered: after a synchronous call that would
  // have shown the dialog, Found() tells without waiting whether it appeared.
  bool Found() const { return found_; }
  const std::wstring& Text() const { return text_; }
  // The dialog's owner, and whether the owner was disabled (the dialog modal to it) when it was answered.
  HWND Owner() const { return owner_; }
  bool OwnerWasDisabled() const { return ownerDisabled_; }
  // Waits until the dialog has been found and answered.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(15));

 private:
  static DWORD WINAPI Run(void* self);
  std::function<bool(HWND)> match_;
  std::function<void(HWND)> action_;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  std::atomic<bool> seen_{false};
  std::atomic<bool> found_{false};
  std::wstring text_;
  HWND owner_ = nullptr;
  bool ownerDisabled_ = false;
};

// Text of a window, any length.
std::wstring TextOf(HWND window);
// Finds a top-level window of this process by class and caption (caption null matches any).
HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption);
// Finds a visible top-level window of this process of class `cls` for which `match` returns true.
HWND FindTopLevel(const wchar_t* cls, const std::function<bool(HWND)>& match);
// Directory of this test program (where Vantrel.exe and imagex.exe are built).
std::wstring BinDir();
// A child window (at any depth) of `parent` with class `cls`, and control id `id` unless id is -1.
HWND FindChild(HWND parent, const wchar_t* cls, int id = -1);

// Runs xdotool (real X input, which Wine's move loop and menus need) with `commands`, e.g.
// L"mousemove 10 10 click 1", pumping this thread's messages until xdotool has carried them all out.
// Returns false when it cannot be started or does not finish within `timeout`.
bool RunXdotool(const std::wstring& commands, std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace vantrel::wintest
