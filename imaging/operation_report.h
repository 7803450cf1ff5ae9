// What the user is told when a launched run ends, decided from plain values: the balloon's title (the caption of
// the button that started the run, or a title of its own for the variants of a button, and the tool that ran),
// its text (finished; or failed with the exit code, a short explanation of the codes users meet most, and the
// system's text for the code; or that the end could not be learnt), its icon. The Win32 side looks the texts up, reads the exit code and makes the calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <optional>

#include "imaging/imaging_commands.h"
#include "imaging/tool_choice.h"
#include "resources/text.h"

namespace vantrel::imaging {

// String-table identifiers of the reports.
inline constexpr std::uint16_t kTitleUnmountCommit = 50101;   // unmount that commits the changes
inline constexpr std::uint16_t kTitleMountReadWrite = 50102;  // read-write mount
inline constexpr std::uint16_t kTitleCaptureBoot = 50103;     // bootable capture
inline constexpr std::uint16_t kTitleAppend = 50104;          // append to an existing image
inline constexpr std::uint16_t kTextFinished = 50105;         // the run ended with exit code 0
inline constexpr std::uint16_t kTextFailed = 50106;           // "%1" = the exit code as ExitCodeText gives it
inline constexpr std::uint16_t kTextCodeWithHex = 50107;      // "%1" decimal, "%2" hexadecimal
inline constexpr std::uint16_t kTitleWithTool = 50109;        // "%1" = the title, "%2" = the tool's name
inline constexpr std::uint16_t kTextEndUnknown = 50110;       // "%1" = why the exit code could not be read
inline constexpr std::uint16_t kTitleRemount = 7118;         // remount of a mount left by a restart
inline constexpr std::uint16_t kTitleCleanup = 7119;         // cleanup of the mounts that cannot be remounted
inline constexpr std::uint16_t kTitleExport = 8113, kTitleSplit = 8114, kTitleDelete = 8115;
// Explanations of the exit codes users meet most. 0xC1510111 is DISM's "You do not have permissions to mount and
// modify this image": in practice a read-only WIM file. No other form of that code is explained the same way.
inline constexpr std::uint16_t kExplainEnded = 50111, kExplainFileNotFound = 50112, kExplainPathNotFound = 50113,
                               kExplainParameter = 50114, kExplainElevation = 50115, kExplainConsoleClosed = 50116,
                               kExplainFilesOpen = 50117, kExplainAlreadyMounted = 50118, kExplainRemovable = 50119,
                               kExplainReadOnlyImage = 50120;

// The captions of the buttons that start the runs.
inline constexpr std::uint16_t kCaptionMount = 10109, kCaptionUnmount = 10110, kCaptionApply = 10111,
                               kCaptionCapture = 10117;

// The balloon's title for a run of `op`.
std::uint16_t ReportTitleId(Operation op);

// An exit code "looks like an HRESULT" when its severity bit is set (failure HRESULTs and NTSTATUS errors such
// as 0xC0000005): such codes are known by their hexadecimal form.
constexpr bool LooksLikeHResult(std::uint32_t code) {
  return (code & 0x80000000u) != 0;
}

// The Win32 error inside a FACILITY_WIN32 HRESULT (0x8007xxxx), if the code is one.
std::optional<std::uint32_t> Win32CodeOf(std::uint32_t code);

using resources::FillIn;

// The exit code as a user can look it up: the signed decimal value a command prompt shows (%ERRORLEVEL%), and,
// for a code that looks like an HRESULT, also "0x" and eight upper-case hexadecimal digits, through the
// pattern of kTextCodeWithHex.
std::u16string ExitCodeText(std::uint32_t code, std::u16string_view withHexPattern);

// The string-table entry that explains `code` in plain words, for the codes users of imagex and DISM meet
// most (a FACILITY_WIN32 HRESULT is explained as its Win32 code); nothing for the others. Only a plain exit
// code 1 gets the "ended from Task Manager" explanation: 0x80070001 is a tool's own ERROR_INVALID_FUNCTION.
std::optional<std::uint16_t> ExplanationId(std::uint32_t code);

// Where the system keeps texts for codes: its own message table (Win32 errors and some HRESULTs) and
// ntdll's (NTSTATUS codes such as 0xC0000005 or 0xC0000135).
enum class MessageTable { System, Ntdll };
// Looks a code up in one table; the empty text when the table has none.
using MessageLookup = std::function<std::u16string(MessageTable, std::uint32_t)>;

// The system's text for an exit code, looked up in the order that finds it: the system's table; for a
// FACILITY_WIN32 HRESULT that table again with its Win32 code; for a code with the severity bit, ntdll's
// table. A plain exit code 1 gets none: it is what a tool ended from Task Manager returns, and the system's
// "Incorrect function." would mislead; the HRESULT 0x80070001 does get it. The text comes back through
// CleanSystemText.
std::u16string SystemTextFor(std::uint32_t code, const MessageLookup& lookup);

// A message-table text made fit to show: the "{Title}" line some NTSTATUS texts start with dropped, insert
// places the table left in ("%1", "%2!s!", "0x%p") shown as "…", line breaks ("\r\n", "%n") as single line feeds, and the
// blanks and line breaks at either end trimmed.
std::u16string CleanSystemText(std::u16string_view text);

enum class BalloonIcon { Info, Error };

struct Balloon {
  std::u16string title;
  std::u16string text;
  BalloonIcon icon;
};

// How a run ended, as far as the program could learn it.
struct RunEnd {
  bool known = true;        // false when the tool's exit code could not be read
  std::uint32_t value = 0;  // the exit code; when not known, the system's error code that says why
};

// The most text a balloon holds (NOTIFYICONDATAW's szInfo, less its NUL).
inline constexpr std::size_t kBalloonTextUnits = 255;

// The first lines of the tool's error text for a balloon: as many whole lines as fit into `room` units, the
// last one cut with "…" when even the first does not fit; empty when the tool said nothing.
std::u16string ToolWordsFor(std::u16string_view errorText, std::size_t room);

// The report of a run of `op` by `tool` that ended as `end`. `text` looks up a string-table entry; `lookup`
// finds the system's texts. The title names the run and the tool. A failure gives the code, then its
// explanation, then the first lines of the tool's own error text (`toolError`) that fit, each on a line of its
// own; without the tool's words, the system's text for the code takes their place. An end that could not be
// learnt says so, with the system's reason.
Balloon DecideBalloon(Operation op, Tool tool, RunEnd end, const std::function<std::u16string(std::uint16_t)>& text,
                      const MessageLookup& lookup, std::u16string_view toolError = {});


}  // namespace vantrel::imaging
