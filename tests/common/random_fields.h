// Random field texts and program folders for round-trip tests of command-line quoting: what the
// user may type or pick (letters, spaces, tabs, backslashes, Chinese, accented letters, characters
// outside the basic plane as surrogate pairs), never a double quote and never empty; AsTyped wraps one
// in quotes as a pasted path comes. Deterministic
// for a seed on every platform: std::mt19937's output is fixed by the standard and the mapping to
// choices below uses plain arithmetic, not the library's distributions.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace vantrel::test_support {

class RandomFields {
 public:
  explicit RandomFields(std::uint32_t seed) : engine_(seed) {}

  // A non-empty field of up to maxUnits characters (a surrogate pair may add one unit). About one
  // in eight ends in a run of backslashes, one in sixteen is whitespace only.
  std::u16string Field(std::size_t maxUnits = 24) {
    std::u16string s;
    if (Below(16) == 0) {
      const std::size_t n = 1 + Below(4);
      for (std::size_t i = 0; i < n; ++i) s.push_back(Below(2) ? u' ' : u'\t');
      return s;
    }
    const std::size_t length = 1 + Below(maxUnits);
    while (s.size() < length) AppendCharacter(s);
    if (Below(8) == 0) s.append(1 + Below(4), u'\\');
    return s;
  }

  // The field `meant` as the user may enter it: now and then (one in six) wrapped in double quotes, as
  // Explorer's "Copy as path" gives a path. Either way the tool must receive `meant`.
  std::u16string AsTyped(const std::u16string& meant) { return Below(6) == 0 ? u"\"" + meant + u"\"" : meant; }

  // A program folder such as "C:\Program Files\工具" or "D:\x\" (trailing backslash now and then).
  std::u16string Folder() {
    std::u16string s;
    s.push_back(static_cast<char16_t>(u'C' + Below(4)));
    s += u":";
    const std::size_t parts = Below(4);
    for (std::size_t i = 0; i < parts; ++i) {
      s.push_back(u'\\');
      std::u16string part = Field(12);
      for (char16_t& c : part) {
        if (c == u'\\' || c == u'\t') c = u'_';  // one folder name per part, no tabs in paths
      }
      s += part;
    }
    if (parts == 0 || Below(6) == 0) s.push_back(u'\\');
    return s;
  }

  // A number in [0, n).
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(engine_() % n); }

 private:
  void AppendCharacter(std::u16string& s) {
    static constexpr char16_t kAscii[] = u"abcXYZ019.-_:~!#$%&'()+,;=@[]^`{}";
    static constexpr char16_t kOther[] = u"镜像目录工具é ü ß Ω а ж";
    const std::size_t kind = Below(20);
    if (kind < 8) {
      s.push_back(kAscii[Below(std::size(kAscii) - 1)]);
    } else if (kind < 11) {
      s.push_back(u' ');
    } else if (kind < 12) {
      s.push_back(u'\t');
    } else if (kind < 15) {
      s.push_back(u'\\');
    } else if (kind < 18) {
      s.push_back(kOther[Below(std::size(kOther) - 1)]);
    } else {
      // A character outside the basic plane: emoji or CJK extension B.
      const char32_t base = Below(2) ? 0x1F600 : 0x20000;
      const char32_t cp = base + static_cast<char32_t>(Below(64)) - 0x10000;
      s.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      s.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }

  std::mt19937 engine_;
};

}  // namespace vantrel::test_support
