#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/command_line_split.h"
#include "imaging/imaging_commands.h"
#include "imaging/tool_choice.h"
#include "tests/common/random_fields.h"

namespace vantrel::imaging {
namespace {

using Argv = std::vector<std::u16string>;

// The reference parser against the runtime's documented examples and the program-name rules.
TEST(SplitCommandLineTest, DocumentedRules) {
  struct Row {
    std::u16string line;
    Argv argv;
  };
  const Row rows[] = {
      {u"p \"a b c\" d e", {u"p", u"a b c", u"d", u"e"}},
      {u"p \"ab\\\"c\" \"\\\\\" d", {u"p", u"ab\"c", u"\\", u"d"}},
      {u"p a\\\\\\b d\"e f\"g h", {u"p", u"a\\\\\\b", u"de fg", u"h"}},
      {u"p a\\\\\\\"b c d", {u"p", u"a\\\"b", u"c", u"d"}},
      {u"p a\\\\\\\\\"b c\" d e", {u"p", u"a\\\\b c", u"d", u"e"}},
      {u"p a\"b\"\" c d", {u"p", u"ab\" c d"}},
      {u"p \"\" x", {u"p", u"", u"x"}},
      {u"p \"open to the end", {u"p", u"open to the end"}},
      {u"p\ta\t\t b \t", {u"p", u"a", u"b"}},
      {u"p a\nb", {u"p", u"a\nb"}},
      // Program name: quotes group and vanish, backslashes are never escapes.
      {u"\"C:\\Program Files\\x\\imagex\" /mount", {u"C:\\Program Files\\x\\imagex", u"/mount"}},
      {u"\"C:\\a b\\\\\" x", {u"C:\\a b\\\\", u"x"}},
      {u"C:\\a\\\\imagex /x", {u"C:\\a\\\\imagex", u"/x"}},
      {u"C:\\\"a b\"\\c d", {u"C:\\a b\\c", u"d"}},
      {u"", {u""}},
      {u" a b", {u"", u"a", u"b"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SplitCommandLine(row.line), row.argv);
  }
}

Argv ExpectedArgv(const std::u16string& folder, Operation op, const Argv& fields) {
  Argv argv{folder + u"\\imagex"};
  const std::u16string_view prefix = Prefix(op);
  std::size_t start = prefix.find(u' ') + 1;
  for (std::size_t end; (end = prefix.find(u' ', start)) != std::u16string_view::npos;
       start = end + 1) {
    argv.emplace_back(prefix.substr(start, end - start));
  }
  argv.insert(argv.end(), fields.begin(), fields.end());
  return argv;
}

// Random folders and fields without double quotes, some of them wrapped in quotes by the user,
// composed and then split as the tool's runtime splits them, must come back exactly (without the
// user's quotes); with no whitespace anywhere the line must be the plain
// concatenation, unquoted.
TEST(SplitCommandLineTest, ComposedFieldsComeBackExactly) {
  test_support::RandomFields random(20240607);
  std::size_t fieldCount = 0;
  int failures = 0;
  while (fieldCount < 10000 && failures < 5) {
    const auto op = static_cast<Operation>(random.Below(8));
    const bool oneField = op == Operation::UnmountDiscard || op == Operation::UnmountCommit;
    const std::u16string folder = random.Folder();
    Argv fields, typed;
    for (int i = 0; i < (oneField ? 1 : 3); ++i) {
      fields.push_back(random.Field());
      typed.push_back(random.AsTyped(fields.back()));
    }
    fieldCount += fields.size();

    const CommandLine cl = Compose(folder, op, typed);
    const Argv expected = ExpectedArgv(folder, op, fields);
    const Argv argv = SplitCommandLine(cl.line);
    EXPECT_EQ(argv, expected) << "line: " << ::testing::PrintToString(cl.line);
    if (argv != expected) ++failures;

    // The same input with every blank made ordinary.
    auto plain = [](std::u16string s) {
      for (char16_t& c : s) {
        if (c == u' ' || c == u'\t') c = u'_';
      }
      return s;
    };
    Argv plainFields;
    std::u16string expectedLine = plain(folder) + u"\\" + std::u16string(Prefix(op));
    for (const auto& f : fields) {
      plainFields.push_back(plain(f));
      expectedLine += (plainFields.size() > 1 ? u" " : u"") + plainFields.back();
    }
    const CommandLine plainLine = Compose(plain(folder), op, plainFields);
    EXPECT_EQ(plainLine.line, expectedLine);
    if (plainLine.line != expectedLine) ++failures;

    // The same fields in DISM's words: every "/Switch:value" comes back as one argument holding the field.
    const Tool tool = random.Below(2) ? Tool::Dism : Tool::DismWindows7;
    const DismPaths places = DismPlaces(folder, random.Below(2) == 1);
    const std::optional<CommandLine> dism = ComposeDism(places, tool, op, typed);
    if (!dism) continue;  // DISM of Windows 7 has no apply, capture or append
    const Argv dismArgv = SplitCommandLine(dism->line);
    Argv values;
    for (const std::u16string& arg : dismArgv)
      if (const std::size_t colon = arg.find(u':'); arg.starts_with(u"/") && colon != std::u16string::npos &&
                                                    !arg.starts_with(u"/Compress:"))
        values.push_back(arg.substr(colon + 1));
    const bool capture = op == Operation::Capture || op == Operation::CaptureBoot || op == Operation::Append;
    // Capture and append name the image file first, then the folder.
    const Argv expectedValues = capture ? Argv{fields[1], fields[0], fields[2]} : fields;
    EXPECT_EQ(dismArgv.front(), places.shown);
    EXPECT_EQ(values, expectedValues) << "line: " << ::testing::PrintToString(dism->line);
    if (values != expectedValues) ++failures;
  }
  EXPECT_GE(fieldCount, 10000u);
}

}  // namespace
}  // namespace vantrel::imaging
