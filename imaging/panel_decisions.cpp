#include "imaging/panel_decisions.h"

namespace vantrel::imaging {
namespace {

Decision Message(std::uint16_t id) {
  Decision d;
  d.message = id;
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

}  // namespace


Decision DecideMount(const MountFields& f) {
  if (f.wimPath.empty()) return Message(kMsgMountNoWim);
  if (f.index.empty()) {
    // The box gets "1"; the user sees it and clicks again to mount.
    Decision d;
    d.setIndexToOne = true;
    return d;
  }
  if (NoSuchImage(f, f.index)) return Message(kMsgNoSuchImage);
  if (f.mountPath.empty()) return Message(kMsgMountNoFolder);
  const Operation op = IsTicked(f.readWriteCheck) ? Operation::MountReadWrite : Operation::MountReadOnly;
  return Run(op, {f.wimPath, IndexToPass(f, f.index), f.mountPath});
}

Decision DecideUnmount(const MountFields& f) {
  const Operation op = IsTicked(f.readWriteCheck) ? Operation::UnmountCommit : Operation::UnmountDiscard;
  return Run(op, {f.mountPath});
}

Decision DecideApply(const MountFields& f) {
  if (f.wimPath.empty()) return Message(kMsgApplyNoWim);
  const bool noIndex = f.index.empty();
  const std::u16string_view index = noIndex ? kDefaultIndex : std::u16string_view(f.index);
  if (NoSuchImage(f, index)) return Message(kMsgNoSuchImage);
  Decision d = Run(Operation::Apply, {f.wimPath, IndexToPass(f, index), f.mountPath});
  d.setIndexToOne = noIndex;
  return d;
}

Decision DecideCapture(const CaptureFields& f) {
  if (f.sourcePath.empty()) return Message(kMsgCaptureNoSource);
  if (f.savePath.empty()) return Message(kMsgCaptureNoSavePath);
  if (f.comment.empty()) return Message(kMsgCaptureNoComment);
  Operation op = Operation::Capture;
  if (IsTicked(f.appendCheck)) {
    op = Operation::Append;
  } else if (IsTicked(f.bootCheck)) {
    op = Operation::CaptureBoot;
  }
  return Run(op, {f.sourcePath, f.savePath, f.comment});
}

}  // namespace vantrel::imaging
