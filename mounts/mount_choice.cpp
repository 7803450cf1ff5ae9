#include "mounts/mount_choice.h"

#include "resources/text.h"

namespace vantrel::mounts {
namespace {

using resources::FillIn;

std::u16string Decimal(std::uint64_t v) { return resources::Decimal(static_cast<std::int64_t>(v)); }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// A line for a menu: tabs and line breaks as spaces (a tab starts a menu item's accelerator column), '&' doubled.
std::u16string ForMenu(std::u16string_view line) {
  std::u16string out;
  out.reserve(line.size());
  for (char16_t c : line) {
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
    if (c == u'&') out += u'&';
    out += c;
  }
  return out;
}

}  // namespace

std::size_t RepairCount(const MountList& list) {
  if (!list) return 0;
  std::size_t count = 0;
  for (const MountedImage& mount : *list)
    if (NeedsRepair(MeaningOf(mount.flags))) ++count;
  return count;
}

std::u16string SummaryLine(const MountList& list, const TextLookup& text) {
  if (!list || list->empty()) return {};
  const std::size_t repair = RepairCount(list);
  if (repair == 0) return FillIn(text(kTextMountedCount), {Decimal(list->size())});
  return FillIn(text(kTextMountedRepair), {Decimal(list->size()), Decimal(repair)});
}

std::u16string StateText(const MountMeaning& meaning, const TextLookup& text) {
  switch (meaning.state) {
    case MountState::Mounted:
      return {};
    case MountState::Mounting:
      return text(kStateMounting);
    case MountState::NeedsRemount:
      return text(kStateNeedsRemount);
    case MountState::Invalid:
      switch (meaning.reason) {
        case InvalidReason::NoWim:
          return text(kStateNoWim);
        case InvalidReason::NoMountDir:
          return text(kStateNoMountDir);
        case InvalidReason::MountDirReplaced:
          return text(kStateDirReplaced);
        case InvalidReason::None:
        case InvalidReason::Unknown:
          return text(kStateInvalid);
      }
  }
  return {};
}

std::u16string ShortenMiddle(std::u16string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::u16string(text);
  if (limit < 3) return u"…";
  std::size_t tail = limit / 2;
  std::size_t head = limit - 1 - tail;
  if (head > 0 && IsHighSurrogate(text[head - 1])) --head;
  if (tail > 0 && IsLowSurrogate(text[text.size() - tail])) --tail;
  std::u16string out(text.substr(0, head));
  out += u'…';
  out += text.substr(text.size() - tail);
  return out;
}

std::u16string ShownPath(std::u16string_view path) {
  const bool longForm = path.size() >= 4 && path.substr(0, 4) == u"\\\\?\\";
  if (longForm && path.size() >= 8 && (path.substr(4, 4) == u"UNC\\" || path.substr(4, 4) == u"unc\\"))
    return u"\\" + std::u16string(path.substr(7));  // "\\?\UNC\server\share" is "\\server\share"
  if (longForm || (path.size() >= 4 && path.substr(0, 4) == u"\\??\\"))
    return std::u16string(path.substr(4));
  return std::u16string(path);
}

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string EntryLine(const MountedImage& mount, const TextLookup& text) {
  const MountMeaning meaning = MeaningOf(mount.flags);
  const std::u16string folder = ShortenMiddle(ShownPath(mount.mountPath), kMaxShownFolder);
  const std::u16string file = ShortenMiddle(FileNameOf(ShownPath(mount.wimPath)), kMaxShownFileName);
  std::u16string line = FillIn(text(kTextEntry), {folder, file, Decimal(mount.index),
                                                  text(meaning.readWrite ? kTextReadWrite : kTextReadOnly)});
  const std::u16string state = StateText(meaning, text);
  if (!state.empty()) line = FillIn(text(kTextEntryState), {line, state});
  for (char16_t& c : line)
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  return line;
}

std::vector<MountEntry> MountEntries(const MountList& list, const TextLookup& text) {
  std::vector<MountEntry> entries;
  if (!list || list->empty()) return entries;
  const std::vector<MountedImage>& mounts = *list;
  const std::size_t shown = mounts.size() < kMaxMountEntries ? mounts.size() : kMaxMountEntries;
  for (std::size_t i = 0; i < shown; ++i) entries.push_back({EntryKind::Mount, i, ForMenu(EntryLine(mounts[i], text))});
  if (shown < mounts.size())
    entries.push_back({EntryKind::More, 0, ForMenu(FillIn(text(kTextMoreMounts), {Decimal(mounts.size() - shown)}))});
  for (std::size_t i = 0; i < shown; ++i) {
    if (MeaningOf(mounts[i].flags).state != MountState::NeedsRemount) continue;
    const std::u16string folder = ShortenMiddle(ShownPath(mounts[i].mountPath), kMaxShownFolder);
    entries.push_back({EntryKind::Remount, i, ForMenu(FillIn(text(kCommandRemount), {folder}))});
  }
  // One cleanup removes every invalid mount, shown or not.
  for (const MountedImage& mount : mounts) {
    if (MeaningOf(mount.flags).state == MountState::Invalid) {
      entries.push_back({EntryKind::Cleanup, 0, ForMenu(text(kCommandCleanup))});
      break;
    }
  }
  return entries;
}

MountPick PickOf(const MountedImage& mount) { return {mount.mountPath, mount.wimPath, Decimal(mount.index)}; }

std::u16string TipWithMounts(std::u16string_view runsTip, bool runsInFlight, std::size_t readWriteMounts,
                             const TextLookup& text) {
  if (readWriteMounts == 0) return std::u16string(runsTip);
  if (!runsInFlight) return FillIn(text(kTipReadWrite), {Decimal(readWriteMounts)});
  std::u16string tip(runsTip);
  tip += u'\n';
  tip += FillIn(text(kTipReadWriteLine), {Decimal(readWriteMounts)});
  return tip;
}

}  // namespace vantrel::mounts
