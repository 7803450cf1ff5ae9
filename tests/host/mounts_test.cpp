#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "mounts/mount_choice.h"
#include "mounts/mount_state.h"
#include "resources/text.h"

namespace vantrel::mounts {
namespace {

// The string table's entries for the mounted images, as the program shows them.
std::u16string Text(std::uint16_t id) {
  static const std::map<std::uint16_t, std::u16string> table = {
      {kTextMountedCount, u"已挂载 %1 个映像"},
      {kTextMountedRepair, u"已挂载 %1 个映像，%2 个需要修复"},
      {kTextEntry, u"%1 · %2，映像 %3 · %4"},
      {kTextReadOnly, u"只读"},
      {kTextReadWrite, u"可写"},
      {kStateMounting, u"正在挂载"},
      {kStateNeedsRemount, u"需要重新装载"},
      {kStateNoWim, u"已失效：找不到 WIM 文件"},
      {kStateNoMountDir, u"已失效：找不到挂载目录"},
      {kStateDirReplaced, u"已失效：挂载目录已被替换"},
      {kStateInvalid, u"已失效"},
      {kTextEntryState, u"%1 · %2"},
      {kCommandRemount, u"重新装载 %1"},
      {kCommandCleanup, u"清理失效的挂载"},
      {kTextMoreMounts, u"还有 %1 个挂载未列出"},
      {kTipReadWrite, u"Vantrel：%1 个映像以可写方式挂载"},
      {kTipReadWriteLine, u"%1 个映像以可写方式挂载"},
  };
  const auto found = table.find(id);
  return found == table.end() ? u"<missing>" : found->second;
}

MountedImage Mount(std::u16string folder, std::u16string wim, std::uint32_t index, std::uint32_t flags) {
  return {std::move(wim), std::move(folder), index, flags};
}

// The three kinds a user meets: a plain read-only mount, a read-write one left by a restart, one whose WIM is gone.
MountList ThreeMounts() {
  return std::vector<MountedImage>{
      Mount(u"C:\\mnt", u"E:\\images\\install.wim", 1, kFlagMounted),
      Mount(u"D:\\work & play", u"E:\\boot.wim", 2, kFlagRemountable | kFlagReadWrite),
      Mount(u"C:\\old", u"F:\\gone.wim", 3, kFlagInvalid | kFlagNoWim | kFlagReadWrite),
  };
}

TEST(MountStateTest, FlagsReadAsOneState) {
  struct Row {
    std::uint32_t flags;
    MountMeaning meaning;
  };
  using S = MountState;
  using R = InvalidReason;
  const Row rows[] = {
      {kFlagMounted, {S::Mounted, R::None, false}},
      {kFlagMounted | kFlagReadWrite, {S::Mounted, R::None, true}},
      {0, {S::Mounted, R::None, false}},
      {kFlagMounting, {S::Mounting, R::None, false}},
      {kFlagMounted | kFlagMounting | kFlagReadWrite, {S::Mounting, R::None, true}},
      {kFlagRemountable, {S::NeedsRemount, R::None, false}},
      {kFlagRemountable | kFlagReadWrite, {S::NeedsRemount, R::None, true}},
      {kFlagInvalid, {S::Invalid, R::Unknown, false}},
      {kFlagInvalid | kFlagNoWim, {S::Invalid, R::NoWim, false}},
      {kFlagInvalid | kFlagNoMountDir | kFlagReadWrite, {S::Invalid, R::NoMountDir, true}},
      {kFlagInvalid | kFlagMountDirReplaced, {S::Invalid, R::MountDirReplaced, false}},
      // A reason without the invalid flag: a remount cannot bring a missing file back.
      {kFlagRemountable | kFlagNoMountDir, {S::Invalid, R::NoMountDir, false}},
      {kFlagInvalid | kFlagRemountable, {S::Invalid, R::Unknown, false}},
      {kFlagNoWim | kFlagNoMountDir, {S::Invalid, R::NoWim, false}},
  };
  for (const Row& row : rows) EXPECT_EQ(MeaningOf(row.flags), row.meaning) << "flags 0x" << std::hex << row.flags;

  // The values are wimgapi.h's, which the library's answers carry.
  EXPECT_EQ(kFlagMounted | kFlagMounting | kFlagRemountable | kFlagInvalid | kFlagNoWim | kFlagNoMountDir |
                kFlagMountDirReplaced | kFlagReadWrite,
            0x17Fu);
  EXPECT_FALSE(NeedsRepair(MeaningOf(kFlagMounted)));
  EXPECT_FALSE(NeedsRepair(MeaningOf(kFlagMounting)));
  EXPECT_TRUE(NeedsRepair(MeaningOf(kFlagRemountable)));
  EXPECT_TRUE(NeedsRepair(MeaningOf(kFlagInvalid)));
}

TEST(MountStateTest, PathsCompareAsWindowsDoes) {
  const std::pair<std::u16string, std::u16string> same[] = {
      {u"C:\\mnt", u"c:\\MNT"},
      {u"C:\\mnt\\", u"C:\\mnt"},
      {u"\\\\?\\C:\\mnt", u"C:\\mnt\\"},
      {u"\\??\\C:\\mnt", u"C:\\mnt"},
      {u"\\\\?\\UNC\\server\\share\\m", u"\\\\SERVER\\share\\m"},
      {u"C:/mnt/a", u"C:\\mnt\\a"},
      {u"C:\\Ärger\\ÿ", u"c:\\ärger\\Ÿ"},
      {u"C:\\Σοφια ς", u"C:\\ΣΟΦΙΑ Σ"},
      {u"C:\\Папка", u"C:\\ПАПКА"},
      {u"C:\\ａｂ", u"C:\\ＡＢ"},
      {u"D:\\镜像 1", u"d:\\镜像 1"},
      {u"C:\\", u"c:\\"},
  };
  for (const auto& [a, b] : same) EXPECT_TRUE(SamePath(a, b)) << ComparablePath(a).size();
  const std::pair<std::u16string, std::u16string> different[] = {
      {u"C:\\mnt", u"C:\\mnt2"},
      {u"C:\\mnt\\\\", u"C:\\mnt"},  // only one trailing backslash is ignored
      {u"C:\\mnt", u"D:\\mnt"},
      {u"C:\\", u"C:"},              // a drive root keeps its backslash
      {u"C:\\a b", u"C:\\a  b"},
      {u"C:\\mnt", u""},
  };
  for (const auto& [a, b] : different) EXPECT_FALSE(SamePath(a, b));

  const MountList list = ThreeMounts();
  ASSERT_NE(MountAt(list, u"\"d:\\WORK & PLAY\\\""), nullptr) << "quotes round the field are dropped";
  EXPECT_EQ(MountAt(list, u"d:\\WORK & PLAY\\")->index, 2u);
  EXPECT_EQ(MountAt(list, u"C:\\mnt\\sub"), nullptr);
  EXPECT_EQ(MountAt(std::nullopt, u"C:\\mnt"), nullptr);
}

TEST(MountChoiceTest, SummaryLineCountsMountsAndRepairs) {
  EXPECT_EQ(SummaryLine(std::nullopt, Text), u"") << "nothing known, nothing shown";
  EXPECT_EQ(SummaryLine(std::vector<MountedImage>{}, Text), u"");
  const MountList two = std::vector<MountedImage>{Mount(u"C:\\a", u"E:\\a.wim", 1, kFlagMounted),
                                                  Mount(u"C:\\b", u"E:\\b.wim", 1, kFlagMounting)};
  EXPECT_EQ(SummaryLine(two, Text), u"已挂载 2 个映像");
  const MountList stale = std::vector<MountedImage>{Mount(u"C:\\a", u"E:\\a.wim", 1, kFlagMounted),
                                                    Mount(u"C:\\b", u"E:\\b.wim", 1, kFlagRemountable)};
  EXPECT_EQ(SummaryLine(stale, Text), u"已挂载 2 个映像，1 个需要修复");
  EXPECT_EQ(SummaryLine(ThreeMounts(), Text), u"已挂载 3 个映像，2 个需要修复");
  EXPECT_EQ(RepairCount(ThreeMounts()), 2u);
}

TEST(MountChoiceTest, EntriesThenRemountsThenOneCleanup) {
  const MountList list = ThreeMounts();
  const std::vector<MountEntry> want = {
      {EntryKind::Mount, 0, u"C:\\mnt · install.wim，映像 1 · 只读"},
      {EntryKind::Mount, 1, u"D:\\work && play · boot.wim，映像 2 · 可写 · 需要重新装载"},
      {EntryKind::Mount, 2, u"C:\\old · gone.wim，映像 3 · 可写 · 已失效：找不到 WIM 文件"},
      {EntryKind::Remount, 1, u"重新装载 D:\\work && play"},
      {EntryKind::Cleanup, 0, u"清理失效的挂载"},
  };
  EXPECT_EQ(MountEntries(list, Text), want);
  EXPECT_TRUE(MountEntries(std::nullopt, Text).empty());

  // Two invalid mounts still give one cleanup; a mount being made gets its state, and no command.
  const MountList more = std::vector<MountedImage>{
      Mount(u"C:\\a", u"a.wim", 1, kFlagInvalid | kFlagMountDirReplaced),
      Mount(u"C:\\b", u"b.wim", 1, kFlagInvalid | kFlagNoMountDir),
      Mount(u"\\\\?\\C:\\c", u"\\\\?\\UNC\\srv\\share\\c.wim", 4, kFlagMounting),
      Mount(u"C:\\d", u"d.wim", 1, kFlagInvalid),
  };
  const std::vector<MountEntry> entries = MountEntries(more, Text);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].text, u"C:\\a · a.wim，映像 1 · 只读 · 已失效：挂载目录已被替换");
  EXPECT_EQ(entries[1].text, u"C:\\b · b.wim，映像 1 · 只读 · 已失效：找不到挂载目录");
  EXPECT_EQ(entries[2].text, u"C:\\c · c.wim，映像 4 · 只读 · 正在挂载");
  EXPECT_EQ(entries[3].text, u"C:\\d · d.wim，映像 1 · 只读 · 已失效");
  EXPECT_EQ(entries[4].kind, EntryKind::Cleanup);
  EXPECT_EQ(ShownPath(u"\\\\?\\UNC\\srv\\share"), u"\\\\srv\\share");
}

