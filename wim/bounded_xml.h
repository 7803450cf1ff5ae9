// A small XML reader for the description a WIM file carries: UTF-16 text written by the imaging tools
// themselves (elements, attributes, text, the five predefined entities and character references; an XML
// declaration, comments and CDATA sections are accepted and a document type is refused).
//
// Why a reader of our own rather than the platform's (XmlLite) or a library: it must run on the host for the
// tests and the fuzzer as well as in Vantrel.exe, without COM and without exceptions; the format needs a few
// hundred lines, and everything it does is bounded so that a hostile file costs at most a bounded amount of
// memory and time (one pass over the text, nesting at most kMaxDepth deep, at most kMaxNodes elements, at
// most kMaxAttributes attributes per element, names at most kMaxNameLength long). It never throws: a text it
// cannot read comes back as a fault and the place where it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::wim::xml {

inline constexpr std::size_t kMaxDepth = 32;
inline constexpr std::size_t kMaxNodes = 200000;
inline constexpr std::size_t kMaxAttributes = 16;
inline constexpr std::size_t kMaxNameLength = 256;

enum class Fault {
  None,
  Empty,            // no element at all
  TooDeep,          // nesting beyond kMaxDepth
  TooMany,          // more than kMaxNodes elements or kMaxAttributes attributes on one
  BadName,          // a tag or attribute name missing, malformed or too long
  BadAttribute,     // an attribute without "=" and a quoted value, or given twice
  UnclosedTag,      // the text ends inside a tag, comment, CDATA section or declaration
  MismatchedEnd,    // an end tag that does not close the element it is in
  UnclosedElement,  // the text ends with elements still open
  BadReference,     // an unknown entity, a malformed character reference or one to a character XML forbids
  BadCharacter,     // '<' where it cannot be, a character XML forbids (a C0 control other than tab, LF and CR,
                    // an unpaired surrogate, U+FFFE, U+FFFF), or "--" inside a comment
  TextOutsideRoot,  // characters other than white space outside the root element, or a second root
  DocumentType,     // <!DOCTYPE ...>: entity definitions are not read
};

struct Attribute {
  std::u16string name;
  std::u16string value;  // references decoded
};

struct Element {
  std::u16string name;
  std::vector<Attribute> attributes;
  std::u16string text;                // the element's own character data, references decoded, its children's left out
  std::vector<std::size_t> children;  // indexes into Document::elements, in document order
};

struct Document {
  std::vector<Element> elements;  // elements[0] is the root when fault == None
  Fault fault = Fault::None;
  std::size_t faultAt = 0;  // code-unit offset of the fault in the text

  bool ok() const { return fault == Fault::None; }
  const Element& root() const { return elements[0]; }
  // The first child of `parent` named `name`, or null.
  const Element* Child(const Element& parent, std::u16string_view name) const;
  // The first element reached from `from` by a path of child names such as u"WINDOWS/VERSION/MAJOR", or null.
  const Element* Find(const Element& from, std::u16string_view path) const;
};

// Reads the text (UTF-16 code units, without a byte-order mark).
Document Parse(std::u16string_view text);

// The value of an attribute of `element`, or null.
const std::u16string* AttributeValue(const Element& element, std::u16string_view name);

// The value of one digit: decimal, or with `hex` also a-f and A-F; -1 for any other character.
constexpr int DigitValue(char16_t c, bool hex) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (hex && c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (hex && c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace vantrel::wim::xml
