#include "skin/property_bag.h"

#include <gtest/gtest.h>

#include <limits>

#include "skin/mac_window.h"

namespace vantrel::skin {
namespace {

FontRef MakeFont(FontDesc desc) { return std::make_shared<const FontDesc>(std::move(desc)); }

TEST(PropertyBag, TextFormRoundTripsEveryKindOfValue) {
  PropertyBag bag;
  bag.WriteProperty(u"Enabled", false);
  bag.WriteProperty(u"min", std::numeric_limits<std::int32_t>::min());
  bag.WriteProperty(u"Caption", std::u16string(u"宋体 \"q\" \\ a\tb\nc\r\x01\x7f end"));
  bag.WriteProperty(u"pair", std::u16string(u"\U0001F600"));
  bag.WriteProperty(u"lone", std::u16string{char16_t(0xD800), u'x', char16_t(0xDC00)});
  bag.WriteProperty(u"empty", std::u16string());
  bag.WriteProperty(u"a key = \"odd\"", MakeFont({u"Arial", 10.25, 700, 0, true, true, true}));
  bag.WriteProperty(u"", FontRef());
  bag.WriteProperty(u"Font", MakeFont({u"宋体", 9, 400, 134}));

  const std::string text = bag.Serialize();
  const PropertyBag back = PropertyBag::Parse(text).value();
  ASSERT_EQ(back.Entries().size(), bag.Entries().size()) << text;
  for (std::size_t i = 0; i < bag.Entries().size(); ++i) {
    EXPECT_EQ(back.Entries()[i].name, bag.Entries()[i].name) << i;
    EXPECT_TRUE(SameValue(back.Entries()[i].value, bag.Entries()[i].value)) << i << "\n" << text;
  }
  EXPECT_EQ(back.Serialize(), text);
}

TEST(PropertyBag, MainWindowRecordReadsAsStored) {
  const std::string text = MainWindowStoredRecord().Serialize();
  EXPECT_EQ(text,
            "_ExtentX = 10478\n_ExtentY = 476\nCaption = \"10101\"\n"
            "Font = font(\"\xE5\xAE\x8B\xE4\xBD\x93\", 9, 400, 134)\n");
  const PropertyBag back = PropertyBag::Parse("\xEF\xBB\xBF\r\n" + text + "\n  \n").value();
  EXPECT_EQ(back.ReadNumber(u"_extentx", 0), 10478);
  EXPECT_EQ(back.ReadNumber(u"_extenty", 0), 476);
  EXPECT_EQ(back.ReadText(u"caption", u""), u"10101");
  EXPECT_EQ(**back.ReadFont(u"FONT", nullptr), (FontDesc{u"宋体", 9, 400, 134}));
  EXPECT_FALSE(back.Find(u"Enabled"));
}

TEST(PropertyBag, ValuesEqualToTheirDefaultAreNotStored) {
  const FontRef font = MakeFont({u"Tahoma", 8, 400, 0});
  PropertyBag bag;
  bag.WriteProperty(u"Enabled", true, true);
  bag.WriteProperty(u"Font", MakeFont(*font), font);  // another object, same font
  bag.WriteProperty(u"Count", std::int32_t{1}, true);  // another kind is another value
  bag.WriteProperty(u"Caption", std::u16string(u"a"), std::u16string(u"b"));
  ASSERT_EQ(bag.Entries().size(), 2u);
  EXPECT_EQ(bag.Entries()[0].name, u"Count");

  // Writing the default later takes back what an earlier write stored.
  bag.WriteProperty(u"CAPTION", std::u16string(u"b"), std::u16string(u"b"));
  EXPECT_EQ(bag.ReadText(u"Caption", u"b"), u"b");
  EXPECT_EQ(bag.Entries().size(), 1u);
}

TEST(PropertyBag, NamesMatchWithoutRegardToCase) {
  PropertyBag bag;
  bag.WriteProperty(u"Caption", std::u16string(u"one"));
  bag.WriteProperty(u"Enabled", false);
  bag.WriteProperty(u"cApTiOn", std::u16string(u"two"));
  ASSERT_EQ(bag.Entries().size(), 2u);
  EXPECT_EQ(bag.Entries()[0].name, u"Caption");  // keeps its first spelling and place
  EXPECT_EQ(bag.ReadText(u"CAPTION", u""), u"two");
  EXPECT_EQ(bag.ReadBool(u"enabled", true), false);
  EXPECT_EQ(bag.ReadBool(u"Visible", true), true);  // missing: the default
  // Stored, but of another kind: refused.
  EXPECT_EQ(bag.ReadFont(u"caption", nullptr), std::nullopt);
  EXPECT_EQ(bag.ReadNumber(u"ENABLED", 0), std::nullopt);
}

TEST(PropertyBag, FontSizesAreStoredToFourDecimals) {
  auto written = [](double points) {
    PropertyBag bag;
    bag.WriteProperty(u"Font", MakeFont({u"a", points, 400, 0}));
    const std::string text = bag.Serialize();
    return text.substr(text.find(", ") + 2, text.find(", 400") - text.find(", ") - 2);
  };
  auto read = [](const std::string& points) {
    std::optional<PropertyBag> bag = PropertyBag::Parse("Font = font(\"a\", " + points + ", 400, 0)");
    return bag ? std::optional<double>((*bag->ReadFont(u"Font", nullptr))->points) : std::nullopt;
  };
  // Sizes a font dialog gives read back as the same double.
  for (double points : {9.0, 0.0, 8.25, 9.75, 10.5, 7.8, 11.0001, 2048.0, -3.5}) {
    EXPECT_EQ(read(written(points)), points) << written(points);
  }
  EXPECT_EQ(written(9), "9");
  EXPECT_EQ(written(10.5), "10.5");
  EXPECT_EQ(written(7.8), "7.8");
  EXPECT_EQ(written(1.0 / 3), "0.3333");
  EXPECT_EQ(written(9.99999), "10");
  EXPECT_EQ(written(-0.00001), "0");
  EXPECT_EQ(written(std::numeric_limits<double>::infinity()), "0");
  EXPECT_EQ(written(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(read("0.1"), 0.1);
  EXPECT_EQ(read("123456789012.345"), 123456789012.345);
  EXPECT_EQ(read("-0.25"), -0.25);
  EXPECT_EQ(read(".5"), 0.5);
  for (const char* bad : {".", "-", "12.", "1.2.3", "1e3", "+1", "0x10", "1234567890123456", "inf", "nan"})
    EXPECT_EQ(read(bad), std::nullopt) << bad;
}

TEST(PropertyBag, ParseRejectsMalformedText) {
  const char* bad[] = {
      "Caption = \"unterminated",
      "= 1",
      "x 1",
      "x = ",
      "x = 99999999999",
      "x = 1 2",
      "x = yes",
      "x = \"\\q\"",
      "x = \"\\u12\"",
      "x = \"\xC0\x80\"",        // overlong UTF-8
      "x = \"\xED\xA0\x80\"",    // a surrogate in UTF-8
      "x = \"\xE5\xAE\"",        // truncated
      "x = font(\"a\", 9, 400)",
      "x = font(\"a\", 9, 400, 134, bold)",
      "x = font(\"a\", 9pt, 400, 134)",
      "a = 1\nA = 2",
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(PropertyBag::Parse(text, &error)) << text;
    EXPECT_TRUE(error.starts_with("property bag line ")) << text << ": " << error;
  }
  // The message names the faulty line and what is wrong with it.
  std::string error;
  EXPECT_FALSE(PropertyBag::Parse("a = 1\n\nb = \"x\"\nc = \"open", &error));
  EXPECT_EQ(error, "property bag line 4: unterminated text");
  EXPECT_FALSE(PropertyBag::Parse("a = 1\nA = 2", &error));
  EXPECT_EQ(error, "property bag line 2: the name appears twice");
}

}  // namespace
}  // namespace vantrel::skin