TEST(MountChoiceTest, HundredsOfMountsAreCappedAndLongPathsCut) {
  std::vector<MountedImage> many;
  for (std::uint32_t i = 0; i < 300; ++i) {
    const std::uint32_t flags = i % 2 ? kFlagRemountable : (i == 298 ? kFlagInvalid : kFlagMounted);
    many.push_back(Mount(u"C:\\m" + resources::Decimal(i), u"E:\\x.wim", 1, flags));
  }
  const std::vector<MountEntry> entries = MountEntries(many, Text);
  // 256 mounts, the note, a remount for each odd one of those shown, and the cleanup for mount 298 (not shown).
  ASSERT_EQ(entries.size(), kMaxMountEntries + 1 + kMaxMountEntries / 2 + 1);
  EXPECT_EQ(entries[kMaxMountEntries - 1].mount, kMaxMountEntries - 1);
  EXPECT_EQ(entries[kMaxMountEntries].kind, EntryKind::More);
  EXPECT_EQ(entries[kMaxMountEntries].text, u"还有 44 个挂载未列出");
  EXPECT_EQ(entries[kMaxMountEntries + 1].kind, EntryKind::Remount);
  EXPECT_EQ(entries[kMaxMountEntries + 1].mount, 1u);
  EXPECT_EQ(entries[entries.size() - 2].mount, kMaxMountEntries - 1);
  EXPECT_EQ(entries.back().kind, EntryKind::Cleanup);

  // A folder of 259 units, a WIM name outside any code page: cut in the middle, whole when picked.
  std::u16string folder = u"C:\\";
  while (folder.size() < 250) folder += u"目录\U0001F600";
  folder += u"\\末尾的文件夹";
  const std::u16string wim = u"E:\\" + std::u16string(60, u'w') + u"\U00020000.wim";
  const MountedImage mount = Mount(folder, wim, 7, kFlagMounted | kFlagReadWrite);
  const std::u16string line = EntryLine(mount, Text);
  const std::u16string shownFolder = ShortenMiddle(folder, kMaxShownFolder);
  EXPECT_LE(shownFolder.size(), kMaxShownFolder);
  EXPECT_EQ(shownFolder.substr(0, 3), u"C:\\");
  EXPECT_EQ(shownFolder.substr(shownFolder.size() - 7), u"\\末尾的文件夹");
  EXPECT_EQ(line.substr(0, shownFolder.size()), shownFolder);
  EXPECT_NE(line.find(u" · www"), std::u16string::npos) << "the name's start is kept";
  EXPECT_NE(line.find(u"w…w"), std::u16string::npos) << "the name is cut in its middle";
  EXPECT_NE(line.find(u"w\U00020000.wim，映像 7 · 可写"), std::u16string::npos) << "the name's end is kept";
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char16_t c = line[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      ASSERT_LT(i + 1, line.size());
      EXPECT_TRUE(line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF) << "a pair split at " << i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      EXPECT_TRUE(i > 0 && line[i - 1] >= 0xD800 && line[i - 1] <= 0xDBFF) << "a pair split at " << i;
    }
  }
  EXPECT_EQ(PickOf(mount), (MountPick{folder, wim, u"7"}));

  EXPECT_EQ(ShortenMiddle(u"abcdefghij", 10), u"abcdefghij");
  EXPECT_EQ(ShortenMiddle(u"abcdefghij", 7), u"abc…hij");
  EXPECT_EQ(ShortenMiddle(u"abcdefghij", 2), u"…");
  // The cut would fall inside a pair on either side: the pair goes whole.
  EXPECT_EQ(ShortenMiddle(u"ab\U0001F600cdefg\U0001F600hij", 8), u"ab…hij");
}

