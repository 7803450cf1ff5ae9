// Tray presence, the parts that depend on plain values only: the notification-area icon record in
// the 88-byte 8-bit form handed to Shell_NotifyIconA, its tip field, and the decision that
// TrayWndProc takes for each message of the main window. The Win32 adapter (tray_icon_win32.*) makes
// the platform calls; everything it needs to decide comes from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tray/tray_menu.h"

namespace vantrel::tray {

// Window message the shell sends to the main window for mouse input over the icon (above WM_USER).
constexpr std::uint32_t kTrayCallbackMessage = 2025;

// uFlags of the three notification calls: NIF_MESSAGE | NIF_ICON for the add, NIF_TIP alone for
// the tip change, nothing for the delete (the icon is found by hWnd and uID).
constexpr std::uint32_t kFlagsAdd = 3, kFlagsTip = 4, kFlagsDelete = 0;

// Mouse messages carried in lParam of the callback message.
constexpr std::intptr_t kLeftButtonUp = 514;   // WM_LBUTTONUP
constexpr std::intptr_t kRightButtonUp = 517;  // WM_RBUTTONUP
// A click on the icon's balloon (NIN_BALLOONUSERCLICK, WM_USER + 5). The icon is never given NIM_SETVERSION, so
// it keeps the first version's callback: lParam is the event itself, not the event in its low word beside the
// icon's id (version 4).
constexpr std::intptr_t kBalloonUserClick = 0x405;

constexpr std::size_t kRecordSize = 88;
constexpr std::size_t kTipSize = 64;
constexpr std::size_t kTipOffset = 24;

// NOTIFYICONDATAA as of cbSize 88: six 32-bit fields, then the tip in the system code page.
// Handles are 32 bits wide: the program is a 32-bit Windows program.
struct TrayIconData {
  std::uint32_t cbSize = 88;
  std::uint32_t hWnd = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::uint32_t hIcon = 0;
  std::array<char, 64> szTip{};
};

// The tip field: the text, one NUL, then spaces up to 64 bytes. At most 63 bytes of text are kept
// so that the shell always finds the NUL; the cut falls before the first character that does not
// fit whole, so a double-byte character of the code page is never split.
// Each element holds the bytes of one character in the system code page (normally 1 or 2).
std::array<char, 64> TipField(const std::vector<std::string>& encodedCharacters);

// The record changes made by the three routines of the tray module, in their order. The record is
// one shared object: the tip change and the delete keep what the add stored (hWnd, uID, hIcon and
// the callback message).
void PrepareAdd(TrayIconData& data, std::uint32_t hWnd, std::uint32_t hIcon);  // AddTrayIcon
void PrepareTip(TrayIconData& data, const std::array<char, 64>& tipField);     // SetTrayTip
void PrepareDelete(TrayIconData& data);                                        // RemoveTrayIcon

// `text` cut to fit a field of `capacity` UTF-16 units that ends in a NUL (the balloon's title and text, the
// Unicode tip), never between the two halves of a surrogate pair.
std::u16string FitField(std::u16string text, std::size_t capacity);

enum class TrayAction {
  RestoreAndFocus,  // left button released over the icon: un-minimise, take focus, return 0
  Popup,            // right button released over the icon: open the popup menu, return 0
  OpenRuns,         // the user clicked a balloon (which tells how a run ended): open the run window, return 0
  PassOn,           // anything else: hand the message unchanged to the previous window procedure
};

// TrayWndProc's decision; it depends on the message and lParam alone (wParam plays no part).
TrayAction DecideTrayMessage(std::uint32_t uMsg, std::intptr_t lParam);

}  // namespace vantrel::tray
