// The reader of a run's log (runs/): DISM's, imagex's and wimlib's output in each encoding the tools write,
// fed in pieces split anywhere, and the bounds it keeps to whatever the tool writes.
#include "runs/tool_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::runs {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Raw(std::string_view text) {
  return Bytes(text.begin(), text.end());
}  // UTF-8 source text as it is

// A few characters of code page 936 (GBK), enough for DISM's Chinese lines.
struct GbkChar {
  char16_t c;
  std::uint8_t lead, trail;
};
constexpr GbkChar kGbk[] = {
    {u'正', 0xD5, 0xFD}, {u'在', 0xD4, 0xDA}, {u'装', 0xD7, 0xB0}, {u'载', 0xD4, 0xD8}, {u'映', 0xD3, 0xB3},
    {u'像', 0xCF, 0xF1}, {u'错', 0xB4, 0xED}, {u'误', 0xCE, 0xF3}, {u'可', 0xBF, 0xC9}, {u'以', 0xD2, 0xD4},
    {u'上', 0xC9, 0xCF}, {u'找', 0xD5, 0xD2}, {u'到', 0xB5, 0xBD}, {u'日', 0xC8, 0xD5}, {u'志', 0xD6, 0xBE},
    {u'文', 0xCE, 0xC4}, {u'件', 0xBC, 0xFE}, {u'指', 0xD6, 0xB8}, {u'定', 0xB6, 0xA8}, {u'的', 0xB5, 0xC4},
    {u'已', 0xD2, 0xD1}, {u'经', 0xBE, 0xAD}, {u'部', 0xB2, 0xBF}, {u'署', 0xCA, 0xF0}, {u'服', 0xB7, 0xFE},
    {u'务', 0xCE, 0xF1}, {u'和', 0xBA, 0xCD}, {u'管', 0xB9, 0xDC}, {u'理', 0xC0, 0xED}, {u'工', 0xB9, 0xA4},
    {u'具', 0xBE, 0xDF}, {u'版', 0xB0, 0xE6}, {u'本', 0xB1, 0xBE}, {u'操', 0xB2, 0xD9}, {u'作', 0xD7, 0xF7},
    {u'成', 0xB3, 0xC9}, {u'功', 0xB9, 0xA6}, {u'完', 0xCD, 0xEA}, {u'。', 0xA1, 0xA3},
};

CodePage Gbk() {
  CodePage page;
  page.isLeadByte = [](std::uint8_t b) { return b >= 0x81 && b <= 0xFE; };
  page.decode = [](std::span<const std::uint8_t> bytes) {
    std::u16string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] < 0x80) {
        text += char16_t{bytes[i]};
        continue;
      }
      char16_t c = u'\uFFFD';
      if (i + 1 < bytes.size()) {
        for (const GbkChar& g : kGbk)
          if (g.lead == bytes[i] && g.trail == bytes[i + 1]) c = g.c;
        ++i;
      }
      text += c;
    }
    return text;
  };
  return page;
}

Bytes ToGbk(std::u16string_view text) {
  Bytes out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<std::uint8_t>(c));
      continue;
    }
    bool found = false;
    for (const GbkChar& g : kGbk)
      if (g.c == c) out.insert(out.end(), {g.lead, g.trail}), found = true;
    if (!found) ADD_FAILURE() << "no GBK bytes in the test's table for U+" << std::hex << int(c);
  }
  return out;
}

Bytes ToUtf16(std::u16string_view text) {
  Bytes out = {0xFF, 0xFE};
  for (char16_t c : text) out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  return out;
}

void Feed(ToolLog& log, const Bytes& bytes) {
  log.Feed(bytes);
}

struct Seen {
  std::optional<int> percent;
  std::u16string phase, errorLine, errorText, text;
  bool operator==(const Seen&) const = default;
};
Seen Look(const ToolLog& log) {
  return {log.percentTenths(), log.phase(), log.errorLine(), log.errorText(), log.text()};
}

// The same bytes fed whole, and split in two at every position: the reader must see the same.
void ExpectSameAtEverySplit(const Bytes& bytes, const CodePage& page) {
  ToolLog whole(page);
  whole.Feed(bytes);
  whole.Finish();
  const Seen expected = Look(whole);
  for (std::size_t at = 0; at <= bytes.size(); ++at) {
    ToolLog split(page);
    split.Feed(std::span(bytes).first(at));
    split.Feed(std::span(bytes).subspan(at));
    split.Finish();
    ASSERT_EQ(Look(split), expected) << "split at byte " << at;
  }
  ToolLog byByte(page);
  for (std::uint8_t b : bytes) byByte.Feed(std::span(&b, 1));
  byByte.Finish();
  EXPECT_EQ(Look(byByte), expected);
}

