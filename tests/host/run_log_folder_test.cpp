// The folder of run logs (runs/log_folder): what a run's log is called and which logs the tidying deletes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "runs/log_folder.h"

namespace vantrel::runs {
namespace {

std::set<std::u16string> Set(const std::vector<std::u16string>& names) {
  return {names.begin(), names.end()};
}

// The names RunLogsToDelete picks.
std::set<std::u16string> Doomed(const std::vector<std::u16string>& names, std::size_t keep = kKeptRunLogs) {
  std::set<std::u16string> doomed;
  for (const std::size_t i : RunLogsToDelete(names, keep)) doomed.insert(names.at(i));
  return doomed;
}

TEST(RunLogFolder, NamesCarryTheTimeAtFixedWidthThenTheProcessAndTheCount) {
  EXPECT_EQ(RunLogName({2026, 12, 11, 12, 3, 1, 123}, 4242, 1), u"20261211-120301-123-4242-1.log");
  EXPECT_EQ(RunLogName({2027, 1, 2, 3, 4, 5, 6}, 8, 17), u"20270102-030405-006-8-17.log");
  EXPECT_EQ(RunLogName({2026, 1, 1, 0, 0, 0, 0}, 4294967295u, 4294967295u),
            u"20260101-000000-000-4294967295-4294967295.log");
  // Values out of range cannot widen a field and so spoil the order.
  EXPECT_EQ(RunLogName({12345, 123, 1, 1, 1, 1, 1000}, 1, 1), u"99999901-010101-999-1-1.log");

  // Every name made is one the tidying recognises, and names of times in order sort in that order as text.
  std::mt19937 random(7);
  auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
  auto fields = [](const LocalTime& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
  };
  LocalTime before{};
  std::u16string beforeName = RunLogName(before, 1, 1);
  for (unsigned i = 0; i < 2000; ++i) {
    // Times a few fields apart, so that runs of one day or one second come up too.
    LocalTime t = before;
    switch (below(4)) {
      case 0:
        t = {2000 + below(100), 1 + below(12), 1 + below(31), below(24), below(60), below(60), below(1000)};
        break;
      case 1:
        t.millisecond = below(1000);
        break;
      case 2:
        t.second = below(60);
        break;
      default:
        t.hour = below(24);
        t.minute = below(60);
    }
    const std::u16string name = RunLogName(t, static_cast<std::uint32_t>(random()), 1 + below(50));
    ASSERT_TRUE(IsRunLogName(name)) << std::string(name.begin(), name.end());
    if (fields(t) != fields(before)) {
      EXPECT_EQ(fields(before) < fields(t), beforeName < name) << std::string(name.begin(), name.end());
    }
    before = t;
    beforeName = name;
  }
  LocalTime earlier{2026, 9, 30, 23, 59, 59, 999}, later{2026, 10, 1, 0, 0, 0, 0};
  EXPECT_LT(RunLogName(earlier, 99999, 9), RunLogName(later, 1, 1));
}

TEST(RunLogFolder, OnlyNamesOfTheRunLogFormCount) {
  for (const char16_t* name :
       {u"20261211-120301-123-4242-1.log", u"20261211-120301-123-4242-1.LOG", u"20261211-120301-123-1-1234567890.Log"})
    EXPECT_TRUE(IsRunLogName(name));
  for (const char16_t* name :
       {u"", u"notes.txt", u"20261211-120301-123-4242-1.log.txt", u"20261211-120301-123-4242-1.lo",
        u"20261211-120301-123-4242-1", u"20261211-120301-123-4242-.log", u"20261211-120301-123--1.log",
        u"2026121-120301-123-4242-1.log", u"20261211-12030-123-4242-1.log", u"20261211-120301-12-4242-1.log",
        u"20261211-120301-123-4242-1-2.log", u"20261211-120301-123-12345678901-1.log",
        u"x20261211-120301-123-4242-1.log", u"20261211 120301-123-4242-1.log", u"20261211-120301-123-4242-1_log",
        u"20261211-120301-123-4242-1.lig", u"20261211-120301-123-4242-1.l\u00F6g"})
    EXPECT_FALSE(IsRunLogName(name)) << std::string(name, name + std::char_traits<char16_t>::length(name));
}

TEST(RunLogFolder, TidyingKeepsTheNewestTwentyAndLeavesEverythingElseAlone) {
  // 30 logs over three days, given in a shuffled order, among files of other forms.
  std::vector<std::u16string> logs;
  for (unsigned i = 0; i < 30; ++i) logs.push_back(RunLogName({2026, 12, 9 + i / 10, 10, i, 0, 0}, 100 + i, 1));
  std::vector<std::u16string> folder = logs;
  for (const char16_t* other : {u"readme.txt", u"00000000-000000-000-1-1.log.old", u"0.log", u"desktop.ini"})
    folder.push_back(other);
  std::shuffle(folder.begin(), folder.end(), std::mt19937(3));

  EXPECT_EQ(Doomed(folder), Set({logs.begin(), logs.begin() + 10}));

  // At or below the limit nothing goes; the limit can be chosen.
  EXPECT_TRUE(RunLogsToDelete(std::vector<std::u16string>(logs.begin(), logs.begin() + 20)).empty());
  EXPECT_EQ(Doomed(folder, 28), Set({logs.begin(), logs.begin() + 2}));
  EXPECT_EQ(RunLogsToDelete(folder, 0).size(), 30u);

  // Within one millisecond the count orders the runs, as a number: run 10 is newer than run 9 although it
  // sorts before it as text. The process id does not count for age.
  std::vector<std::u16string> same;
  for (unsigned run = 1; run <= 12; ++run) same.push_back(RunLogName({2026, 12, 11, 9, 0, 0, 5}, 9999 - run, run));
  same.push_back(RunLogName({2026, 12, 11, 9, 0, 0, 4}, 1, 99));  // a millisecond earlier: oldest of all
  EXPECT_EQ(Doomed(same, 10), Set({same[12], same[0], same[1]}));
  // Two names of one age (".log" and ".LOG"): one of them goes, not both nor neither.
  const std::u16string lower = RunLogName({2026, 12, 11, 9, 0, 0, 5}, 1, 1);
  std::u16string upper = lower;
  upper.replace(upper.size() - 3, 3, u"LOG");
  EXPECT_EQ(RunLogsToDelete(std::vector<std::u16string>{lower, upper}, 1).size(), 1u);
}

}  // namespace
}  // namespace vantrel::runs
