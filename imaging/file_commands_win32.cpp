// The image list's commands on the mount panel's file: export one image, split the file for a FAT32 stick,
// delete one image. Each reads the panel at the click, asks the save dialog where a destination is needed, and is
// carried out like the panels' own runs.
#include <windows.h>
#include <commdlg.h>

#include "imaging/panel_decisions.h"
#include "imaging/panels_win32.h"
#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "wim/list_path.h"

namespace vantrel::imaging {
namespace {

using runtime::Utf16;
using runtime::Wide;

FileCommandFields ReadCommandFields(PanelHost& host) {
  FileCommandFields f;
  f.wimPath = Utf16(runtime::WindowText(host.Control(ControlId::WIMPath)));
  f.index = Utf16(runtime::WindowText(host.Control(ControlId::WIMindex)));
  f.facts = host.MountFileFacts();
  f.programFolder = Utf16(runtime::ProgramFolder());
  return f;
}

// The tool of this machine cannot do `op` at all (DISM of Windows 7): said before any dialog or question.
bool ToolCannot(PanelHost& host, Operation op) {
  const std::optional<std::uint16_t> refusal = ToolRefusal(CurrentTool().tool, op, {});
  if (refusal) runtime::MsgBox(host.Owner(), runtime::LoadResString(*refusal));
  return refusal.has_value();
}

// The save dialog for the destination, offering `suggested`. The dialog itself refuses a read-only file or
// folder; `overwritePrompt` adds its prompt for a file that exists. False on cancel.
bool AskDestination(PanelHost& host, FilesDialog& dialog, std::uint16_t filterId, const wchar_t* extension,
                    bool overwritePrompt, const std::u16string& suggested, FileCommandFields& f) {
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN | (overwritePrompt ? OFN_OVERWRITEPROMPT : 0);
  dialog.Filter = runtime::LoadResString(filterId);
  if (dialog.FilterIndex == 0) dialog.FilterIndex = 1;
  dialog.DefaultExt = extension;
  dialog.FileName = Wide(suggested);
  if (!dialog.ShowSave(host.Owner())) return false;
  f.destination = Utf16(dialog.FileName);
  f.destinationExists = runtime::IsFile(dialog.FileName);
  return true;
}

// A decision that needs the destination first: asked, then decided again with it.
template <typename Decide>
void WithDestination(PanelHost& host, FileCommandFields& f, Decide decide, FilesDialog& dialog,
                     std::uint16_t filterId, const wchar_t* extension, bool overwritePrompt,
                     const std::u16string& suggested) {
  Decision d = decide(f);
  if (!d.message && !d.launch) {
    if (!AskDestination(host, dialog, filterId, extension, overwritePrompt, suggested, f)) return;
    d = decide(f);
  }
  CarryOut(host, d);
}

}  // namespace

void ExportImage_Click(PanelHost& host, FilesDialog& dialog) {
  if (ToolCannot(host, Operation::Export)) return;
  FileCommandFields f = ReadCommandFields(host);
  const std::uint32_t index = ImageIndexOf(f.index).value_or(1);
  // Exporting into a file that exists adds the image to it: nothing is overwritten, so the dialog asks nothing.
  WithDestination(host, f, DecideExport, dialog, kFilterExport, L"wim", false,
                  wim::SuggestedExportPath(wim::ToolFile(f.programFolder, f.wimPath), index));
}

void SplitImage_Click(PanelHost& host, FilesDialog& dialog) {
  if (ToolCannot(host, Operation::Split)) return;
  FileCommandFields f = ReadCommandFields(host);
  WithDestination(host, f, DecideSplit, dialog, kFilterSplit, L"swm", true, wim::SuggestedSplitPath(wim::ToolFile(f.programFolder, f.wimPath)));
}

void DeleteImage_Click(PanelHost& host) {
  if (ToolCannot(host, Operation::Delete)) return;
  CarryOut(host, DecideDelete(ReadCommandFields(host)));
}

}  // namespace vantrel::imaging
