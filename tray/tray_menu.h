// The popup menu of the hidden form up_Menus, as data: the items in the order shown, their design
// captions (the string identifiers that the main window's caption loader replaces), and the
// command ids that the Win32 adapter gives the items. A chosen command id maps to the handler
// that runs.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vantrel::tray {

constexpr std::string_view kMenuFormName = "up_Menus";
constexpr std::string_view kPopupMenuName = "PopupMenus";

constexpr std::uint32_t kShowCommandId = 30101;
constexpr std::uint32_t kExitCommandId = 30102;
constexpr std::uint32_t kCopyCommandId = 30103;
constexpr std::uint32_t kRunsCommandId = 30104;

struct MenuItem {
  std::string_view name;           // widget name
  std::string_view designCaption;  // caption before the caption loader runs
  std::uint16_t
      captionStringId;      // string table entry shown at run time; 0 = caption kept as designed
  std::uint32_t commandId;  // id reported when the item is chosen; 0 for the separator
  bool separator;
};

// Shown top to bottom: the show command, the copy of the last command line, the run window, a separator line, the
// exit command.
constexpr std::array<MenuItem, 5> kPopupMenuItems{{
    {"up_Show", "30101", 30101, kShowCommandId, false},
    {"up_Copy", "30103", 30103, kCopyCommandId, false},
    {"up_Runs", "30104", 30104, kRunsCommandId, false},
    {"up_line1", "-", 0, 0, true},
    {"up_Exit", "30102", 30102, kExitCommandId, false},
}};

enum class MenuHandler {
  None,           // popup dismissed (command 0) or an id that is not one of ours
  up_Show_Click,  // hide and show the main window again
  up_Copy_Click,  // put the last command line launched on the clipboard
  up_Runs_Click,  // open the run window
  up_Exit_Click,  // remove the icon, unload up_Menus, end the program
};

MenuHandler HandlerForCommand(std::uint32_t commandId);

}  // namespace vantrel::tray
