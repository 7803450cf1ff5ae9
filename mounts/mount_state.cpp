#include "mounts/mount_state.h"

namespace vantrel::mounts {
namespace {

// Upper case for the letters users meet in folder names; the rest of the file system's case table (Latin
// Extended, Armenian, ...) is left out, which can only make two names that are the same compare as different.
char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  if (c < 0x80) return c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);  // à-þ, not ÷
  if (c == 0xFF) return 0x178;                                                      // ÿ
  if (c == 0x3C2) return 0x3A3;                                                     // final sigma
  if (c >= 0x3B1 && c <= 0x3C9) return static_cast<char16_t>(c - 0x20);            // Greek
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);            // Cyrillic а-я
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);            // ѐ-џ
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<char16_t>(c - 0x20);          // full-width a-z
  return c;
}

bool IsDriveRoot(std::u16string_view p) { return p.size() == 3 && p[1] == u':' && p[2] == u'\\'; }

}  // namespace

MountMeaning MeaningOf(std::uint32_t flags) {
  MountMeaning m;
  m.readWrite = (flags & kFlagReadWrite) != 0;
  // The first reason named wins: a missing WIM file is what the user can do something about first.
  if (flags & kFlagNoWim) {
    m.reason = InvalidReason::NoWim;
  } else if (flags & kFlagNoMountDir) {
    m.reason = InvalidReason::NoMountDir;
  } else if (flags & kFlagMountDirReplaced) {
    m.reason = InvalidReason::MountDirReplaced;
  } else if (flags & kFlagInvalid) {
    m.reason = InvalidReason::Unknown;
  }
  if (m.reason != InvalidReason::None) {
    m.state = MountState::Invalid;
  } else if (flags & kFlagRemountable) {
    m.state = MountState::NeedsRemount;
  } else if (flags & kFlagMounting) {
    m.state = MountState::Mounting;
  }
  return m;
}

bool NeedsRepair(const MountMeaning& meaning) {
  return meaning.state == MountState::NeedsRemount || meaning.state == MountState::Invalid;
}

std::u16string_view FieldPath(std::u16string_view field) {
  if (field.size() >= 2 && field.front() == u'"' && field.back() == u'"') field = field.substr(1, field.size() - 2);
  return field;
}

std::u16string ComparablePath(std::u16string_view path) {
  std::u16string p(path);
  for (char16_t& c : p)
    if (c == u'/') c = u'\\';
  // "\\?\C:\mnt" and "\\?\UNC\server\share" are the long-path forms of "C:\mnt" and "\\server\share"; "\??\" is the
  // same prefix as the system's own records write it.
  for (std::u16string_view prefix : {std::u16string_view(u"\\\\?\\"), std::u16string_view(u"\\??\\")}) {
    if (p.size() >= prefix.size() && std::u16string_view(p).substr(0, prefix.size()) == prefix) {
      p.erase(0, prefix.size());
      if (p.size() >= 4 && Upper(p[0]) == u'U' && Upper(p[1]) == u'N' && Upper(p[2]) == u'C' && p[3] == u'\\')
        p.replace(0, 3, u"\\");
      break;
    }
  }
  if (!p.empty() && p.back() == u'\\' && !IsDriveRoot(p) && p.size() > 1) p.pop_back();
  for (char16_t& c : p) c = Upper(c);
  return p;
}

bool SamePath(std::u16string_view a, std::u16string_view b) { return ComparablePath(a) == ComparablePath(b); }

const MountedImage* MountAt(const MountList& list, std::u16string_view folder) {
  if (!list) return nullptr;
  const std::u16string wanted = ComparablePath(FieldPath(folder));
  for (const MountedImage& mount : *list)
    if (ComparablePath(mount.mountPath) == wanted) return &mount;
  return nullptr;
}

void SessionMounts::Add(std::u16string_view folder) {
  const std::u16string_view path = FieldPath(folder);
  if (path.empty()) return;
  for (const std::u16string& kept : folders_)
    if (SamePath(kept, path)) return;
  if (folders_.size() == kMaxFolders) folders_.erase(folders_.begin());
  folders_.emplace_back(path);
}

std::size_t SessionMounts::ReadWriteMounted(const MountList& list) const {
  if (!list) return 0;
  std::size_t count = 0;
  for (const MountedImage& mount : *list) {
    const MountMeaning meaning = MeaningOf(mount.flags);
    if (!meaning.readWrite || meaning.state == MountState::Invalid) continue;
    for (const std::u16string& folder : folders_) {
      if (SamePath(folder, mount.mountPath)) {
        ++count;
        break;
      }
    }
  }
  return count;
}

}  // namespace vantrel::mounts
