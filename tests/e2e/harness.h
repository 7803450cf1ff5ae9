// The end-to-end harness: Vantrel.exe under Wine in an X display, driven the way a user drives it (xdotool
// moves, clicks, drags and keys; text pasted through the X clipboard where xdotool cannot type it) and checked
// by what a user sees (screenshots) and by what the imaging tool received (the stand-in's log).
//
// The suite runs in its own Wine prefix (<host build>/wineprefix), so its wineserver, desktop process, tray
// window and clipboard belong to it alone, and it stops that wineserver between scenarios. The X display is a
// private Xvfb, or $DISPLAY when VANTREL_USE_DISPLAY=1. Xvfb has no window manager: where a window manager
// would give the keyboard focus to the window the user clicks, the harness does so itself.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "resources/artwork.h"
#include "tests/common/tool_log.h"

namespace vantrel::e2e {

using namespace std::chrono_literals;

// Polls `done` until it returns true or `timeout` passes; true when it did.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds interval = 20ms);

struct CommandResult {
  int status = -1;  // exit status, or -1 when killed or not started
  bool timedOut = false;
  std::string out;
};

// Environment changes for a child: "NAME=value" sets, "NAME" alone removes.
using EnvChanges = std::vector<std::string>;

// Runs a program (looked up in PATH) and returns its standard output; standard error goes to ours. The
// program is killed when `timeout` passes.
CommandResult RunCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout = 30s,
                         const EnvChanges& env = {}, const std::string& input = {});

// A program started in the background, in a process group of its own. Killed with its group when destroyed.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& argv, const EnvChanges& env = {}, const std::string& outputFile = "/dev/null",
        const std::string& directory = "");
  ~Child();
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  bool Running();
  bool WaitExit(std::chrono::milliseconds timeout);
  void Kill();

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
};

// A scenario's deadline. When it passes, every program the harness started is killed (Wine's too) and the
// test program ends with a failure, so a scenario that hangs cannot hold up the run.
class Deadline {
 public:
  Deadline(std::string scenario, std::chrono::seconds limit);
  ~Deadline();
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable over_;
  bool done_ = false;
  std::thread thread_;
};

// The display and the Wine session shared by every scenario of this test program.
class Session {
 public:
  static Session& Get();
  const std::string& display() const { return display_; }
  const std::string& winBin() const { return winBin_; }    // folder holding Vantrel.exe, imagex.exe, the probe
  const std::string& loader() const { return loader_; }    // wine or wine64, from the PE machine of Vantrel.exe
  const std::string& prefix() const { return prefix_; }    // the suite's own Wine prefix
  EnvChanges WineEnv() const;                               // display, prefix, locale, quiet debug output
  // Stops the suite's wineserver and everything in it (its desktop process and tray window included).
  void StopWine();

 private:
  Session();
  ~Session();
  std::string display_, winBin_, loader_, prefix_;
  std::optional<Child> xvfb_;
};

// How many processes of the suite's Wine session run the Windows program `exeName` (e.g. "imagex.exe").
int WineProcessesNamed(const std::string& exeName);
// Resident memory of the suite's wineserver in KiB (-1 when none runs). It holds every kernel object, so
// handles a program leaks show here.
long WineServerResidentKiB();

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  int CentreX() const { return x + width / 2; }
  int CentreY() const { return y + height / 2; }
  bool operator==(const Rect&) const = default;
};

// xdotool: real X input.
void MouseMove(int x, int y);
void MouseDown(int button = 1);
void MouseUp(int button = 1);
void ClickAt(int x, int y, int button = 1);
void Keys(const std::vector<std::string>& keys, int delayMs = 20);
void TypeAscii(const std::string& text);
void FocusWindow(const std::string& window);
// Visible X windows of a process, and a window's place on the screen (nothing when it is gone).
std::vector<std::string> VisibleWindowsOf(pid_t pid);
std::optional<Rect> WindowGeometry(const std::string& window);
std::string WindowName(const std::string& window);
// The visible X window named "Wine System Tray" of the suite's own desktop process, if any.
std::optional<Rect> WineTrayWindow();
std::string WineTrayWindowId();

