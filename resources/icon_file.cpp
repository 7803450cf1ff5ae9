#include "resources/icon_file.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_map>

namespace vantrel::resources {

namespace {

constexpr std::size_t kDirHeaderSize = 6, kDirEntrySize = 16, kInfoHeaderSize = 40;
constexpr int kPaletteEntries = 256;

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

std::size_t RowBytes(int width, int bitCount) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

bool Opaque(std::uint32_t pixel) { return AlphaOf(pixel) >= kIconMaskAlphaThreshold; }

// ---------------------------------------------------------------------------------------------
// Colour reduction for the 8-bit images: median cut over the opaque pixels' colours, weighted by
// how often each occurs. Entry 0 of the palette is black and is what transparent pixels point
// to, so that the XOR step leaves the screen unchanged under them.

struct ColourCount {
  std::uint32_t rgb;
  std::uint32_t count;
};

int Channel(std::uint32_t rgb, int c) { return static_cast<int>((rgb >> (16 - 8 * c)) & 0xFF); }

std::uint32_t AverageColour(std::span<const ColourCount> box) {
  std::array<double, 3> sum{};
  double total = 0;
  for (const ColourCount& e : box) {
    for (int c = 0; c < 3; ++c) sum[static_cast<std::size_t>(c)] += Channel(e.rgb, c) * double(e.count);
    total += e.count;
  }
  std::uint32_t rgb = 0;
  for (int c = 0; c < 3; ++c) {
    const auto v = static_cast<std::uint32_t>(sum[static_cast<std::size_t>(c)] / total + 0.5);
    rgb |= std::min(v, 255u) << (16 - 8 * c);
  }
  return rgb;
}

// Up to `maxColours` colours (0x00RRGGBB) representing the opaque pixels of `image`.
std::vector<std::uint32_t> ReducedPalette(const Image& image, std::size_t maxColours) {
  std::unordered_map<std::uint32_t, std::uint32_t> counts;
  for (std::uint32_t p : image.pixels) {
    if (Opaque(p)) ++counts[p & 0xFFFFFF];
  }
  std::vector<ColourCount> colours;
  colours.reserve(counts.size());
  for (const auto& [rgb, count] : counts) colours.push_back({rgb, count});
  // A fixed order, so the file does not depend on the hash map's iteration order.
  std::sort(colours.begin(), colours.end(),
            [](const ColourCount& a, const ColourCount& b) { return a.rgb < b.rgb; });
  if (colours.size() <= maxColours) {
    std::vector<std::uint32_t> palette;
    for (const ColourCount& e : colours) palette.push_back(e.rgb);
    return palette;
  }

  struct Box {
    std::size_t begin, end;
  };
  auto widest = [&](const Box& box, int& channel) {
    int best = -1;
    for (int c = 0; c < 3; ++c) {
      int lo = 255, hi = 0;
      for (std::size_t i = box.begin; i < box.end; ++i) {
        lo = std::min(lo, Channel(colours[i].rgb, c));
        hi = std::max(hi, Channel(colours[i].rgb, c));
      }
      if (hi - lo > best) {
        best = hi - lo;
        channel = c;
      }
    }
    return best;
  };

  std::vector<Box> boxes{{0, colours.size()}};
  while (boxes.size() < maxColours) {
    // Split the box with the widest spread of any channel.
    std::size_t pick = boxes.size();
    int pickChannel = 0, pickRange = 0;
    for (std::size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].end - boxes[b].begin < 2) continue;
      int channel = 0;
      const int range = widest(boxes[b], channel);
      if (range > pickRange) {
        pick = b;
        pickRange = range;
        pickChannel = channel;
      }
    }
    if (pick == boxes.size()) break;  // every box holds one colour
    const Box box = boxes[pick];
    std::sort(colours.begin() + static_cast<std::ptrdiff_t>(box.begin),
              colours.begin() + static_cast<std::ptrdiff_t>(box.end),
              [&](const ColourCount& a, const ColourCount& b) {
                return Channel(a.rgb, pickChannel) < Channel(b.rgb, pickChannel);
              });
    // Weighted median, keeping at least one colour on each side.
    std::uint64_t total = 0, running = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
    std::size_t split = box.begin + 1;
    for (std::size_t i = box.begin; i < box.end - 1; ++i) {
      running += colours[i].count;
      split = i + 1;
      if (running * 2 >= total) break;
    }
    boxes[pick] = {box.begin, split};
    boxes.push_back({split, box.end});
  }

  std::vector<std::uint32_t> palette;
  for (const Box& box : boxes) {
    palette.push_back(AverageColour(
        std::span<const ColourCount>(colours.data() + box.begin, box.end - box.begin)));
  }
  return palette;
}

