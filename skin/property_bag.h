// The property bag in which a host keeps the persisted properties of a hosted control: named values of four
// kinds (boolean, whole number, text, font). The title-bar control's hooks read "Caption" and "Font" from it and
// write "Enabled", "Caption" and "Font" to it, each against its default. Names match without regard to case
// (ASCII letters); a value written equal to its default is not stored and a missing entry reads as its default.
// The bag keeps its entries in the order they were first written. It lives in memory only: the program reads
// the main window's stored record (MainWindowStoredRecord) and never saves one.
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

  // The stored text or font, or defaultValue when there is none; nothing when the stored value is of another
  // kind (a "Font" entry that holds text).
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

 private:
  std::vector<Entry> entries_;
};

// Names compare equal ignoring the case of ASCII letters.
bool SameName(std::u16string_view a, std::u16string_view b);

}  // namespace vantrel::skin
