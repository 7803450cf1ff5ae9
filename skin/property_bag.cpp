#include "skin/property_bag.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace vantrel::skin {

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

bool IsBareKeyChar(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

void AppendUnitEscape(std::string& out, char16_t unit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

void AppendQuoted(std::string& out, std::u16string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    switch (c) {
      case u'"': out += "\\\""; continue;
      case u'\\': out += "\\\\"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      AppendUnitEscape(out, c);
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      AppendUnitEscape(out, c);  // an unpaired half has no UTF-8 form
    } else {
      AppendUtf8(out, c);
    }
  }
  out += '"';
}

void AppendKey(std::string& out, std::u16string_view name) {
  const bool bare = !name.empty() && std::all_of(name.begin(), name.end(), IsBareKeyChar);
  if (!bare) return AppendQuoted(out, name);
  for (char16_t c : name) out += char(c);
}

void AppendNumber(std::string& out, int value) {
  char buf[16];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

// Font sizes are kept to four decimals, as form files store them (8.25, 9.75, 10.5 all exact). Written in
// plain decimal, trailing zeros dropped: "9", "10.5", "0.3333". A size that cannot be a font's (not finite,
// or beyond a trillion points) is written as 0, the font's default height, rather than as text the reader
// would refuse.
constexpr int kPointDecimals = 4;
constexpr std::int64_t kPointScale = 10000;
constexpr double kLargestPoints = 1e12;

void AppendPoints(std::string& out, double points) {
  if (!(std::fabs(points) < kLargestPoints)) points = 0;
  std::int64_t scaled = std::llround(points * kPointScale);
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  out += std::to_string(scaled / kPointScale);
  std::int64_t fraction = scaled % kPointScale;
  if (fraction == 0) return;
  char digits[kPointDecimals];
  for (int i = kPointDecimals - 1; i >= 0; --i, fraction /= 10) digits[i] = char('0' + fraction % 10);
  int length = kPointDecimals;
  while (digits[length - 1] == '0') --length;
  out += '.';
  out.append(digits, std::size_t(length));
}

void AppendValue(std::string& out, const PropertyValue& value) {
  if (const bool* b = std::get_if<bool>(&value)) {
    out += *b ? "true" : "false";
  } else if (const std::int32_t* n = std::get_if<std::int32_t>(&value)) {
    AppendNumber(out, *n);
  } else if (const std::u16string* text = std::get_if<std::u16string>(&value)) {
    AppendQuoted(out, *text);
  } else {
    const FontRef& font = std::get<FontRef>(value);
    if (!font) {
      out += "nothing";
      return;
    }
    out += "font(";
    AppendQuoted(out, font->face);
    out += ", ";
    AppendPoints(out, font->points);
    out += ", ";
    AppendNumber(out, font->weight);
    out += ", ";
    AppendNumber(out, font->charset);
    if (font->italic) out += ", italic";
    if (font->underline) out += ", underline";
    if (font->strikethrough) out += ", strikethrough";
    out += ')';
  }
}

// Reads one line of the text form.
class LineParser {
 public:
  LineParser(std::string_view line, int number) : s_(line), line_(number) {}

  bool Blank() {
    SkipSpaces();
    return pos_ == s_.size();
  }

  PropertyBag::Entry Entry() {
    PropertyBag::Entry entry;
    SkipSpaces();
    entry.name = Peek() == '"' ? Quoted() : BareKey();
    SkipSpaces();
    Expect('=');
    SkipSpaces();
    entry.value = Value();
    SkipSpaces();
    if (pos_ != s_.size()) Fail("unexpected text after the value");
    return entry;
  }

  // The first fault of the line is kept and ends the reading: the rest of the line counts as read, so every
  // step after it returns at once with an empty value.
  void Fail(std::string_view what) {
    if (!failed_) error_ = "property bag line " + std::to_string(line_) + ": " + std::string(what);
    failed_ = true;
    pos_ = s_.size();
  }
  bool Failed() const { return failed_; }
  const std::string& Error() const { return error_; }

 private:
  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  void SkipSpaces() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  void Expect(char c) {
    if (Peek() != c) return Fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  std::u16string BareKey() {
    std::u16string key;
    while (pos_ < s_.size() && IsBareKeyChar(static_cast<unsigned char>(s_[pos_])))
      key += char16_t(s_[pos_++]);
    if (key.empty()) Fail("expected a name");
    return key;
  }

  // A token of letters, digits and the characters of a number.
  std::string_view Word() {
    const std::size_t start = pos_;
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (!IsBareKeyChar(static_cast<unsigned char>(c)) && c != '.' && c != '+' && c != '-') break;
      ++pos_;
    }
    return s_.substr(start, pos_ - start);
  }

  std::int32_t Number() {
    const std::string_view word = Word();
    std::int32_t value{};
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (word.empty() || ec != std::errc() || end != word.data() + word.size()) {
      Fail("bad number '" + std::string(word) + "'");
      return 0;
    }
    return value;
  }

  // A size in points: an optional minus, digits, and optionally a point and more digits ("9", "10.5",
  // "-0.25"); at most 15 digits in all, so that the digits and their power of ten are both exact doubles and
  // one division gives the nearest double to the decimal written.
  double Points() {
    const std::string_view word = Word();
    std::size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (negative) ++i;
    std::int64_t digits = 0;
    double scale = 1;
    int count = 0;
    bool point = false;
    for (; i < word.size(); ++i) {
      const char c = word[i];
      if (c == '.' && !point) {
        point = true;
      } else if (c >= '0' && c <= '9' && count < 15) {
        digits = digits * 10 + (c - '0');
        if (point) scale *= 10;
        ++count;
      } else {
        count = 0;
        break;
      }
    }
    if (count == 0 || word.back() == '.') {
      Fail("bad number '" + std::string(word) + "'");
      return 0;
    }
    const double value = double(digits) / scale;
    return negative ? -value : value;
  }

  char32_t Utf8CodePoint() {
    const auto lead = static_cast<unsigned char>(s_[pos_++]);
    if (lead < 0x80) return lead;
    int more;
    char32_t cp, min;
    if ((lead & 0xE0) == 0xC0) {
      more = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      more = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      more = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      Fail("invalid UTF-8");
      return 0;
    }
    for (int i = 0; i < more; ++i) {
      if (pos_ >= s_.size() || (static_cast<unsigned char>(s_[pos_]) & 0xC0) != 0x80) {
        Fail("invalid UTF-8");
        return 0;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(s_[pos_++]) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) Fail("invalid UTF-8");
    return cp;
  }

  char16_t HexUnit() {
    char16_t unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = Peek();
      int digit;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else {
        Fail("\\u needs four hexadecimal digits");
        return 0;
      }
      unit = char16_t(unit * 16 + digit);
      ++pos_;
    }
    return unit;
  }

  std::u16string Quoted() {
    Expect('"');
    std::u16string text;
    for (;;) {
      if (pos_ >= s_.size()) {
        Fail("unterminated text");
        return text;
      }
      const char c = s_[pos_];
      if (c == '"') {
        ++pos_;
        return text;
      }
      if (c == '\\') {
        ++pos_;
        switch (const char e = Peek(); e) {
          case '"': text += u'"'; break;
          case '\\': text += u'\\'; break;
          case 'n': text += u'\n'; break;
          case 'r': text += u'\r'; break;
          case 't': text += u'\t'; break;
          case 'u': ++pos_; text += HexUnit(); continue;
          default: Fail("unknown escape"); return text;
        }
        ++pos_;
        continue;
      }
      const char32_t cp = Utf8CodePoint();
      if (cp >= 0x10000) {
        text += char16_t(0xD800 + ((cp - 0x10000) >> 10));
        text += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        text += char16_t(cp);
      }
    }
  }

  PropertyValue Font() {
    Expect('(');
    SkipSpaces();
    FontDesc font;
    font.face = Quoted();
    auto next = [this] {
      SkipSpaces();
      Expect(',');
      SkipSpaces();
    };
    next();
    font.points = Points();
    next();
    font.weight = Number();
    next();
    font.charset = Number();
    for (SkipSpaces(); Peek() == ','; SkipSpaces()) {
      next();
      const std::string_view flag = Word();
      if (flag == "italic") font.italic = true;
      else if (flag == "underline") font.underline = true;
      else if (flag == "strikethrough") font.strikethrough = true;
      else Fail("unknown font style '" + std::string(flag) + "'");
    }
    Expect(')');
    return std::make_shared<const FontDesc>(std::move(font));
  }

  PropertyValue Value() {
    if (Peek() == '"') return Quoted();
    const std::size_t start = pos_;
    const std::string_view word = Word();
    if (word == "true") return true;
    if (word == "false") return false;
    if (word == "nothing") return FontRef();
    if (word == "font") {
      SkipSpaces();
      return Font();
    }
    pos_ = start;
    return Number();
  }

  std::string_view s_;
  bool failed_ = false;
  std::string error_;
  std::size_t pos_ = 0;
  int line_;
};

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

PropertyValue PropertyBag::ReadProperty(std::u16string_view name,
                                        PropertyValue defaultValue) const {
  const PropertyValue* stored = Find(name);
  return stored ? *stored : std::move(defaultValue);
}

namespace {

template <class T>
std::optional<T> ReadAs(const PropertyBag& bag, std::u16string_view name, T defaultValue) {
  const PropertyValue* stored = bag.Find(name);
  if (!stored) return defaultValue;
  if (const T* value = std::get_if<T>(stored)) return *value;
  return std::nullopt;  // stored, but of another kind
}

}  // namespace

std::optional<bool> PropertyBag::ReadBool(std::u16string_view name, bool defaultValue) const {
  return ReadAs(*this, name, defaultValue);
}

std::optional<std::int32_t> PropertyBag::ReadNumber(std::u16string_view name, std::int32_t defaultValue) const {
  return ReadAs(*this, name, defaultValue);
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

std::string PropertyBag::Serialize() const {
  std::string out;
  for (const Entry& entry : entries_) {
    AppendKey(out, entry.name);
    out += " = ";
    AppendValue(out, entry.value);
    out += '\n';
  }
  return out;
}

std::optional<PropertyBag> PropertyBag::Parse(std::string_view text, std::string* error) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  PropertyBag bag;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    LineParser parser(line, number);
    if (parser.Blank()) continue;
    Entry entry = parser.Entry();
    if (!parser.Failed() && bag.Find(entry.name)) parser.Fail("the name appears twice");
    if (parser.Failed()) {
      if (error) *error = parser.Error();
      return std::nullopt;
    }
    bag.entries_.push_back(std::move(entry));
  }
  return bag;
}

}  // namespace vantrel::skin