int Distance(std::uint32_t a, std::uint32_t b) {
  int d = 0;
  for (int c = 0; c < 3; ++c) {
    const int e = Channel(a, c) - Channel(b, c);
    d += e * e;
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// Writing.

void PutInfoHeader(std::vector<std::uint8_t>& out, const Image& image, int bitCount,
                   std::uint32_t imageSize) {
  PutLe32(out, kInfoHeaderSize);
  PutLe32(out, static_cast<std::uint32_t>(image.width));
  PutLe32(out, static_cast<std::uint32_t>(image.height * 2));  // XOR bitmap and AND mask
  PutLe16(out, 1);
  PutLe16(out, static_cast<std::uint32_t>(bitCount));
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, imageSize);
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, 0);  // colours used: 0 means all 256 for 8 bpp
  PutLe32(out, 0);
}

void PutAndMask(std::vector<std::uint8_t>& out, const Image& image) {
  const std::size_t stride = RowBytes(image.width, 1);
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      if (!Opaque(image.at(x, y))) row[static_cast<std::size_t>(x) / 8] |= 0x80 >> (x % 8);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

std::vector<std::uint8_t> Bitmap8(const Image& image) {
  std::vector<std::uint32_t> palette{0};  // entry 0: black, under transparent pixels
  const std::vector<std::uint32_t> reduced = ReducedPalette(image, kPaletteEntries - 1);
  palette.insert(palette.end(), reduced.begin(), reduced.end());

  const std::size_t stride = RowBytes(image.width, 8);
  const std::uint32_t imageSize = static_cast<std::uint32_t>(
      (stride + RowBytes(image.width, 1)) * static_cast<std::size_t>(image.height));
  std::vector<std::uint8_t> out;
  PutInfoHeader(out, image, 8, imageSize);
  for (int i = 0; i < kPaletteEntries; ++i) {
    PutLe32(out, i < static_cast<int>(palette.size()) ? palette[static_cast<std::size_t>(i)] : 0);
  }
  std::unordered_map<std::uint32_t, std::uint8_t> nearest;
  for (int y = image.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t p = image.at(x, y);
      if (!Opaque(p)) continue;
      const std::uint32_t rgb = p & 0xFFFFFF;
      auto found = nearest.find(rgb);
      if (found == nearest.end()) {
        std::size_t best = 1;
        for (std::size_t i = 2; i < palette.size(); ++i) {
          if (Distance(palette[i], rgb) < Distance(palette[best], rgb)) best = i;
        }
        found = nearest.emplace(rgb, static_cast<std::uint8_t>(best)).first;
      }
      row[static_cast<std::size_t>(x)] = found->second;
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  PutAndMask(out, image);
  return out;
}

std::vector<std::uint8_t> Bitmap32(const Image& image) {
  const std::uint32_t imageSize = static_cast<std::uint32_t>(
      (RowBytes(image.width, 32) + RowBytes(image.width, 1)) *
      static_cast<std::size_t>(image.height));
  std::vector<std::uint8_t> out;
  PutInfoHeader(out, image, 32, imageSize);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) PutLe32(out, image.at(x, y));  // B, G, R, A
  }
  PutAndMask(out, image);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Reading.

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::span<const std::uint8_t> Range(std::size_t at, std::size_t size, const char* what) const {
    if (at > bytes_.size() || size > bytes_.size() - at) {
      throw std::invalid_argument(std::string("icon file: ") + what + " outside the file");
    }
    return bytes_.subspan(at, size);
  }

  static std::uint32_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
  }
  static std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

[[noreturn]] void Malformed(const std::string& what) {
  throw std::invalid_argument("icon file: " + what);
}

