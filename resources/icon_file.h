// The program icon as a Windows .ico file, for windres: every image once at 8 bits per pixel
// (256-colour palette, 1-bit transparency mask) and once at 32 bits per pixel (BGRA with alpha,
// plus the mask for painters that ignore alpha). Also a reader, so the file can be checked.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "resources/artwork.h"

namespace vantrel::resources {

// A pixel with at least this alpha is opaque in the 8-bit images and in every AND mask; below it,
// the mask bit is set (the screen shows through).
constexpr int kIconMaskAlphaThreshold = 128;

// The .ico file: for images {a, b, c}, the entries a, b, c at 8 bpp and then a, b, c at 32 bpp.
// Each image is 1 to 256 pixels on a side; throws std::invalid_argument otherwise, or when
// `images` is empty or holds more than 32767 images.
std::vector<std::uint8_t> BuildIconFile(const std::vector<Image>& images);

// The program's own icon: IconImage(48), IconImage(32), IconImage(16), giving six images.
std::vector<std::uint8_t> BuildIconFile();

struct IconEntry {
  int width = 0, height = 0;  // from the directory entry (0 there means 256)
  int bitCount = 0;
  std::uint32_t bytesInRes = 0, imageOffset = 0;
  int paletteSize = 0;  // colours in the bitmap's palette (0 for 32 bpp)
  // The decoded picture. 8 bpp: the palette colour, opaque, or 0 (transparent) where the mask
  // bit is set. 32 bpp: the stored BGRA as it is.
  Image image;
};

// Reads an .ico file holding 8 and 32 bpp uncompressed images (what BuildIconFile writes).
// Throws std::invalid_argument on anything malformed: bad header, data out of the file's range,
// mismatched sizes, other bit depths or compression.
std::vector<IconEntry> ReadIconFile(std::span<const std::uint8_t> bytes);

}  // namespace vantrel::resources
