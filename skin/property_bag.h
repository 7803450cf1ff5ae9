// The property bag in which a host keeps the persisted properties of a hosted control: named
// values of four kinds (boolean, whole number, text, font). Names match without regard to case
// (ASCII letters); a value written equal to its default is not stored and a missing entry reads as
// its default. The bag keeps its entries in the order they were first written and has a simple
// line-oriented UTF-8 text form that round-trips every value:
//
//   Enabled = false
//   Caption = "10101"
//   Font = font("宋体", 9, 400, 134)
//   "odd key" = font("Arial", 10.5, 700, 0, italic, underline, strikethrough)
//   Other = nothing
//   _extentx = 10478
//
// Keys are bare when they consist of ASCII letters, digits and underscores, otherwise quoted.
// Quoted text escapes \" \\ \n \r \t and writes other control characters and unpaired surrogate
// halves as \uXXXX (one UTF-16 code unit); everything else is plain UTF-8. "nothing" is an empty
// font reference.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "skin/font_desc.h"

namespace vantrel::skin {

using PropertyValue = std::variant<bool, std::int32_t, std::u16string, FontRef>;

// Values are equal when they are of the same kind and equal; fonts compare by description.
bool SameValue(const PropertyValue& a, const PropertyValue& b);

class PropertyBag {
 public:
  struct Entry {
    std::u16string name;  // as first written
    PropertyValue value;
  };

  // The stored value, or defaultValue when there is none.
  PropertyValue ReadProperty(std::u16string_view name, PropertyValue defaultValue) const;
  // The same, for a value of one kind; nothing when the stored value is of another kind (a "Font" entry
  // that holds text).
  std::optional<bool> ReadBool(std::u16string_view name, bool defaultValue) const;
  std::optional<std::int32_t> ReadNumber(std::u16string_view name, std::int32_t defaultValue) const;
  std::optional<std::u16string> ReadText(std::u16string_view name, std::u16string defaultValue) const;
  std::optional<FontRef> ReadFont(std::u16string_view name, FontRef defaultValue) const;

  // Stores value under name. With a default: a value equal to it is not stored, and an entry
  // already under that name is removed, so that reading gives back what was written last.
  // A rewritten entry keeps its place and the spelling of its name.
  void WriteProperty(std::u16string_view name, PropertyValue value);
  void WriteProperty(std::u16string_view name, PropertyValue value,
                     const PropertyValue& defaultValue);

  // The stored value or nullptr.
  const PropertyValue* Find(std::u16string_view name) const;
  const std::vector<Entry>& Entries() const { return entries_; }

  std::string Serialize() const;                  // UTF-8, one entry a line
  // The bag the text form describes, or nothing when the text is not a bag; then *error (when given)
  // names the first faulty line and what is wrong with it.
  static std::optional<PropertyBag> Parse(std::string_view text, std::string* error = nullptr);

 private:
  std::vector<Entry> entries_;
};

// Names compare equal ignoring the case of ASCII letters.
bool SameName(std::u16string_view a, std::u16string_view b);

}  // namespace vantrel::skin
