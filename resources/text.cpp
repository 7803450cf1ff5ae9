#include "resources/text.h"

namespace vantrel::resources {

std::u16string FillIn(std::u16string_view pattern, std::initializer_list<std::u16string_view> values) {
  std::u16string out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    if (c == u'%' && i + 1 < pattern.size()) {
      const char16_t next = pattern[i + 1];
      if (next >= u'1' && next <= u'9' && static_cast<std::size_t>(next - u'1') < values.size()) {
        out += *(values.begin() + (next - u'1'));
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::u16string Decimal(std::int64_t value) {
  const bool negative = value < 0;
  std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-value) : static_cast<std::uint64_t>(value);
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude);
  if (negative) digits.insert(digits.begin(), u'-');
  return digits;
}

std::optional<std::uint32_t> ImageIndexOf(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::uint32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + static_cast<std::uint32_t>(c - u'0');
  }
  return n;
}

}  // namespace vantrel::resources
