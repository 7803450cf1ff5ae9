// libFuzzer target for the WIM reader (built and run by scripts/fuzz with clang's AddressSanitizer and
// UndefinedBehaviorSanitizer). Every input is read as a whole WIM file, in the program's two steps, and as
// the UTF-16 text of a description; the outcomes must agree with each other and keep the reader's promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "wim/bounded_xml.h"
#include "wim/wim_file.h"

using namespace vantrel::wim;

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> file(data, size);
  const Description whole = ReadWim(file);
  if (whole.ok()) {
    Check(whole.images.size() == whole.header.imageCount);
    for (std::size_t i = 0; i < whole.images.size(); ++i) Check(whole.images[i].index == i + 1);
    Check(whole.header.xml.offset + whole.header.xml.size <= size);
  } else {
    Check(whole.images.empty());
  }

  // The program's way: the header, then only the description's range.
  const HeaderResult h = ReadHeader(file.first(size < kHeaderSize ? size : kHeaderSize), size);
  if (h.ok()) {
    Check(h.xmlSize() <= kMaxXmlSize && h.xmlOffset() <= size && h.xmlSize() <= size - h.xmlOffset());
    const Description d = ReadDescription(h.header, file.subspan(h.xmlOffset(), h.xmlSize()));
    Check(d.ok() == whole.ok() && d.images.size() == whole.images.size());
    // The same range cut short by one byte (the file shrank between the reads) is never read past.
    if (h.xmlSize() > 0) Check(!ReadDescription(h.header, file.subspan(h.xmlOffset(), h.xmlSize() - 1)).ok());
  } else {
    Check(h.failure.problem == whole.failure.problem);
  }

  // The input as a description's text.
  std::u16string text(size / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  const xml::Document doc = xml::Parse(text);
  if (doc.ok()) {
    Check(!doc.elements.empty() && doc.elements.size() <= xml::kMaxNodes);
    for (const xml::Element& e : doc.elements)
      for (std::size_t child : e.children) Check(child < doc.elements.size());
  } else {
    Check(doc.elements.empty() && doc.faultAt <= text.size());
  }
  return 0;
}
