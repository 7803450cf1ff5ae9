#include "imaging/panels_win32.h"

#include <shlobj.h>

#include <vector>

#include "imaging/imaging_commands.h"
#include "imaging/panel_decisions.h"
#include "runtime/controls.h"
#include "runtime/file_dialogs.h"
#include "runtime/handles.h"
#include "runtime/runtime.h"
#include "wim/list_path.h"

namespace vantrel::imaging {
namespace {

using runtime::CheckState;
using runtime::Utf16;
using runtime::Wide;
using runtime::WindowText;

std::u16string TableText(std::uint16_t id) { return Utf16(runtime::LoadResString(id)); }

MountFields ReadMountFields(PanelHost& host) {
  MountFields f;
  f.wimPath = Utf16(WindowText(host.Control(ControlId::WIMPath)));
  f.index = Utf16(WindowText(host.Control(ControlId::WIMindex)));
  f.mountPath = Utf16(WindowText(host.Control(ControlId::MountPath)));
  f.readWriteCheck = CheckState(host.Control(ControlId::WIMR_Check));
  if (const std::optional<wim::FileFacts> facts = host.MountFileFacts()) {
    f.imageCount = facts->imageCount;
    f.parts = facts->parts;
  }
  f.mounted = host.MountedImages();
  return f;
}

// The first of a split set's other parts that is not in its folder, as the tool would look for it.
std::optional<std::u16string> MissingPart(const MountFields& f) {
  const std::u16string first = wim::ToolFile(Utf16(runtime::ProgramFolder()), f.wimPath);
  for (unsigned part = 2; part <= f.parts; ++part) {
    std::u16string name = wim::SplitPartName(first, part);
    if (!runtime::IsFile(Wide(name))) return name;
  }
  return std::nullopt;
}

}  // namespace

void CarryOut(PanelHost& host, const Decision& decision) {
  if (decision.message) {
    runtime::MsgBox(host.Owner(), Wide(MessageText(decision, TableText)));
    return;
  }
  if (decision.question && runtime::AskYesNo(host.Owner(), Wide(MessageText(decision, TableText))) != IDYES) return;
  if (decision.setIndexToOne) SetWindowTextW(host.Control(ControlId::WIMindex), Wide(kDefaultIndex).c_str());
  if (!decision.launch) return;
  if (const auto folder = ReadWriteMountFolder(*decision.launch)) host.MountingReadWrite(*folder);
  const Operation op = decision.launch->op;
  const ToolSetup setup = CurrentTool();
  if (setup.tool == Tool::None) {
    // Nothing to start: the places looked at, and the system's reason.
    runtime::MsgBox(host.Owner(), Wide(setup.imagexPath) + L"\r\n" + Wide(setup.dism.launch) + L"\r\n\r\n" +
                                      runtime::SystemErrorText(ERROR_FILE_NOT_FOUND));
    return;
  }
  if (const std::optional<std::uint16_t> refusal = ToolRefusal(setup.tool, op, decision.launch->args)) {
    runtime::MsgBox(host.Owner(), runtime::LoadResString(*refusal));
    return;
  }
  std::optional<CommandLine> command;
  if (setup.tool == Tool::Imagex)
    command = Compose(Utf16(runtime::ProgramFolder()), op, decision.launch->args);
  else
    command = ComposeDism(setup.dism, setup.tool, op, decision.launch->args);
  if (!command) return;  // not reached: ToolRefusal said the tool can
  // The log is made before the launch; a run whose log cannot be made starts all the same, without one.
  runs::RunLogResult log = runs::CreateRunLog();
  runtime::UniqueKernelHandle process;
  const bool started = StartTool(host.Owner(), *command, &process, log.log ? log.log->WriteHandle() : nullptr);
  if (!started) {
    if (log.log) log.log->Discard();
    return;
  }
  // The tool now holds the only write handle, so the file is closed for writing when the tool ends.
  if (log.log) log.log->CloseWriteHandle();
  host.Launched(op, setup.tool, command->line, std::move(process), std::move(log));
}

namespace {

// The filter in the dialog's "a|b|c|d" form becomes the system's "a\0b\0c\0d\0\0".
std::wstring SystemFilter(const std::wstring& filter) {
  std::wstring result = filter;
  for (wchar_t& c : result)
    if (c == L'|') c = L'\0';
  result.push_back(L'\0');
  result.push_back(L'\0');
  return result;
}

void ShowFileDialog(PanelHost& host, FilesDialog& dialog, bool save, ControlId field) {
  dialog.Flags = OFN_HIDEREADONLY;
  dialog.Filter = L"Windows AIK(*.wim)|*.wim|All Files (*.*)|*.*";
  dialog.FilterIndex = 1;
  // A cancel leaves the field as it was.
  if (save ? dialog.ShowSave(host.Owner()) : dialog.ShowOpen(host.Owner()))
    SetWindowTextW(host.Control(field), dialog.FileName.c_str());
}

void BrowseInto(PanelHost& host, std::uint16_t titleId, ControlId field) {
  const runtime::CurrentFolderKeeper keep;
  std::wstring path = BrowseFolder(host.Owner(), runtime::LoadResString(titleId));
  SetWindowTextW(host.Control(field), path.c_str());  // a cancel empties the field
}

}  // namespace

ToolSetup CurrentTool() {
  ToolSetup setup;
  const std::wstring folder = runtime::ProgramFolder();
  setup.imagexPath = Utf16(folder + (folder.empty() || folder.back() != L'\\' ? L"\\" : L"")) + std::u16string(kToolFileName);
  setup.dism = DismPlaces(Utf16(runtime::WindowsFolder()), runtime::IsWow64Process());
  ToolFacts facts;
  facts.imagexPresent = runtime::IsFile(Wide(setup.imagexPath));
  if (!facts.imagexPresent) {
    facts.dismPresent = runtime::IsFile(Wide(setup.dism.launch));
    const runtime::WindowsVersion version = runtime::RealWindowsVersion();
    facts.major = version.major;
    facts.minor = version.minor;
  }
  setup.tool = ChooseTool(facts);
  return setup;
}

bool StartTool(HWND owner, const CommandLine& command, runtime::UniqueKernelHandle* process, HANDLE output) {
  // Every tool starts in the program folder, whatever folder a dialog last showed.
  const runtime::ProcessLaunch launch{Wide(command.application), Wide(command.line), command.show,
                                      runtime::ProgramFolder(), output};
  if (const DWORD error = runtime::Shell(launch, process)) {
    runtime::MsgBox(owner, launch.application + L"\r\n\r\n" + runtime::SystemErrorText(error));
    return false;
  }
  return true;
}

std::wstring ToolTipFor(Operation op, const ToolSetup& setup) {
  return Wide(ToolDescription(setup.tool, op, setup.Application(),
                              [](std::uint16_t id) { return Utf16(runtime::LoadResString(id)); }));
}

void Remount_Click(PanelHost& host, std::u16string_view folder) { CarryOut(host, DecideRemount(folder)); }
void Cleanup_Click(PanelHost& host) { CarryOut(host, DecideCleanup()); }

void MountWim_Click(PanelHost& host) { CarryOut(host, DecideMount(ReadMountFields(host))); }
void unMountWim_Click(PanelHost& host) { CarryOut(host, DecideUnmount(ReadMountFields(host))); }
void ExtWIM_Click(PanelHost& host) {
  MountFields f = ReadMountFields(host);
  if (f.parts > 1) f.missingPart = MissingPart(f);
  CarryOut(host, DecideApply(f));
}

void MakeWimImage_Click(PanelHost& host) {
  CaptureFields f;
  f.sourcePath = Utf16(WindowText(host.Control(ControlId::mk_WIMPath)));
  f.savePath = Utf16(WindowText(host.Control(ControlId::WIMSavePath)));
  f.comment = Utf16(WindowText(host.Control(ControlId::WIM_Info)));
  f.appendCheck = CheckState(host.Control(ControlId::WIM_add_c));
  f.bootCheck = CheckState(host.Control(ControlId::WimBoot));
  if (IsTicked(f.appendCheck)) {
    if (const std::optional<wim::FileFacts> facts = host.CaptureFileFacts()) {
      f.saveParts = facts->parts;
      f.saveSolid = facts->solid;
    }
  }
  CarryOut(host, DecideCapture(f));
}

void WimB_Click(PanelHost& host, FilesDialog& dialog) { ShowFileDialog(host, dialog, false, ControlId::WIMPath); }
void mk_WimB02_Click(PanelHost& host, FilesDialog& dialog) {
  ShowFileDialog(host, dialog, true, ControlId::WIMSavePath);
}
void MountB_Click(PanelHost& host) { BrowseInto(host, kTitleMountFolder, ControlId::MountPath); }
void mk_WimB01_Click(PanelHost& host) { BrowseInto(host, kTitleCaptureSource, ControlId::mk_WIMPath); }

std::wstring BrowseFolder(HWND owner, const std::wstring& title) {
  std::wstring shownTitle = title.empty() ? runtime::LoadResString(kTitleChooseFolder) : title;
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = nullptr;
  info.lpszTitle = shownTitle.c_str();
  info.ulFlags = 0;
  runtime::UniqueIdList list(SHBrowseForFolderW(&info));
  if (!list) return {};
  // Long paths: ask for up to 32,767 characters instead of MAX_PATH.
  std::vector<wchar_t> buffer(32768);
  if (!SHGetPathFromIDListEx(list.get(), buffer.data(), static_cast<DWORD>(buffer.size()), GPFIDL_DEFAULT))
    return {};
  return std::wstring(buffer.data());
}

bool FilesDialog::ShowOpen(HWND owner) { return Show(owner, false); }
bool FilesDialog::ShowSave(HWND owner) { return Show(owner, true); }

bool FilesDialog::Show(HWND owner, bool save) {
  // The dialog moves the current folder to the one the user browsed to; it goes back afterwards, so that
  // folder (a USB stick, a network share) is not kept in use.
  const runtime::CurrentFolderKeeper keep;
  std::wstring failure;
  const runtime::FileDialogApi* api = runtime::FileDialogs(failure);
  if (!api) {
    runtime::MsgBox(owner, failure);
    return false;
  }
  std::vector<wchar_t> file(32768, L'\0');
  FileName.copy(file.data(), file.size() - 1);
  std::wstring filter = SystemFilter(Filter);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.Flags = Flags;
  ofn.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
  if (!(save ? api->getSaveFileName(&ofn) : api->getOpenFileName(&ofn))) return false;
  FileName = file.data();
  FilterIndex = static_cast<int>(ofn.nFilterIndex);
  return true;
}

}  // namespace vantrel::imaging
