// The click handlers of the two panels and the path pickers, on Windows. Each handler reads its fields at
// the moment of the click, asks the platform-free decision what to do and carries it out.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "imaging/imaging_commands.h"
#include "imaging/panel_decisions.h"
#include "imaging/tool_choice.h"
#include "mounts/mounted_image.h"
#include "runs/run_log_win32.h"
#include "runtime/control_host.h"
#include "runtime/handles.h"
#include "wim/image_choice.h"

namespace vantrel::imaging {

// What the handlers need of the window that holds the panels: its controls, and where the runs go.
class PanelHost : public runtime::ControlHost {
 public:
  // A run of `op` by `tool` that Windows started with the command line `line`; `process` is its handle, to be
  // watched until the tool ends. `log` is the run's log, which the tool writes its output to (to be read
  // while it runs), or why the run has none.
  virtual void Launched(Operation op, Tool tool, const std::u16string& line, runtime::UniqueKernelHandle process,
                        runs::RunLogResult log) = 0;
  // What the mount panel's WIM file holds, and the capture panel's save path, when their lists were read and the
  // files have not changed since; none otherwise.
  virtual std::optional<wim::FileFacts> MountFileFacts() { return std::nullopt; }
  virtual std::optional<wim::FileFacts> CaptureFileFacts() { return std::nullopt; }
  // What Windows says is mounted, as last read: null (or a list with no value) when it is not known; then nothing
  // is refused on it.
  virtual const mounts::MountList* MountedImages() { return nullptr; }
  // A read-write mount into `folder` is being started (the tray tip reminds of it while it stays mounted).
  virtual void MountingReadWrite(std::u16string_view /*folder*/) {}

 protected:
  ~PanelHost() = default;
};

// The file dialog of the main window. Its settings persist between uses like a dialog control's
// properties do: in particular the last file name is offered again the next time.
class FilesDialog {
 public:
  DWORD Flags = 0;
  std::wstring Filter;  // "description|pattern|description|pattern"
  int FilterIndex = 0;
  std::wstring FileName;
  std::wstring DefaultExt;  // added to a name typed without one (the chosen filter's, where the system can)

  // Show the system's open or save dialog owned by `owner`. Returns true on OK, and FileName holds the
  // chosen path; false on cancel, when the dialog fails, or when the dialogs cannot be loaded (the user has
  // been told), and nothing changes.
  bool ShowOpen(HWND owner);
  bool ShowSave(HWND owner);

 private:
  bool Show(HWND owner, bool save);
};

// Shows the shell's folder browser, modal to owner, titled `title` (string 20101 when empty). Returns the
// chosen folder's full path, of any length, or the empty text on cancel or for an item with no path.
std::wstring BrowseFolder(HWND owner, const std::wstring& title);

// The tool a click would start now, read afresh from the machine: imagex.exe beside the program, else DISM of
// this Windows, else none.
struct ToolSetup {
  Tool tool = Tool::None;
  std::u16string imagexPath;  // the program folder's imagex.exe
  DismPaths dism;             // where DISM is for this process
  std::u16string Application() const { return tool == Tool::Imagex ? imagexPath : dism.launch; }
};
ToolSetup CurrentTool();

// Starts a composed command line in the program folder. When Windows refuses, a message box owned by `owner`
// names the program tried and gives the system's own reason, and the result is false. With `output` (a run
// log's write handle) the tool's output goes there and it gets no console window.
bool StartTool(HWND owner, const CommandLine& command, runtime::UniqueKernelHandle* process = nullptr,
               HANDLE output = nullptr);

// The tooltip text of the button that starts `op` when `setup` is what the machine has: the tool that will
// run, or why none will.
std::wstring ToolTipFor(Operation op, const ToolSetup& setup);

void MountWim_Click(PanelHost& host);
void unMountWim_Click(PanelHost& host);
void ExtWIM_Click(PanelHost& host);
void MakeWimImage_Click(PanelHost& host);
void WimB_Click(PanelHost& host, FilesDialog& dialog);
void MountB_Click(PanelHost& host);
void mk_WimB01_Click(PanelHost& host);
void mk_WimB02_Click(PanelHost& host, FilesDialog& dialog);
// The repairs the mounted-image list offers: remount the mount in `folder`, clean up every mount that cannot be.
void Remount_Click(PanelHost& host, std::u16string_view folder);
void Cleanup_Click(PanelHost& host);

// Carries a decision out: its message; or its question, then on Yes the rest; the index box refilled; the launch.
void CarryOut(PanelHost& host, const Decision& decision);

// The image list's commands on the mount panel's file (file_commands_win32.cpp). Each dialog keeps its last
// name and folder, as FilesDialog does.
void ExportImage_Click(PanelHost& host, FilesDialog& dialog);
void SplitImage_Click(PanelHost& host, FilesDialog& dialog);
void DeleteImage_Click(PanelHost& host);

}  // namespace vantrel::imaging