TEST(MountChoiceTest, TrayTipRemindsOfThisSessionsReadWriteMounts) {
  SessionMounts session;
  EXPECT_EQ(session.ReadWriteMounted(ThreeMounts()), 0u);
  session.Add(u"\"d:\\work & play\\\"");
  session.Add(u"D:\\Work & Play");  // the same folder again
  session.Add(u"C:\\old");          // read-write but invalid: nothing to commit there
  session.Add(u"C:\\mnt");          // mounted read-only by someone else since
  session.Add(u"");
  EXPECT_EQ(session.folders().size(), 3u);
  EXPECT_EQ(session.ReadWriteMounted(ThreeMounts()), 1u);
  EXPECT_EQ(session.ReadWriteMounted(std::nullopt), 0u);
  const MountList after = std::vector<MountedImage>{Mount(u"C:\\mnt", u"E:\\a.wim", 1, kFlagMounted | kFlagReadWrite),
                                                    Mount(u"C:\\other", u"E:\\b.wim", 1, kFlagMounted | kFlagReadWrite)};
  EXPECT_EQ(session.ReadWriteMounted(after), 1u);

  EXPECT_EQ(TipWithMounts(u"Vantrel.", false, 0, Text), u"Vantrel.");
  EXPECT_EQ(TipWithMounts(u"Vantrel.", false, 1, Text), u"Vantrel：1 个映像以可写方式挂载");
  EXPECT_EQ(TipWithMounts(u"Vantrel：挂载 WIM 镜像 45%", true, 2, Text), u"Vantrel：挂载 WIM 镜像 45%\n2 个映像以可写方式挂载");
  EXPECT_EQ(TipWithMounts(u"Vantrel：挂载 WIM 镜像 45%", true, 0, Text), u"Vantrel：挂载 WIM 镜像 45%");
}

}  // namespace
}  // namespace vantrel::mounts