// The whole screen, as `import -window root` sees it.
resources::Image Screenshot();

// The X clipboard: what it holds now (UTF-8), and offering text on it as another program would.
std::string ClipboardText();
class ClipboardOffer {
 public:
  explicit ClipboardOffer(const std::string& text);  // returns once the text can be pasted
  ~ClipboardOffer();
  ClipboardOffer(const ClipboardOffer&) = delete;
  ClipboardOffer& operator=(const ClipboardOffer&) = delete;
  // Waits until a program has fetched the text since the offer was made or last waited for.
  bool WaitForPaste(std::chrono::milliseconds timeout);
 private:
  int Served() const;
  std::string file_;
  std::string log_;
  int served_ = 0;
  Child xclip_;
};

// The structure events (map, unmap, configure, destroy) of one X window, or with "root" of every top-level
// window, recorded by xev from now on.
class WindowEvents {
 public:
  explicit WindowEvents(const std::string& window);
  ~WindowEvents();
  WindowEvents(const WindowEvents&) = delete;
  WindowEvents& operator=(const WindowEvents&) = delete;
  std::string Text() const;

 private:
  std::string file_;
  Child xev_;
};

// True when the top-level window `first` was taken off the screen (unmapped or destroyed) before the
// top-level window `second`, as told by root events recorded by WindowEvents("root"); false while either
// is still there.
bool GoneBefore(const std::string& rootEvents, const std::string& first, const std::string& second);

// One run of the stand-in imagex.exe, as recorded in its log.
using ToolRun = testlog::BasicToolRun<std::string>;  // texts in UTF-8
std::vector<ToolRun> ParseToolLog(const std::string& content);

// Vantrel.exe started from a fresh folder (its name has a space and Chinese characters) with the stand-in
// imagex.exe beside it. Waits until the main window is shown and painted. The destructor ends the program,
// stops the Wine session and removes the folder (kept, and named on stderr, when the scenario failed).
class App {
 public:
  // Which tool the program finds. Imagex: the stand-in imagex.exe beside it. The others: no imagex.exe; the
  // Wine prefix reports the given Windows version and has the stand-in in place of Wine's own dism.exe in its
  // 64-bit system folder (Windows 10, Windows 7), or no dism.exe at all (None). The prefix is put back as it was
  // when the scenario ends.
  enum class Tool { Imagex, DismWindows10, DismWindows7, None };
  explicit App(Tool tool = Tool::Imagex);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  const std::string& folder() const { return folder_; }    // Linux path
  std::string WindowsFolder() const;                       // the same folder as Windows sees it (Z:\...)
  static std::string WindowsPath(const std::string& linuxPath);
  // The stand-in wimgapi.dll's description file (Linux path, in the folder): what Windows has mounted, read afresh
  // at every call of the library. At first it says the library cannot tell; absent, nothing is mounted.
  std::string mountsFile() const { return folder_ + "/mounts.txt"; }
  const std::string& window() const { return window_; }    // X window id of the main window
  pid_t pid() const { return process_.pid(); }
  bool Running() { return process_.Running(); }
  bool WaitExit(std::chrono::milliseconds timeout) { return process_.WaitExit(timeout); }

  // Where the main window is now.
  Rect Geometry() const;
  // A control's rectangle in window coordinates, from the control table (panel children are placed on the
  // panel, which Form_Load puts at 8, 96 for both panels).
  static Rect ControlRect(std::string_view name);
  // Screen point of a window point, for the window's current place.
  int ScreenX(int windowX) const;
  int ScreenY(int windowY) const;

  // A left click in the middle of a control; the main window gets the keyboard focus as a window manager
  // would give it.
  void Click(std::string_view control);
  // Clicks into a text box, selects everything and types `text` over it (xdotool for plain ASCII, else a
  // paste from the clipboard), then checks that the box holds exactly the text.
  void SetField(std::string_view control, const std::string& text);
  // The text of a text box, read the way a user copies it: click, Ctrl+A, Ctrl+C.
  std::string Field(std::string_view control);
  // One read of the box: its text, or the clipboard marker (which starts with kMarkerPrefix) when no copy came.
  std::string FieldOnce(std::string_view control);
  static constexpr const char* kMarkerPrefix = "\x01marker ";

