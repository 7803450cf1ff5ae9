// What a WIM file holds, read from its bytes: the 208-byte header and the XML description that lists its
// images. Nothing of the images' data is read.
//
// Reading takes two steps, so that a caller reading a file reads only what is needed, whatever the file's
// size: ReadHeader gets the first kHeaderSize bytes (fewer when the file is shorter) and the file's size,
// and says where the description lies; ReadDescription gets exactly those bytes. ReadWim does both on a
// file that is all in memory. Every file that cannot be read this way comes back as a Failure: what is wrong
// and the figures that show it, never an exception and never a read outside the bytes given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wim/bounded_xml.h"

namespace vantrel::wim {

inline constexpr std::size_t kHeaderSize = 208;
// The description of a real file is a few kilobytes per image; anything beyond this is no description.
inline constexpr std::uint64_t kMaxXmlSize = 16u << 20;

inline constexpr std::uint32_t kVersionWim = 0x10D00;  // ordinary WIM files
inline constexpr std::uint32_t kVersionSolid = 0xE00;  // solid ("ESD") files

// Flags of a resource entry.
inline constexpr std::uint8_t kResourceCompressed = 0x04;
// The header flag of LZMS compression: what ESD files use, in solid blocks.
inline constexpr std::uint32_t kFlagCompressLzms = 0x00080000;

enum class Problem {
  None,
  Unreadable,      // the system could not open or read the file (a caller's finding; `value` = its error)
  NotWim,          // no WIM signature, or a header of another size (`value` = that size)
  CutShort,        // the file ends before the header or the description does (`value` bytes of `limit`)
  LaterPart,       // part `value` of a split set of `limit` parts: part 1 holds the list of images
  CompressedXml,   // the description is stored compressed
  XmlTooLarge,     // the description's size (`value`) is beyond kMaxXmlSize
  XmlOutsideFile,  // the description (ending at `value`) lies beyond the file's end (`limit`)
  BrokenXml,       // the description cannot be read: see `xml` and `value` (the code-unit offset)
  CountMismatch,   // the header counts `value` images, the description lists `limit`
  EncryptedEsd,    // an encrypted ESD file: its images are listed but cannot be used without the key
  NotLocal,        // the file's data is elsewhere (a cloud or archived file): reading would fetch it (a caller's)
};

// What is wrong with the description's text, beyond the XML reader's own faults.
enum class XmlProblem {
  None,
  Reader,           // the XML reader's fault (`fault`)
  NoDescription,    // the description has size 0
  OddSize,          // an odd number of bytes: not UTF-16
  NoByteOrderMark,  // not starting with the UTF-16LE byte-order mark
  NotWimRoot,       // the root element is not WIM
  BadIndex,         // an IMAGE without an INDEX from 1 to the count, or one index given twice
};

struct Failure {
  Problem problem = Problem::None;
  std::uint64_t value = 0;
  std::uint64_t limit = 0;
  XmlProblem xml = XmlProblem::None;
  xml::Fault fault = xml::Fault::None;
};

struct ResourceEntry {
  std::uint64_t size = 0;  // 56 bits in the file
  std::uint8_t flags = 0;
  std::uint64_t offset = 0;
  std::uint64_t originalSize = 0;
};

struct Header {
  std::uint32_t headerSize = 0;
  std::uint32_t version = 0;
  std::uint32_t flags = 0;
  std::uint32_t chunkSize = 0;
  std::uint16_t partNumber = 0;
  std::uint16_t totalParts = 0;
  std::uint32_t imageCount = 0;
  std::uint32_t bootIndex = 0;
  ResourceEntry xml;
};

// Part 1 of a split set (.swm): it holds the list of images, the other parts hold the rest of the data.
inline bool IsSplitSet(const Header& h) { return h.totalParts > 1; }
// A solid file (an ESD): its data is compressed in solid blocks, so no image can be added or taken out in place.
inline bool IsSolid(const Header& h) { return h.version == kVersionSolid || (h.flags & kFlagCompressLzms) != 0; }

struct HeaderResult {
  Header header;
  Failure failure;
  bool ok() const { return failure.problem == Problem::None; }
  // Where the description lies, to be read next (when ok()).
  std::uint64_t xmlOffset() const { return header.xml.offset; }
  std::uint64_t xmlSize() const { return header.xml.size; }
};

struct WindowsVersion {
  std::uint32_t major = 0, minor = 0, build = 0;
};

// The architecture codes of WINDOWS/ARCH.
inline constexpr std::uint32_t kArchX86 = 0, kArchArm = 5, kArchX64 = 9, kArchArm64 = 12;

struct Image {
  std::uint32_t index = 0;  // 1-based
  std::u16string name, description, displayName;
  std::u16string flags;      // the edition, e.g. "Professional"
  std::u16string editionId;  // WINDOWS/EDITIONID
  std::u16string language;   // WINDOWS/LANGUAGES/DEFAULT
  std::optional<std::uint32_t> arch;
  std::optional<WindowsVersion> version;
  std::optional<std::uint64_t> totalBytes;
  std::optional<std::uint64_t> creationTime;  // a FILETIME: 100-ns units since 1601
};

struct Description {
  Header header;
  std::vector<Image> images;  // in index order: images[i].index == i + 1
  Failure failure;
  bool ok() const { return failure.problem == Problem::None; }
};

// The header from the file's first bytes (all of them when the file is shorter than kHeaderSize) and the
// file's whole size.
HeaderResult ReadHeader(std::span<const std::uint8_t> first, std::uint64_t fileSize);

// The description from the bytes at header.xml.offset, header.xml.size of them (fewer when the file was cut
// between the two reads).
Description ReadDescription(const Header& header, std::span<const std::uint8_t> xmlBytes);

// Both steps on a whole file in memory.
Description ReadWim(std::span<const std::uint8_t> file);

}  // namespace vantrel::wim
