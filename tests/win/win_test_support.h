// Helpers shared by the Windows tests: waiting with deadlines, reading what the stand-in tool recorded,
// and answering the message boxes and dialogs the program opens.
#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::wintest {

// Pumps this thread's messages and polls `done` until it returns true or `timeout` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Pumps this thread's messages until the queue is empty.
void PumpMessages();

// One run of the stand-in imagex.exe as recorded in its log.
struct ToolRun {
  int show = -1;
  std::wstring line;
  std::vector<std::wstring> args;
};

// The stand-in's log for this test program, emptied at construction. The path is handed to the tool through
// the environment, which launched processes inherit.
class ToolLog {
 public:
  ToolLog();
  std::vector<ToolRun> Runs() const;
  // Waits until at least `count` runs have been recorded.
  bool WaitForRuns(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// Answers the next top-level dialog (class "#32770") with caption `caption` from a second thread: records
// its static text and presses the button with id `button` (IDOK by default) or runs `action`.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::wstring caption, int button = IDOK);
  DialogAnswerer(std::wstring caption, std::function<void(HWND)> action);
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  bool Seen() const { return seen_; }
  const std::wstring& Text() const { return text_; }
  // Waits until the dialog has been found and answered.
  bool Wait(std::chrono::milliseconds timeout = std::chrono::seconds(15));

 private:
  static DWORD WINAPI Run(void* self);
  std::wstring caption_;
  std::function<void(HWND)> action_;
  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;
  volatile bool seen_ = false;
  std::wstring text_;
};

// Text of a window, any length.
std::wstring TextOf(HWND window);
// Finds a top-level window of this process by class and caption (caption null matches any).
HWND FindTopLevel(const wchar_t* cls, const wchar_t* caption);
// Directory of this test program (where Vantrel.exe and imagex.exe are built).
std::wstring BinDir();

}  // namespace vantrel::wintest
