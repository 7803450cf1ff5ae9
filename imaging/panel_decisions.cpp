#include "imaging/panel_decisions.h"

#include "mounts/mount_state.h"
#include "wim/list_path.h"

namespace vantrel::imaging {
namespace {

Decision Message(std::uint16_t id, std::vector<std::u16string> values = {}) {
  Decision d;
  d.message = id;
  d.messageValues = std::move(values);
  return d;
}

Decision Run(Operation op, std::vector<std::u16string> args) {
  Decision d;
  d.launch = Launch{op, std::move(args)};
  return d;
}

// An index the user typed that the file's list (when it was read) has no image for.
bool NoSuchImage(const MountFields& f, std::u16string_view index) {
  if (!f.imageCount) return false;
  const std::optional<std::uint32_t> n = ImageIndexOf(index);
  return !n || *n < 1 || *n > *f.imageCount;
}

// The index to pass once NoSuchImage has let it through: the number that was checked (" 2 " and "02" are
// image 2, and the tools would refuse the blanks), or the field as typed when there was no list to check it
// against.
std::u16string IndexToPass(const MountFields& f, std::u16string_view index) {
  if (!f.imageCount) return std::u16string(index);
  return resources::Decimal(*ImageIndexOf(index));
}

// The list of what is mounted, when it was read.
const std::vector<mounts::MountedImage>* MountedList(const MountFields& f) {
  return f.mounted && *f.mounted ? &**f.mounted : nullptr;
}

// A mount the list says cannot work: into a folder that holds a mount already, or read-write of an image that is
// mounted read-write elsewhere. Only a match is acted on (mount_state.h): paths the list cannot be matched with
// pass to the tool.
std::optional<Decision> MountRefused(const MountFields& f, std::u16string_view index) {
  const std::vector<mounts::MountedImage>* list = MountedList(f);
  if (!list) return std::nullopt;
  if (const mounts::MountedImage* there = mounts::MountAt(*f.mounted, f.mountPath))
    return Message(kMsgFolderHoldsMount, {there->wimPath, resources::Decimal(there->index)});
  if (!IsTicked(f.readWriteCheck)) return std::nullopt;
  const std::optional<std::uint32_t> image = ImageIndexOf(index);
  if (!image) return std::nullopt;
  for (const mounts::MountedImage& mount : *list) {
    const mounts::MountMeaning meaning = mounts::MeaningOf(mount.flags);
    // An invalid mount holds the image no longer; the list offers its cleanup.
    if (!meaning.readWrite || meaning.state == mounts::MountState::Invalid || mount.index != *image) continue;
    if (mounts::SamePath(mount.wimPath, mounts::FieldPath(f.wimPath)))
      return Message(kMsgImageMountedReadWrite, {mount.wimPath, resources::Decimal(mount.index), mount.mountPath});
  }
  return std::nullopt;
}

}  // namespace

Decision DecideMount(const MountFields& f) {
  if (f.wimPath.empty()) return Message(kMsgMountNoWim);
  if (f.parts > 1) return Message(kMsgSplitSetCannot, {f.wimPath, resources::Decimal(f.parts)});
  if (f.index.empty()) {
    // The box gets "1"; the user sees it and clicks again to mount.
    Decision d;
    d.setIndexToOne = true;
    return d;
  }
  if (NoSuchImage(f, f.index)) return Message(kMsgNoSuchImage);
  if (f.mountPath.empty()) return Message(kMsgMountNoFolder);
  if (std::optional<Decision> refused = MountRefused(f, f.index)) return std::move(*refused);
  const Operation op = IsTicked(f.readWriteCheck) ? Operation::MountReadWrite : Operation::MountReadOnly;
  return Run(op, {f.wimPath, IndexToPass(f, f.index), f.mountPath});
}

Decision DecideUnmount(const MountFields& f) {
  if (MountedList(f)) {
    if (f.mountPath.empty()) return Message(kMsgMountNoFolder);
    if (!mounts::MountAt(*f.mounted, f.mountPath)) return Message(kMsgNothingMountedThere, {f.mountPath});
  }
  const Operation op = IsTicked(f.readWriteCheck) ? Operation::UnmountCommit : Operation::UnmountDiscard;
  return Run(op, {f.mountPath});
}

Decision DecideApply(const MountFields& f) {
  if (f.wimPath.empty()) return Message(kMsgApplyNoWim);
  const bool noIndex = f.index.empty();
  const std::u16string_view index = noIndex ? kDefaultIndex : std::u16string_view(f.index);
  if (NoSuchImage(f, index)) return Message(kMsgNoSuchImage);
  if (f.missingPart) return Message(kMsgPartMissing, {*f.missingPart});
  std::vector<std::u16string> args = {f.wimPath, IndexToPass(f, index), f.mountPath};
  // The other parts of a split set, named after the first as the user gave it.
  if (f.parts > 1) args.push_back(wim::SplitPartsPattern(wim::Unquoted(f.wimPath)));
  Decision d = Run(Operation::Apply, std::move(args));
  d.setIndexToOne = noIndex;
  return d;
}

namespace {

// The image the index box names, checked against the list: its number; none when the list has no such image.
std::optional<std::uint32_t> NamedImage(const FileCommandFields& f) {
  const std::optional<std::uint32_t> n = ImageIndexOf(f.index);
  if (!n || *n < 1 || (f.facts && *n > f.facts->imageCount)) return std::nullopt;
  return n;
}

std::uint16_t PartsOf(const FileCommandFields& f) { return f.facts ? f.facts->parts : 1; }

// The destination is the source file, as far as the paths tell (the tool would write what it reads).
bool IsSource(const FileCommandFields& f) {
  return mounts::SamePath(wim::ToolFile(f.programFolder, f.wimPath), f.destination);
}

}  // namespace

Decision DecideExport(const FileCommandFields& f) {
  const std::optional<std::uint32_t> image = NamedImage(f);
  if (!image) return Message(kMsgNoSuchImage);
  if (f.destination.empty()) return Decision();
  if (IsSource(f)) return Message(kMsgSameFile);
  std::u16string compress;
  if (!f.destinationExists)
    compress = IsEsdName(f.destination) ? kCompressRecovery : kCompressMaximum;
  std::u16string name;
  if (f.facts && *image <= f.facts->names.size()) name = f.facts->names[*image - 1];
  const std::uint16_t parts = PartsOf(f);
  std::u16string pattern = parts > 1 ? wim::SplitPartsPattern(wim::Unquoted(f.wimPath)) : u"";
  return Run(Operation::Export, {f.wimPath, resources::Decimal(*image), f.destination, std::move(name),
                                 std::move(compress), std::move(pattern)});
}

Decision DecideSplit(const FileCommandFields& f) {
  if (PartsOf(f) > 1) return Message(kMsgSplitSetCannot, {f.wimPath, resources::Decimal(PartsOf(f))});
  if (f.destination.empty()) return Decision();
  if (IsSource(f)) return Message(kMsgSameFile);
  return Run(Operation::Split, {f.wimPath, f.destination, std::u16string(kFat32PartMb)});
}

Decision DecideDelete(const FileCommandFields& f) {
  const std::optional<std::uint32_t> image = NamedImage(f);
  if (!image) return Message(kMsgNoSuchImage);
  if (PartsOf(f) > 1) return Message(kMsgSplitSetCannot, {f.wimPath, resources::Decimal(PartsOf(f))});
  if (f.facts && f.facts->solid) return Message(kMsgSolidCannot, {f.wimPath});
  std::u16string name;
  if (f.facts && *image <= f.facts->names.size()) name = f.facts->names[*image - 1];
  Decision d = Run(Operation::Delete, {f.wimPath, resources::Decimal(*image)});
  d.question = kAskDelete;
  d.messageValues = {f.wimPath, resources::Decimal(*image), std::move(name)};
  return d;
}

Decision DecideRemount(std::u16string_view mountFolder) {
  return Run(Operation::Remount, {std::u16string(mountFolder)});
}

Decision DecideCleanup() { return Run(Operation::Cleanup, {}); }

std::optional<std::u16string> ReadWriteMountFolder(const Launch& launch) {
  if (launch.op != Operation::MountReadWrite || launch.args.size() < 3) return std::nullopt;
  return launch.args[2];
}

std::u16string MessageText(const Decision& d, const std::function<std::u16string(std::uint16_t)>& text) {
  const std::optional<std::uint16_t> id = d.message ? d.message : d.question;
  if (!id) return {};
  const std::vector<std::u16string>& v = d.messageValues;
  auto value = [&v](std::size_t i) { return i < v.size() ? std::u16string_view(v[i]) : std::u16string_view(); };
  // No message has more than three values; FillIn leaves a pattern without places as it is.
  return resources::FillIn(text(*id), {value(0), value(1), value(2)});
}

Decision DecideCapture(const CaptureFields& f) {
  if (f.sourcePath.empty()) return Message(kMsgCaptureNoSource);
  if (f.savePath.empty()) return Message(kMsgCaptureNoSavePath);
  if (f.comment.empty()) return Message(kMsgCaptureNoComment);
  Operation op = Operation::Capture;
  if (IsTicked(f.appendCheck)) {
    if (f.saveParts > 1) return Message(kMsgSplitSetCannot, {f.savePath, resources::Decimal(f.saveParts)});
    if (f.saveSolid) return Message(kMsgSolidCannot, {f.savePath});
    op = Operation::Append;
  } else if (IsTicked(f.bootCheck)) {
    op = Operation::CaptureBoot;
  }
  return Run(op, {f.sourcePath, f.savePath, f.comment});
}

}  // namespace vantrel::imaging
