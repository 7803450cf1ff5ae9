// What the mount panel and the tray show of the mounted images, decided from the list: the line beside the mount
// folder, the entries of the list to pick from with the repair commands at its end, what a pick fills in, and the
// tray tip's reminder of this session's read-write mounts. The Win32 side reads the list off the user-interface
// thread and puts these texts into its controls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mounts/mount_state.h"
#include "mounts/mounted_image.h"

namespace vantrel::mounts {

using TextLookup = std::function<std::u16string(std::uint16_t)>;

// String-table identifiers, 7101-7199 (a string's identifier is 16 bits).
inline constexpr std::uint16_t kTextMountedCount = 7101;     // "%1" = how many images are mounted
inline constexpr std::uint16_t kTextMountedRepair = 7102;    // "%1" = how many, "%2" = how many need repair
inline constexpr std::uint16_t kTextEntry = 7103;            // "%1" folder, "%2" WIM file name, "%3" index, "%4" mode
inline constexpr std::uint16_t kTextReadOnly = 7104;
inline constexpr std::uint16_t kTextReadWrite = 7105;
inline constexpr std::uint16_t kStateMounting = 7106;
inline constexpr std::uint16_t kStateNeedsRemount = 7107;
inline constexpr std::uint16_t kStateNoWim = 7108;
inline constexpr std::uint16_t kStateNoMountDir = 7109;
inline constexpr std::uint16_t kStateDirReplaced = 7110;
inline constexpr std::uint16_t kStateInvalid = 7111;         // invalid, no reason given
inline constexpr std::uint16_t kTextEntryState = 7112;       // "%1" the entry, "%2" its state
inline constexpr std::uint16_t kCommandRemount = 7113;       // "%1" = the mount folder
inline constexpr std::uint16_t kCommandCleanup = 7114;
inline constexpr std::uint16_t kTextMoreMounts = 7115;       // "%1" = how many mounts the list leaves out
inline constexpr std::uint16_t kTipReadWrite = 7116;         // "%1" = how many; the whole tip while nothing runs
inline constexpr std::uint16_t kTipReadWriteLine = 7117;     // "%1" = how many; the line after the runs' tip

// The line beside the mount folder: nothing when the list is not known or nothing is mounted; how many images are
// mounted, and how many of them need a remount or a cleanup when any do.
std::u16string SummaryLine(const MountList& list, const TextLookup& text);

// How many mounts need a remount or a cleanup.
std::size_t RepairCount(const MountList& list);

// The state of a mount in words (「需要重新装载」, 「已失效：找不到 WIM 文件」); empty for a plain mount.
std::u16string StateText(const MountMeaning& meaning, const TextLookup& text);

// The most UTF-16 units of a path an entry shows; the whole path stays in the list for the pick.
inline constexpr std::size_t kMaxShownFolder = 64;
inline constexpr std::size_t kMaxShownFileName = 40;

// `text` cut to at most `limit` units with "…" in the middle (the end, which names the file or folder, kept the
// longer), never splitting a surrogate pair; unchanged when it fits. A limit below 3 leaves only "…".
std::u16string ShortenMiddle(std::u16string_view text, std::size_t limit);

// A path as an entry shows it: without a "\\?\" prefix ("\\?\UNC\server\share" as "\\server\share").
std::u16string ShownPath(std::u16string_view path);

// The last part of a path, after its last backslash or slash.
std::u16string_view FileNameOf(std::u16string_view path);

// One mount on one line: its folder, the WIM file's name and the image's index, 只读 or 可写, and its state when
// it is not plain mounted; long paths cut in the middle, tabs and line breaks shown as spaces.
std::u16string EntryLine(const MountedImage& mount, const TextLookup& text);

// The list to pick from: one entry per mount, in the library's order, for the first kMaxMountEntries mounts; when
// there are more, an entry saying how many are left out. Then the commands: a remount for each mount shown that
// needs one, and one cleanup when any mount of the list is invalid. A menu puts a separator before the first
// command. Every text is ready for a menu ('&' doubled).
inline constexpr std::size_t kMaxMountEntries = 256;
enum class EntryKind {
  Mount,    // picking it fills the fields from list[mount]
  More,     // the closing note: not to be picked
  Remount,  // remount list[mount]
  Cleanup,  // clean up every invalid mount
};
struct MountEntry {
  EntryKind kind = EntryKind::Mount;
  std::size_t mount = 0;  // the mount's position in the list, for Mount and Remount
  std::u16string text;
  bool operator==(const MountEntry&) const = default;
};
std::vector<MountEntry> MountEntries(const MountList& list, const TextLookup& text);

// What picking a mount fills in: the mount folder, the WIM path and the index, whole as the library gave them.
// The 可修改 box is not among them: it chooses between committing and discarding, and only the user may.
struct MountPick {
  std::u16string mountPath;
  std::u16string wimPath;
  std::u16string index;
  bool operator==(const MountPick&) const = default;
};
MountPick PickOf(const MountedImage& mount);

// The tray tip with the reminder of this session's read-write mounts (SessionMounts::ReadWriteMounted): with
// none, the runs' tip unchanged; while no run is in flight, the reminder alone (「Vantrel：1 个映像以可写方式挂载」)
// in place of the idle tip; otherwise the runs' tip and the reminder on a line of its own.
std::u16string TipWithMounts(std::u16string_view runsTip, bool runsInFlight, std::size_t readWriteMounts,
                             const TextLookup& text);

}  // namespace vantrel::mounts
