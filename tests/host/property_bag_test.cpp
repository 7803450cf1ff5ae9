#include "skin/property_bag.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "skin/mac_window.h"

namespace vantrel::skin {
namespace {

// True when the bag holds `expected` under `name`.
bool Holds(const PropertyBag& bag, std::u16string_view name, const PropertyValue& expected) {
  const PropertyValue* stored = bag.Find(name);
  return stored && SameValue(*stored, expected);
}

TEST(PropertyBag, MainWindowRecordReadsAsStored) {
  const PropertyBag record = MainWindowStoredRecord();
  ASSERT_EQ(record.Entries().size(), 4u);
  const char16_t* names[] = {u"_ExtentX", u"_ExtentY", u"Caption", u"Font"};
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(record.Entries()[i].name, names[i]) << i;
  EXPECT_TRUE(Holds(record, u"_extentx", std::int32_t{10478}));
  EXPECT_TRUE(Holds(record, u"_EXTENTY", std::int32_t{476}));
  EXPECT_EQ(record.ReadText(u"caption", u""), u"10101");
  EXPECT_EQ(**record.ReadFont(u"FONT", nullptr), (FontDesc{u"宋体", 9, 400, 134}));
  EXPECT_FALSE(record.Find(u"Enabled"));
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
  EXPECT_TRUE(Holds(bag, u"enabled", false));
  EXPECT_EQ(bag.ReadText(u"Visible", u"x"), u"x");  // missing: the default
  // Stored, but of another kind: refused.
  EXPECT_EQ(bag.ReadFont(u"caption", nullptr), std::nullopt);
  EXPECT_EQ(bag.ReadText(u"ENABLED", u""), std::nullopt);
}

}  // namespace
}  // namespace vantrel::skin
