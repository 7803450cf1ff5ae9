#include "skin/property_bag.h"

#include <algorithm>

namespace vantrel::skin {

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

template <class T>
std::optional<T> ReadAs(const PropertyBag& bag, std::u16string_view name, T defaultValue) {
  const PropertyValue* stored = bag.Find(name);
  if (!stored) return defaultValue;
  if (const T* value = std::get_if<T>(stored)) return *value;
  return std::nullopt;  // stored, but of another kind
}

}  // namespace

bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
  if (a.index() != b.index()) return false;
  if (const FontRef* fa = std::get_if<FontRef>(&a)) return SameFont(*fa, std::get<FontRef>(b));
  return a == b;
}

const PropertyValue* PropertyBag::Find(std::u16string_view name) const {
  for (const Entry& entry : entries_)
    if (SameName(entry.name, name)) return &entry.value;
  return nullptr;
}

std::optional<std::u16string> PropertyBag::ReadText(std::u16string_view name, std::u16string defaultValue) const {
  return ReadAs(*this, name, std::move(defaultValue));
}

std::optional<FontRef> PropertyBag::ReadFont(std::u16string_view name, FontRef defaultValue) const {
  return ReadAs(*this, name, std::move(defaultValue));
}

void PropertyBag::WriteProperty(std::u16string_view name, PropertyValue value) {
  for (Entry& entry : entries_) {
    if (SameName(entry.name, name)) {
      entry.value = std::move(value);
      return;
    }
  }
  entries_.push_back(Entry{std::u16string(name), std::move(value)});
}

void PropertyBag::WriteProperty(std::u16string_view name, PropertyValue value,
                                const PropertyValue& defaultValue) {
  if (!SameValue(value, defaultValue)) return WriteProperty(name, std::move(value));
  std::erase_if(entries_, [name](const Entry& entry) { return SameName(entry.name, name); });
}

}  // namespace vantrel::skin
