#include "wim/bounded_xml.h"

#include <algorithm>

namespace vantrel::wim::xml {
namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// XML 1.0's Char: tab, line feed, carriage return, and everything from U+0020 but the surrogates, U+FFFE
// and U+FFFF. The C0 controls would reach labels and menus (a tab in a menu item starts its accelerator column).
bool IsXmlChar(std::uint32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  if (cp >= 0xD800 && cp <= 0xDFFF) return false;
  if (cp == 0xFFFE || cp == 0xFFFF) return false;
  return cp <= 0x10FFFF;
}

// XML 1.0 (fifth edition) NameStartChar and NameChar, on code points.
bool IsNameStart(std::uint32_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' || c == u':' ||
         (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
         (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
         (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
         (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}
bool IsNameChar(std::uint32_t c) {
  return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

void AppendCodePoint(std::u16string& out, std::uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

class Parser {
 public:
  explicit Parser(std::u16string_view text) : s_(text) {}

  Document Run() {
    while (pos_ < s_.size() && !doc_.fault_set()) Step();
    if (!doc_.fault_set()) {
      if (!open_.empty())
        Fail(Fault::UnclosedElement);
      else if (doc_.d.elements.empty())
        Fail(Fault::Empty);
    }
    if (!doc_.d.ok()) doc_.d.elements.clear();
    return std::move(doc_.d);
  }

 private:
  struct State {
    Document d;
    bool fault_set() const { return d.fault != Fault::None; }
  };

  bool Fail(Fault f) {
    if (doc_.d.fault == Fault::None) {
      doc_.d.fault = f;
      doc_.d.faultAt = pos_;
    }
    return false;
  }
  bool StartsWith(std::u16string_view what) const { return s_.substr(pos_, what.size()) == what; }

  // The code point at `at` and how many code units it takes (2 for a surrogate pair); an unpaired surrogate
  // comes back as itself, which no rule accepts.
  std::uint32_t CodePointAt(std::size_t at, std::size_t& units) const {
    const char16_t c = s_[at];
    units = 1;
    if (IsHighSurrogate(c) && at + 1 < s_.size() && IsLowSurrogate(s_[at + 1])) {
      units = 2;
      return 0x10000 + ((static_cast<std::uint32_t>(c) - 0xD800) << 10) + (s_[at + 1] - 0xDC00);
    }
    return c;
  }
  bool AtEnd() const { return pos_ >= s_.size(); }

  void Step() {
    if (s_[pos_] != u'<') return Text();
    if (StartsWith(u"<?")) return Skip(2, u"?>");
    if (StartsWith(u"<!--")) return Comment();
    if (StartsWith(u"<![CDATA[")) return CData();
    if (StartsWith(u"<!DOCTYPE")) {
      Fail(Fault::DocumentType);
      return;
    }
    if (StartsWith(u"</")) return EndTag();
    StartTag();
  }

  // Skips a declaration from `skip` units past pos_ up to and including `end`; what it holds must be Chars.
  void Skip(std::size_t skip, std::u16string_view end) {
    const std::size_t found = s_.find(end, pos_ + skip);
    for (pos_ += skip; pos_ < std::min(found, s_.size());) {
      std::size_t units = 0;
      if (!IsXmlChar(CodePointAt(pos_, units))) {
        Fail(Fault::BadCharacter);
        return;
      }
      pos_ += units;
    }
    if (found == std::u16string_view::npos) {
      Fail(Fault::UnclosedTag);
      return;
    }
    pos_ = found + end.size();
  }

  // "<!--" ... "-->": the first "--" after the opening ends the comment and must be followed by '>'; the
  // opening's own dashes do not count, so "<!-->" and "<!--->" open a comment rather than being one.
  void Comment() {
    const std::size_t dashes = s_.find(u"--", pos_ + 4);
    if (dashes != std::u16string_view::npos && (dashes + 2 >= s_.size() || s_[dashes + 2] != u'>')) {
      Skip(4, u"--");  // checks the characters before it
      if (!doc_.fault_set()) {
        pos_ = dashes;
        Fail(Fault::BadCharacter);  // "--" inside a comment, or "--->"
      }
      return;
    }
    Skip(4, u"-->");
  }

  void CData() {
    const std::size_t start = pos_ + 9;
    const std::size_t found = s_.find(u"]]>", start);
    if (found == std::u16string_view::npos) {
      pos_ = s_.size();
      Fail(Fault::UnclosedTag);
      return;
    }
    if (open_.empty()) {
      Fail(Fault::TextOutsideRoot);
      return;
    }
    std::u16string& text = doc_.d.elements[open_.back()].text;
    for (pos_ = start; pos_ < found; ++pos_)
      if (!TakeCharacter(text)) return;
    pos_ = found + 3;
  }

  // One character of text or of an attribute value at pos_, checked, appended to `out`; pos_ is left on its
  // last code unit.
  bool TakeCharacter(std::u16string& out) {
    std::size_t units = 0;
    if (!IsXmlChar(CodePointAt(pos_, units))) return Fail(Fault::BadCharacter);
    out.append(s_.substr(pos_, units));
    pos_ += units - 1;
    return true;
  }

  void Text() {
    std::u16string* text = open_.empty() ? nullptr : &doc_.d.elements[open_.back()].text;
    std::u16string outside;
    while (!AtEnd() && s_[pos_] != u'<') {
      std::u16string& out = text ? *text : outside;
      if (s_[pos_] == u'&') {
        if (!Reference(out)) return;
        continue;
      }
      if (!TakeCharacter(out)) return;
      ++pos_;
    }
    for (char16_t c : outside)
      if (!IsSpace(c)) {
        Fail(Fault::TextOutsideRoot);
        return;
      }
  }

  // "&name;" or "&#digits;" or "&#xhex;" at pos_, decoded into `out`.
  bool Reference(std::u16string& out) {
    const std::size_t start = pos_;
    // Every reference this reader knows fits in a few characters: the ';' is looked for that far only, so
    // a long run of '&' costs no more than its length.
    const std::size_t near = s_.substr(start, 14).find(u';');
    if (near == std::u16string_view::npos) return Fail(Fault::BadReference);
    const std::size_t semicolon = start + near;
    const std::u16string_view body = s_.substr(start + 1, semicolon - start - 1);
    if (body.size() >= 2 && body[0] == u'#') {
      std::uint32_t value = 0;
      const bool hex = body[1] == u'x';
      const std::u16string_view digits = body.substr(hex ? 2 : 1);
      if (digits.empty()) return Fail(Fault::BadReference);
      for (char16_t d : digits) {
        const int v = DigitValue(d, hex);
        if (v < 0) return Fail(Fault::BadReference);
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
        if (value > 0x10FFFF) return Fail(Fault::BadReference);
      }
      if (!IsXmlChar(value)) return Fail(Fault::BadReference);  // "&#1;", "&#xFFFE;", a surrogate
      AppendCodePoint(out, value);
    } else if (body == u"lt") {
      out.push_back(u'<');
    } else if (body == u"gt") {
      out.push_back(u'>');
    } else if (body == u"amp") {
      out.push_back(u'&');
    } else if (body == u"quot") {
      out.push_back(u'"');
    } else if (body == u"apos") {
      out.push_back(u'\'');
    } else {
      return Fail(Fault::BadReference);
    }
    pos_ = semicolon + 1;
    return true;
  }

  bool Name(std::u16string& out) {
    if (AtEnd()) return Fail(Fault::UnclosedTag);
    std::size_t units = 0;
    if (!IsNameStart(CodePointAt(pos_, units))) return Fail(Fault::BadName);
    const std::size_t start = pos_;
    while (!AtEnd() && IsNameChar(CodePointAt(pos_, units))) {
      if (pos_ + units - start > kMaxNameLength) return Fail(Fault::BadName);
      pos_ += units;
    }
    out.assign(s_.substr(start, pos_ - start));
    return true;
  }

  void SkipSpace() {
    while (!AtEnd() && IsSpace(s_[pos_])) ++pos_;
  }

  void StartTag() {
    ++pos_;  // '<'
    if (open_.empty() && !doc_.d.elements.empty()) {
      Fail(Fault::TextOutsideRoot);  // a second root
      return;
    }
    if (open_.size() >= kMaxDepth) {
      Fail(Fault::TooDeep);
      return;
    }
    if (doc_.d.elements.size() >= kMaxNodes) {
      Fail(Fault::TooMany);
      return;
    }
    Element element;
    if (!Name(element.name)) return;
    for (;;) {
      const std::size_t before = pos_;
      SkipSpace();
      if (AtEnd()) {
        Fail(Fault::UnclosedTag);
        return;
      }
      if (s_[pos_] == u'>' || StartsWith(u"/>")) break;
      if (pos_ == before) {
        Fail(Fault::BadName);  // an attribute must follow white space
        return;
      }
      if (element.attributes.size() >= kMaxAttributes) {
        Fail(Fault::TooMany);
        return;
      }
      Attribute attribute;
      if (!Name(attribute.name)) return;
      for (const Attribute& a : element.attributes)
        if (a.name == attribute.name) {
          Fail(Fault::BadAttribute);
          return;
        }
      SkipSpace();
      if (AtEnd() || s_[pos_] != u'=') {
        Fail(AtEnd() ? Fault::UnclosedTag : Fault::BadAttribute);
        return;
      }
      ++pos_;
      SkipSpace();
      if (AtEnd() || (s_[pos_] != u'"' && s_[pos_] != u'\'')) {
        Fail(AtEnd() ? Fault::UnclosedTag : Fault::BadAttribute);
        return;
      }
      const char16_t quote = s_[pos_++];
      while (!AtEnd() && s_[pos_] != quote) {
        if (s_[pos_] == u'<') {
          Fail(Fault::BadCharacter);
          return;
        }
        if (s_[pos_] == u'&') {
          if (!Reference(attribute.value)) return;
          continue;
        }
        if (!TakeCharacter(attribute.value)) return;
        ++pos_;
      }
      if (AtEnd()) {
        Fail(Fault::UnclosedTag);
        return;
      }
      ++pos_;  // closing quote
      element.attributes.push_back(std::move(attribute));
    }
    const bool empty = s_[pos_] == u'/';
    pos_ += empty ? 2 : 1;
    const std::size_t index = doc_.d.elements.size();
    if (!open_.empty()) doc_.d.elements[open_.back()].children.push_back(index);
    doc_.d.elements.push_back(std::move(element));
    if (!empty) open_.push_back(index);
  }

  void EndTag() {
    pos_ += 2;
    std::u16string name;
    if (!Name(name)) return;
    SkipSpace();
    if (AtEnd()) {
      Fail(Fault::UnclosedTag);
      return;
    }
    if (s_[pos_] != u'>' || open_.empty() || doc_.d.elements[open_.back()].name != name) {
      Fail(Fault::MismatchedEnd);
      return;
    }
    ++pos_;
    open_.pop_back();
  }

  std::u16string_view s_;
  std::size_t pos_ = 0;
  State doc_;
  std::vector<std::size_t> open_;  // the elements open at pos_, outermost first; at most kMaxDepth
};

}  // namespace

const Element* Document::Child(const Element& parent, std::u16string_view name) const {
  for (std::size_t i : parent.children)
    if (elements[i].name == name) return &elements[i];
  return nullptr;
}

const Element* Document::Find(const Element& from, std::u16string_view path) const {
  const Element* at = &from;
  while (at && !path.empty()) {
    const std::size_t slash = path.find(u'/');
    at = Child(*at, path.substr(0, slash));
    path = slash == std::u16string_view::npos ? std::u16string_view() : path.substr(slash + 1);
  }
  return at;
}

Document Parse(std::u16string_view text) {
  return Parser(text).Run();
}

const std::u16string* AttributeValue(const Element& element, std::u16string_view name) {
  for (const Attribute& a : element.attributes)
    if (a.name == name) return &a.value;
  return nullptr;
}

}  // namespace vantrel::wim::xml