constexpr std::string_view kDismBanner =
    "\r\nDeployment Image Servicing and Management tool\r\nVersion: 10.0.19041.844\r\n\r\n";
constexpr std::u16string_view kDismChinese =
    u"\r\n部署映像服务和管理工具\r\n版本: 10.0.19041.844\r\n\r\n正在装载映像\r\n"
    u"\r[==========                 25.0%                          ]"
    u"\r[==========================100.0%==========================]\r\n操作成功完成。\r\n";

TEST(ToolLogProgress, DismBarsWithEachLineBreak) {
  for (std::string_view br : {"\r", "\r\n", "\n"}) {
    SCOPED_TRACE(testing::Message() << "line break of " << br.size() << " characters");
    ToolLog log;
    Feed(log, Raw(std::string(kDismBanner) + "Mounting image\r\n"));
    EXPECT_FALSE(log.percentTenths());
    EXPECT_EQ(log.phase(), u"Mounting image");
    // A bar still being drawn counts already.
    Feed(log, Raw("[==========                 25.0%                          ]"));
    EXPECT_EQ(log.percentTenths(), 250);
    Feed(log, Raw(std::string(br) + "[==========================100.0%==========================]" + std::string(br) +
                  "The operation completed successfully.\r\n"));
    EXPECT_EQ(log.percentTenths(), 1000);
    EXPECT_EQ(log.phase(), u"Mounting image");
    EXPECT_EQ(log.errorText(), u"");
    // A line ended by CR alone is drawn over by the next one, as a console shows it.
    const std::u16string& text = log.text();
    if (br == "\r")
      EXPECT_TRUE(text.ends_with(u"\n\nMounting image\nThe operation completed successfully.\n")) << text.size();
    else
      EXPECT_TRUE(
          text.ends_with(u"\n\nMounting image\n[==========                 25.0%                          ]\n"
                         u"[==========================100.0%==========================]\n"
                         u"The operation completed successfully.\n"));
  }
}

