// Reading a run's log file into its reader: the system's OEM code page for the tools' 8-bit output, and one look
// at what the tool has added.
#pragma once
#include <windows.h>

#include "runs/log_decoder.h"
#include "runs/run_log_win32.h"
#include "runs/tool_log.h"

namespace vantrel::runs {

// The OEM code page the tools write redirected output in when it is not UTF-8 (936, GBK, on Simplified Chinese
// Windows): decoded by the system, with its lead bytes where it has two-byte characters.
CodePage OemCodePage();

// Feeds `reader` what the tool has added to `log` since the last look: at most its last kReadPerLook bytes (what
// came before them is passed over). True when anything was read.
bool ReadInto(RunLog& log, ToolLog& reader);

}  // namespace vantrel::runs
