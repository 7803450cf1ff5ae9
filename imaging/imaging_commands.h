// Image operations, the parts that depend on plain values only: the imagex command forms,
// the quoting of a field so that it reaches the tool as one argument, and the composition of the
// whole command line together with the full path of the tool. The Win32 adapter
// (panels_win32.*) reads the fields, hands the result to CreateProcessW and reports a refused
// launch; everything it launches is decided here.
//
// All text is UTF-16 (char16_t), so the code is the same on the host and on Windows, where the
// adapter reinterprets it as wchar_t.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::imaging {

enum class Operation {
  MountReadOnly,
  MountReadWrite,
  UnmountDiscard,
  UnmountCommit,
  Apply,
  Capture,
  CaptureBoot,
  Append,
  Remount,  // brings back a mount left by a restart: the mount folder
  Cleanup,  // removes what is left of mounts that cannot be brought back: no field
  // One image into another file: source, index, destination, the image's name, the compression of a new file
  // (kCompressMaximum, kCompressRecovery, or empty: the destination's own) and, for a split set, its parts'
  // pattern (else empty).
  Export,
  Split,   // a file into parts: the file, the first part, the largest part in MB
  Delete,  // one image out of its file: the file, the index
};
// Apply takes a fourth field as well: the parts' pattern of a split set, or nothing for a whole file.

// The compression of a new file an export writes: LZX at its strongest (.wim), or the solid LZMS of an ESD.
inline constexpr std::u16string_view kCompressMaximum = u"maximum";
inline constexpr std::u16string_view kCompressRecovery = u"recovery";
// A file name ending in ".esd", in any case: the solid files imagex cannot write and DISM writes with recovery
// compression.
bool IsEsdName(std::u16string_view path);

// The largest part of a split for a FAT32 stick, in MB (FAT32 holds files of up to 4 GiB less one byte).
inline constexpr std::u16string_view kFat32PartMb = u"4000";

// The tool's file name in the program folder, and the name it goes by on the command line.
inline constexpr std::u16string_view kToolFileName = u"imagex.exe";
inline constexpr std::u16string_view kToolName = u"imagex";

// ShowWindow styles of a launch.
inline constexpr int kShowNormal = 1;     // SW_SHOWNORMAL
inline constexpr int kShowMinimized = 2;  // SW_SHOWMINIMIZED

// The literal that begins each command form after the program folder: the tool's name, the
// switches, and one trailing space ("imagex /mount "), which a form without fields leaves off.
std::u16string_view Prefix(Operation op);

// kShowNormal for the plain capture (the one run the user watches), kShowMinimized otherwise.
int ShowStyle(Operation op);

// One field as it goes onto the command line:
//  - wrapped in double quotes by the user and holding no other double quote ("C:\My Dir\"): kept,
//    with the backslashes right before the closing quote doubled, so that it reaches the tool as
//    the one path inside the quotes;
//  - empty: stays empty (it contributes nothing but its separators);
//  - no whitespace (space, tab, line feed, vertical tab): unchanged;
//  - any other double quote in it: unchanged, the user's own quoting is passed exactly as typed;
//  - otherwise: wrapped in double quotes, the backslashes right before the closing quote doubled,
//    so that the Windows C runtime hands the tool exactly the field as one argument.
std::u16string QuoteArgument(std::u16string_view field);

// Text that is not typed but read from a file (an image's name) as one argument, exactly, whatever it holds:
// wrapped in double quotes when it is empty or holds whitespace or a quote, each quote escaped and the
// backslashes before a quote (or the closing one) doubled, as the Windows C runtime reads them back.
std::u16string ExactArgument(std::u16string_view text);

struct CommandLine {
  // Full path of the tool for CreateProcessW's lpApplicationName: the folder and "\imagex.exe"
  // (no second backslash when the folder already ends in one). Naming the file outright means
  // Windows never searches for the program, so no "C:\Program.exe" can be started instead.
  std::u16string application;
  // The command line: "<folder>\imagex <switches> <a1> <a2> ...". The backslash after the folder
  // is always added; the token "<folder>\imagex" is quoted when the folder holds whitespace.
  std::u16string line;
  int show = kShowMinimized;  // ShowStyle(op)
};

// Composes the launch of op from the program folder (unquoted, as the system reports it) and the
// field texts in order, each passed through QuoteArgument and joined by single spaces. The fields of the newer
// forms that may be left out follow their switches when given: apply's parts ("/ref P"), export's compression
// ("/compress maximum") and parts; export's image name is passed by ExactArgument. imagex cannot write an ESD:
// see CanRun in tool_choice.h.
CommandLine Compose(std::u16string_view programFolder, Operation op,
                    const std::vector<std::u16string>& args);

}  // namespace vantrel::imaging