TEST(ToolLogProgress, DismOutputSplitAtEveryByte) {
  std::string utf8;
  for (char16_t c : kDismChinese) {  // to UTF-8 (the sample has no surrogates)
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      utf8 += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
               static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  for (const Bytes& bytes : {Raw(utf8), ToGbk(kDismChinese), ToUtf16(kDismChinese)}) {
    ToolLog log(Gbk());
    log.Feed(bytes);
    EXPECT_EQ(log.percentTenths(), 1000);
    EXPECT_EQ(log.phase(), u"正在装载映像");
    EXPECT_EQ(log.text(),
              u"\n部署映像服务和管理工具\n版本: 10.0.19041.844\n\n正在装载映像\n"
              u"[==========================100.0%==========================]\n操作成功完成。\n");
    ExpectSameAtEverySplit(bytes, Gbk());
  }
}

TEST(ToolLogProgress, ImagexAndWimlibPercentages) {
  ToolLog imagex;
  Feed(imagex, Raw("ImageX Tool for Windows\r\nCopyright (C) Microsoft Corp. All rights reserved.\r\n"
                   "Version: 6.1.7600.16385\r\n\r\n[   5% ] Mounting progress\r"));
  EXPECT_EQ(imagex.percentTenths(), 50);
  EXPECT_EQ(imagex.phase(), u"");  // the banner is no step
  Feed(imagex, Raw("[  45% ] Mounting progress"));
  EXPECT_EQ(imagex.percentTenths(), 450);

  ToolLog wimlib;
  Feed(wimlib, Raw("Scanning \"C:\\src\"\n12 MiB scanned (3 files, 1 directories)\n"
                   "Archiving file data: 12 MiB of 100 MiB (12%) done\r"
                   "Archiving file data: 100 MiB of 100 MiB (100%) done\n"));
  EXPECT_EQ(wimlib.percentTenths(), 1000);
  EXPECT_EQ(wimlib.phase(), u"12 MiB scanned (3 files, 1 directories)");

  // Figures with a percent sign that are no progress, and one of many decimals.
  const std::pair<std::string_view, std::optional<int>> cases[] = {
      {"Free space: 45% of the disk\n", std::nullopt},
      {"[ 101% ]\n", std::nullopt},
      {"(45 %)\n", std::nullopt},
      {"(45%\n)\n", std::nullopt},
      {"(45% of it)\n", std::nullopt},
      {"[ERROR] 40% done\n", std::nullopt},
      {"[ 12.57% ]\n", 125},
      {"[ 1000% ]\n", std::nullopt},
      {"[ 7. % ]\n", std::nullopt},
  };
  for (const auto& [line, expected] : cases) {
    ToolLog log;
    Feed(log, Raw(line));
    EXPECT_EQ(log.percentTenths(), expected) << line;
  }
}

TEST(ToolLogPhase, TheStepBeforeTheLatestPercentage) {
  ToolLog log;
  Feed(log, Raw(std::string(kDismBanner) + "Mounting image\r\n[== 10.0% ==]\r\n"));
  EXPECT_EQ(log.phase(), u"Mounting image");
  Feed(log, Raw("Saving image\r\n"));  // no percentage of its own yet
  EXPECT_EQ(log.phase(), u"Mounting image");
  Feed(log, Raw("\r\n   \r\n[== 20.0% ==]\r"));
  EXPECT_EQ(log.phase(), u"Saving image");
  Feed(log, Raw("[== 30.0% ==]\r\nThe operation completed successfully.\r\n"));
  EXPECT_EQ(log.phase(), u"Saving image");
  EXPECT_EQ(log.percentTenths(), 300);
}

TEST(ToolLogError, DismParagraphInEnglish) {
  ToolLog log;
  Feed(log, Raw(std::string(kDismBanner) +
                "Error: 0xc1420127\r\n\r\nThe specified image in the specified wim is already mounted for "
                "read/write access.\r\n\r\n\r\nSecond paragraph.\r\n\r\nThe DISM log file can be found at "
                "C:\\Windows\\Logs\\DISM\\dism.log\r\n\r\nWhat comes after it is no part of the error.\r\n"));
  EXPECT_EQ(log.errorLine(), u"Error: 0xc1420127");
  EXPECT_EQ(log.errorText(),
            u"The specified image in the specified wim is already mounted for read/write access.\n\n"
            u"Second paragraph.");
  // A code in decimals, and a last line without its line break.
  ToolLog decimal;
  Feed(decimal, Raw("Error: 87\r\n\r\nThe mount-image option is unknown.\r\n\r\nFor more information, refer "
                    "to the help.\r\n\r\nThe DISM log file can be found at C:\\Windows\\Logs\\DISM\\dism.log"));
  EXPECT_EQ(decimal.errorLine(), u"Error: 87");
  decimal.Finish();
  EXPECT_EQ(decimal.errorText(), u"The mount-image option is unknown.\n\nFor more information, refer to the help.");
  // Lines that look a little like DISM's error line.
  for (std::string_view text : {"Error: none\n", "Errors: 0x5\n", "No Error: 5\n", "Error: 0x\n"}) {
    ToolLog other;
    Feed(other, Raw(text));
    EXPECT_EQ(other.errorLine(), u"") << text;
  }
}

TEST(ToolLogError, DismParagraphInChineseGbk) {
  ToolLog log(Gbk());
  Feed(log, ToGbk(u"\r\n部署映像服务和管理工具\r\n版本: 10.0.19041.844\r\n\r\n错误: 0xc1420127\r\n\r\n"
                  u"指定的映像已经装载。\r\n\r\n可以在 C:\\Windows\\Logs\\DISM\\dism.log 上找到 DISM 日志文件\r\n"
                  u"\r\n"));
  EXPECT_EQ(log.encoding(), LogEncoding::Oem);
  EXPECT_EQ(log.errorLine(), u"错误: 0xc1420127");
  EXPECT_EQ(log.errorText(), u"指定的映像已经装载。");
}

TEST(ToolLogError, ImagexAndWimlibErrors) {
  ToolLog imagex;
  Feed(imagex, Raw("ImageX Tool for Windows\r\n\r\nMounting: [C:\\x.wim, 1] -> [C:\\mnt]...\r\n\r\n"
                   "Error mounting image.\r\n\r\nThe system cannot find the file specified.\r\n\r\n"));
  EXPECT_EQ(imagex.errorLine(), u"Error mounting image.");
  EXPECT_EQ(imagex.errorText(), u"The system cannot find the file specified.");

  ToolLog wimlib;
  Feed(wimlib, Raw("[ERROR] \"x.wim\": No such file or directory\n[ERROR] Exiting with error code 47:\n"
                   "        Failed to open a file.\n"));
  EXPECT_EQ(wimlib.errorLine(), u"[ERROR] \"x.wim\": No such file or directory");
  EXPECT_EQ(wimlib.errorText(),
            u"\"x.wim\": No such file or directory\nExiting with error code 47:\nFailed to open a file.");
}

TEST(ToolLogDecoding, Utf16WithByteOrderMark) {
  const std::u16string text = u"正在装载映像\r\n[== 42.0% ==]\r\nemoji \U0001F600 done\r\n";
  const Bytes bytes = ToUtf16(text);
  ToolLog log;
  log.Feed(std::span(bytes).first(7));  // inside a code unit
  log.Feed(std::span(bytes).subspan(7));
  EXPECT_EQ(log.encoding(), LogEncoding::Utf16);
  EXPECT_EQ(log.text(), u"正在装载映像\n[== 42.0% ==]\nemoji \U0001F600 done\n");
  EXPECT_EQ(log.percentTenths(), 420);
  ExpectSameAtEverySplit(bytes, Cp437());
  // Surrogates without their other half, and a last odd byte.
  ToolLog broken;
  Feed(broken, {0xFF, 0xFE, 0x3D, 0xD8, 'a', 0, 0x00, 0xDE, 'b', 0, 'c'});
  broken.Finish();
  EXPECT_EQ(broken.text(), u"\uFFFDa\uFFFDb\uFFFD");
}

TEST(ToolLogDecoding, InvalidUtf8TurnsToTheOemCodePage) {
  // 映 (D3 B3) passes as UTF-8 (U+04F3); 像 (CF F1) does not: the line is read again as GBK.
  ToolLog log(Gbk());
  Feed(log, Raw("Caf\xC3\xA9\r\n"));
  Feed(log, ToGbk(u"映"));
  EXPECT_EQ(log.encoding(), LogEncoding::Utf8);
  EXPECT_EQ(log.text(), u"Café\n\u04F3");
  TextChange shown = log.TakeNew();
  Feed(log, ToGbk(u"像 [ 5% ]\r\n正在装载映像\r\n"));
  EXPECT_EQ(log.encoding(), LogEncoding::Oem);
  // What was read before stays as it was read.
  EXPECT_EQ(log.text(), u"Café\n映像 [ 5% ]\n正在装载映像\n");
  EXPECT_EQ(log.percentTenths(), 50);
  shown = log.TakeNew();
  EXPECT_EQ(shown.erase, 1u);
  EXPECT_EQ(shown.text, u"映像 [ 5% ]\n正在装载映像\n");

  // Without a table: code page 437.
  ToolLog english;
  Feed(english, Raw("Caf\x82 \xC4\xC4 \xB0\r\n"));
  EXPECT_EQ(english.text(), u"Café ── ░\n");
}

TEST(ToolLogDecoding, ReplacementCharacters) {
  ToolLog log(Gbk());
  // A GBK lead byte before a line break (the break stays one), a pair the code page does not have, a NUL.
  Feed(log, {0x81, '\n', 'a', 0x81, 0x40, 'b', 0, 'c', '\n', 0xD5});
  log.Finish();
  EXPECT_EQ(log.text(), u"\uFFFD\na\uFFFDb\uFFFDc\n\uFFFD");
  // A UTF-8 character cut by the end of the log; a UTF-8 byte-order mark is no text.
  ToolLog cut;
  Feed(cut, {0xEF, 0xBB, 0xBF, 'o', 'k', '\n', 0xE6, 0xAD});
  cut.Finish();
  EXPECT_EQ(cut.encoding(), LogEncoding::Utf8);
  EXPECT_EQ(cut.text(), u"ok\n\uFFFD");
}

TEST(ToolLogBounds, MegabytesWithoutALineBreak) {
  ToolLog log;
  std::string piece;
  while (piece.size() < 64 * 1024) piece += "[ 50% ]";
  const Bytes bytes = Raw(piece);
  for (std::size_t fed = 0; fed < 10u << 20; fed += bytes.size()) log.Feed(bytes);
  EXPECT_EQ(log.percentTenths(), 500);
  EXPECT_EQ(log.text().size(), kLineUnits + 1);
  EXPECT_TRUE(log.text().ends_with(u"…"));
  EXPECT_LT(log.footprint(), 4 * kLineUnits * 2);
  Feed(log, Raw("\nMounting image\n"));
  EXPECT_TRUE(log.text().ends_with(u"…\nMounting image\n"));

  // Binary noise.
  ToolLog noise(Gbk());
  std::mt19937 random(7);
  Bytes chunk(4096);
  for (int i = 0; i < 1024; ++i) {
    for (std::uint8_t& b : chunk) b = static_cast<std::uint8_t>(random());
    noise.Feed(chunk);
  }
  EXPECT_LE(noise.text().size(), kKeptUnits);
  EXPECT_LT(noise.footprint(), kKeptUnits * 2 + 8 * kLineUnits * 2);
}

TEST(ToolLogBounds, KeepsTheLastMegabyteOfLines) {
  ToolLog log;
  std::string lines;
  int n = 0;
  while (lines.size() < (2u << 20) + 12345) lines += "line " + std::to_string(++n) + " of the tool's output\r\n";
  const Bytes bytes = Raw(lines);
  std::size_t fed = 0;
  for (std::size_t size = 1; fed < bytes.size(); size = size * 3 % 65521 + 1) {  // pieces of varied sizes
    const std::size_t take = std::min(size, bytes.size() - fed);
    log.Feed(std::span(bytes).subspan(fed, take));
    fed += take;
  }
  const std::u16string& text = log.text();
  EXPECT_LE(text.size() * 2, 1u << 20);
  EXPECT_GT(text.size() * 2, 1u << 19);
  EXPECT_TRUE(text.starts_with(u"line ")) << "dropped at a line's start";
  const std::string last = "line " + std::to_string(n) + " of the tool's output\n";
  EXPECT_TRUE(text.ends_with(std::u16string(last.begin(), last.end())));
  EXPECT_LE(log.footprint(), (1u << 20) + 64 * 1024);
}

// What a run window shows, kept up to date by TakeNew alone.
TEST(ToolLogText, ChangesRebuildTheText) {
  ToolLog log;
  std::u16string shown;
  auto apply = [&] {
    const TextChange change = log.TakeNew();
    if (change.restart) shown.clear();
    ASSERT_LE(change.erase, shown.size());
    shown.erase(shown.size() - change.erase);
    shown += change.text;
  };
  Feed(log, Raw("Mounting image\r\n[=  5.0%  ]"));
  apply();
  EXPECT_EQ(shown, u"Mounting image\n[=  5.0%  ]");
  Feed(log, Raw("\r"));
  apply();
  Feed(log, Raw("[== 9"));
  const TextChange change = log.TakeNew();
  EXPECT_EQ(change.erase, 11u);
  EXPECT_EQ(change.text, u"[== 9");
  shown.erase(shown.size() - change.erase);
  shown += change.text;
  Feed(log, Raw(".0% ==]\r\n"));
  apply();
  EXPECT_EQ(shown, log.text());
  EXPECT_EQ(log.TakeNew().text, u"");

  // Behind by more than the text kept: the change starts over.
  std::string many;
  while (many.size() < (3u << 20) / 2) many += "a line of output\n";
  Feed(log, Raw(many));
  const TextChange late = log.TakeNew();
  EXPECT_TRUE(late.restart);
  EXPECT_EQ(late.text, log.text());
}

TEST(ToolLogText, ErrorSummaryForABalloon) {
  const std::u16string text = u"The specified image is already mounted.\n\nUse /Get-MountedWimInfo to list them.";
  EXPECT_EQ(ErrorSummary(text, 1, 200), u"The specified image is already mounted.…");
  EXPECT_EQ(ErrorSummary(text, 2, 200),
            u"The specified image is already mounted.\nUse /Get-MountedWimInfo to list them.");
  EXPECT_EQ(ErrorSummary(text, 3, 18), u"The specified ima…");
  EXPECT_EQ(ErrorSummary(text, 3, 15), u"The specified…");  // no blank before the ellipsis
  EXPECT_EQ(ErrorSummary(u"ab", 1, 2), u"ab");
  EXPECT_EQ(ErrorSummary(u"abc", 1, 0), u"");
  // Never half of a surrogate pair.
  EXPECT_EQ(ErrorSummary(u"a\U0001F600bc", 1, 3), u"a…");
  EXPECT_EQ(ErrorSummary(u"a\U0001F600bc", 1, 4), u"a\U0001F600…");
  // Within a balloon's 255 units whatever the tool wrote.
  EXPECT_LE(ErrorSummary(std::u16string(100000, u'x') + u"\ny", 3, 255 - 40).size(), 215u);
}

}  // namespace
}  // namespace vantrel::runs
