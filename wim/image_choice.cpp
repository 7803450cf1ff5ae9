#include "wim/image_choice.h"

#include "resources/text.h"
#include "wim/list_path.h"

namespace vantrel::wim {
namespace {

using resources::FillIn;

std::u16string Decimal(std::uint64_t v) { return resources::Decimal(static_cast<std::int64_t>(v)); }

char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool ContainsIgnoringCase(std::u16string_view text, std::u16string_view part) {
  if (part.empty() || part.size() > text.size()) return part.empty();
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < part.size() && AsciiLower(text[i + k]) == AsciiLower(part[k])) ++k;
    if (k == part.size()) return true;
  }
  return false;
}

std::u16string_view Trimmed(std::u16string_view s) {
  auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

// Text for a menu item: '&' doubled (no mnemonic of its own), a tab (which starts the accelerator column) a space.
std::u16string MenuText(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'&') out += u'&';
    out += c == u'\t' ? u' ' : c;
  }
  return out;
}

}  // namespace

std::optional<std::u16string> PathToRead(std::u16string_view field) {
  field = Unquoted(field);
  if (Trimmed(field).empty()) return std::nullopt;
  return std::u16string(field);
}

std::optional<std::uint32_t> Listing::ImageCount() const {
  if (!HasList()) return std::nullopt;
  return static_cast<std::uint32_t>(description.images.size());
}

std::optional<std::uint32_t> CountToCheck(const Listing& listing, const std::optional<FileStamp>& now) {
  if (!now || !(*now == listing.stamp)) return std::nullopt;
  return listing.ImageCount();
}

std::u16string SizeText(std::uint64_t bytes) {
  static constexpr const char16_t* kUnits[] = {u"B", u"KB", u"MB", u"GB", u"TB", u"PB", u"EB"};
  if (bytes < 1024) return Decimal(bytes) + u" B";
  std::size_t unit = 1;
  while (unit < 6 && bytes >> (10 * unit) >= 1024) ++unit;
  // Rounded once, in whole numbers: the remainder is below 2^60, so ten times it still fits.
  const std::uint64_t unitBytes = 1ull << (10 * unit), whole = bytes >> (10 * unit), rest = bytes & (unitBytes - 1);
  const std::uint64_t tenths = whole * 10 + (rest * 10 + unitBytes / 2) / unitBytes;
  if (tenths < 1000) return Decimal(tenths / 10) + u"." + Decimal(tenths % 10) + u" " + kUnits[unit];
  const std::uint64_t rounded = whole + (rest >= unitBytes - rest ? 1 : 0);
  // 1023.5 KB rounds to 1024 KB, which is shown as the next unit's 1.0.
  if (rounded >= 1024 && unit < 6) return std::u16string(u"1.0 ") + kUnits[unit + 1];
  return Decimal(rounded) + u" " + kUnits[unit];
}

std::u16string_view ArchText(std::uint32_t arch) {
  switch (arch) {
    case kArchX86:
      return u"x86";
    case kArchArm:
      return u"ARM";
    case kArchX64:
      return u"x64";
    case kArchArm64:
      return u"ARM64";
    default:
      return {};
  }
}

std::u16string ImageLine(const Image& image, const TextLookup& text) {
  std::u16string name(Trimmed(image.displayName));
  if (name.empty()) name = Trimmed(image.name);
  if (name.empty()) name = FillIn(text(kTextImageNumber), {Decimal(image.index)});
  std::u16string line = name;
  const std::u16string_view edition = Trimmed(image.flags);
  // A display name is the edition's own name in the image's language; otherwise the edition is added unless
  // the name already says it.
  if (!edition.empty() && Trimmed(image.displayName).empty() && !ContainsIgnoringCase(name, edition))
    line += u" · " + std::u16string(edition);
  if (image.arch && !ArchText(*image.arch).empty()) line += u" · " + std::u16string(ArchText(*image.arch));
  if (image.totalBytes) line += u" · " + SizeText(*image.totalBytes);
  // XML allows tabs and line breaks in a name; in a label they break the line, in a menu item a tab starts
  // the accelerator column.
  for (char16_t& c : line)
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u' ';
  return line;
}

