// Plain image files for the artwork: binary PPM (P6) to write and read pictures and screenshots
// (ImageMagick's `import -window root ppm:-` writes exactly this), and a 32-bit BMP writer for
// looking at a picture in any viewer. Platform-free.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "resources/artwork.h"

namespace vantrel::resources {

// "P6\n<width> <height>\n255\n" and the RGB bytes, top row first. Alpha is dropped.
std::vector<std::uint8_t> EncodePpm(const Image& image);

// Reads a binary PPM (P6): header fields separated by whitespace, '#' comments allowed, maxval 1
// to 65535 (two bytes a sample above 255), samples scaled to 0..255. Pixels come back opaque.
// Trailing bytes after the raster are ignored. Throws std::invalid_argument on a malformed,
// truncated or implausibly large file.
Image DecodePpm(std::span<const std::uint8_t> bytes);
Image DecodePpm(std::string_view bytes);

// A bottom-up 32 bits-per-pixel BI_RGB bitmap file (BITMAPFILEHEADER + BITMAPINFOHEADER), BGRA.
std::vector<std::uint8_t> EncodeBmp(const Image& image);

// The part of `image` at (x, y) of the given size; throws std::out_of_range unless the rectangle
// lies inside the image.
Image Crop(const Image& image, int x, int y, int width, int height);

// Number of pixels whose red, green or blue differ by more than `tolerance` (alpha ignored).
// Throws std::invalid_argument when the sizes differ.
int CountDifferingPixels(const Image& a, const Image& b, int tolerance = 0);

}  // namespace vantrel::resources
