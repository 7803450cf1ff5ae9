#include "runtime/bitmaps.h"

#include <cstring>

namespace vantrel::runtime {

UniqueGdiObject MakeBitmap(const resources::Image& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down, like the image
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap && bits) std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
  return bitmap;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y, int width, int height, int sourceX, int sourceY) {
  UniqueMemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  SelectObjectScope select(memory.get(), bitmap);
  BitBlt(dc, x, y, width, height, memory.get(), sourceX, sourceY, SRCCOPY);
}

}  // namespace vantrel::runtime
