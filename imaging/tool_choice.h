// Which tool carries the operations out, decided from plain facts about the machine, and the command lines in
// DISM's words.
//
// imagex.exe beside the program always wins, with exactly the command lines of imaging_commands.h. Without it,
// the operations go to Windows' own DISM, started by its full path in the system folder and never found by a
// search. A 32-bit program on 64-bit Windows starts it through "Sysnative": the file-system redirector would
// otherwise hand it the 32-bit DISM of SysWOW64, and DISM must match the system's architecture. DISM before
// Windows 8 knows only the older mount, unmount, remount and cleanup forms and cannot apply, capture or append.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/imaging_commands.h"

namespace vantrel::imaging {

enum class Tool {
  Imagex,       // imagex.exe in the program folder
  Dism,         // DISM of Windows 8 and later: all eight operations
  DismWindows7, // DISM of Windows 7: mount, unmount, remount and cleanup only, in their older forms
  None,         // neither tool is there
};

// String-table identifiers of what the program says about the tool.
inline constexpr std::uint16_t kMsgNeedsImagex = 20110;  // DISM of this Windows cannot carry the operation out
inline constexpr std::uint16_t kTipToolRuns = 20111;     // "%1" = the tool's name, "%2" = the file started
inline constexpr std::uint16_t kTipNoTool = 20112;       // neither imagex.exe nor DISM is there
inline constexpr std::uint16_t kMsgImagexNoEsd = 8109;   // imagex cannot write an ESD file

// The places of DISM for this process: `launch` is the file started (the 64-bit one through Sysnative from a
// 32-bit process on 64-bit Windows), `shown` is the same file as a console of the system's own architecture
// names it, written at the head of the command line so that a user can copy the line into such a console.
struct DismPaths {
  std::u16string launch;
  std::u16string shown;
};
DismPaths DismPlaces(std::u16string_view windowsFolder, bool wow64);

struct ToolFacts {
  bool imagexPresent = false;  // imagex.exe is a file in the program folder
  bool dismPresent = false;    // DismPlaces(...).launch is a file
  unsigned major = 0, minor = 0;  // the Windows version, as the system reports it without compatibility shims
};

Tool ChooseTool(const ToolFacts& facts);

// True when `tool` can carry `op` out.
bool CanRun(Tool tool, Operation op);

// Why `tool` cannot carry out `op` with these fields (as Launch gives them), as the message to show: DISM of
// Windows 7 lacks the operation (kMsgNeedsImagex); imagex cannot export into an ESD, new or not (kMsgImagexNoEsd). None
// when it can, or when there is no tool at all (the places looked at are reported instead).
std::optional<std::uint16_t> ToolRefusal(Tool tool, Operation op, const std::vector<std::u16string>& args);

// The tool's name as the reports give it ("imagex", "DISM").
std::u16string_view ToolName(Tool tool);

// The arguments after the program in DISM's words: each field after its switch's colon, quoted by
// QuoteArgument so that it reaches DISM as part of one argument. Nothing when DISM of that kind lacks `op`.
// Fields come in the order the panels give them: (file, index, folder) for mount, (file, index, folder, parts)
// for apply, (folder) for unmount and remount, (source folder, save path, comment) for capture and append, none
// for cleanup, and for export, split and delete as imaging_commands.h lists them. An optional field left empty
// leaves its switch out.
std::optional<std::u16string> DismArguments(Tool tool, Operation op, const std::vector<std::u16string>& args);

// The launch of `op` by DISM: application `places.launch`, the line `shown` (quoted when it holds whitespace),
// a space and DismArguments; the window style of the imagex form. Nothing when DISM of that kind lacks `op`.
std::optional<CommandLine> ComposeDism(const DismPaths& places, Tool tool, Operation op,
                                       const std::vector<std::u16string>& args);

// What a button that starts `op` will do, for its tooltip before the click: which tool runs and the file started
// (`application`), or why nothing will run.
std::u16string ToolDescription(Tool tool, Operation op, std::u16string_view application,
                               const std::function<std::u16string(std::uint16_t)>& text);

}  // namespace vantrel::imaging
