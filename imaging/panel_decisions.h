// What each action button of the two panels does, decided from the values its click handler reads:
// which message to show, whether to write "1" into the index box, and what to launch. The Win32
// handlers (MountWim_Click, unMountWim_Click, ExtWIM_Click, MakeWimImage_Click) read the controls,
// call the matching Decide function and carry the decision out in the order: message, index box,
// launch.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <functional>

#include "imaging/imaging_commands.h"
#include "mounts/mounted_image.h"
#include "resources/text.h"
#include "wim/image_choice.h"

namespace vantrel::imaging {

// String-table identifiers of the folder-browser titles and the panel messages.
inline constexpr std::uint16_t kTitleChooseFolder = 20101;     // browser title when none is given
inline constexpr std::uint16_t kMsgApplyNoWim = 20102;         // apply without a WIM file
inline constexpr std::uint16_t kMsgCaptureNoSource = 20103;    // capture without a source folder
inline constexpr std::uint16_t kMsgCaptureNoSavePath = 20104;  // capture without a save path
inline constexpr std::uint16_t kMsgCaptureNoComment = 20105;   // capture without a comment
inline constexpr std::uint16_t kTitleCaptureSource = 20106;    // browser title of mk_WimB01
inline constexpr std::uint16_t kTitleMountFolder = 20107;      // browser title of MountB
inline constexpr std::uint16_t kMsgMountNoWim = 20108;         // mount without a WIM file
inline constexpr std::uint16_t kMsgMountNoFolder = 20109;      // mount without a mount folder
inline constexpr std::uint16_t kMsgNoSuchImage = 20113;        // an index the WIM file has no image for
// Refusals against the mounted-image list.
inline constexpr std::uint16_t kMsgFolderHoldsMount = 7120;     // "%1" = the WIM file mounted there, "%2" = its index
inline constexpr std::uint16_t kMsgImageMountedReadWrite = 7121;  // "%1" WIM file, "%2" index, "%3" its mount folder
inline constexpr std::uint16_t kMsgNothingMountedThere = 7122;  // "%1" = the mount folder
// The image list's commands, and what neither tool can do with a split set or a solid file.
inline constexpr std::uint16_t kAskDelete = 8105;           // "%1" file, "%2" index, "%3" the image's name
inline constexpr std::uint16_t kMsgSplitSetCannot = 8106;   // "%1" file, "%2" parts
inline constexpr std::uint16_t kMsgSolidCannot = 8107;      // "%1" file
inline constexpr std::uint16_t kMsgPartMissing = 8108;      // "%1" the first part missing
inline constexpr std::uint16_t kMsgSameFile = 8110;         // the destination is the source file itself
inline constexpr std::uint16_t kFilterExport = 8111, kFilterSplit = 8112;  // the save dialogs' filters

// Text written into an empty index box.
inline constexpr std::u16string_view kDefaultIndex = u"1";

// A check box counts as ticked only in state 1 (checked); 0 and 2 (greyed) do not.
constexpr bool IsTicked(int checkState) {
  return checkState == 1;
}

struct Launch {
  Operation op;
  std::vector<std::u16string> args;  // field texts, as read, before quoting
};

struct Decision {
  std::optional<std::uint16_t> message;  // string id of the message box to show, or none
  // A question (Yes/No, No the default) asked before the launch, filled with messageValues: No launches nothing.
  std::optional<std::uint16_t> question;
  std::vector<std::u16string> messageValues;  // what fills the message's "%1", "%2", ... (MessageText)
  bool setIndexToOne = false;            // write kDefaultIndex into the WIMindex box
  std::optional<Launch> launch;          // what to launch, or none
};

// The mount panel: WIMPath, WIMindex, MountPath and WIMR_Check.
struct MountFields {
  std::u16string wimPath;
  std::u16string index;
  std::u16string mountPath;
  int readWriteCheck = 0;
  // How many images the WIM file holds, when its list was read; none when it was not (or could not be).
  std::optional<std::uint32_t> imageCount = std::nullopt;
  // What Windows' imaging library says is mounted: null, or a list with no value, when it was not read (then
  // nothing is refused on its account). Not owned; it lives as long as the click.
  const mounts::MountList* mounted = nullptr;
  // From the file's list, when it was read: part 1 of a split set of this many parts (1: a whole file), and for
  // an apply, the first of its other parts missing from its folder.
  std::uint16_t parts = 1;
  std::optional<std::u16string> missingPart = std::nullopt;
};

// The capture panel: mk_WIMPath, WIMSavePath, WIM_Info, WIM_add_c and WimBoot.
struct CaptureFields {
  std::u16string sourcePath;
  std::u16string savePath;
  std::u16string comment;
  int appendCheck = 0;
  int bootCheck = 0;
  // From the save path's list, when it was read: a split set (parts > 1) or a solid file takes no new image.
  std::uint16_t saveParts = 1;
  bool saveSolid = false;
};

// The image list's commands on the mount panel's file.
struct FileCommandFields {
  std::u16string wimPath;  // WIMPath as typed
  std::u16string index;    // WIMindex as typed
  std::optional<wim::FileFacts> facts;  // the file's, when its list was read and it has not changed since
  std::u16string programFolder;  // where the tool starts, and so where a relative WIM path is
  std::u16string destination;    // the save dialog's choice, a full path; empty until it was asked
  bool destinationExists = false;
};

using resources::ImageIndexOf;

// A field is empty only when it equals the empty string: nothing is trimmed, so a field of spaces
// counts as given.

// MountWim_Click: no WIM file -> 20108; part 1 of a split set -> kMsgSplitSetCannot; empty index -> "1" written, nothing else this click;
// an index the file has no image for (when its list was read) -> 20113;
// no mount folder -> 20109; else mount read-write when WIMR_Check is ticked, read-only otherwise. An index
// checked against the list is passed as the number checked ("2" for " 2 "); unchecked, as typed.
// When the mounted-image list was read, and only then: a folder that already holds a mount -> 7120, naming the
// WIM file and image mounted there; a read-write mount of an image already mounted read-write in another folder
// -> 7121 (the tool would fail with 0xC1420127), naming that folder.
Decision DecideMount(const MountFields& fields);

// unMountWim_Click: unmount MountPath as it stands, committing when WIMR_Check is ticked at the time of this
// click. Without the mounted-image list it checks nothing; with it, an empty folder -> 20109 and a folder where
// nothing is mounted -> 7122.
Decision DecideUnmount(const MountFields& fields);

// The two repairs the mounted-image list offers: remount the mount in `mountFolder` (as the list gives it), and
// clean up every mount that cannot be remounted.
Decision DecideRemount(std::u16string_view mountFolder);
Decision DecideCleanup();

// The folder a launch mounts read-write into (for the tray tip's reminder, mounts::SessionMounts); none for any
// other launch.
std::optional<std::u16string> ReadWriteMountFolder(const Launch& launch);

// The text of the decision's message box, or of its question: the string-table entry with its values filled in.
std::u16string MessageText(const Decision& decision, const std::function<std::u16string(std::uint16_t)>& text);

// ExtWIM_Click: no WIM file -> 20102; empty index -> "1" written and applied in the same click; an index
// the file has no image for (when its list was read) -> 20113, the box left as it is; part 1 of a split set with
// a part missing -> kMsgPartMissing naming it, else the other parts are named for the tool;
// MountPath is the target, empty or not.
Decision DecideApply(const MountFields& fields);

// 导出第 N 个映像…: an index the list has no image for -> 20113; with no destination yet, nothing (the save dialog
// is shown next, and this is asked again with its choice); the source file itself -> kMsgSameFile; else export:
// into an existing file with no compression switch (its own is kept), into a new one with maximum compression, or
// recovery for an ESD; from a split set, its parts named.
Decision DecideExport(const FileCommandFields& fields);
// 拆分为 FAT32 分卷…: a split set -> kMsgSplitSetCannot; no destination yet -> nothing (ask); the source itself ->
// kMsgSameFile; else split into parts of kFat32PartMb.
Decision DecideSplit(const FileCommandFields& fields);
// 删除第 N 个映像: 20113 as above; a split set or a solid file -> their messages; else a delete, asked first.
Decision DecideDelete(const FileCommandFields& fields);

// MakeWimImage_Click: 20103, 20104, 20105 for the first empty of source, save path, comment; else
// append when WIM_add_c is ticked (WimBoot then plays no part), bootable capture when WimBoot is
// ticked, plain capture otherwise. An append to a split set or a solid file -> their messages.
Decision DecideCapture(const CaptureFields& fields);

}  // namespace vantrel::imaging
