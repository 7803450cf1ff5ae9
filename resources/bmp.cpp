#include "resources/bmp.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace vantrel::resources {

namespace {

void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

// Reads the PPM header fields one by one.
class HeaderReader {
 public:
  explicit HeaderReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // The next whitespace-separated decimal number, skipping comments.
  long Number() {
    SkipSpaceAndComments();
    long value = 0;
    std::size_t digits = 0;
    while (pos_ < bytes_.size() && bytes_[pos_] >= '0' && bytes_[pos_] <= '9') {
      value = value * 10 + (bytes_[pos_] - '0');
      ++pos_;
      if (++digits > 9) throw std::invalid_argument("PPM header number too long");
    }
    if (digits == 0) throw std::invalid_argument("PPM header: number expected");
    return value;
  }

  // After maxval comes exactly one whitespace byte, then the raster.
  std::size_t RasterStart() {
    if (pos_ >= bytes_.size() || !IsSpace(bytes_[pos_])) {
      throw std::invalid_argument("PPM header: whitespace expected before the raster");
    }
    return pos_ + 1;
  }

 private:
  static bool IsSpace(std::uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

  void SkipSpaceAndComments() {
    while (pos_ < bytes_.size()) {
      if (IsSpace(bytes_[pos_])) {
        ++pos_;
      } else if (bytes_[pos_] == '#') {
        while (pos_ < bytes_.size() && bytes_[pos_] != '\n' && bytes_[pos_] != '\r') ++pos_;
      } else {
        break;
      }
    }
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<std::uint8_t> EncodePpm(const Image& image) {
  const std::string header =
      "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  std::vector<std::uint8_t> out(header.begin(), header.end());
  out.reserve(out.size() + image.pixels.size() * 3);
  for (std::uint32_t p : image.pixels) {
    out.push_back(static_cast<std::uint8_t>(RedOf(p)));
    out.push_back(static_cast<std::uint8_t>(GreenOf(p)));
    out.push_back(static_cast<std::uint8_t>(BlueOf(p)));
  }
  return out;
}

Image DecodePpm(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') {
    throw std::invalid_argument("not a binary PPM (P6) file");
  }
  HeaderReader header(bytes.subspan(2));
  const long width = header.Number();
  const long height = header.Number();
  const long maxval = header.Number();
  if (width <= 0 || height <= 0) throw std::invalid_argument("PPM with an empty raster");
  if (maxval < 1 || maxval > 65535) throw std::invalid_argument("PPM maxval out of range");
  // 32768 x 32768 is far beyond any screen; the limit keeps the arithmetic below in range.
  if (width > 32768 || height > 32768) throw std::invalid_argument("PPM too large");
  const std::size_t start = 2 + header.RasterStart();
  const std::size_t sampleBytes = maxval > 255 ? 2 : 1;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (bytes.size() < start || bytes.size() - start < count * 3 * sampleBytes) {
    throw std::invalid_argument("PPM raster truncated");
  }

  Image image = MakeImage(static_cast<int>(width), static_cast<int>(height), 0);
  const std::uint8_t* p = bytes.data() + start;
  auto sample = [&]() -> std::uint32_t {
    long v = *p++;
    if (sampleBytes == 2) v = (v << 8) | *p++;
    if (v > maxval) throw std::invalid_argument("PPM sample above maxval");
    return static_cast<std::uint32_t>((v * 255 + maxval / 2) / maxval);
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t r = sample(), g = sample(), b = sample();
    image.pixels[i] = 0xFF000000u | (r << 16) | (g << 8) | b;
  }
  return image;
}

Image DecodePpm(std::string_view bytes) {
  return DecodePpm(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<std::uint8_t> EncodeBmp(const Image& image) {
  constexpr std::uint32_t kHeaders = 14 + 40;
  const std::uint32_t rasterSize = static_cast<std::uint32_t>(image.pixels.size() * 4);
  std::vector<std::uint8_t> out;
  out.reserve(kHeaders + rasterSize);
  // BITMAPFILEHEADER
  out.push_back('B');
  out.push_back('M');
  PutLe32(out, kHeaders + rasterSize);
  PutLe32(out, 0);
  PutLe32(out, kHeaders);
  // BITMAPINFOHEADER
  PutLe32(out, 40);
  PutLe32(out, static_cast<std::uint32_t>(image.width));
  PutLe32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
  PutLe16(out, 1);
  PutLe16(out, 32);
  PutLe32(out, 0);  // BI_RGB
  PutLe32(out, rasterSize);
  PutLe32(out, 3780);  // 96 dpi in pixels per metre
  PutLe32(out, 3780);
  PutLe32(out, 0);
  PutLe32(out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) PutLe32(out, image.at(x, y));
  }
  return out;
}

Image Crop(const Image& image, int x, int y, int width, int height) {
  if (x < 0 || y < 0 || width < 0 || height < 0 || x > image.width - width ||
      y > image.height - height) {
    throw std::out_of_range("crop rectangle outside the image");
  }
  Image out = MakeImage(width, height, 0);
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      out.pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                 static_cast<std::size_t>(col)] = image.at(x + col, y + row);
    }
  }
  return out;
}

int CountDifferingPixels(const Image& a, const Image& b, int tolerance) {
  if (a.width != b.width || a.height != b.height) {
    throw std::invalid_argument("images of different sizes");
  }
  int differing = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const std::uint32_t p = a.pixels[i], q = b.pixels[i];
    if (std::abs(RedOf(p) - RedOf(q)) > tolerance || std::abs(GreenOf(p) - GreenOf(q)) > tolerance ||
        std::abs(BlueOf(p) - BlueOf(q)) > tolerance) {
      ++differing;
    }
  }
  return differing;
}

}  // namespace vantrel::resources
