// The run window's decisions: its layout at a DPI, the list's columns and rows, the selection across a refresh,
// and the output box kept equal to the run's log while the log changes under it.
#include "runs/run_view.h"

#include <gtest/gtest.h>

#include <map>
#include <span>
#include <string>

namespace vantrel::runs {
namespace {

using resources::DpiScale;

std::u16string Text(std::uint16_t id) {
  static const std::map<std::uint16_t, std::u16string> table{
      {kPercent, u"%1%"},         {kStateRunning, u"正在进行"}, {kStateRunningAt, u"正在进行 %1"},
      {kStateFinished, u"已完成"}, {kStateFailed, u"失败，退出代码：%1"}, {kNoLog, u"没有保存这次运行的输出：%1"},
  };
  const auto found = table.find(id);
  return found == table.end() ? u"?" : found->second;
}

void Feed(ToolLog& log, std::string_view bytes) {
  log.Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

TEST(RunWindowLayout, PartsStackWithoutOverlapAndScaleWithTheDpi) {
  for (const int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    const DpiScale s(dpi);
    const int width = s.Px(kRunWindowWidth - 16), height = s.Px(kRunWindowHeight - 39);
    const RunWindowLayout l = LayOutRunWindow(width, height, s);
    EXPECT_EQ(l.list.left, s.Px(8));
    EXPECT_EQ(l.list.top, s.Px(8));
    EXPECT_EQ(l.list.width, width - 2 * s.Px(8));
    EXPECT_EQ(l.output.width, l.list.width);
    // Top to bottom, each below the one before, the buttons on the bottom margin.
    EXPECT_LT(l.list.top + l.list.height, l.label.top);
    EXPECT_LE(l.label.top + l.label.height, l.output.top);
    EXPECT_LT(l.output.top + l.output.height, l.copyButton.top);
    EXPECT_EQ(l.copyButton.top + l.copyButton.height, height - s.Px(8));
    EXPECT_EQ(l.folderButton.top, l.copyButton.top);
    EXPECT_LT(l.copyButton.left + l.copyButton.width, l.folderButton.left);
    EXPECT_EQ(l.copyButton.height, s.Px(24));
    EXPECT_EQ(l.folderButton.width, s.Px(148));
    // The list and the output box share what is left, the box a little more.
    EXPECT_GT(l.list.height, s.Px(100));
    EXPECT_GT(l.output.height, l.list.height);
  }
  // At 150 % the parts are one and a half times their 96-dpi size.
  const RunWindowLayout at96 = LayOutRunWindow(624, 401, DpiScale(96));
  const RunWindowLayout at144 = LayOutRunWindow(936, 602, DpiScale(144));
  EXPECT_EQ(at144.copyButton.width, at96.copyButton.width * 3 / 2);
  EXPECT_NEAR(at144.list.height, at96.list.height * 1.5, 2);
}

TEST(RunWindowLayout, ATinyWindowGivesEmptyPartsNotNegativeOnes) {
  const RunWindowLayout l = LayOutRunWindow(4, 10, DpiScale(96));
  for (const Box& b : {l.list, l.label, l.output, l.copyButton, l.folderButton}) {
    EXPECT_GE(b.width, 0);
    EXPECT_GE(b.height, 0);
  }
}

TEST(RunWindowColumns, FixedColumnsKeepTheirWidthAndTheRestIsShared) {
  const std::array<int, kColumnCount> w = ColumnWidths(608, DpiScale(96));
  EXPECT_EQ(w[1], 64);
  EXPECT_EQ(w[2], 72);
  EXPECT_EQ(w[3], 60);
  // Everything but the room for a scroll bar is used.
  EXPECT_EQ(w[0] + w[1] + w[2] + w[3] + w[4], 608 - 18);
  EXPECT_GT(w[0], w[4]);
  // At 144 dpi the fixed columns scale; in a narrow list the shared ones keep their minimums.
  const std::array<int, kColumnCount> narrow = ColumnWidths(300, DpiScale(144));
  EXPECT_EQ(narrow[1], 96);
  EXPECT_EQ(narrow[0], 210);
  EXPECT_EQ(narrow[4], 165);
}

TEST(RunWindowRows, RowTextsForRunningFinishedAndFailedRuns) {
  RunBook book;
  runs::Run& running = book.Add(u"挂载 WIM 镜像", u"DISM", u"dism /Mount-Image", {9, 5, 3}, 1000);
  running.log.reset(new ToolLog());
  Feed(*running.log, "[====                      45.0%                          ]\r\n");
  const auto r = RowTexts(running, 1000 + 65'000, Text);
  EXPECT_EQ(r[0], u"挂载 WIM 镜像");
  EXPECT_EQ(r[1], u"DISM");
  EXPECT_EQ(r[2], u"09:05:03");
  EXPECT_EQ(r[3], u"1:05");
  EXPECT_EQ(r[4], u"正在进行 45%");

  runs::Run& done = book.Add(u"解开 WIM 镜像", u"imagex", u"imagex /apply", {23, 59, 59}, 5000);
  book.End(done.id, RunState::Finished, u"0", 5000 + 3'725'000);
  const auto d = RowTexts(done, 99'999'999, Text);  // an ended run's duration stops at its end
  EXPECT_EQ(d[3], u"1:02:05");
  EXPECT_EQ(d[4], u"已完成");

  runs::Run& failed = book.Add(u"制作镜像", u"imagex", u"imagex /capture", {0, 0, 7}, 10);
  book.End(failed.id, RunState::Failed, u"2", 10);
  const auto f = RowTexts(failed, 20, Text);
  EXPECT_EQ(f[3], u"0:00");
  EXPECT_EQ(f[4], u"失败，退出代码：2");
  // A clock that reads earlier than the start (another tick source) counts as no time at all.
  EXPECT_EQ(RowTexts(running, 10, Text)[3], u"0:00");

  failed.logProblem = u"拒绝访问。";
  EXPECT_EQ(NoLogText(failed, Text), u"没有保存这次运行的输出：拒绝访问。");
}

TEST(RunWindowRows, ARefreshRemovesGoneRunsAndAppendsNewOnesOnly) {
  EXPECT_EQ(EditRows({}, {1, 2}), (RowEdits{{}, {1, 2}}));
  EXPECT_EQ(EditRows({1, 2}, {1, 2}), (RowEdits{{}, {}}));
  EXPECT_EQ(EditRows({1, 2, 3}, {1, 3, 4, 5}), (RowEdits{{1}, {4, 5}}));
  // Several gone: highest row first, so the lower indices stay right.
  EXPECT_EQ(EditRows({1, 2, 3, 4}, {2, 4, 6}), (RowEdits{{2, 0}, {6}}));
  EXPECT_EQ(EditRows({1, 2}, {}), (RowEdits{{1, 0}, {}}));
  // Out of order (the book never does this): made again from nothing.
  EXPECT_EQ(EditRows({1, 2}, {2, 1}), (RowEdits{{1, 0}, {2, 1}}));
}

TEST(RunWindowRows, TheSelectedRunStaysSelectedElseTheNewest) {
  EXPECT_EQ(RowToSelect({}, std::nullopt), std::nullopt);
  EXPECT_EQ(RowToSelect({}, 3u), std::nullopt);
  EXPECT_EQ(RowToSelect({4, 5, 6}, std::nullopt), 2u);
  EXPECT_EQ(RowToSelect({4, 5, 6}, 5u), 1u);
  EXPECT_EQ(RowToSelect({4, 5, 6}, 3u), 2u) << "the selected run has left the book";
}

TEST(RunWindowOutput, FollowsTheEndUnlessScrolledUpOrTextIsSelected) {
  EXPECT_TRUE(FollowsEnd({5, 5, 0, 10, 4}));    // everything visible
  EXPECT_TRUE(FollowsEnd({0, 0, 90, 10, 100}));  // the last line visible, the caret anywhere
  EXPECT_FALSE(FollowsEnd({0, 0, 80, 10, 100}));
  EXPECT_FALSE(FollowsEnd({10, 20, 90, 10, 100}));
  EXPECT_FALSE(FollowsEnd({20, 10, 90, 10, 100}));  // selected backwards
}

// The box as a multi-line edit box holds it, changed as BoxChange says.
void ApplyToBox(std::u16string& box, const BoxChange& change) {
  if (change.restart) {
    box = change.text;
    return;
  }
  ASSERT_LE(change.dropFront + change.erase, box.size());
  box.erase(0, change.dropFront);
  box.erase(box.size() - change.erase);
  box += change.text;
}

std::u16string WithCrLf(const std::u16string& text) {
  std::u16string out;
  for (const char16_t c : text) out += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
  return out;
}

TEST(RunWindowOutput, TheBoxStaysTheLogsTextWithCrLfWhateverTheLogDoes) {
  // A DISM-like run: a banner, a bar drawn over itself with lone CRs, fed in awkward pieces, then an error.
  ToolLog log;
  OutputText output;
  std::u16string box;
  ApplyToBox(box, output.Show(log.text()));
  const std::string bytes =
      "Deployment Image Servicing and Management tool\r\nVersion: 10.0\r\n\r\nMounting image\r\n"
      "[=====      10.0%      ]\r[==========  20.0%      ]\r[=========== 45.0%      ]\r\n"
      "Error: 5\r\n\r\nAccess is denied.\r\n\r\nThe DISM log file can be found at C:\\dism.log\r\nno end";
  for (std::size_t at = 0; at < bytes.size(); at += 7) {
    Feed(log, std::string_view(bytes).substr(at, 7));
    ApplyToBox(box, output.Apply(log.TakeNew(), log.text().size()));
    ASSERT_EQ(box, WithCrLf(log.text())) << "after " << at + 7 << " bytes";
    EXPECT_EQ(output.BoxUnits(), box.size());
  }
  log.Finish();
  ApplyToBox(box, output.Apply(log.TakeNew(), log.text().size()));
  EXPECT_EQ(box, WithCrLf(log.text()));
  EXPECT_NE(box.find(u"45.0%      ]\r\nError: 5"), std::u16string::npos);
  EXPECT_EQ(box.find(u"20.0%"), std::u16string::npos) << "a bar drawn over is replaced, not kept";
}

TEST(RunWindowOutput, WhenTheLogLetsGoOfItsFrontTheBoxDoesToo) {
  LogLimits small;
  small.keptUnits = 256;
  small.lineUnits = 64;
  ToolLog log(Cp437(), small);
  OutputText output;
  std::u16string box;
  ApplyToBox(box, output.Show(log.text()));
  bool dropped = false;
  for (int i = 0; i < 200; ++i) {
    const std::string line = "line " + std::to_string(i) + (i % 3 ? "\r\n" : " 50.0%\r");
    Feed(log, line);
    const BoxChange boxChange = output.Apply(log.TakeNew(), log.text().size());
    dropped |= boxChange.dropFront > 0;
    ApplyToBox(box, boxChange);
    ASSERT_EQ(box, WithCrLf(log.text())) << "line " << i;
    ASSERT_LE(output.LogUnits(), small.keptUnits);
  }
  EXPECT_TRUE(dropped);
  // A NUL from the tool would cut the box's text short: it is shown as a replacement character.
  OutputText nul;
  EXPECT_EQ(nul.Show(std::u16string(u"a\0b\n", 4)).text, u"a\uFFFDb\r\n");
}

TEST(RunWindowOutput, AChangeAfterARestartReplacesEverything) {
  OutputText output;
  output.Show(u"old\ntext\n");
  TextChange change;
  change.restart = true;
  change.text = u"new\n";
  const BoxChange box = output.Apply(change, 4);
  EXPECT_TRUE(box.restart);
  EXPECT_EQ(box.text, u"new\r\n");
  EXPECT_EQ(output.BoxUnits(), 5u);
  // An erase larger than what is shown takes what is there and no more.
  const TextChange tooMuch{false, 99, u"x"};
  const BoxChange after = output.Apply(tooMuch, 1);
  EXPECT_EQ(after.erase, 5u);
  EXPECT_EQ(after.text, u"x");
}

}  // namespace
}  // namespace vantrel::runs