IconEntry ReadEntry(const Reader& file, std::span<const std::uint8_t> dirEntry) {
  IconEntry entry;
  entry.width = dirEntry[0] == 0 ? 256 : dirEntry[0];
  entry.height = dirEntry[1] == 0 ? 256 : dirEntry[1];
  entry.bitCount = static_cast<int>(Reader::Le16(dirEntry, 6));
  entry.bytesInRes = Reader::Le32(dirEntry, 8);
  entry.imageOffset = Reader::Le32(dirEntry, 12);
  const auto data = file.Range(entry.imageOffset, entry.bytesInRes, "image data");

  if (data.size() < kInfoHeaderSize) Malformed("image shorter than its header");
  const std::uint32_t headerSize = Reader::Le32(data, 0);
  const auto width = static_cast<std::int32_t>(Reader::Le32(data, 4));
  const auto doubledHeight = static_cast<std::int32_t>(Reader::Le32(data, 8));
  const std::uint32_t planes = Reader::Le16(data, 12);
  const auto bitCount = static_cast<int>(Reader::Le16(data, 14));
  const std::uint32_t compression = Reader::Le32(data, 16);
  const std::uint32_t coloursUsed = Reader::Le32(data, 32);
  if (headerSize < kInfoHeaderSize || headerSize > data.size()) Malformed("bad header size");
  if (width != entry.width || doubledHeight != 2 * entry.height) {
    Malformed("bitmap size does not match its directory entry");
  }
  if (planes != 1 || compression != 0) Malformed("unsupported planes or compression");
  if (bitCount != 8 && bitCount != 32) Malformed("unsupported bit depth");
  if (bitCount != entry.bitCount) Malformed("bit depth does not match its directory entry");

  std::size_t at = headerSize;
  std::vector<std::uint32_t> palette;
  if (bitCount == 8) {
    const std::uint32_t colours = coloursUsed == 0 ? 256 : coloursUsed;
    if (colours > 256) Malformed("palette larger than 256 colours");
    if (at + colours * 4 > data.size()) Malformed("palette outside the image data");
    for (std::uint32_t i = 0; i < colours; ++i) palette.push_back(Reader::Le32(data, at + 4 * i) & 0xFFFFFF);
    at += colours * 4;
    entry.paletteSize = static_cast<int>(colours);
  }
  const std::size_t xorStride = RowBytes(entry.width, bitCount);
  const std::size_t andStride = RowBytes(entry.width, 1);
  const auto h = static_cast<std::size_t>(entry.height);
  if (at + (xorStride + andStride) * h > data.size()) Malformed("bitmap outside the image data");
  const std::size_t andStart = at + xorStride * h;

  entry.image = MakeImage(entry.width, entry.height, 0);
  for (int y = 0; y < entry.height; ++y) {
    const std::size_t row = h - 1 - static_cast<std::size_t>(y);  // bottom-up
    for (int x = 0; x < entry.width; ++x) {
      const auto ux = static_cast<std::size_t>(x);
      const bool masked = (data[andStart + row * andStride + ux / 8] & (0x80 >> (x % 8))) != 0;
      std::uint32_t pixel;
      if (bitCount == 32) {
        pixel = Reader::Le32(data, at + row * xorStride + ux * 4);
      } else {
        const std::uint8_t index = data[at + row * xorStride + ux];
        if (index >= palette.size()) Malformed("palette index out of range");
        pixel = masked ? 0 : 0xFF000000u | palette[index];
      }
      entry.image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(entry.width) + ux] =
          pixel;
    }
  }
  return entry;
}

}  // namespace

std::vector<std::uint8_t> BuildIconFile(const std::vector<Image>& images) {
  if (images.empty() || images.size() * 2 > std::numeric_limits<std::uint16_t>::max()) {
    throw std::invalid_argument("an icon file holds 1 to 32767 images at two depths");
  }
  for (const Image& image : images) {
    if (image.width < 1 || image.width > 256 || image.height < 1 || image.height > 256 ||
        image.pixels.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
      throw std::invalid_argument("icon images are 1 to 256 pixels on a side");
    }
  }
  std::vector<std::vector<std::uint8_t>> bitmaps;
  std::vector<int> depths;
  std::vector<const Image*> order;
  for (const Image& image : images) {
    bitmaps.push_back(Bitmap8(image));
    depths.push_back(8);
    order.push_back(&image);
  }
  for (const Image& image : images) {
    bitmaps.push_back(Bitmap32(image));
    depths.push_back(32);
    order.push_back(&image);
  }

  std::vector<std::uint8_t> out;
  PutLe16(out, 0);  // reserved
  PutLe16(out, 1);  // type: icon
  PutLe16(out, static_cast<std::uint32_t>(bitmaps.size()));
  std::size_t offset = kDirHeaderSize + kDirEntrySize * bitmaps.size();
  for (std::size_t i = 0; i < bitmaps.size(); ++i) {
    const Image& image = *order[i];
    out.push_back(static_cast<std::uint8_t>(image.width == 256 ? 0 : image.width));
    out.push_back(static_cast<std::uint8_t>(image.height == 256 ? 0 : image.height));
    out.push_back(0);  // colour count: 0 for 256 colours and more
    out.push_back(0);  // reserved
    PutLe16(out, 1);   // planes
    PutLe16(out, static_cast<std::uint32_t>(depths[i]));
    PutLe32(out, static_cast<std::uint32_t>(bitmaps[i].size()));
    PutLe32(out, static_cast<std::uint32_t>(offset));
    offset += bitmaps[i].size();
    if (offset > std::numeric_limits<std::uint32_t>::max()) {
      throw std::invalid_argument("icon file larger than 4 GiB");
    }
  }
  for (const auto& bitmap : bitmaps) out.insert(out.end(), bitmap.begin(), bitmap.end());
  return out;
}

std::vector<std::uint8_t> BuildIconFile() {
  return BuildIconFile({IconImage(48), IconImage(32), IconImage(16)});
}

std::vector<IconEntry> ReadIconFile(std::span<const std::uint8_t> bytes) {
  const Reader file(bytes);
  const auto header = file.Range(0, kDirHeaderSize, "directory header");
  if (Reader::Le16(header, 0) != 0 || Reader::Le16(header, 2) != 1) Malformed("not an icon file");
  const std::uint32_t count = Reader::Le16(header, 4);
  std::vector<IconEntry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    entries.push_back(ReadEntry(file, file.Range(kDirHeaderSize + kDirEntrySize * i, kDirEntrySize,
                                                 "directory entry")));
  }
  return entries;
}

}  // namespace vantrel::resources
