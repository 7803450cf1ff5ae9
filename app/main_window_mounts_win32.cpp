// The mounted images on the mount panel: the line beside the mount folder's label, the list it opens (a click on
// the line, or F4 / Alt+Down in the mount folder box) with the repairs at its end, what a pick fills in, and the
// list read again whenever it may have changed. What is shown is decided by mounts/mount_choice.h.
#include "app/main_window_win32.h"

#include <commctrl.h>

#include "imaging/panels_win32.h"
#include "mounts/mount_choice.h"
#include "runtime/runtime.h"

namespace vantrel::app {
namespace {

std::u16string TableText(std::uint16_t id) { return runtime::Utf16(runtime::LoadResString(id)); }

// The menu ids of the list: entry i is kFirstEntry + i (at most a few hundred, well below 65536).
constexpr UINT kFirstEntry = 1;

}  // namespace

void MainWindow::AttachMountsLine() {
  if (HWND folder = Existing(ControlId::MountPath))
    SetWindowSubclass(folder, &MainWindow::MountFolderBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void MainWindow::MountsRead() {
  if (HWND line = Existing(ControlId::MountsInfo))
    imageInfo_.SetLine(line, runtime::Wide(mounts::SummaryLine(mounts_.Known(), TableText)));
  RunsMoved();  // the tip's reminder of this session's read-write mounts
}

void MainWindow::ShowMountsList() {
  // Opening the list is a moment it may have changed: read again for next time, show what is known now.
  mounts_.Refresh(hwnd());
  const std::vector<mounts::MountEntry> entries = mounts::MountEntries(mounts_.Known(), TableText);
  HWND folder = Existing(ControlId::MountPath);
  if (entries.empty() || !folder) return;
  runtime::UniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  bool commands = false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const mounts::MountEntry& e = entries[i];
    const bool command = e.kind == mounts::EntryKind::Remount || e.kind == mounts::EntryKind::Cleanup;
    if ((command && !commands) || e.kind == mounts::EntryKind::More) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    commands = commands || command;
    const UINT flags = MF_STRING | (e.kind == mounts::EntryKind::More ? MF_GRAYED : 0);
    AppendMenuW(menu.get(), flags, kFirstEntry + i, runtime::Wide(e.text).c_str());
  }
  RECT r{};
  GetWindowRect(folder, &r);
  const UINT picked = static_cast<UINT>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                       r.left, r.bottom, 0, hwnd(), nullptr));
  SetFocus(folder);
  if (picked < kFirstEntry || picked - kFirstEntry >= entries.size()) return;
  PickMount(entries[picked - kFirstEntry]);
}

void MainWindow::PickMount(const mounts::MountEntry& entry) {
  const mounts::MountList& list = mounts_.Known();
  switch (entry.kind) {
    case mounts::EntryKind::Mount: {
      if (!list || entry.mount >= list->size()) return;
      // The folder, the file and the index; 可修改 stays as the user set it.
      const mounts::MountPick pick = mounts::PickOf((*list)[entry.mount]);
      SetWindowTextW(Control(ControlId::WIMPath), runtime::Wide(pick.wimPath).c_str());
      SetWindowTextW(Control(ControlId::WIMindex), runtime::Wide(pick.index).c_str());
      SetWindowTextW(Control(ControlId::MountPath), runtime::Wide(pick.mountPath).c_str());
      return;
    }
    case mounts::EntryKind::Remount:
      if (list && entry.mount < list->size()) imaging::Remount_Click(*this, (*list)[entry.mount].mountPath);
      return;
    case mounts::EntryKind::Cleanup:
      imaging::Cleanup_Click(*this);
      return;
    case mounts::EntryKind::More:
      return;
  }
}

void MainWindow::MountingReadWrite(std::u16string_view folder) { sessionMounts_.Add(folder); }

LRESULT CALLBACK MainWindow::MountFolderBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                DWORD_PTR self) {
  // F4, or Alt+Down, opens the list as in a drop-down box.
  if ((message == WM_KEYDOWN && wParam == VK_F4) || (message == WM_SYSKEYDOWN && wParam == VK_DOWN)) {
    reinterpret_cast<MainWindow*>(self)->ShowMountsList();
    return 0;
  }
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, &MainWindow::MountFolderBoxProc, 1);
  return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace vantrel::app
