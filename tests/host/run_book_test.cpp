// The book of this session's runs (runs/run_book.h): what the tray tip, the taskbar button, the progress strip,
// the run window's state column and a failure balloon say of the runs in flight and ended.
#include "runs/run_book.h"

#include "resources/text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace vantrel::runs {
namespace {

using resources::FillIn;

std::u16string Table(std::uint16_t id) {
  switch (id) {
    case 40101: return u"Vantrel.";
    case 50108: return u"Vantrel：%1 个操作正在进行。";
    case 50121: return u"Vantrel：%1";
    case 50122: return u"Vantrel：%1 %2";
    case 50123: return u"Vantrel：%1 个操作正在进行，最慢的 %2";
    case 50124: return u"%1%";
    case 50125: return u"正在进行";
    case 50126: return u"正在进行 %1";
    case 50127: return u"已完成";
    case 50128: return u"失败，退出代码：%1";
    case 50129: return u"结果未知";
    case 50109: return u"%1 · %2";
  }
  return u"?";
}

void Feed(runs::Run& run, std::string_view bytes) {
  if (!run.log) run.log = std::make_unique<ToolLog>();
  run.log->Feed(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

runs::Run& Start(RunBook& book, std::u16string caption) {
  return book.Add(std::move(caption), u"DISM", u"\"C:\\Windows\\System32\\Dism.exe\" /x", {9, 5, 3}, 1000);
}

TEST(RunBook, TipNamesOneRunAndItsPercentageOrCountsSeveralByTheLeastAdvanced) {
  RunBook book;
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel.");
  runs::Run& mount = Start(book, u"挂载 WIM 镜像");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：挂载 WIM 镜像") << "no bar drawn yet";
  Feed(mount, "Mounting image\r\n[=====      45.9%          ]\r");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：挂载 WIM 镜像 45%") << "whole percent, rounded down";
  Feed(mount, "[===========99.9%==========]\r");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：挂载 WIM 镜像 99%") << "100% only when the tool draws it";

  runs::Run& capture = Start(book, u"制作镜像");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：2 个操作正在进行，最慢的 0%") << "a run without a bar counts as 0";
  Feed(capture, "[ 12% ]\n");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：2 个操作正在进行，最慢的 12%");
  book.End(mount.id, RunState::Finished, u"0", 5000);
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：制作镜像 12%");
  book.End(capture.id, RunState::Failed, u"2", 6000);
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel.");

  // Several runs none of which has drawn a bar: the count alone, as before bars were read.
  Start(book, u"a");
  Start(book, u"b");
  EXPECT_EQ(RunsTip(book, Table), u"Vantrel：2 个操作正在进行。");
  // The longest tip in the Chinese code page (a byte per ASCII character, two per Chinese one) leaves room for
  // the field's NUL within 64 bytes.
  for (const std::u16string& tip : {FillIn(Table(kTipSeveralAt), {u"4294967295", u"100%"}),
                                    FillIn(Table(kTipSeveralRuns), {u"4294967295"}),
                                    FillIn(Table(kTipOneRunAt), {u"卸载 WIM 镜像（提交更改）", u"100%"})}) {
    std::size_t bytes = 0;
    for (char16_t c : tip) bytes += c < 0x80 ? 1 : 2;
    EXPECT_LE(bytes, 63u);
  }
}

TEST(RunBook, TaskbarIsIndeterminateUntilEveryRunHasABarAndShowsFailuresForAMoment) {
  RunBook book;
  EXPECT_EQ(DecideTaskbar(book, false), TaskbarProgress{});
  EXPECT_EQ(StripTenths(book), std::nullopt);
  runs::Run& a = Start(book, u"a");
  EXPECT_EQ(DecideTaskbar(book, false), (TaskbarProgress{TaskbarState::Indeterminate, 0}));
  EXPECT_EQ(StripTenths(book), std::nullopt);
  Feed(a, "[====  62.5%  ]\r\n");
  EXPECT_EQ(DecideTaskbar(book, false), (TaskbarProgress{TaskbarState::Normal, 625}));
  EXPECT_EQ(StripTenths(book), 625);
  runs::Run& b = Start(book, u"b");
  EXPECT_EQ(DecideTaskbar(book, false).state, TaskbarState::Indeterminate);
  Feed(b, "(30%) done\n");
  EXPECT_EQ(DecideTaskbar(book, false), (TaskbarProgress{TaskbarState::Normal, 300}));
  EXPECT_EQ(DecideTaskbar(book, true).state, TaskbarState::Error);
  book.End(a.id, RunState::Failed, u"5", 2000);
  book.End(b.id, RunState::Finished, u"0", 2000);
  EXPECT_EQ(DecideTaskbar(book, false), TaskbarProgress{});
  EXPECT_EQ(DecideTaskbar(book, true).state, TaskbarState::Error) << "the failure stays a moment after the last end";
}

TEST(RunBook, StatesTimesAndTheStripTip) {
  RunBook book;
  runs::Run& run = Start(book, u"挂载 WIM 镜像");
  EXPECT_EQ(run.id, 1u);
  EXPECT_EQ(StateText(run, Table), u"正在进行");
  Feed(run, "Mounting image\r\n[=   7.0%   ]\r");
  EXPECT_EQ(StateText(run, Table), u"正在进行 7%");
  EXPECT_EQ(StripTip(book, Table), u"挂载 WIM 镜像 · Mounting image · 7%");
  runs::Run& other = Start(book, u"制作镜像");
  EXPECT_EQ(other.id, 2u);
  EXPECT_EQ(StripTip(book, Table), u"挂载 WIM 镜像 · Mounting image · 7%\n制作镜像 · 正在进行");
  book.End(run.id, RunState::Failed, u"-1052638953（0xC1420117）", 9000);
  EXPECT_EQ(StateText(*book.Find(1), Table), u"失败，退出代码：-1052638953（0xC1420117）");
  EXPECT_EQ(book.Find(1)->endTick, 9000u);
  book.End(run.id, RunState::Finished, u"0", 12000);
  EXPECT_EQ(book.Find(1)->state, RunState::Failed) << "a run ends once";
  book.End(other.id, RunState::EndUnknown, u"", 9000);
  EXPECT_EQ(StateText(other, Table), u"结果未知");
  book.End(77, RunState::Finished, u"", 1);  // no such run: nothing happens
  EXPECT_EQ(book.Find(77), nullptr);
  EXPECT_EQ(book.InFlight(), 0u);

  EXPECT_EQ(DurationText(0), u"0:00");
  EXPECT_EQ(DurationText(5999), u"0:05");
  EXPECT_EQ(DurationText(12 * 60000 + 40000), u"12:40");
  EXPECT_EQ(DurationText(3723000), u"1:02:03");
  EXPECT_EQ(DurationText(100ull * 3600000), u"100:00:00");
  EXPECT_EQ(ClockText({9, 5, 3}), u"09:05:03");
  EXPECT_EQ(ClockText({23, 59, 59}), u"23:59:59");
  EXPECT_EQ(PercentText(1000, Table), u"100%");
  EXPECT_EQ(PercentText(5, Table), u"0%");
}

TEST(RunBook, KeepsTheNewestRunsAndEveryRunInFlight) {
  RunBook book;
  for (std::size_t i = 0; i < RunBook::kMaxRuns; ++i) Start(book, u"r");
  // The first run is still in flight: the oldest ended run leaves instead when a new one comes.
  book.End(2, RunState::Finished, u"0", 1);
  Start(book, u"new");
  EXPECT_EQ(book.runs().size(), RunBook::kMaxRuns);
  EXPECT_NE(book.Find(1), nullptr);
  EXPECT_EQ(book.Find(2), nullptr);
  EXPECT_EQ(book.runs().back()->id, RunBook::kMaxRuns + 1);
  // With every run in flight none is dropped: each is watched and reported.
  Start(book, u"more");
  EXPECT_EQ(book.runs().size(), RunBook::kMaxRuns + 1);
  EXPECT_EQ(book.InFlight(), RunBook::kMaxRuns + 1);
}

}  // namespace
}  // namespace vantrel::runs