std::u16string ReasonText(const Failure& f, const TextLookup& text) {
  switch (f.problem) {
    case Problem::None:
      return {};
    case Problem::Unreadable:
      return text(kReasonUnreadable);
    case Problem::NotWim:
      return text(kReasonNotWim);
    case Problem::CutShort:
      return text(kReasonCutShort);
    case Problem::LaterPart:
      return FillIn(text(kReasonLaterPart), {Decimal(f.value), Decimal(f.limit)});
    case Problem::CompressedXml:
      return text(kReasonCompressed);
    case Problem::XmlTooLarge:
    case Problem::XmlOutsideFile:
      return text(kReasonBadPlace);
    case Problem::BrokenXml:
      return text(kReasonBrokenXml);
    case Problem::CountMismatch:
      return FillIn(text(kReasonCountMismatch), {Decimal(f.value), Decimal(f.limit)});
    case Problem::EncryptedEsd:
      return text(kReasonEncrypted);
    case Problem::NotLocal:
      return text(kReasonNotLocal);
  }
  return {};
}

std::u16string IndexLine(const Listing& listing, std::u16string_view indexText, const TextLookup& text) {
  if (listing.state != Listing::State::Read) return {};
  const Description& d = listing.description;
  if (!d.ok()) return ReasonText(d.failure, text);
  const std::optional<std::uint32_t> index = resources::ImageIndexOf(indexText);
  const std::u16string count = Decimal(d.images.size());
  std::u16string line;
  if (!index)
    line = FillIn(text(kTextImageCount), {count});
  else if (*index < 1 || *index > d.images.size())
    line = FillIn(text(kTextNoSuchIndex), {Decimal(*index), count});
  else
    line = ImageLine(d.images[*index - 1], text);
  if (IsSplitSet(d.header)) return FillIn(text(kTextSplitSet), {Decimal(d.header.totalParts), line});
  return line;
}

std::vector<PickEntry> PickList(const Listing& listing, const TextLookup& text) {
  std::vector<PickEntry> entries;
  if (!listing.HasList()) return entries;
  const std::vector<Image>& images = listing.description.images;
  for (const Image& image : images) {
    if (entries.size() == kMaxPickEntries) {
      entries.push_back({0, MenuText(FillIn(text(kTextMoreImages), {Decimal(images.size() - kMaxPickEntries)}))});
      break;
    }
    std::u16string entry = image.index <= 9 ? u"&" + Decimal(image.index) : Decimal(image.index);
    entry += u"  " + MenuText(ImageLine(image, text));
    entries.push_back({image.index, std::move(entry)});
  }
  return entries;
}

std::u16string AppendLine(const Listing& listing, bool appending, const TextLookup& text) {
  if (!appending || listing.state != Listing::State::Read) return {};
  const Description& d = listing.description;
  if (!d.ok()) return ReasonText(d.failure, text);
  if (IsSplitSet(d.header)) return FillIn(text(kTextNoAppendSplit), {Decimal(d.header.totalParts)});
  if (IsSolid(d.header)) return text(kTextNoAppendSolid);
  return FillIn(text(kTextAppendNumber), {Decimal(d.images.size()), Decimal(d.images.size() + 1)});
}

std::vector<CommandEntry> ListCommands(const Listing& listing, std::u16string_view indexText, const TextLookup& text) {
  std::vector<CommandEntry> entries;
  if (!listing.HasList()) return entries;
  const std::optional<std::uint32_t> index = resources::ImageIndexOf(indexText);
  const bool named = index && *index >= 1 && *index <= listing.description.images.size();
  // A box that names no image shows what it holds, so the grey item says why it cannot be picked.
  const std::u16string shown = named ? Decimal(*index) : std::u16string(Trimmed(indexText).empty() ? u"?" : Trimmed(indexText));
  entries.push_back({ListCommand::Export, FillIn(text(kMenuExport), {shown}), named});
  if (listing.stamp.size > kFat32LargestFile) entries.push_back({ListCommand::Split, text(kMenuSplit), true});
  entries.push_back({ListCommand::Delete, FillIn(text(kMenuDelete), {shown}), named});
  entries.push_back({ListCommand::None, text(kNoteDeleteKeepsSize), false});
  for (CommandEntry& e : entries) e.text = MenuText(e.text);
  return entries;
}

std::optional<FileFacts> FactsOf(const Listing& listing) {
  if (!listing.HasList()) return std::nullopt;
  const Description& d = listing.description;
  FileFacts facts;
  facts.imageCount = static_cast<std::uint32_t>(d.images.size());
  facts.parts = IsSplitSet(d.header) ? d.header.totalParts : 1;
  facts.solid = IsSolid(d.header);
  facts.size = listing.stamp.size;
  for (const Image& image : d.images) facts.names.push_back(image.name);
  return facts;
}

}  // namespace vantrel::wim