  // The main window's picture on the screen, in window coordinates.
  resources::Image WindowShot() const;

  // The main window as the system sees it (read by the probe): Xvfb has no window manager, so a minimised
  // window stays on the screen; whether it is minimised is read the way a screen reader reads it.
  struct State {
    bool visible = false, minimised = false;
    Rect rect;
  };
  std::optional<State> SystemState() const;

  std::vector<ToolRun> Runs() const;
  bool WaitForRuns(std::size_t count, std::chrono::milliseconds timeout = 30s) const;
  // Resident memory of the Wine process running Vantrel.exe, in KiB.
  long ResidentKiB() const;

  // The visible message boxes captioned "Vantrel": each one's X window and its text (read by the probe).
  struct Button {
    Rect rect;  // on the screen
    std::string text;
  };
  struct MessageBox {
    std::string window;
    std::string text;
    std::vector<Button> buttons;
  };
  std::vector<MessageBox> MessageBoxes() const;
  // The texts of the visible tooltip windows of the Wine session (read by the probe): the tray shows a
  // balloon as one of them.
  static std::vector<std::string> Tooltips();
  // The texts of the main window's visible labels that have text (read by the probe), in window order.
  static std::vector<std::string> Labels();
  // What a screen reader is told of the main window, one line per item as the probe prints it
  // ("window <name>", "bar <role> <name>", "child <id> <role> <state> <x> <y> <width> <height> <name>|<action>",
  // "field <name>"; names unescaped).
  static std::vector<std::string> AccessibleItems();
  // Waits until one of the main window's labels says something starting with `prefix` (a failure when none does
  // in time, naming the labels there are); returns its whole text.
  static std::string LabelStartingWith(const std::string& prefix);
  // Waits until a visible tooltip's text starts with `prefix`; returns its whole text.
  static std::optional<std::string> WaitForTooltip(const std::string& prefix, std::chrono::milliseconds timeout = 20s);
  std::optional<MessageBox> WaitForMessageBox(std::chrono::milliseconds timeout = 15s) const;
  // Waits for the one message box, expects `words` in its text and closes it with Enter, waiting until it is gone.
  void DismissMessageSaying(const std::string& words);
  // Picks the image list's command at `position` (1 the first) below its `images` entries: F4 in the index box
  // opens the list, once it is on the screen the arrow keys walk down to the command and Enter picks it.
  void PickListCommand(std::size_t images, std::size_t position);
  // The save dialog of a command: `windowsPath` pasted over the name it offers, then saved. False when no dialog
  // came or it stayed.
  bool SaveAs(const std::string& windowsPath);
  // The run window 「运行记录」 (read by the probe), once the program has made it: whether it is shown, where, its
  // title, the rows of its list (the columns' texts joined with '|') and its output box's text.
  struct RunWindow {
    bool visible = false;
    Rect rect;  // on the screen
    std::string title;
    std::vector<std::string> rows;
    std::string output;
  };
  static std::optional<RunWindow> RunWindowShown();
  // True once no message box is left: none in the program's windows and no X window of one on the screen
  // (Wine takes the X window down a moment after the dialog ends, and until then it takes the clicks).
  bool WaitForNoMessageBox(std::chrono::milliseconds timeout = 15s) const;

 private:
  std::vector<std::string> MessageBoxWindows() const;
  void PreparePrefix();
  void RestorePrefix();
  Tool tool_;
  std::string folder_;
  Child process_;
  std::string window_;
};

// Colour helpers for screenshot checks.
constexpr int Red(std::uint32_t p) { return resources::RedOf(p); }
constexpr int Green(std::uint32_t p) { return resources::GreenOf(p); }
constexpr int Blue(std::uint32_t p) { return resources::BlueOf(p); }
bool IsGrey(std::uint32_t pixel, int level);
std::string DescribePixel(std::uint32_t pixel);

}  // namespace vantrel::e2e
