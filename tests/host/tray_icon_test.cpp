#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::tray {
namespace {

// Checks the whole tip field: the expected text, the NUL right after it, spaces to the end.
void ExpectTip(const std::array<char, 64>& field, const std::string& text) {
  ASSERT_LE(text.size(), 63u);
  EXPECT_EQ(std::string(field.data(), text.size()), text);
  EXPECT_EQ(field[text.size()], '\0');
  for (std::size_t i = text.size() + 1; i < field.size(); ++i)
    EXPECT_EQ(field[i], ' ') << "at byte " << i;
}

std::string Letters(std::size_t n) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

std::vector<std::string> Singles(const std::string& text) {
  std::vector<std::string> out;
  for (char c : text) out.emplace_back(1, c);
  return out;
}

// The six 32-bit fields in order: cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon.
void ExpectFields(const TrayIconData& data, const std::array<std::uint32_t, 6>& fields) {
  const std::array<std::uint32_t, 6> actual{data.cbSize, data.hWnd, data.uID, data.uFlags, data.uCallbackMessage,
                                            data.hIcon};
  for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(actual[i], fields[i]) << "field " << i;
}

TEST(TrayRecord, AddTipAndDeleteOnOneSharedRecord) {
  constexpr std::uint32_t kWnd = 0x00010234, kIcon = 0xA1B2C3D4;
  TrayIconData data;

  PrepareAdd(data, kWnd, kIcon);
  ExpectFields(data, {88, kWnd, 0, 3, 2025, kIcon});

  // The tip change and the delete keep everything the add stored.
  PrepareTip(data, TipField(Singles("Vantrel.")));
  ExpectFields(data, {88, kWnd, 0, 4, 2025, kIcon});
  ExpectTip(data.szTip, "Vantrel.");

  PrepareDelete(data);
  ExpectFields(data, {88, kWnd, 0, 0, 2025, kIcon});
  ExpectTip(data.szTip, "Vantrel.");
}

TEST(TrayTip, SingleByteTextIsCutToKeepTheNul) {
  struct Case {
    std::size_t length, kept;
  };
  for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{8, 8}, Case{62, 62}, Case{63, 63},
                        Case{64, 63}, Case{100, 63}}) {
    SCOPED_TRACE(c.length);
    const std::string text = Letters(c.length);
    ExpectTip(TipField(Singles(text)), text.substr(0, c.kept));
  }
}

TEST(TrayTip, DoubleByteCharactersAreNeverSplit) {
  const std::string wide = "\xC4\xE3";  // one character, two bytes in the code page
  struct Case {
    const char* name;
    std::vector<std::string> characters;
    std::string expected;
  };
  auto with = [](std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more);
    return v;
  };
  const Case cases[] = {
      {"straddles bytes 62 and 63", with(Singles(Letters(62)), {wide}), Letters(62)},
      {"ends exactly at byte 62", with(Singles(Letters(61)), {wide}), Letters(61) + wide},
      {"cut stops at the first misfit", with(Singles(Letters(62)), {wide, "x"}), Letters(62)},
      {"all double-byte", std::vector<std::string>(40, wide),
       [&] {
         std::string s;
         for (int i = 0; i < 31; ++i) s += wide;
         return s;
       }()},
      {"empty text", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectTip(TipField(c.characters), c.expected);
  }
}

TEST(TrayDispatch, OnlyButtonReleasesAndBalloonClicksOfTheCallbackAreHandled) {
  EXPECT_EQ(DecideTrayMessage(2025, 514), TrayAction::RestoreAndFocus);
  EXPECT_EQ(DecideTrayMessage(2025, 517), TrayAction::Popup);
  // NIN_BALLOONUSERCLICK as a first-version icon gets it: the whole lParam. The balloon's other events (shown,
  // hidden, timed out) and a version-4 form with the icon id in the high word are not ours.
  EXPECT_EQ(DecideTrayMessage(2025, 0x405), TrayAction::OpenRuns);
  EXPECT_EQ(DecideTrayMessage(2026, 0x405), TrayAction::PassOn);
  for (std::intptr_t lParam : {512, 513, 515, 516, 518, 519, 0, -1, 514 + 0x10000, 0x402, 0x403, 0x404, 0x405 + 0x10000}) {
    EXPECT_EQ(DecideTrayMessage(2025, lParam), TrayAction::PassOn) << "lParam " << lParam;
  }
  for (std::uint32_t uMsg : {0u, 514u, 517u, 0x0400u, 2024u, 2026u, 2025u + 0x10000u}) {
    EXPECT_EQ(DecideTrayMessage(uMsg, 514), TrayAction::PassOn) << "uMsg " << uMsg;
    EXPECT_EQ(DecideTrayMessage(uMsg, 517), TrayAction::PassOn) << "uMsg " << uMsg;
  }
}

TEST(TrayTip, UnicodeFieldsAreCutWhole) {
  EXPECT_EQ(FitField(u"abc", 4), u"abc");
  EXPECT_EQ(FitField(u"abcd", 4), u"abc");
  EXPECT_EQ(FitField(u"ab\U0001F600", 4), u"ab") << "a surrogate pair is kept whole or dropped whole";
  EXPECT_EQ(FitField(u"a\U0001F600b", 4), u"a\U0001F600");
  EXPECT_EQ(FitField(u"abc", 0), u"");
}

TEST(TrayMenu, ItemsInOrderAndTheHandlersTheyRun) {
  struct Expected {
    std::string_view name, caption;
    bool separator;
    MenuHandler handler;
  };
  const Expected expected[] = {
      {"up_Show", "30101", false, MenuHandler::up_Show_Click},
      {"up_Copy", "30103", false, MenuHandler::up_Copy_Click},
      {"up_Runs", "30104", false, MenuHandler::up_Runs_Click},
      {"up_line1", "-", true, MenuHandler::None},
      {"up_Exit", "30102", false, MenuHandler::up_Exit_Click},
  };
  ASSERT_EQ(kPopupMenuItems.size(), std::size(expected));
  for (std::size_t i = 0; i < kPopupMenuItems.size(); ++i) {
    const MenuItem& item = kPopupMenuItems[i];
    SCOPED_TRACE(item.name);
    EXPECT_EQ(item.name, expected[i].name);
    EXPECT_EQ(item.designCaption, expected[i].caption);
    EXPECT_EQ(item.separator, expected[i].separator);
    EXPECT_EQ(HandlerForCommand(item.commandId), expected[i].handler);
    if (!item.separator) {
      // The design caption is the string identifier the caption loader replaces.
      EXPECT_EQ(std::to_string(item.captionStringId), item.designCaption);
    }
  }
  EXPECT_EQ(kPopupMenuItems[0].commandId, 30101u);
  EXPECT_EQ(kPopupMenuItems[1].commandId, 30103u);
  EXPECT_EQ(kPopupMenuItems[2].commandId, 30104u);
  EXPECT_EQ(kPopupMenuItems[4].commandId, 30102u);
  for (std::uint32_t id : {0u, 1u, 30100u, 30105u, 0xFFFFFFFFu}) {
    EXPECT_EQ(HandlerForCommand(id), MenuHandler::None) << "command " << id;
  }
}

}  // namespace
}  // namespace vantrel::tray
