#include "imaging/tool_lookout_win32.h"

#include "runtime/runtime.h"

namespace vantrel::imaging {

ToolSource::ToolSource()
    : change_(FindFirstChangeNotificationW(runtime::ProgramFolder().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME)) {}

std::optional<ToolSetup> ToolSource::Read() {
  return CurrentTool();
}

bool ToolSource::WatchAgain() {
  return FindNextChangeNotification(change_.get()) != FALSE;
}

}  // namespace vantrel::imaging
