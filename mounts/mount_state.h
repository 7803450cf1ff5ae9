// What one mount's flags mean, and how mount folders and WIM paths are compared: decided from the plain values of
// the mounted-image list, the same on the host and on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mounts/mounted_image.h"

namespace vantrel::mounts {

// The WIM_MOUNT_FLAG_* values of wimgapi.h, as WIMGetMountedImageInfo reports them.
inline constexpr std::uint32_t kFlagMounted = 0x00000001;
inline constexpr std::uint32_t kFlagMounting = 0x00000002;
inline constexpr std::uint32_t kFlagRemountable = 0x00000004;  // not mounted now, but can be remounted
inline constexpr std::uint32_t kFlagInvalid = 0x00000008;      // not mounted and cannot be remounted
inline constexpr std::uint32_t kFlagNoWim = 0x00000010;        // the WIM file is gone or cannot be reached
inline constexpr std::uint32_t kFlagNoMountDir = 0x00000020;   // the mount folder is gone
inline constexpr std::uint32_t kFlagMountDirReplaced = 0x00000040;  // another folder now stands at its place
inline constexpr std::uint32_t kFlagReadWrite = 0x00000100;

// A mount as one plain state.
enum class MountState {
  Mounted,       // in use, nothing to do
  Mounting,      // a tool is mounting it right now
  NeedsRemount,  // left by a restart: /Remount-Image brings it back
  Invalid,       // beyond a remount: only a cleanup removes it
};

// Why an invalid mount is invalid; None for the other states, Unknown when the library gave no reason.
enum class InvalidReason { None, NoWim, NoMountDir, MountDirReplaced, Unknown };

struct MountMeaning {
  MountState state = MountState::Mounted;
  InvalidReason reason = InvalidReason::None;
  bool readWrite = false;
  bool operator==(const MountMeaning&) const = default;
};

// The flags read as one state. A reason flag makes the mount invalid even without the invalid flag (a remount
// cannot bring back a missing WIM file or folder); invalid beats remountable, which beats mounting. A mount the
// list holds with none of the state flags counts as mounted: nothing says it is broken.
MountMeaning MeaningOf(std::uint32_t flags);

// A mount that needs the user to act: a remount or a cleanup.
bool NeedsRepair(const MountMeaning& meaning);

// A path as typed into a field, without the double quotes Explorer's "Copy as path" puts round it.
std::u16string_view FieldPath(std::u16string_view field);

// A path as the list's paths are compared, the way Windows compares them: without a "\\?\" prefix ("\\?\UNC\" is
// "\\"), '/' read as '\', without one trailing backslash (a drive root keeps its own), and in upper case (ASCII,
// Latin-1, Greek, Cyrillic and full-width Latin letters, as the file system's case table folds them).
std::u16string ComparablePath(std::u16string_view path);

// Two paths name the same file or folder by the rule above. Neither path is resolved: a relative path, a short
// (8.3) name or a junction is compared as written, so a mismatch proves nothing and only a match is acted on.
bool SamePath(std::u16string_view a, std::u16string_view b);

// The mount of `list` whose folder is `folder`; nullptr when none is (or the list is not known).
const MountedImage* MountAt(const MountList& list, std::u16string_view folder);

// The folders this session mounted read-write, kept so the tray tip can say how many of them are still mounted.
// Ending the program unmounts nothing; the tip only reminds the user that changes are waiting to be committed
// or discarded.
class SessionMounts {
 public:
  // A read-write mount was started into `folder` (quotes round it are dropped; an empty folder is not kept).
  void Add(std::u16string_view folder);
  const std::vector<std::u16string>& folders() const { return folders_; }

  // How many of the list's read-write mounts (invalid ones aside: they hold nothing to commit) sit in a folder
  // of this session; 0 when the list is not known.
  std::size_t ReadWriteMounted(const MountList& list) const;

 private:
  // A bounded record: a session that mounts more folders than this forgets its oldest.
  static constexpr std::size_t kMaxFolders = 256;
  std::vector<std::u16string> folders_;
};

}  // namespace vantrel::mounts
