// Small text rules shared by every subsystem that shows string-table text: filling a pattern's "%1", "%2", ...,
// writing a number in decimal, and reading the index box's number. Platform-free, UTF-16.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::resources {

// "%1", "%2", ... of `pattern` replaced by values[0], values[1], ...; "%%" stays as it is written.
std::u16string FillIn(std::u16string_view pattern, std::initializer_list<std::u16string_view> values);

// The decimal digits of `value`, with a minus sign when it is negative.
std::u16string Decimal(std::int64_t value);

// The image number an index box's text names: decimal digits, blanks around them allowed; nothing for any
// other text (empty, a sign, letters, more than nine digits).
std::optional<std::uint32_t> ImageIndexOf(std::u16string_view text);

}  // namespace vantrel::resources
