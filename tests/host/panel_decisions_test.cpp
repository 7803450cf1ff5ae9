#include "imaging/panel_decisions.h"
#include "imaging/operation_report.h"
#include "mounts/mount_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel::imaging {
namespace {

using Args = std::vector<std::u16string>;

// The expected outcome of one click; a launch is expected when args is set.
struct Outcome {
  std::optional<std::uint16_t> message;
  bool setIndexToOne = false;
  std::optional<Operation> op;
  Args args;
};

Outcome Shows(std::uint16_t id) { return {id, false, std::nullopt, {}}; }
Outcome SetsOneOnly() { return {std::nullopt, true, std::nullopt, {}}; }
Outcome Runs(Operation op, Args args, bool setIndexToOne = false) {
  return {std::nullopt, setIndexToOne, op, std::move(args)};
}

void ExpectOutcome(const Decision& d, const Outcome& want) {
  EXPECT_EQ(d.message, want.message);
  EXPECT_EQ(d.setIndexToOne, want.setIndexToOne);
  ASSERT_EQ(d.launch.has_value(), want.op.has_value());
  if (d.launch) {
    EXPECT_EQ(d.launch->op, *want.op);
    EXPECT_EQ(d.launch->args, want.args);
  }
}

const std::u16string kWim = u"E:\\a.wim";
const std::u16string kMnt = u"C:\\mnt";

struct MountRow {
  const char* name;
  Decision (*decide)(const MountFields&);
  MountFields fields;
  Outcome want;
};

TEST(PanelDecisionsTest, MountPanel) {
  const MountRow rows[] = {
      // MountWim_Click: file, then index, then folder.
      {"MountAllEmpty", DecideMount, {u"", u"", u"", 0}, Shows(kMsgMountNoWim)},
      {"MountNoFileBeatsEmptyIndex", DecideMount, {u"", u"", kMnt, 1}, Shows(kMsgMountNoWim)},
      {"MountEmptyIndexOnlySetsOne", DecideMount, {kWim, u"", u"", 0}, SetsOneOnly()},
      {"MountEmptyIndexBeforeFolder", DecideMount, {kWim, u"", kMnt, 1}, SetsOneOnly()},
      {"MountNoFolder", DecideMount, {kWim, u"2", u"", 0}, Shows(kMsgMountNoFolder)},
      {"MountReadOnly",
       DecideMount,
       {kWim, u"2", kMnt, 0},
       Runs(Operation::MountReadOnly, {kWim, u"2", kMnt})},
      {"MountReadWrite",
       DecideMount,
       {kWim, u"2", kMnt, 1},
       Runs(Operation::MountReadWrite, {kWim, u"2", kMnt})},
      {"MountGreyedIsNotTicked",
       DecideMount,
       {kWim, u"2", kMnt, 2},
       Runs(Operation::MountReadOnly, {kWim, u"2", kMnt})},
      {"MountSpacesAndOddIndexPassed",
       DecideMount,
       {u" ", u"abc", u"  ", 0},
       Runs(Operation::MountReadOnly, {u" ", u"abc", u"  "})},
      // unMountWim_Click checks nothing.
      {"UnmountAllEmpty",
       DecideUnmount,
       {u"", u"", u"", 0},
       Runs(Operation::UnmountDiscard, {u""})},
      {"UnmountCommit", DecideUnmount, {u"", u"", kMnt, 1}, Runs(Operation::UnmountCommit, {kMnt})},
      {"UnmountGreyedDiscards",
       DecideUnmount,
       {kWim, u"", kMnt, 2},
       Runs(Operation::UnmountDiscard, {kMnt})},
      // ExtWIM_Click: only the file is required; an empty index becomes "1" in the same click.
      {"ApplyNoFile", DecideApply, {u"", u"", kMnt, 0}, Shows(kMsgApplyNoWim)},
      {"ApplyEmptyIndexGoesOnWithOne",
       DecideApply,
       {kWim, u"", kMnt, 0},
       Runs(Operation::Apply, {kWim, u"1", kMnt}, true)},
      {"ApplyEmptyFolderPassed",
       DecideApply,
       {kWim, u"0", u"", 1},
       Runs(Operation::Apply, {kWim, u"0", u""})},
      {"ApplySpacesPassed",
       DecideApply,
       {u" ", u" ", u" ", 0},
       Runs(Operation::Apply, {u" ", u" ", u" "})},
  };
  for (const MountRow& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectOutcome(row.decide(row.fields), row.want);
  }
}

// When the WIM file's list was read, an index it has no image for is refused before anything is launched;
// when it was not, the index passes as typed.
TEST(PanelDecisionsTest, IndexTheFileHasNoImageForIsRefused) {
  MountFields f{kWim, u"3", kMnt, 0};
  f.imageCount = 3;
  ExpectOutcome(DecideMount(f), Runs(Operation::MountReadOnly, {kWim, u"3", kMnt}));
  ExpectOutcome(DecideApply(f), Runs(Operation::Apply, {kWim, u"3", kMnt}));
  for (const char16_t* index : {u"7", u"0", u"4", u"abc", u"-1", u"99999999999"}) {
    f.index = index;
    ExpectOutcome(DecideMount(f), Shows(kMsgNoSuchImage));
    ExpectOutcome(DecideApply(f), Shows(kMsgNoSuchImage));
  }
  // Spaces round a number are the number, and the number checked is the one the tool gets (DISM refuses
  // /Index:" 2 ").
  f.index = u" 2 ";
  ExpectOutcome(DecideMount(f), Runs(Operation::MountReadOnly, {kWim, u"2", kMnt}));
  ExpectOutcome(DecideApply(f), Runs(Operation::Apply, {kWim, u"2", kMnt}));
  f.index = u"003";
  ExpectOutcome(DecideMount(f), Runs(Operation::MountReadOnly, {kWim, u"3", kMnt}));
  // No list read: nothing was checked, and the field passes as typed.
  f.imageCount = std::nullopt;
  f.index = u" 2 ";
  ExpectOutcome(DecideMount(f), Runs(Operation::MountReadOnly, {kWim, u" 2 ", kMnt}));
  ExpectOutcome(DecideApply(f), Runs(Operation::Apply, {kWim, u" 2 ", kMnt}));
  f.imageCount = 3;
  // The earlier checks still come first: no file, an empty index ("1" written, then checked next click).
  f.index = u"";
  ExpectOutcome(DecideMount(f), SetsOneOnly());
  f.imageCount = 0;  // a file with no image: the "1" that apply would use is refused too
  ExpectOutcome(DecideApply(f), Shows(kMsgNoSuchImage));
  f.wimPath = u"";
  ExpectOutcome(DecideMount(f), Shows(kMsgMountNoWim));
  // Not read: as typed.
  f = MountFields{kWim, u"7", kMnt, 1};
  ExpectOutcome(DecideMount(f), Runs(Operation::MountReadWrite, {kWim, u"7", kMnt}));
  EXPECT_EQ(ImageIndexOf(u"12"), 12u);
  EXPECT_FALSE(ImageIndexOf(u"1 2"));
}

TEST(PanelDecisionsTest, CapturePanel) {
  struct Row {
    const char* name;
    CaptureFields fields;
    Outcome want;
  };
  const std::u16string src = u"D:\\src", save = u"E:\\o.wim", info = u"my image";
  const Args all = {src, save, info};
  const Row rows[] = {
      {"AllEmpty", {u"", u"", u"", 1, 1}, Shows(kMsgCaptureNoSource)},
      {"NoSourceOthersGiven", {u"", save, info, 0, 0}, Shows(kMsgCaptureNoSource)},
      {"NoSavePath", {src, u"", u"", 0, 0}, Shows(kMsgCaptureNoSavePath)},
      {"NoComment", {src, save, u"", 1, 0}, Shows(kMsgCaptureNoComment)},
      {"Plain", {src, save, info, 0, 0}, Runs(Operation::Capture, all)},
      {"Boot", {src, save, info, 0, 1}, Runs(Operation::CaptureBoot, all)},
      {"Append", {src, save, info, 1, 0}, Runs(Operation::Append, all)},
      {"AppendBeatsBoot", {src, save, info, 1, 1}, Runs(Operation::Append, all)},
      {"GreyedAppendIsNotTicked", {src, save, info, 2, 1}, Runs(Operation::CaptureBoot, all)},
      {"GreyedBootIsNotTicked", {src, save, info, 0, 2}, Runs(Operation::Capture, all)},
      {"SpacesPassed",
       {u" ", u"  ", u"   ", 0, 0},
       Runs(Operation::Capture, {u" ", u"  ", u"   "})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ExpectOutcome(DecideCapture(row.fields), row.want);
  }
}

// Carries a decision out on the fields as the window does, and composes what it launches.
std::optional<std::u16string> Click(Decision (*decide)(const MountFields&), MountFields& f) {
  const Decision d = decide(f);
  if (d.setIndexToOne) f.index = std::u16string(kDefaultIndex);  // (a view assigned in place trips a false -Wrestrict in g++ 12)
  if (!d.launch) return std::nullopt;
  return Compose(u"D:\\Tools", d.launch->op, d.launch->args).line;
}

TEST(PanelDecisionsTest, ClickSequences) {
  // An empty index on mount: the first click only fills in "1", the second mounts image 1.
  MountFields f{kWim, u"", kMnt, 0};
  EXPECT_EQ(Click(DecideMount, f), std::nullopt);
  EXPECT_EQ(f.index, u"1");
  EXPECT_EQ(Click(DecideMount, f), u"D:\\Tools\\imagex /mount E:\\a.wim 1 C:\\mnt");

  // An empty index on apply: one click fills in "1" and applies image 1; no folder is fine.
  MountFields g{kWim, u"", u"", 0};
  EXPECT_EQ(Click(DecideApply, g), u"D:\\Tools\\imagex /apply E:\\a.wim 1 ");
  EXPECT_EQ(g.index, u"1");

  // Mounted read-write, box unticked before the unmount: the changes are discarded.
  MountFields h{kWim, u"3", kMnt, 1};
  EXPECT_EQ(Click(DecideMount, h), u"D:\\Tools\\imagex /mountrw E:\\a.wim 3 C:\\mnt");
  h.readWriteCheck = 0;
  EXPECT_EQ(Click(DecideUnmount, h), u"D:\\Tools\\imagex /unmount C:\\mnt");
}


// When the mounted-image list was read, and only then, mount and unmount refuse what it says cannot work.
TEST(PanelDecisionsTest, MountedImagesRefuseWhatCannotWork) {
  using mounts::MountedImage;
  const mounts::MountList list = std::vector<MountedImage>{
      {u"E:\\a.wim", u"C:\\mnt", 2, mounts::kFlagMounted | mounts::kFlagReadWrite},
      {u"E:\\b.wim", u"D:\\old mount", 1, mounts::kFlagRemountable},
      {u"F:\\gone.wim", u"C:\\dead", 1, mounts::kFlagInvalid | mounts::kFlagNoWim | mounts::kFlagReadWrite},
  };
  auto text = [](std::uint16_t id) -> std::u16string {
    if (id == kMsgFolderHoldsMount) return u"这个目录中已经挂载了 %1 中的映像 %2。";
    if (id == kMsgImageMountedReadWrite) return u"%1 中的映像 %2 已经以可写方式挂载在 %3 中。";
    if (id == kMsgNothingMountedThere) return u"%1 中没有挂载任何映像。";
    return u"<" + resources::Decimal(id) + u">";
  };

  // Into a folder that holds a mount, whatever its state and however the folder is written: refused, naming the
  // WIM file and image mounted there.
  for (const char16_t* folder :
       {u"C:\\mnt", u"c:\\MNT\\", u"\"C:\\mnt\"", u"\\\\?\\C:\\mnt", u"D:\\old mount\\", u"C:\\dead"}) {
    MountFields f{u"E:\\z.wim", u"1", folder, 1};
    f.mounted = &list;
    const Decision d = DecideMount(f);
    ExpectOutcome(d, Shows(kMsgFolderHoldsMount));
    if (std::u16string_view(folder) == u"c:\\MNT\\") {
      EXPECT_EQ(d.messageValues, (Args{u"E:\\a.wim", u"2"}));
      EXPECT_EQ(MessageText(d, text), u"这个目录中已经挂载了 E:\\a.wim 中的映像 2。");
    }
  }

  // Read-write, of an image mounted read-write in another folder: refused, naming that folder.
  MountFields rw{u"e:\\A.WIM", u"2", u"C:\\new", 1};
  rw.mounted = &list;
  Decision d = DecideMount(rw);
  ExpectOutcome(d, Shows(kMsgImageMountedReadWrite));
  EXPECT_EQ(MessageText(d, text), u"E:\\a.wim 中的映像 2 已经以可写方式挂载在 C:\\mnt 中。");
  rw.index = u" 02 ";
  ExpectOutcome(DecideMount(rw), Shows(kMsgImageMountedReadWrite));
  // Read-only, another image, a WIM file whose read-write mount is invalid, an image mounted read-only: all pass.
  rw.readWriteCheck = 0;
  ExpectOutcome(DecideMount(rw), Runs(Operation::MountReadOnly, {u"e:\\A.WIM", u" 02 ", u"C:\\new"}));
  rw.readWriteCheck = 1;
  rw.index = u"3";
  ExpectOutcome(DecideMount(rw), Runs(Operation::MountReadWrite, {u"e:\\A.WIM", u"3", u"C:\\new"}));
  for (const char16_t* wim : {u"F:\\gone.wim", u"E:\\b.wim"}) {
    MountFields other{wim, u"1", u"C:\\new", 1};
    other.mounted = &list;
    ExpectOutcome(DecideMount(other), Runs(Operation::MountReadWrite, {wim, u"1", u"C:\\new"}));
  }
  // The field checks come first.
  MountFields empty{kWim, u"2", u"", 1};
  empty.mounted = &list;
  ExpectOutcome(DecideMount(empty), Shows(kMsgMountNoFolder));

  // Unmount: a folder with a mount goes to the tool as typed; one with none, or none at all, is refused.
  MountFields un{u"", u"", u"c:\\MNT\\", 1};
  un.mounted = &list;
  ExpectOutcome(DecideUnmount(un), Runs(Operation::UnmountCommit, {u"c:\\MNT\\"}));
  un.mountPath = u"D:\\old mount";
  ExpectOutcome(DecideUnmount(un), Runs(Operation::UnmountCommit, {u"D:\\old mount"}));
  un.mountPath = u"C:\\mnt\\sub";
  d = DecideUnmount(un);
  ExpectOutcome(d, Shows(kMsgNothingMountedThere));
  EXPECT_EQ(MessageText(d, text), u"C:\\mnt\\sub 中没有挂载任何映像。");
  un.mountPath = u"";
  ExpectOutcome(DecideUnmount(un), Shows(kMsgMountNoFolder));
  const mounts::MountList nothing = std::vector<MountedImage>{};
  un.mounted = &nothing;
  un.mountPath = u"C:\\mnt";
  ExpectOutcome(DecideUnmount(un), Shows(kMsgNothingMountedThere));

  // The list not read (no library, or it failed): nothing is refused on its account.
  const mounts::MountList unknown = std::nullopt;
  for (const mounts::MountList* mounted : {static_cast<const mounts::MountList*>(nullptr), &unknown}) {
    MountFields f{u"E:\\a.wim", u"2", u"C:\\mnt", 1};
    f.mounted = mounted;
    ExpectOutcome(DecideMount(f), Runs(Operation::MountReadWrite, {u"E:\\a.wim", u"2", u"C:\\mnt"}));
    f.mountPath = u"C:\\elsewhere";
    ExpectOutcome(DecideUnmount(f), Runs(Operation::UnmountCommit, {u"C:\\elsewhere"}));
    f.mountPath = u"";
    ExpectOutcome(DecideUnmount(f), Runs(Operation::UnmountCommit, {u""}));
  }
}

std::u16string Numbered(std::uint16_t id) { return resources::Decimal(id) + u":%1|%2|%3"; }

// What neither tool can do with part 1 of a split set or a solid file is refused, naming the file; an apply of a set
// names its other parts for the tool (without the quotes of "Copy as path"), or the one missing.
TEST(PanelDecisionsTest, SplitSetsAndSolidFilesOnTheMountAndCapturePanels) {
  MountFields f{u"\"E:\\我的 备份\\备份.swm\"", u"", kMnt, 1, 3};
  f.parts = 4;
  Decision d = DecideMount(f);
  ExpectOutcome(d, Shows(kMsgSplitSetCannot));
  EXPECT_EQ(MessageText(d, Numbered), u"8106:\"E:\\我的 备份\\备份.swm\"|4|") << "before the index is filled in";
  ExpectOutcome(DecideApply(f),
                Runs(Operation::Apply, {f.wimPath, u"1", kMnt, u"E:\\我的 备份\\备份*.swm"}, true));
  f.index = u" 2 ";
  ExpectOutcome(DecideApply(f), Runs(Operation::Apply, {f.wimPath, u"2", kMnt, u"E:\\我的 备份\\备份*.swm"}));
  f.wimPath = u"set.swm";
  ExpectOutcome(DecideApply(f), Runs(Operation::Apply, {u"set.swm", u"2", kMnt, u"set*.swm"}));
  f.missingPart = u"set3.swm";
  ExpectOutcome(d = DecideApply(f), Shows(kMsgPartMissing));
  EXPECT_EQ(d.messageValues, Args{u"set3.swm"});
  f.index = u"4";
  ExpectOutcome(DecideApply(f), Shows(kMsgNoSuchImage));

  // Appending to either is refused; a new capture replaces the file.
  CaptureFields c{u"D:\\src", u"E:\\备份.swm", u"注释", 1, 1, 2};
  ExpectOutcome(d = DecideCapture(c), Shows(kMsgSplitSetCannot));
  EXPECT_EQ(d.messageValues, (Args{u"E:\\备份.swm", u"2"}));
  c.saveParts = 1;
  c.saveSolid = true;
  ExpectOutcome(DecideCapture(c), Shows(kMsgSolidCannot));
  c.appendCheck = 0;
  ExpectOutcome(DecideCapture(c), Runs(Operation::CaptureBoot, {u"D:\\src", u"E:\\备份.swm", u"注释"}));
}

// The list's commands: export and delete only of an image the list has, split only of a whole file; the destination
// is asked for (nothing decided) until given, never the source itself; a new file's compression follows its type.
TEST(PanelDecisionsTest, ExportSplitAndDeleteOfTheListsFile) {
  const wim::FileFacts facts{3, 1, false, 0, {u"一", u"Win \"专业版\"", u"三"}};
  FileCommandFields base{u"install.wim", u" 02 ", facts, u"D:\\Tools\\V", u""};
  FileCommandFields f = base;
  ExpectOutcome(DecideExport(f), Outcome{});
  ExpectOutcome(DecideSplit(f), Outcome{});
  const std::tuple<std::u16string, bool, std::u16string> exports[] = {
      {u"F:\\新 目录\\out.wim", false, u"maximum"}, {u"F:\\out.ESD", false, u"recovery"},
      {u"F:\\out.Esd", false, u"recovery"},         {u"F:\\out.esd.wim", false, u"maximum"},
      {u"F:\\esd", false, u"maximum"},              {u"F:\\out.esd", true, u""}, {u"F:\\out.wim", true, u""}};
  for (const auto& [destination, exists, compress] : exports) {
    f.destination = destination;
    f.destinationExists = exists;
    ExpectOutcome(DecideExport(f),
                  Runs(Operation::Export, {u"install.wim", u"2", destination, u"Win \"专业版\"", compress, u""}));
  }
  ExpectOutcome(DecideSplit(f), Runs(Operation::Split, {u"install.wim", u"F:\\out.wim", u"4000"}));
  // The source itself: relative in the program folder, in another case, with '/', in the long form, Explorer's quotes.
  for (const char16_t* same : {u"D:\\Tools\\V\\install.wim", u"d:\\tools\\v\\INSTALL.WIM", u"D:/Tools/V/install.wim",
                               u"\\\\?\\D:\\Tools\\V\\install.wim"}) {
    f.destination = same;
    ExpectOutcome(DecideExport(f), Shows(kMsgSameFile));
    ExpectOutcome(DecideSplit(f), Shows(kMsgSameFile));
  }
  f.programFolder = u"D:\\Tools";
  ExpectOutcome(DecideSplit(f), Runs(Operation::Split, {u"install.wim", f.destination, u"4000"}));
  f.wimPath = u"\"E:\\我的 备份\\a.wim\"";
  f.destination = u"e:\\我的 备份\\A.wim";
  ExpectOutcome(DecideExport(f), Shows(kMsgSameFile));

  // Indexes the list has no image for, refused before any destination is asked; a split is of the whole file.
  for (const char16_t* index : {u"0", u"4", u"abc", u""}) {
    f = base;
    f.index = index;
    ExpectOutcome(DecideExport(f), Shows(kMsgNoSuchImage));
    ExpectOutcome(DecideDelete(f), Shows(kMsgNoSuchImage));
    f.destination = u"F:\\p.swm";
    ExpectOutcome(DecideSplit(f), Runs(Operation::Split, {u"install.wim", u"F:\\p.swm", u"4000"}));
  }
  f.facts = std::nullopt;  // no list read: any image number passes, with no name known
  f.index = u"7";
  f.destination = u"F:\\x.wim";
  ExpectOutcome(DecideExport(f), Runs(Operation::Export, {u"install.wim", u"7", u"F:\\x.wim", u"", u"maximum", u""}));

  f = base;
  Decision d = DecideDelete(f);
  ExpectOutcome(d, Runs(Operation::Delete, {u"install.wim", u"2"}));
  EXPECT_EQ(d.question, kAskDelete);
  EXPECT_EQ(MessageText(d, Numbered), u"8105:install.wim|2|Win \"专业版\"");
  // A split set: exported with its parts named, never split again nor deleted from; a solid file: nothing deleted.
  f.wimPath = u"\"E:\\我的 备份\\备份.swm\"";
  f.facts->parts = 4;
  ExpectOutcome(d = DecideSplit(f), Shows(kMsgSplitSetCannot));
  EXPECT_EQ(MessageText(d, Numbered), u"8106:\"E:\\我的 备份\\备份.swm\"|4|") << "before a destination is asked";
  ExpectOutcome(DecideDelete(f), Shows(kMsgSplitSetCannot));
  f.destination = u"F:\\x.esd";
  ExpectOutcome(DecideExport(f), Runs(Operation::Export, {f.wimPath, u"2", u"F:\\x.esd", u"Win \"专业版\"", u"recovery",
                                                          u"E:\\我的 备份\\备份*.swm"}));
  f.facts->parts = 1;
  f.facts->solid = true;
  ExpectOutcome(d = DecideDelete(f), Shows(kMsgSolidCannot));
  EXPECT_FALSE(d.question);
}

// The repairs the list offers, and what the tray tip learns of a launch.
TEST(PanelDecisionsTest, RepairsAndTheReadWriteFolder) {
  ExpectOutcome(DecideRemount(u"D:\\old mount"), Runs(Operation::Remount, {u"D:\\old mount"}));
  ExpectOutcome(DecideCleanup(), Runs(Operation::Cleanup, {}));
  EXPECT_EQ(ReadWriteMountFolder({Operation::MountReadWrite, {kWim, u"1", u"C:\\rw"}}), u"C:\\rw");
  EXPECT_EQ(ReadWriteMountFolder({Operation::MountReadOnly, {kWim, u"1", u"C:\\ro"}}), std::nullopt);
  EXPECT_EQ(ReadWriteMountFolder({Operation::Remount, {u"C:\\rw"}}), std::nullopt);
  // A message without values reads as the table has it.
  const Decision plain = DecideMount(MountFields{u"", u"", u"", 0});
  EXPECT_EQ(MessageText(plain, [](std::uint16_t) { return std::u16string(u"100%% 完成 %1"); }), u"100%% 完成 ");
  EXPECT_EQ(MessageText(DecideCleanup(), [](std::uint16_t) { return std::u16string(u"x"); }), u"");
}

// What the tray says when a launched run ends, with the program's own texts.
namespace report {

std::u16string Table(std::uint16_t id) {
  switch (id) {
    case 10109: return u"挂载 WIM 镜像";
    case 10110: return u"卸载 WIM 镜像";
    case 10111: return u"解开 WIM 镜像";
    case 10117: return u"制作镜像";
    case 40101: return u"Vantrel.";
    case 50101: return u"卸载 WIM 镜像（提交更改）";
    case 50102: return u"挂载 WIM 镜像（可修改）";
    case 50103: return u"制作镜像（Boot）";
    case 50104: return u"制作镜像（以追加方式）";
    case 50105: return u"操作已完成。";
    case 50106: return u"操作失败，退出代码：%1。";
    case 50107: return u"%1（%2）";
    case 50108: return u"Vantrel：%1 个操作正在进行。";
    case 50109: return u"%1 · %2";
    case 50110: return u"无法得知操作的结果：%1";
    case 50111: return u"<ended>";
    case 50112: return u"<file>";
    case 50113: return u"<path>";
    case 50114: return u"<parameter>";
    case 50115: return u"<elevation>";
    case 50117: return u"<files open>";
    case 50118: return u"<mounted>";
    case 50119: return u"<removable>";
    case 50120: return u"<read-only image>";
    case 7118: return u"重新装载";
    case 7119: return u"清理失效的挂载";
    case 8113: return u"导出映像";
    case 8114: return u"拆分映像";
    case 8115: return u"删除映像";
  }
  return u"<missing>";
}

// A system with a few texts in each table, as FormatMessage finds them.
std::u16string Lookup(MessageTable table, std::uint32_t code) {
  if (table == MessageTable::System) {
    switch (code) {
      case 1: return u"Incorrect function.\r\n";
      case 2: return u"The system cannot find the file specified.\r\n";
      case 5: return u"Access is denied.\r\n";
      case 6: return u"The handle is invalid.\r\n";
      case 0x80070005u: return u"Access is denied.\r\n";
      case 0x800F081Fu: return u"The source files could not be found. Use %1 to name them.\r\n";
    }
  } else if (code == 0xC0000005u) {
    return u"{Application Error}\r\nThe instruction at 0x%p referenced memory at 0x%08lx. The memory could not be %s.\r\n";
  } else if (code == 0xC0000135u) {
    return u"{Unable To Locate Component}\r\nThis application has failed to start because %hs was not found.";
  }
  return {};
}

Balloon Report(Operation op, std::uint32_t code, Tool tool = Tool::Dism) {
  return DecideBalloon(op, tool, RunEnd{true, code}, Table, Lookup);
}

TEST(OperationReport, EachOperationHasItsOwnTitleNamingTheToolAndTheOutcomeDecidesTextAndIcon) {
  const std::pair<Operation, std::u16string> titles[] = {
      {Operation::MountReadOnly, u"挂载 WIM 镜像"}, {Operation::MountReadWrite, u"挂载 WIM 镜像（可修改）"},
      {Operation::UnmountDiscard, u"卸载 WIM 镜像"}, {Operation::UnmountCommit, u"卸载 WIM 镜像（提交更改）"},
      {Operation::Apply, u"解开 WIM 镜像"},          {Operation::Capture, u"制作镜像"},
      {Operation::CaptureBoot, u"制作镜像（Boot）"}, {Operation::Append, u"制作镜像（以追加方式）"},
      {Operation::Remount, u"重新装载"},             {Operation::Cleanup, u"清理失效的挂载"},
      {Operation::Export, u"导出映像"},              {Operation::Split, u"拆分映像"},
      {Operation::Delete, u"删除映像"}};
  for (const auto& [op, title] : titles) {
    EXPECT_EQ(Report(op, 0, Tool::Imagex).title, title + u" · imagex");
    EXPECT_EQ(Report(op, 1).title, title + u" · DISM") << "the title does not depend on the outcome";
  }

  const Balloon done = Report(Operation::Apply, 0);
  EXPECT_EQ(done.text, u"操作已完成。") << "no system text for a success";
  EXPECT_EQ(done.icon, BalloonIcon::Info);

  // A listed code: its explanation, then the system's text, each on its own line.
  const Balloon missing = Report(Operation::MountReadOnly, 2);
  EXPECT_EQ(missing.text, u"操作失败，退出代码：2。\n<file>\nThe system cannot find the file specified.");
  EXPECT_EQ(missing.icon, BalloonIcon::Error);
  // 1 is a tool ended from Task Manager as often as its own failure: explained, never "Incorrect function.".
  EXPECT_EQ(Report(Operation::Capture, 1).text, u"操作失败，退出代码：1。\n<ended>");
  // Only the plain 1: the HRESULT with Win32 error 1 is the tool's own failure, and its text is the system's.
  EXPECT_EQ(Report(Operation::Capture, 0x80070001u).text,
            u"操作失败，退出代码：-2147024895（0x80070001）。\nIncorrect function.");
  EXPECT_EQ(ExplanationId(0x80070001u), std::nullopt);
  EXPECT_EQ(ExplanationId(1), kExplainEnded);
  // Below the severity bit a code is plain decimal, whatever its size; no text known, no second line.
  EXPECT_EQ(Report(Operation::Capture, 0x7FFFFFFF).text, u"操作失败，退出代码：2147483647。");
  // DISM's own codes are explained, and known by their hexadecimal form.
  EXPECT_EQ(Report(Operation::UnmountCommit, 0xC1420117u).text,
            u"操作失败，退出代码：-1052638953（0xC1420117）。\n<files open>");
  EXPECT_EQ(Report(Operation::MountReadWrite, 0xC1420127u).text, u"操作失败，退出代码：-1052638937（0xC1420127）。\n<mounted>");
  EXPECT_EQ(Report(Operation::MountReadOnly, 0xC1420134u).text, u"操作失败，退出代码：-1052638924（0xC1420134）。\n<removable>");
  // "You do not have permissions to mount and modify this image": a read-only file, not a refused folder.
  EXPECT_EQ(Report(Operation::MountReadWrite, 0xC1510111u).text,
            u"操作失败，退出代码：-1051655919（0xC1510111）。\n<read-only image>");
  // A FACILITY_WIN32 HRESULT: explained as its Win32 code, and its text found under that code when the table
  // has none for the HRESULT itself.
  EXPECT_EQ(Report(Operation::Append, 0x800702E4u).text, u"操作失败，退出代码：-2147024156（0x800702E4）。\n<elevation>");
  EXPECT_EQ(Report(Operation::Append, 0x80070006u).text,
            u"操作失败，退出代码：-2147024890（0x80070006）。\nThe handle is invalid.");
  EXPECT_EQ(Report(Operation::Append, 0x80070005u).text,
            u"操作失败，退出代码：-2147024891（0x80070005）。\nAccess is denied.");
  EXPECT_EQ(Report(Operation::Apply, 87, Tool::Imagex).text, u"操作失败，退出代码：87。\n<parameter>");
  EXPECT_EQ(Report(Operation::Apply, 740).text, u"操作失败，退出代码：740。\n<elevation>");
  // NTSTATUS codes take their text from ntdll's table, without its title line or the places of its inserts.
  EXPECT_EQ(Report(Operation::Capture, 0xC0000005u).text,
            u"操作失败，退出代码：-1073741819（0xC0000005）。\n"
            u"The instruction at 0x… referenced memory at 0x…. The memory could not be ….");
  EXPECT_EQ(Report(Operation::Capture, 0xC0000135u).text,
            u"操作失败，退出代码：-1073741515（0xC0000135）。\n"
            u"This application has failed to start because … was not found.");
  EXPECT_EQ(Report(Operation::Capture, 0x800F081Fu).text,
            u"操作失败，退出代码：-2146498529（0x800F081F）。\nThe source files could not be found. Use … to name them.");
  EXPECT_EQ(Report(Operation::Apply, 0x80000000u).text, u"操作失败，退出代码：-2147483648（0x80000000）。");
  EXPECT_EQ(Report(Operation::Apply, 0xFFFFFFFFu).icon, BalloonIcon::Error);
  EXPECT_EQ(ExitCodeText(0x0000ABCDu, u"%1（%2）"), u"43981");
  EXPECT_EQ(ExitCodeText(0xC000000Au, u"%1 [%2]"), u"-1073741814 [0xC000000A]");

  // An exit code that could not be read is never shown as the tool's own: the report says so, with the reason.
  const Balloon unknown = DecideBalloon(Operation::Apply, Tool::Dism, RunEnd{false, 5}, Table, Lookup);
  EXPECT_EQ(unknown.text, u"无法得知操作的结果：Access is denied.");
  EXPECT_EQ(unknown.icon, BalloonIcon::Error);
  EXPECT_EQ(DecideBalloon(Operation::Apply, Tool::Dism, RunEnd{false, 0xDEAD}, Table, Lookup).text,
            u"无法得知操作的结果：57005");

  EXPECT_EQ(CleanSystemText(u"  100%% sure, %n%1!s! and %12 \r\n"), u"100% sure, \n… and …");
}

TEST(OperationReport, AFailureQuotesTheToolsFirstLinesThatFitTheBalloon) {
  const std::u16string dism =
      u"Error: 0xc1420127\n\nThe specified image in the specified wim is already mounted for read/write access.\n"
      u"Second line.";
  // The code and its explanation stay; the tool's words take the system text's place.
  const Balloon quoted = DecideBalloon(Operation::MountReadWrite, Tool::Dism, RunEnd{true, 0xC1420127}, Table, Lookup, dism);
  EXPECT_EQ(quoted.text, u"操作失败，退出代码：-1052638937（0xC1420127）。\n" + Table(50118) + u"\n" +
                             u"Error: 0xc1420127\nThe specified image in the specified wim is already mounted for "
                             u"read/write access.\nSecond line.");
  EXPECT_EQ(quoted.icon, BalloonIcon::Error);
  // A long paragraph: whole lines while they fit, and the whole within the balloon's field.
  std::u16string longText;
  for (int i = 0; i < 40; ++i) longText += u"Line of the tool's own paragraph.\n";
  const Balloon cut = DecideBalloon(Operation::Apply, Tool::Imagex, RunEnd{true, 2}, Table, Lookup, longText);
  EXPECT_LE(cut.text.size(), kBalloonTextUnits);
  EXPECT_EQ(cut.text.back(), u'.') << "only whole lines";
  EXPECT_GT(cut.text.size(), kBalloonTextUnits - 40) << "as many lines as fit";
  // Nothing from the tool: the system's text, as before; a success never quotes the tool.
  EXPECT_EQ(DecideBalloon(Operation::Apply, Tool::Imagex, RunEnd{true, 5}, Table, Lookup, u"").text,
            DecideBalloon(Operation::Apply, Tool::Imagex, RunEnd{true, 5}, Table, Lookup).text);
  EXPECT_EQ(DecideBalloon(Operation::Apply, Tool::Imagex, RunEnd{true, 0}, Table, Lookup, dism).text, u"操作已完成。");

  EXPECT_EQ(ToolWordsFor(dism, 110),
            u"Error: 0xc1420127\nThe specified image in the specified wim is already mounted for read/write access.");
  EXPECT_EQ(ToolWordsFor(dism, 17), u"Error: 0xc1420127");
  EXPECT_EQ(ToolWordsFor(dism, 8), u"Error: …") << "a first line that does not fit is cut";
  EXPECT_EQ(ToolWordsFor(u"ab\U0001F600cd", 4), u"ab…") << "never half a surrogate pair";
  EXPECT_EQ(ToolWordsFor(u"\n\n", 100), u"");
  EXPECT_EQ(ToolWordsFor(u"abc", 0), u"");

  EXPECT_EQ(FillIn(u"%2-%1-%3-%%-%", {u"a", u"b"}), u"b-a-%3-%%-%");
}

}  // namespace report

}  // namespace
}  // namespace vantrel::imaging
