#include "imaging/imaging_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/command_line_split.h"
#include "imaging/tool_choice.h"
#include "tests/common/random_fields.h"

namespace vantrel::imaging {
namespace {

struct QuoteCase {
  const char* name;
  std::u16string field;
  std::u16string expected;
};

class QuoteArgumentTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteArgumentTest, QuotesOnlyWhatNeedsIt) {
  const QuoteCase& c = GetParam();
  EXPECT_EQ(QuoteArgument(c.field), c.expected);

  // Whatever the quoting, a non-empty field without a double quote must reach the tool as
  // exactly one argument holding exactly the field.
  if (!c.field.empty() && c.field.find(u'"') == std::u16string::npos) {
    const auto argv = SplitCommandLine(u"imagex " + QuoteArgument(c.field) + u" next");
    EXPECT_EQ(argv, (std::vector<std::u16string>{u"imagex", c.field, u"next"}));
  }
  // A field the user wrapped in quotes, with no quote inside, reaches it as the text inside them.
  const std::size_t n = c.field.size();
  if (n >= 2 && c.field[0] == u'"' && c.field[n - 1] == u'"' && c.field.find(u'"', 1) == n - 1) {
    const auto argv = SplitCommandLine(u"imagex " + QuoteArgument(c.field) + u" next");
    EXPECT_EQ(argv, (std::vector<std::u16string>{u"imagex", c.field.substr(1, n - 2), u"next"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, QuoteArgumentTest,
    ::testing::Values(
        QuoteCase{"Empty", u"", u""}, QuoteCase{"PlainPath", u"E:\\a.wim", u"E:\\a.wim"},
        QuoteCase{"DriveRoot", u"C:\\", u"C:\\"},
        QuoteCase{"TrailingBackslashesNoSpace", u"C:\\mnt\\\\", u"C:\\mnt\\\\"},
        QuoteCase{"SpaceInPath", u"C:\\My Dir\\x.wim", u"\"C:\\My Dir\\x.wim\""},
        QuoteCase{"SpaceAndTrailingBackslash", u"C:\\My Dir\\", u"\"C:\\My Dir\\\\\""},
        QuoteCase{"SpaceAndThreeTrailingBackslashes", u"a b\\\\\\", u"\"a b\\\\\\\\\\\\\""},
        QuoteCase{"InnerBackslashRunKept", u"a\\\\b c", u"\"a\\\\b c\""},
        QuoteCase{"Words", u"my first image", u"\"my first image\""},
        QuoteCase{"OnlySpaces", u"   ", u"\"   \""},
        QuoteCase{"LeadingAndTrailingSpace", u" x ", u"\" x \""},
        QuoteCase{"Tab", u"a\tb", u"\"a\tb\""},
        QuoteCase{"LineFeedAndVerticalTab", u"a\nb\vc", u"\"a\nb\vc\""},
        QuoteCase{"UserQuotedPath", u"\"C:\\My Dir\\x.wim\"", u"\"C:\\My Dir\\x.wim\""},
        QuoteCase{"UserQuotesInsideWords", u"say \"hi\" now", u"say \"hi\" now"},
        // Wrapped in quotes by the user ("Copy as path"): the backslashes before the closing quote doubled.
        QuoteCase{"UserQuotedDriveRoot", u"\"D:\\\"", u"\"D:\\\\\""},
        QuoteCase{"UserQuotedFolderWithSpace", u"\"C:\\My Dir\\\"", u"\"C:\\My Dir\\\\\""},
        QuoteCase{"UserQuotedTwoTrailingBackslashes", u"\"a\\\\\"", u"\"a\\\\\\\\\""},
        QuoteCase{"UserQuotedOnlyBackslash", u"\"\\\"", u"\"\\\\\""},
        QuoteCase{"UserQuotedEmpty", u"\"\"", u"\"\""},
        QuoteCase{"LoneQuote", u"\"", u"\""},
        QuoteCase{"QuoteInsideTheUsersQuotes", u"\"a\"b\\\"", u"\"a\"b\\\""},
        QuoteCase{"OpeningQuoteOnly", u"\"C:\\x\\", u"\"C:\\x\\"},
        QuoteCase{"Chinese", u"镜像", u"镜像"},
        QuoteCase{"ChineseWithSpace", u"D:\\我的 镜像\\", u"\"D:\\我的 镜像\\\\\""},
        QuoteCase{"EmojiWithSpace", u"\U0001F600 \U00020000", u"\"\U0001F600 \U00020000\""},
        // The runtime splits only on ASCII blanks; other spaces stay as they are.
        QuoteCase{"IdeographicSpace", u"a\u3000b", u"a\u3000b"}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.name); });

// Every form, composed from plain fields, is byte-for-byte folder + "\" + prefix + fields.
TEST(ComposeTest, EveryFormWithPlainFields) {
  struct Row {
    Operation op;
    std::u16string line;
    int show;
  };
  const std::vector<std::u16string> three = {u"E:\\a.wim", u"2", u"C:\\mnt"};
  const Row rows[] = {
      {Operation::MountReadOnly, u"D:\\Tools\\imagex /mount E:\\a.wim 2 C:\\mnt", 2},
      {Operation::MountReadWrite, u"D:\\Tools\\imagex /mountrw E:\\a.wim 2 C:\\mnt", 2},
      {Operation::UnmountDiscard, u"D:\\Tools\\imagex /unmount E:\\a.wim 2 C:\\mnt", 2},
      {Operation::UnmountCommit, u"D:\\Tools\\imagex /unmount /commit E:\\a.wim 2 C:\\mnt", 2},
      {Operation::Apply, u"D:\\Tools\\imagex /apply E:\\a.wim 2 C:\\mnt", 2},
      {Operation::Capture, u"D:\\Tools\\imagex /capture /compress maximum E:\\a.wim 2 C:\\mnt", 1},
      {Operation::CaptureBoot,
       u"D:\\Tools\\imagex /capture /boot /compress maximum E:\\a.wim 2 C:\\mnt", 2},
      {Operation::Append, u"D:\\Tools\\imagex /append E:\\a.wim 2 C:\\mnt", 2},
  };
  for (const Row& row : rows) {
    const CommandLine cl = Compose(u"D:\\Tools", row.op, three);
    EXPECT_EQ(cl.line, row.line);
    EXPECT_EQ(cl.show, row.show) << static_cast<int>(row.op);
    EXPECT_EQ(cl.show, ShowStyle(row.op));
    EXPECT_EQ(cl.application, u"D:\\Tools\\imagex.exe");
  }
}

TEST(ComposeTest, Examples) {
  struct Row {
    const char* name;
    std::u16string folder;
    Operation op;
    std::vector<std::u16string> args;
    std::u16string application;
    std::u16string line;
  };
  const Row rows[] = {
      {"FolderEndingInBackslashStillGetsOne",
       u"C:\\",
       Operation::UnmountCommit,
       {u"C:\\mnt"},
       u"C:\\imagex.exe",
       u"C:\\\\imagex /unmount /commit C:\\mnt"},
      {"EmptyMountFolderEndsAfterIndex",
       u"D:\\Tools",
       Operation::Apply,
       {u"E:\\a.wim", u"1", u""},
       u"D:\\Tools\\imagex.exe",
       u"D:\\Tools\\imagex /apply E:\\a.wim 1 "},
      {"UnmountOfNothingEndsInPrefix",
       u"D:\\Tools",
       Operation::UnmountDiscard,
       {u""},
       u"D:\\Tools\\imagex.exe",
       u"D:\\Tools\\imagex /unmount "},
      {"FolderWithSpaceIsQuoted",
       u"C:\\Program Files\\Vantrel",
       Operation::Capture,
       {u"D:\\my src\\", u"E:\\out.wim", u"two words"},
       u"C:\\Program Files\\Vantrel\\imagex.exe",
       u"\"C:\\Program Files\\Vantrel\\imagex\" /capture /compress maximum "
       u"\"D:\\my src\\\\\" E:\\out.wim \"two words\""},
      {"FolderWithSpaceEndingInBackslash",
       u"C:\\Program Files\\",
       Operation::MountReadOnly,
       {u"E:\\a.wim", u"1", u"C:\\mnt"},
       u"C:\\Program Files\\imagex.exe",
       u"\"C:\\Program Files\\\\imagex\" /mount E:\\a.wim 1 C:\\mnt"},
      {"UserQuotesPassedAsTyped",
       u"D:\\Tools",
       Operation::Append,
       {u"\"D:\\a b\"", u"E:\\o.wim", u"x"},
       u"D:\\Tools\\imagex.exe",
       u"D:\\Tools\\imagex /append \"D:\\a b\" E:\\o.wim x"},
      {"ChineseFolderWithoutSpace",
       u"D:\\工具",
       Operation::Apply,
       {u"E:\\镜像.wim", u"1", u"F:\\"},
       u"D:\\工具\\imagex.exe",
       u"D:\\工具\\imagex /apply E:\\镜像.wim 1 F:\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const CommandLine cl = Compose(row.folder, row.op, row.args);
    EXPECT_EQ(cl.application, row.application);
    EXPECT_EQ(cl.line, row.line);
  }
}

// What the tool's C runtime makes of composed lines whose folder or fields hold spaces.
TEST(ComposeTest, ToolReceivesEachFieldWhole) {
  const CommandLine cl = Compose(u"C:\\Program Files\\V\\", Operation::CaptureBoot,
                                 {u"C:\\Users\\A B\\", u"E:\\x y.wim", u" 注释 \U0001F600 "});
  EXPECT_EQ(SplitCommandLine(cl.line),
            (std::vector<std::u16string>{u"C:\\Program Files\\V\\\\imagex", u"/capture", u"/boot",
                                         u"/compress", u"maximum", u"C:\\Users\\A B\\",
                                         u"E:\\x y.wim", u" 注释 \U0001F600 "}));
}

// The repairs of the mounted-image list: a remount of one folder and the cleanup of every stale mount, in each
// tool's words, quoted as every field is.
TEST(ComposeTest, RemountAndCleanupInEachToolsWords) {
  const CommandLine remount = Compose(u"D:\\Tools", Operation::Remount, {u"C:\\mnt"});
  EXPECT_EQ(remount.application, u"D:\\Tools\\imagex.exe");
  EXPECT_EQ(remount.line, u"D:\\Tools\\imagex /remount C:\\mnt");
  EXPECT_EQ(remount.show, kShowMinimized);
  const CommandLine cleanup = Compose(u"D:\\Tools", Operation::Cleanup, {});
  EXPECT_EQ(cleanup.line, u"D:\\Tools\\imagex /cleanup") << "no field, no blank after the switch";
  EXPECT_EQ(cleanup.show, kShowMinimized);
  EXPECT_EQ(Compose(u"C:\\", Operation::Cleanup, {}).line, u"C:\\\\imagex /cleanup");

  // A folder with spaces, on both sides of the line.
  const CommandLine spaced = Compose(u"C:\\Program Files\\V", Operation::Remount, {u"D:\\我的 挂载\\"});
  EXPECT_EQ(spaced.line, u"\"C:\\Program Files\\V\\imagex\" /remount \"D:\\我的 挂载\\\\\"");
  EXPECT_EQ(SplitCommandLine(spaced.line),
            (std::vector<std::u16string>{u"C:\\Program Files\\V\\imagex", u"/remount", u"D:\\我的 挂载\\"}));
  EXPECT_EQ(SplitCommandLine(Compose(u"C:\\Program Files\\V", Operation::Cleanup, {}).line),
            (std::vector<std::u16string>{u"C:\\Program Files\\V\\imagex", u"/cleanup"}));

  const DismPaths places = DismPlaces(u"C:\\Windows", true);
  for (const Tool tool : {Tool::Dism, Tool::DismWindows7}) {
    SCOPED_TRACE(static_cast<int>(tool));
    const std::u16string verb = tool == Tool::Dism ? u"/Remount-Image" : u"/Remount-Wim";
    const std::optional<CommandLine> dism = ComposeDism(places, tool, Operation::Remount, {u"D:\\我的 挂载\\"});
    ASSERT_TRUE(dism);
    EXPECT_EQ(dism->application, u"C:\\Windows\\Sysnative\\Dism.exe");
    EXPECT_EQ(dism->line, u"C:\\Windows\\System32\\Dism.exe " + verb + u" /MountDir:\"D:\\我的 挂载\\\\\"");
    EXPECT_EQ(SplitCommandLine(dism->line),
              (std::vector<std::u16string>{places.shown, verb, u"/MountDir:D:\\我的 挂载\\"}));
    const std::optional<CommandLine> clean = ComposeDism(places, tool, Operation::Cleanup, {});
    ASSERT_TRUE(clean);
    EXPECT_EQ(SplitCommandLine(clean->line).size(), 2u);
    EXPECT_EQ(clean->show, kShowMinimized);
  }
  // Every tool there is can carry both out; without one, nothing runs.
  for (const Operation op : {Operation::Remount, Operation::Cleanup}) {
    for (const Tool tool : {Tool::Imagex, Tool::Dism, Tool::DismWindows7}) EXPECT_TRUE(CanRun(tool, op));
    EXPECT_FALSE(CanRun(Tool::None, op));
    EXPECT_FALSE(DismArguments(Tool::Imagex, op, {u"C:\\mnt"}));
  }
}

// An image's name read from a file reaches the tool exactly: quotes, backslashes before them or at the end, blanks,
// nothing at all. (QuoteArgument would take a name's own surrounding quotes for a pasted path's.)
TEST(ComposeTest, ExactArgumentGivesTheNameBackExactly) {
  using Argv = std::vector<std::u16string>;
  test_support::RandomFields random(20261211);
  std::vector<std::u16string> names = {u"", u"Windows 11 \"专业版\"", u"\"quoted name\"", u"\"", u"\"\"",
                                       u"a\\\"b", u"a\\\\\"b c", u"末尾 \\\\", u"C:\\x\\", u"\\", u"\\\"",
                                       u"a\tb", u"\t", u" \" \\\\\" "};
  for (int i = 0; i < 200; ++i) names.push_back(random.Field(8) + u"\"" + random.Field(8) + (i % 2 ? u"\"" : u""));
  for (const std::u16string& name : names) {
    const std::u16string line = u"imagex " + ExactArgument(name) + u" next";
    EXPECT_EQ(SplitCommandLine(line), (Argv{u"imagex", name, u"next"})) << std::string(line.begin(), line.end());
  }
  EXPECT_EQ(ExactArgument(u"Win11"), u"Win11") << "nothing added where nothing is needed";
  EXPECT_EQ(ExactArgument(u"C:\\x\\"), u"C:\\x\\");
}

// Export, split, delete and an apply from a split set, in both tools' words, with spaces, Chinese text and closing
// backslashes: what each tool's C runtime hands it; DISM of Windows 7 can do none of them, imagex writes no ESD.
TEST(ComposeTest, ExportSplitDeleteAndSplitSetsInBothToolsWords) {
  using Argv = std::vector<std::u16string>;
  const std::u16string src = u"E:\\我的 镜像\\install.wim", first = u"E:\\我的 镜像\\备份.swm",
                       parts = u"E:\\我的 镜像\\备份*.swm", dst = u"F:\\导出 目录\\新.esd",
                       dir = u"D:\\目标 盘\\", name = u"Windows 11 \"专业版\" \\";
  struct Row {
    const char* what;
    Operation op;
    Argv args, imagex, dism;
    std::optional<std::uint16_t> imagexRefusal;
  };
  const Row rows[] = {
      {"ExportNewWim", Operation::Export, {src, u"2", u"F:\\导出 目录\\", name, u"maximum", u""},
       {u"/export", src, u"2", u"F:\\导出 目录\\", name, u"/compress", u"maximum"},
       {u"/Export-Image", u"/SourceImageFile:" + src, u"/SourceIndex:2", u"/DestinationImageFile:F:\\导出 目录\\",
        u"/Compress:max", u"/CheckIntegrity"}, std::nullopt},
      {"ExportNewEsdFromSplitSet", Operation::Export, {first, u"1", dst, u"", u"recovery", parts},
       {u"/export", first, u"1", dst, u"", u"/compress", u"recovery", u"/ref", parts},
       {u"/Export-Image", u"/SourceImageFile:" + first, u"/SWMFile:" + parts, u"/SourceIndex:1",
        u"/DestinationImageFile:" + dst, u"/Compress:recovery", u"/CheckIntegrity"},
       kMsgImagexNoEsd},
      {"ExportIntoExisting", Operation::Export, {src, u"3", dst, u"x", u"", u""}, {u"/export", src, u"3", dst, u"x"},
       {u"/Export-Image", u"/SourceImageFile:" + src, u"/SourceIndex:3", u"/DestinationImageFile:" + dst,
        u"/CheckIntegrity"}, kMsgImagexNoEsd},
      {"ExportIntoExistingWim", Operation::Export, {src, u"3", u"F:\\a.ESD.wim", u"x", u"", u""},
       {u"/export", src, u"3", u"F:\\a.ESD.wim", u"x"},
       {u"/Export-Image", u"/SourceImageFile:" + src, u"/SourceIndex:3", u"/DestinationImageFile:F:\\a.ESD.wim",
        u"/CheckIntegrity"}, std::nullopt},
      {"Split", Operation::Split, {src, u"F:\\分卷 目录\\备份.swm", u"4000"},
       {u"/split", src, u"F:\\分卷 目录\\备份.swm", u"4000"},
       {u"/Split-Image", u"/ImageFile:" + src, u"/SWMFile:F:\\分卷 目录\\备份.swm", u"/FileSize:4000"},
       std::nullopt},
      {"Delete", Operation::Delete, {src, u"3"}, {u"/delete", src, u"3"},
       {u"/Delete-Image", u"/ImageFile:" + src, u"/Index:3", u"/CheckIntegrity"}, std::nullopt},
      {"ApplySplitSet", Operation::Apply, {first, u"1", dir, parts}, {u"/apply", first, u"1", dir, u"/ref", parts},
       {u"/Apply-Image", u"/ImageFile:" + first, u"/SWMFile:" + parts, u"/Index:1", u"/ApplyDir:" + dir}, std::nullopt},
  };
  const DismPaths places = DismPlaces(u"C:\\Windows", false);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const CommandLine imagex = Compose(u"C:\\Program Files\\V\\", row.op, row.args);
    Argv want = {u"C:\\Program Files\\V\\\\imagex"};
    want.insert(want.end(), row.imagex.begin(), row.imagex.end());
    EXPECT_EQ(SplitCommandLine(imagex.line), want);
    const std::optional<CommandLine> dism = ComposeDism(places, Tool::Dism, row.op, row.args);
    ASSERT_TRUE(dism);
    want = {places.shown};
    want.insert(want.end(), row.dism.begin(), row.dism.end());
    EXPECT_EQ(SplitCommandLine(dism->line), want);
    EXPECT_FALSE(ComposeDism(places, Tool::DismWindows7, row.op, row.args));
    EXPECT_EQ(ToolRefusal(Tool::DismWindows7, row.op, row.args), kMsgNeedsImagex);
    EXPECT_EQ(ToolRefusal(Tool::Dism, row.op, row.args), std::nullopt);
    EXPECT_EQ(ToolRefusal(Tool::Imagex, row.op, row.args), row.imagexRefusal);
    EXPECT_EQ(ToolRefusal(Tool::None, row.op, row.args), std::nullopt);
  }
  EXPECT_EQ(ToolRefusal(Tool::DismWindows7, Operation::MountReadOnly, {}), std::nullopt);
  // Plain fields, byte for byte: one blank between words, the optional ones after their switches.
  const Argv plain = {u"E:\\a.wim", u"2", u"F:\\b.wim", u"Pro", u"maximum", u"E:\\a*.swm"};
  EXPECT_EQ(Compose(u"D:\\T", Operation::Export, plain).line,
            u"D:\\T\\imagex /export E:\\a.wim 2 F:\\b.wim Pro /compress maximum /ref E:\\a*.swm");
}

// Which tool runs: imagex beside the program always; else DISM of the system, in its newer or older words.
TEST(ToolChoiceTest, ImagexFirstThenDismByVersionThenNone) {
  struct Row {
    ToolFacts facts;
    Tool tool;
  };
  const Row rows[] = {
      {{true, true, 10, 0}, Tool::Imagex},  {{true, false, 6, 1}, Tool::Imagex},  {{false, true, 10, 0}, Tool::Dism},
      {{false, true, 6, 2}, Tool::Dism},    {{false, true, 6, 3}, Tool::Dism},    {{false, true, 6, 1}, Tool::DismWindows7},
      {{false, true, 6, 0}, Tool::DismWindows7}, {{false, false, 10, 0}, Tool::None},
  };
  for (const Row& row : rows) EXPECT_EQ(ChooseTool(row.facts), row.tool) << row.facts.major << "." << row.facts.minor;

  // A 32-bit process on 64-bit Windows starts the 64-bit DISM through Sysnative; the line names the file as a
  // console of the system's own kind finds it.
  const DismPaths wow = DismPlaces(u"C:\\Windows", true);
  EXPECT_EQ(wow.launch, u"C:\\Windows\\Sysnative\\Dism.exe");
  EXPECT_EQ(wow.shown, u"C:\\Windows\\System32\\Dism.exe");
  const DismPaths native = DismPlaces(u"D:\\WINNT\\", false);
  EXPECT_EQ(native.launch, u"D:\\WINNT\\System32\\Dism.exe");
  EXPECT_EQ(native.shown, native.launch);

  for (const Operation op : {Operation::Apply, Operation::Capture, Operation::CaptureBoot, Operation::Append}) {
    EXPECT_FALSE(CanRun(Tool::DismWindows7, op));
    EXPECT_TRUE(CanRun(Tool::Dism, op));
    EXPECT_FALSE(ComposeDism(wow, Tool::DismWindows7, op, {u"a", u"b", u"c"})) << "DISM of Windows 7 cannot do it";
  }
  auto text = [](std::uint16_t id) {
    std::u16string entry = u"<";
    entry += static_cast<char16_t>(u'0' + id % 10);
    return entry + u">%1|%2";
  };
  EXPECT_EQ(ToolDescription(Tool::Dism, Operation::Apply, wow.launch, text), u"<1>DISM|C:\\Windows\\Sysnative\\Dism.exe");
  EXPECT_EQ(ToolDescription(Tool::DismWindows7, Operation::Apply, wow.launch, text), u"<0>%1|%2");
  EXPECT_EQ(ToolDescription(Tool::DismWindows7, Operation::UnmountCommit, wow.launch, text).substr(0, 9), u"<1>DISM|C");
  EXPECT_EQ(ToolDescription(Tool::None, Operation::MountReadOnly, u"", text), u"<2>%1|%2");
}

// The eight operations in DISM's words, each field after its switch, and the older forms of Windows 7.
TEST(ToolChoiceTest, EveryFormInDismsWords) {
  const DismPaths places{u"C:\\Windows\\Sysnative\\Dism.exe", u"C:\\Windows\\System32\\Dism.exe"};
  const std::vector<std::u16string> mount = {u"E:\\a.wim", u"2", u"C:\\mnt"};
  const std::vector<std::u16string> capture = {u"D:\\src", u"E:\\b.wim", u"Name"};
  const std::vector<std::u16string> folder = {u"C:\\mnt"};
  const std::vector<std::u16string> none;
  struct Row {
    Tool tool;
    Operation op;
    const std::vector<std::u16string>* fields;
    std::u16string arguments;
  };
  const Row rows[] = {
      {Tool::Dism, Operation::MountReadOnly, &mount, u"/Mount-Image /ImageFile:E:\\a.wim /Index:2 /MountDir:C:\\mnt /ReadOnly"},
      {Tool::Dism, Operation::MountReadWrite, &mount, u"/Mount-Image /ImageFile:E:\\a.wim /Index:2 /MountDir:C:\\mnt"},
      {Tool::Dism, Operation::UnmountDiscard, &mount, u"/Unmount-Image /MountDir:E:\\a.wim /Discard"},
      {Tool::Dism, Operation::UnmountCommit, &mount, u"/Unmount-Image /MountDir:E:\\a.wim /Commit"},
      {Tool::Dism, Operation::Apply, &mount, u"/Apply-Image /ImageFile:E:\\a.wim /Index:2 /ApplyDir:C:\\mnt"},
      {Tool::Dism, Operation::Capture, &capture,
       u"/Capture-Image /ImageFile:E:\\b.wim /CaptureDir:D:\\src /Name:Name /Compress:max"},
      {Tool::Dism, Operation::CaptureBoot, &capture,
       u"/Capture-Image /ImageFile:E:\\b.wim /CaptureDir:D:\\src /Name:Name /Compress:max /Bootable"},
      {Tool::Dism, Operation::Append, &capture, u"/Append-Image /ImageFile:E:\\b.wim /CaptureDir:D:\\src /Name:Name"},
      {Tool::DismWindows7, Operation::MountReadOnly, &mount, u"/Mount-Wim /WimFile:E:\\a.wim /Index:2 /MountDir:C:\\mnt /ReadOnly"},
      {Tool::DismWindows7, Operation::MountReadWrite, &mount, u"/Mount-Wim /WimFile:E:\\a.wim /Index:2 /MountDir:C:\\mnt"},
      {Tool::DismWindows7, Operation::UnmountDiscard, &mount, u"/Unmount-Wim /MountDir:E:\\a.wim /Discard"},
      {Tool::DismWindows7, Operation::UnmountCommit, &mount, u"/Unmount-Wim /MountDir:E:\\a.wim /Commit"},
      {Tool::Dism, Operation::Remount, &folder, u"/Remount-Image /MountDir:C:\\mnt"},
      {Tool::Dism, Operation::Cleanup, &none, u"/Cleanup-Mountpoints"},
      {Tool::DismWindows7, Operation::Remount, &folder, u"/Remount-Wim /MountDir:C:\\mnt"},
      {Tool::DismWindows7, Operation::Cleanup, &none, u"/Cleanup-Wim"},
  };
  for (const Row& row : rows) {
    const std::optional<CommandLine> cl = ComposeDism(places, row.tool, row.op, *row.fields);
    ASSERT_TRUE(cl) << static_cast<int>(row.op);
    EXPECT_EQ(cl->application, places.launch);
    EXPECT_EQ(cl->line, u"C:\\Windows\\System32\\Dism.exe " + row.arguments);
    EXPECT_EQ(cl->show, ShowStyle(row.op));
  }
  // Spaces, Chinese text and a closing backslash: each value is quoted by the rule of every field and comes
  // back as one argument; a system folder with a space is quoted as the program's name.
  const DismPaths spaced{u"C:\\Win dows\\System32\\Dism.exe", u"C:\\Win dows\\System32\\Dism.exe"};
  const std::optional<CommandLine> apply =
      ComposeDism(spaced, Tool::Dism, Operation::Apply, {u"E:\\我的 镜像.wim", u"1", u"D:\\目标 盘\\"});
  ASSERT_TRUE(apply);
  EXPECT_EQ(apply->line, u"\"C:\\Win dows\\System32\\Dism.exe\" /Apply-Image /ImageFile:\"E:\\我的 镜像.wim\" /Index:1 "
                         u"/ApplyDir:\"D:\\目标 盘\\\\\"");
  EXPECT_EQ(SplitCommandLine(apply->line),
            (std::vector<std::u16string>{u"C:\\Win dows\\System32\\Dism.exe", u"/Apply-Image",
                                         u"/ImageFile:E:\\我的 镜像.wim", u"/Index:1", u"/ApplyDir:D:\\目标 盘\\"}));
  EXPECT_EQ(DismArguments(Tool::Dism, Operation::Apply, {u"a.wim", u"1", u"D:\\"}),
            u"/Apply-Image /ImageFile:a.wim /Index:1 /ApplyDir:D:\\");
  EXPECT_EQ(SplitCommandLine(ComposeDism(places, Tool::Dism, Operation::Capture,
                                          {u"\"D:\\源\\\"", u"E:\\x.wim", u"Windows 7 旗舰版"})->line),
            (std::vector<std::u16string>{places.shown, u"/Capture-Image", u"/ImageFile:E:\\x.wim", u"/CaptureDir:D:\\源\\",
                                         u"/Name:Windows 7 旗舰版", u"/Compress:max"}));
  EXPECT_FALSE(DismArguments(Tool::Imagex, Operation::Apply, mount)) << "imagex has words of its own";
}

}  // namespace
}  // namespace vantrel::imaging
