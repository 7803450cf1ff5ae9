#include "wim/list_path.h"

#include "resources/text.h"

namespace vantrel::wim {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

// "C:" at the start of `path`.
bool HasDrive(std::u16string_view path) { return path.size() >= 2 && IsLetter(path[0]) && path[1] == u':'; }

// The end of the component that starts at `at`.
std::size_t ComponentEnd(std::u16string_view path, std::size_t at) {
  while (at < path.size() && !IsSeparator(path[at])) ++at;
  return at;
}

// The length of a full path's root ("C:", "\\server\share", "\\?\C:", "\\?\UNC\server\share"); 0 for a path
// that is not full.
std::size_t RootLength(std::u16string_view path) {
  if (HasDrive(path)) return path.size() > 2 && IsSeparator(path[2]) ? 2 : 0;
  if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return 0;
  std::size_t at = 2;
  // "\\?\" and "\\.\": a drive or "UNC\server\share" follows.
  if (path.size() >= 4 && (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3])) {
    const std::u16string_view rest = path.substr(4);
    if (HasDrive(rest)) return 6;
    if (rest.size() < 4 || Upper(rest[0]) != u'U' || Upper(rest[1]) != u'N' || Upper(rest[2]) != u'C' ||
        !IsSeparator(rest[3]))
      return ComponentEnd(path, 4);  // a device ("\\.\PhysicalDrive0") or a volume name
    at = 8;
  }
  // The server, then the share.
  const std::size_t server = ComponentEnd(path, at);
  if (server == at || server >= path.size()) return 0;
  const std::size_t share = ComponentEnd(path, server + 1);
  return share == server + 1 ? 0 : share;
}

std::u16string Joined(std::u16string_view folder, std::u16string_view path) {
  std::u16string joined(folder);
  if (!joined.empty() && !IsSeparator(joined.back())) joined += u'\\';
  joined += path;
  return joined;
}

// Where the extension of the path's file name starts (at its dot), or the path's end when it has none.
std::size_t ExtensionAt(std::u16string_view path) {
  const std::size_t name = path.find_last_of(u"\\/:");
  const std::size_t dot = path.find_last_of(u'.');
  if (dot == std::u16string_view::npos || (name != std::u16string_view::npos && dot < name)) return path.size();
  return dot;
}

}  // namespace

std::u16string_view Unquoted(std::u16string_view field) {
  if (field.size() >= 2 && field.front() == u'"' && field.back() == u'"') field = field.substr(1, field.size() - 2);
  return field;
}

std::u16string ToolFile(std::u16string_view folder, std::u16string_view field) {
  return ResolvedPath(folder, Unquoted(field));
}

std::u16string SplitPartName(std::u16string_view firstPart, unsigned part) {
  const std::size_t ext = ExtensionAt(firstPart);
  return std::u16string(firstPart.substr(0, ext)) + resources::Decimal(part) + std::u16string(firstPart.substr(ext));
}

std::u16string SplitPartsPattern(std::u16string_view firstPart) {
  const std::size_t ext = ExtensionAt(firstPart);
  return std::u16string(firstPart.substr(0, ext)) + u"*" + std::u16string(firstPart.substr(ext));
}

std::u16string SuggestedExportPath(std::u16string_view source, std::uint32_t index) {
  return std::u16string(source.substr(0, ExtensionAt(source))) + u"-" + resources::Decimal(index) + u".wim";
}

std::u16string SuggestedSplitPath(std::u16string_view source) {
  return std::u16string(source.substr(0, ExtensionAt(source))) + u".swm";
}

FileKind KindOf(std::uint32_t attributes) {
  if (attributes & kAttributeDirectory) return FileKind::NoFile;
  if (attributes & (kAttributeOffline | kAttributeRecallOnOpen | kAttributeRecallOnDataAccess)) return FileKind::NotLocal;
  return FileKind::Local;
}

std::u16string ResolvedPath(std::u16string_view folder, std::u16string_view path) {
  const std::size_t root = RootLength(folder);
  if (path.empty() || root == 0) return std::u16string(path);
  if (HasDrive(path)) {
    if (path.size() > 2 && IsSeparator(path[2])) return std::u16string(path);  // "C:\x"
    // "D:x": the drive's current folder, which for the tool's own drive is the folder it starts in.
    if (HasDrive(folder) && Upper(folder[0]) == Upper(path[0])) return Joined(folder, path.substr(2));
    return std::u16string(path);
  }
  if (IsSeparator(path[0])) {
    if (path.size() >= 2 && IsSeparator(path[1])) return std::u16string(path);  // "\\server\share\x", "\\?\..."
    return std::u16string(folder.substr(0, root)) + std::u16string(path);       // "\x": the folder's drive
  }
  return Joined(folder, path);
}

}  // namespace vantrel::wim
