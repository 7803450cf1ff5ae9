#include "wim/wim_file.h"

#include <algorithm>

namespace vantrel::wim {
namespace {

constexpr std::uint8_t kMagic[8] = {'M', 'S', 'W', 'I', 'M', 0, 0, 0};

// Offsets in the header.
constexpr std::size_t kAtHeaderSize = 0x08, kAtVersion = 0x0C, kAtFlags = 0x10, kAtChunkSize = 0x14,
                      kAtPartNumber = 0x28, kAtTotalParts = 0x2A, kAtImageCount = 0x2C, kAtXml = 0x48,
                      kAtBootIndex = 0x78;

std::uint64_t Le(std::span<const std::uint8_t> b, std::size_t at, std::size_t bytes) {
  std::uint64_t v = 0;
  for (std::size_t i = bytes; i-- > 0;) v = (v << 8) | b[at + i];
  return v;
}

Failure Fail(Problem p, std::uint64_t value = 0, std::uint64_t limit = 0) {
  Failure f;
  f.problem = p;
  f.value = value;
  f.limit = limit;
  return f;
}

Failure XmlFail(XmlProblem x, std::uint64_t at = 0, xml::Fault fault = xml::Fault::None) {
  Failure f = Fail(Problem::BrokenXml, at);
  f.xml = x;
  f.fault = fault;
  return f;
}

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view Trimmed(std::u16string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A decimal number (or, with `hex`, hexadecimal with or without "0x"), spaces around allowed; none when the
// text is anything else or does not fit 64 bits.
std::optional<std::uint64_t> Number(std::u16string_view text, bool hex) {
  text = Trimmed(text);
  if (hex && text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) text.remove_prefix(2);
  if (text.empty()) return std::nullopt;
  const std::uint64_t base = hex ? 16 : 10;
  std::uint64_t v = 0;
  for (char16_t c : text) {
    const int digit = xml::DigitValue(c, hex);
    if (digit < 0) return std::nullopt;
    const auto d = static_cast<std::uint64_t>(digit);
    if (v > (UINT64_MAX - d) / base) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

std::optional<std::uint32_t> Number32(const xml::Element* e) {
  if (!e) return std::nullopt;
  auto v = Number(e->text, false);
  if (!v || *v > UINT32_MAX) return std::nullopt;
  return static_cast<std::uint32_t>(*v);
}

std::u16string TextOf(const xml::Element* e) {
  return e ? e->text : std::u16string();
}

Image ReadImage(const xml::Document& doc, const xml::Element& e) {
  Image image;
  image.name = TextOf(doc.Child(e, u"NAME"));
  image.description = TextOf(doc.Child(e, u"DESCRIPTION"));
  image.displayName = TextOf(doc.Child(e, u"DISPLAYNAME"));
  image.flags = TextOf(doc.Child(e, u"FLAGS"));
  image.editionId = TextOf(doc.Find(e, u"WINDOWS/EDITIONID"));
  image.language = TextOf(doc.Find(e, u"WINDOWS/LANGUAGES/DEFAULT"));
  image.arch = Number32(doc.Find(e, u"WINDOWS/ARCH"));
  if (const xml::Element* v = doc.Find(e, u"WINDOWS/VERSION")) {
    auto major = Number32(doc.Child(*v, u"MAJOR")), minor = Number32(doc.Child(*v, u"MINOR")),
         build = Number32(doc.Child(*v, u"BUILD"));
    if (major && minor && build) image.version = WindowsVersion{*major, *minor, *build};
  }
  if (const xml::Element* t = doc.Child(e, u"TOTALBYTES")) image.totalBytes = Number(t->text, false);
  if (const xml::Element* t = doc.Child(e, u"CREATIONTIME")) {
    const xml::Element* high = doc.Child(*t, u"HIGHPART");
    const xml::Element* low = doc.Child(*t, u"LOWPART");
    if (high && low) {
      const std::optional<std::uint64_t> h = Number(high->text, true), l = Number(low->text, true);
      if (h && l && *h <= UINT32_MAX && *l <= UINT32_MAX) image.creationTime = (*h << 32) | *l;
    }
  }
  return image;
}

}  // namespace

HeaderResult ReadHeader(std::span<const std::uint8_t> first, std::uint64_t fileSize) {
  HeaderResult r;
  // A file shorter than the bytes given is taken at its own size.
  if (first.size() > fileSize) first = first.first(static_cast<std::size_t>(fileSize));
  const std::size_t magicBytes = std::min<std::size_t>(first.size(), sizeof kMagic);
  if (!std::equal(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(magicBytes), kMagic)) {
    r.failure = Fail(Problem::NotWim);
    return r;
  }
  if (first.size() < kHeaderSize) {
    // The signature, or as much of it as there is, is a WIM's: a WIM file that was cut short (an empty file
    // is not a WIM at all).
    r.failure = first.empty() ? Fail(Problem::NotWim) : Fail(Problem::CutShort, first.size(), kHeaderSize);
    return r;
  }
  Header& h = r.header;
  h.headerSize = static_cast<std::uint32_t>(Le(first, kAtHeaderSize, 4));
  h.version = static_cast<std::uint32_t>(Le(first, kAtVersion, 4));
  h.flags = static_cast<std::uint32_t>(Le(first, kAtFlags, 4));
  h.chunkSize = static_cast<std::uint32_t>(Le(first, kAtChunkSize, 4));
  h.partNumber = static_cast<std::uint16_t>(Le(first, kAtPartNumber, 2));
  h.totalParts = static_cast<std::uint16_t>(Le(first, kAtTotalParts, 2));
  h.imageCount = static_cast<std::uint32_t>(Le(first, kAtImageCount, 4));
  h.xml.size = Le(first, kAtXml, 7);
  h.xml.flags = first[kAtXml + 7];
  h.xml.offset = Le(first, kAtXml + 8, 8);
  h.xml.originalSize = Le(first, kAtXml + 16, 8);
  h.bootIndex = static_cast<std::uint32_t>(Le(first, kAtBootIndex, 4));

  if (h.headerSize != kHeaderSize) {
    r.failure = Fail(Problem::NotWim, h.headerSize);
    return r;
  }
  if (h.partNumber > 1) {
    r.failure = Fail(Problem::LaterPart, h.partNumber, h.totalParts);
    return r;
  }
  if (h.xml.flags & kResourceCompressed) {
    r.failure = Fail(Problem::CompressedXml);
    return r;
  }
  if (h.xml.size > kMaxXmlSize) {
    r.failure = Fail(Problem::XmlTooLarge, h.xml.size, kMaxXmlSize);
    return r;
  }
  // Both figures are below 2^64 - 2^24, so the end cannot wrap round when the offset is checked first.
  if (h.xml.offset > fileSize || h.xml.size > fileSize - h.xml.offset) {
    const std::uint64_t end = h.xml.offset > UINT64_MAX - h.xml.size ? UINT64_MAX : h.xml.offset + h.xml.size;
    r.failure = Fail(Problem::XmlOutsideFile, end, fileSize);
    return r;
  }
  if (h.xml.size == 0) {
    r.failure = XmlFail(XmlProblem::NoDescription);
    return r;
  }
  if (h.xml.size % 2) {
    r.failure = XmlFail(XmlProblem::OddSize);
    return r;
  }
  return r;
}

Description ReadDescription(const Header& header, std::span<const std::uint8_t> xmlBytes) {
  Description d;
  d.header = header;
  if (xmlBytes.size() < header.xml.size) {
    d.failure = Fail(Problem::CutShort, header.xml.offset + xmlBytes.size(), header.xml.offset + header.xml.size);
    return d;
  }
  xmlBytes = xmlBytes.first(static_cast<std::size_t>(header.xml.size));
  if (xmlBytes.size() % 2) {
    d.failure = XmlFail(XmlProblem::OddSize);
    return d;
  }
  if (xmlBytes.size() < 2 || xmlBytes[0] != 0xFF || xmlBytes[1] != 0xFE) {
    d.failure = XmlFail(XmlProblem::NoByteOrderMark);
    return d;
  }
  std::u16string text(xmlBytes.size() / 2 - 1, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(xmlBytes[2 + 2 * i] | (xmlBytes[3 + 2 * i] << 8));
  const xml::Document doc = xml::Parse(text);
  if (!doc.ok()) {
    d.failure = XmlFail(XmlProblem::Reader, doc.faultAt, doc.fault);
    return d;
  }
  const xml::Element& root = doc.root();
  if (root.name != u"WIM") {
    d.failure = XmlFail(XmlProblem::NotWimRoot);
    return d;
  }
  std::vector<const xml::Element*> images;
  for (std::size_t i : root.children)
    if (doc.elements[i].name == u"IMAGE") images.push_back(&doc.elements[i]);
  // An encrypted ESD carries its key's record in the description; the list is there, the images are not
  // usable without the key.
  if (const xml::Element* esd = doc.Child(root, u"ESD"); esd && doc.Child(*esd, u"KEY")) {
    d.failure = Fail(Problem::EncryptedEsd);
    return d;
  }
  if (images.size() != header.imageCount) {
    d.failure = Fail(Problem::CountMismatch, header.imageCount, images.size());
    return d;
  }
  d.images.resize(images.size());
  for (const xml::Element* e : images) {
    const std::u16string* indexText = xml::AttributeValue(*e, u"INDEX");
    const auto index = indexText ? Number(*indexText, false) : std::nullopt;
    if (!index || *index < 1 || *index > images.size() || d.images[*index - 1].index != 0) {
      d.images.clear();
      d.failure = XmlFail(XmlProblem::BadIndex);
      return d;
    }
    d.images[*index - 1] = ReadImage(doc, *e);
    d.images[*index - 1].index = static_cast<std::uint32_t>(*index);
  }
  return d;
}

Description ReadWim(std::span<const std::uint8_t> file) {
  const HeaderResult h = ReadHeader(file.first(std::min(file.size(), kHeaderSize)), file.size());
  if (!h.ok()) {
    Description d;
    d.header = h.header;
    d.failure = h.failure;
    return d;
  }
  return ReadDescription(h.header, file.subspan(static_cast<std::size_t>(h.xmlOffset())));
}

}  // namespace vantrel::wim
