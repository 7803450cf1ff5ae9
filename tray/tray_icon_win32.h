// Tray presence on Windows: the notification-area icon of the main window (module APIStuff), the
// replacement window procedure that receives the icon's mouse messages, and the hidden form up_Menus
// that owns the popup menu. The decisions (record content, tip field, dispatch, menu items) come from
// tray_icon.h and tray_menu.h; this file makes the platform calls.
#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/handles.h"
#include "runtime/window.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace vantrel::tray {

namespace APIStuff {

// The module's shared state, alive from AddTrayIcon until the program ends.
extern HWND TrayForm;                    // the main window
extern HMENU TrayMenu;                   // PopupMenus of up_Menus, opened by a right-button release
extern WNDPROC OldWndProc;               // the main window's procedure before TrayWndProc took its place
extern tray::TrayIconData TrayIconData;  // the record shared by the add, the tip change and the delete

// Installs TrayWndProc as the main window's procedure, then adds the icon (the window's small icon, the
// callback message 2025, no tip yet).
void AddTrayIcon(HWND form, HMENU menu);
// Sets the icon's tip: the text in the system code page, cut to fit the 64-byte field whole. A text the code
// page cannot hold (Chinese on a Western system) goes through the Unicode record instead, cut to its 64 units.
void SetTrayTip(std::wstring_view text);
// The text the menu's copy entry puts on the clipboard; the entry is greyed while it is empty.
void SetCopyText(std::wstring_view text);
const std::wstring& CopyText();
// What opens the run window: the menu's run entry and a click on a balloon call it. The tray knows nothing of that
// window; the main window sets this when it loads (an empty function: nothing opens).
void SetOpenRunsHandler(std::function<void()> handler);
// Shows a balloon on the icon: `title` over `text`, with the information icon or the error icon. Both texts are
// Unicode and cut to their fields (63 and 255 UTF-16 units). The balloon alone takes the larger Unicode record
// (NOTIFYICONDATAW up to its fifth-version fields); the add, tip and delete keep the 88-byte one. Does nothing
// while the icon is not installed.
void ShowBalloon(std::wstring_view title, std::wstring_view text, bool error);
// Deletes the icon and puts the previous window procedure back. Does nothing when the icon is not
// installed, so a second way out cannot cut another procedure out of the window.
void RemoveTrayIcon();
// True from AddTrayIcon until RemoveTrayIcon.
bool TrayIconInstalled();

// The main window's procedure while the icon is installed: a left-button release over the icon brings
// the window back and focuses it, a right-button release opens the popup menu, a click on a balloon opens the
// run window, Explorer's restart adds the icon again; every other message goes on to OldWndProc unchanged.
LRESULT CALLBACK TrayWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The record as handed to Shell_NotifyIconA: NOTIFYICONDATAA in its first-version form
// (cbSize NOTIFYICONDATAA_V1_SIZE, 88 bytes on 32-bit Windows). Handles travel through the record's
// 32-bit fields; window and icon handles are 32-bit values on 64-bit Windows too and are widened
// back by sign extension, as the system does.
NOTIFYICONDATAA NativeRecord(const tray::TrayIconData& record);

// The tip text in code page `codePage`, one element per character (a surrogate pair is one
// character), ready for TipField.
std::vector<std::string> EncodeTipCharacters(std::wstring_view text, UINT codePage = CP_ACP);

}  // namespace APIStuff

// The hidden form up_Menus: a top-level window that is never shown and owns the popup menu
// PopupMenus (up_Show, up_Copy, up_Runs, the separator up_line1, up_Exit).
class MenuForm final : public runtime::Window<MenuForm> {
 public:
  static constexpr wchar_t kClassName[] = L"VantrelMenuForm";
  MenuForm();

  HMENU PopupMenus() const { return popup_; }
  // Sets the caption of the item named `item` ("up_Show" or "up_Exit").
  void SetCaption(std::string_view item, const std::wstring& text);

 private:
  friend class runtime::Window<MenuForm>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) { return DefaultProc(message, wParam, lParam); }

  runtime::UniqueMenu bar_;  // the form's menu bar; PopupMenus is its one submenu and goes with it
  HMENU popup_ = nullptr;
};

// The form up_Menus, loaded the first time it is referred to.
MenuForm& up_Menus();
// Unloads up_Menus (window and menu); a later reference loads it afresh.
void Unload_up_Menus();
// True while up_Menus is loaded.
bool up_Menus_Loaded();

// The handlers of the popup's commands.
void up_Show_Click();  // hides and shows the main window again, displaying it afresh
void up_Copy_Click();  // puts the copy text (the last command line launched) on the clipboard
void up_Runs_Click();  // opens the run window through the handler the main window set
void up_Exit_Click();  // removes the icon, unloads up_Menus, ends the program

}  // namespace vantrel::tray
