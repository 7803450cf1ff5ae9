// Which file a path field names for the tool, and whether its list may be read. Every tool starts in the
// program folder, so a relative path there means a file of that folder, whatever folder the program itself has
// as its current one: the list is read from the same file. Platform-free: the path rules of Windows on UTF-16
// text, and the file attributes as the system gives them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::wim {

// File attributes, the values of the system's FILE_ATTRIBUTE_*.
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeOffline = 0x1000;             // moved to other storage (archived)
inline constexpr std::uint32_t kAttributeRecallOnOpen = 0x40000;       // a placeholder, fetched when opened
inline constexpr std::uint32_t kAttributeRecallOnDataAccess = 0x400000;  // files on demand (OneDrive)

enum class FileKind {
  NoFile,    // a folder: nothing to list
  NotLocal,  // the data is not on this machine: opening or reading the header would fetch the whole file
  Local,     // a file to read
};
FileKind KindOf(std::uint32_t attributes);

// The file a tool started in `folder` (a full path: "C:\dir", "C:\", "\\server\share\dir") opens for `path`:
//  - a full path ("C:\x", "\\server\share\x", "\\?\C:\x") as it is;
//  - a relative one ("x.wim", "..\x.wim") in `folder`;
//  - one rooted on the current drive ("\x.wim") on `folder`'s drive or share;
//  - one relative to a drive's current folder ("D:x.wim"): in `folder` on `folder`'s own drive; on another
//    drive as it is, since the tool takes that drive's current folder from the environment it inherits.
// `path` as it is when `folder` is not a full path. '/' counts as '\'.
std::u16string ResolvedPath(std::u16string_view folder, std::u16string_view path);

// A path field's text without the double quotes Explorer's "Copy as path" puts round it, and the file a tool
// started in `folder` opens for it (ResolvedPath).
std::u16string_view Unquoted(std::u16string_view field);
std::u16string ToolFile(std::u16string_view folder, std::u16string_view field);

// The parts of a split set are named after the first: "D:\x\install.swm" is followed by "D:\x\install2.swm",
// "D:\x\install3.swm", ... (each with the first part's extension, none when it has none), and the tools take
// them all as the pattern "D:\x\install*.swm".
std::u16string SplitPartName(std::u16string_view firstPart, unsigned part);
std::u16string SplitPartsPattern(std::u16string_view firstPart);

// The names a save dialog offers, beside the source: "<name>-<index>.wim" for an export of one image,
// "<name>.swm" for the first part of a split.
std::u16string SuggestedExportPath(std::u16string_view source, std::uint32_t index);
std::u16string SuggestedSplitPath(std::u16string_view source);

}  // namespace vantrel::wim
