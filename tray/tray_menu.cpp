#include "tray/tray_menu.h"

namespace vantrel::tray {

MenuHandler HandlerForCommand(std::uint32_t commandId) {
  switch (commandId) {
    case kShowCommandId:
      return MenuHandler::up_Show_Click;
    case kCopyCommandId:
      return MenuHandler::up_Copy_Click;
    case kRunsCommandId:
      return MenuHandler::up_Runs_Click;
    case kExitCommandId:
      return MenuHandler::up_Exit_Click;
    default:
      return MenuHandler::None;
  }
}

}  // namespace vantrel::tray
