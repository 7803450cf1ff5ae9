// What the panels show of a WIM file's list of images, decided from plain values: which path to read, the
// line beside the index box for the typed index (or the reason the file cannot be listed), the entries of the
// list to pick from, and the line of the capture panel when appending. The Win32 side reads the file off the
// user-interface thread and puts these texts into its controls.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wim/wim_file.h"

namespace vantrel::wim {

// String-table identifiers.
inline constexpr std::uint16_t kTextImageNumber = 60101;   // "%1" = index: an image without a name
inline constexpr std::uint16_t kTextNoSuchIndex = 60102;   // "%1" = typed index, "%2" = image count
inline constexpr std::uint16_t kTextImageCount = 60103;    // "%1" = image count (index box empty or not a number)
inline constexpr std::uint16_t kTextAppendNumber = 60104;  // "%1" = images held, "%2" = the new image's number
inline constexpr std::uint16_t kTextMoreImages = 60105;    // "%1" = how many images the list leaves out
inline constexpr std::uint16_t kTextSplitSet = 60106;      // "%1" = parts, "%2" = what the line says otherwise
inline constexpr std::uint16_t kTextNoAppendSplit = 60107;  // "%1" = parts
inline constexpr std::uint16_t kTextNoAppendSolid = 60108;
inline constexpr std::uint16_t kReasonUnreadable = 60110;  // the file could not be opened or read
inline constexpr std::uint16_t kReasonNotWim = 60111;
inline constexpr std::uint16_t kReasonCutShort = 60112;
inline constexpr std::uint16_t kReasonLaterPart = 60113;  // "%1" = part, "%2" = parts
inline constexpr std::uint16_t kReasonCompressed = 60114;
// The description lies outside the file (a copy cut short) or is impossibly large.
inline constexpr std::uint16_t kReasonBadPlace = 60115;
inline constexpr std::uint16_t kReasonBrokenXml = 60116;
inline constexpr std::uint16_t kReasonCountMismatch = 60117;  // "%1" header count, "%2" listed
inline constexpr std::uint16_t kReasonEncrypted = 60118;
inline constexpr std::uint16_t kReasonNotLocal = 60119;  // a cloud or archived file, left unread

using TextLookup = std::function<std::u16string(std::uint16_t)>;

// The path to read for a path field: as typed, without the double quotes Explorer's "Copy as path" puts
// round it; none when the field is empty.
std::optional<std::u16string> PathToRead(std::u16string_view field);

// A file's size and last-write time (a FILETIME), to tell whether it has changed since it was read.
struct FileStamp {
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;
  bool operator==(const FileStamp&) const = default;
};

// What is known of the file a path field names.
struct Listing {
  enum class State {
    Nothing,  // no path, or the file has not been read yet
    NoFile,   // the path names no file (a folder, a name still being typed)
    Read,     // `description` holds the outcome, a list or a failure
  };
  State state = State::Nothing;
  Description description;
  FileStamp stamp;  // the file's when it was read

  bool HasList() const { return state == State::Read && description.ok(); }
  // How many images the file holds, when its list was read.
  std::optional<std::uint32_t> ImageCount() const;
};

// The image count a click may refuse an index on: the listing's, but only while the file is still as it was
// read (`now`: its stamp at the click, none when it cannot be had). A file written since (an append) may hold
// the image the index names.
std::optional<std::uint32_t> CountToCheck(const Listing& listing, const std::optional<FileStamp>& now);

// "15.2 GB": a size in bytes, in units of 1024, with one decimal below 100 of a unit.
std::u16string SizeText(std::uint64_t bytes);
// "x86", "x64", "ARM", "ARM64", or empty for a code not known.
std::u16string_view ArchText(std::uint32_t arch);

// One image on one line: its shown name (DISPLAYNAME, else NAME, else "映像 N"), its edition (FLAGS, when there
// is no display name and the name does not already say it), architecture and size where known, joined by " · ".
std::u16string ImageLine(const Image& image, const TextLookup& text);

// The line beside the index box: nothing while there is nothing to tell; the image at the typed index; for an
// index the file has no image for, that; for an empty or non-numeric index, how many images there are; for a
// file that cannot be listed, the reason. For part 1 of a split set, that it is one and of how many parts first.
std::u16string IndexLine(const Listing& listing, std::u16string_view indexText, const TextLookup& text);

// The reason a file cannot be listed, in a few words.
std::u16string ReasonText(const Failure& failure, const TextLookup& text);

// The list to pick from: one entry per image, in index order, for the first kMaxPickEntries images; when the
// file holds more, a last entry with index 0 (not to be picked) says how many are left out. A popup menu of
// many thousand items would hold the user-interface thread for minutes, and a menu item's id is 16 bits.
inline constexpr std::size_t kMaxPickEntries = 256;
struct PickEntry {
  std::uint32_t index;  // 0 for the closing note
  std::u16string text;  // for a menu: "&N  line" (a mnemonic for 1 to 9), '&' in the line doubled
};
std::vector<PickEntry> PickList(const Listing& listing, const TextLookup& text);

// The commands below the images, acting on the image the index box names and on the file. Their ids follow the
// images' (at most kMaxPickEntries) in the menu's 16-bit id space.
enum class ListCommand : std::uint16_t { None = 0, Export = 0xFF01, Split, Delete };
static_assert(static_cast<std::size_t>(ListCommand::Export) > kMaxPickEntries);
inline constexpr std::uint16_t kMenuExport = 8101;  // "%1" = index
inline constexpr std::uint16_t kMenuSplit = 8102;
inline constexpr std::uint16_t kMenuDelete = 8103;  // "%1" = index
inline constexpr std::uint16_t kNoteDeleteKeepsSize = 8104;
// FAT32 holds no file larger than this; a larger WIM file is offered a split into parts that fit.
inline constexpr std::uint64_t kFat32LargestFile = 0xFFFFFFFFull;
struct CommandEntry {
  ListCommand command = ListCommand::None;  // None: a note, never picked
  std::u16string text;
  bool enabled = true;
};
// Export and delete, enabled when the index box names an image of the list (its number in their captions), the
// split when the file is too large for FAT32, and the note that a delete does not make the file smaller. Nothing
// when the file has no list.
std::vector<CommandEntry> ListCommands(const Listing& listing, std::u16string_view indexText, const TextLookup& text);

// What the commands and the panels' checks need of a file whose list was read.
struct FileFacts {
  std::uint32_t imageCount = 0;
  std::uint16_t parts = 1;  // part 1 of a split set of this many parts; 1 for a whole file
  bool solid = false;       // an ESD: nothing can be appended to it or deleted from it
  std::uint64_t size = 0;
  std::vector<std::u16string> names;  // each image's NAME, by index - 1
};
std::optional<FileFacts> FactsOf(const Listing& listing);

// The capture panel's line while appending: how many images the file holds and the number the new one gets;
// that nothing can be appended to a split set or a solid file; the reason when the file cannot be listed;
// nothing when not appending or nothing is known.
std::u16string AppendLine(const Listing& listing, bool appending, const TextLookup& text);

}  // namespace vantrel::wim
