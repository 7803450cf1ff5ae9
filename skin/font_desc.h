// The font object of the title-bar control: a plain description (face, size, weight, character
// set, style flags) that the Win32 adapter turns into a LOGFONTW. It is shared by reference, as
// the control hands the same object to its surface and to its caption label.
#pragma once

#include <memory>
#include <string>
#include <utility>

namespace vantrel::skin {

struct FontDesc {
  std::u16string face;
  double points = 0;  // size in points
  int weight = 400;   // 400 regular, 700 bold
  int charset = 0;    // LOGFONT character set (134 = GB2312)
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;

  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

using FontRef = std::shared_ptr<const FontDesc>;

// A new shared font. Not std::make_shared: the program is built without run-time type information, and
// make_shared then needs a library object that brings the exception runtime back (docs/benchmarks.md).
inline FontRef MakeFont(FontDesc desc) { return FontRef(new FontDesc(std::move(desc))); }

// Two references name the same font when both are empty or both describe equal fonts.
inline bool SameFont(const FontRef& a, const FontRef& b) {
  if (a == b) return true;
  if (!a || !b) return false;
  return *a == *b;
}

}  // namespace vantrel::skin
