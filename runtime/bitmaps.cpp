#include "runtime/bitmaps.h"

#include <cstring>
#include <vector>

#include "resources/icon_file.h"

namespace vantrel::runtime {

BITMAPINFO TopDownDib(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

UniqueBitmap MakeBitmap(const resources::Image& image) {
  const BITMAPINFO info = TopDownDib(image.width, image.height);
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap && bits) std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
  return bitmap;
}

UniqueIcon MakeIcon(const resources::Image& image) {
  // The mask's rows are whole 16-bit words, a set bit where the screen shows through.
  const int stride = (image.width + 15) / 16 * 2;
  std::vector<BYTE> mask(static_cast<std::size_t>(stride) * image.height, 0);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (resources::AlphaOf(image.pixels[static_cast<std::size_t>(y) * image.width + x]) <
          resources::kIconMaskAlphaThreshold)
        mask[static_cast<std::size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
  UniqueBitmap colour = MakeBitmap(image);
  UniqueBitmap monochrome(CreateBitmap(image.width, image.height, 1, 1, mask.data()));
  if (!colour || !monochrome) return UniqueIcon();
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = monochrome.get();
  info.hbmColor = colour.get();
  return UniqueIcon(CreateIconIndirect(&info));  // copies both bitmaps
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height, int sourceX, int sourceY) {
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  SelectObjectScope select(memory.get(), bitmap);
  BitBlt(dc, x, y, width, height, memory.get(), sourceX, sourceY, SRCCOPY);
}

}  // namespace vantrel::runtime
