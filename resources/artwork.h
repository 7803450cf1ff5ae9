// The program's artwork, generated in code: the window picture (which also gives the window its
// shape through the magenta colour key), the panel picture, the seven title-bar pictures and the
// program icon. Nothing here touches the platform; the Win32 side turns an Image into a bitmap.
//
// Pixels are 0xAARRGGBB. In little-endian memory that is B, G, R, A per pixel, so `pixels.data()`
// is directly a top-down 32-bit DIB (negative biHeight) for CreateDIBSection or SetDIBits.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "resources/dpi_scale.h"

namespace vantrel::resources {

struct Image {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;  // row-major, top row first, 0xAARRGGBB

  // The pixel at column x, row y; throws std::out_of_range outside the image. For the tests and the build's
  // tools only (resources/image_at.cpp): the program is built without exceptions.
  std::uint32_t at(int x, int y) const;
};

// An image of the given size filled with one colour; a negative side is taken as 0.
Image MakeImage(int width, int height, std::uint32_t fill);

constexpr std::uint32_t Rgb(int r, int g, int b) {
  return 0xFF000000u | (static_cast<std::uint32_t>(r & 0xFF) << 16) |
         (static_cast<std::uint32_t>(g & 0xFF) << 8) | static_cast<std::uint32_t>(b & 0xFF);
}
constexpr std::uint32_t Grey(int level) { return Rgb(level, level, level); }
constexpr int AlphaOf(std::uint32_t p) { return static_cast<int>(p >> 24); }
constexpr int RedOf(std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
constexpr int GreenOf(std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
constexpr int BlueOf(std::uint32_t p) { return static_cast<int>(p & 0xFF); }

// The colour key of the layered main window: every pixel of this colour is a hole.
constexpr std::uint32_t kColourKey = Rgb(255, 0, 255);

// Main window background, 406 x 274 at the design DPI, fully opaque. Its 24 magenta pixels round the
// top corners. At another DPI it is the design size scaled (609 x 411 at 144 dpi), its flat parts and
// corners made of whole design pixels at scale and the header art drawn at that DPI.
constexpr int kWindowPictureWidth = 406, kWindowPictureHeight = 274;
// The header artwork lies within this rectangle (inclusive bounds); the rest of the header band is
// the plain vertical gradient.
constexpr int kHeaderArtLeft = 9, kHeaderArtRight = 166, kHeaderArtTop = 24, kHeaderArtBottom = 65;
Image WindowPicture(DpiScale scale = DpiScale());

// Background of both panels: 400 x 300, stripes of two rows RGB(236,236,236) then two rows
// RGB(240,240,240), from the top row.
constexpr int kPanelPictureWidth = 400, kPanelPictureHeight = 300;
// The part of the panel picture a panel of width x height pixels shows (the top-left corner; the panels
// clip the picture), drawn at that size only; at another DPI each stripe is two design rows at scale.
Image PanelPicture(int width, int height, DpiScale scale = DpiScale());

// The pictures of the title-bar control: normal (U_), hover (M_) and pressed (D_) for the close
// button (_Img1, 17 x 18) and the minimise button (_Img2, 24 x 18), and the strip picture WindowImg
// (23 x 18), stretched across the bar. Sizes are design pixels; at another DPI each picture is drawn at
// its scaled size.
enum class TitlePicture { U_Img1, M_Img1, D_Img1, U_Img2, M_Img2, D_Img2, WindowImg };
Image TitleBarPicture(TitlePicture which, DpiScale scale = DpiScale());

// Grey levels of the title bar's 18 rows, top to bottom. Every title-bar picture is drawn on this
// background, and the first and last column of each is exactly this gradient.
inline constexpr std::array<std::uint8_t, 18> kTitleGradient = {252, 245, 241, 240, 240, 239, 239, 238, 237,
                                                                237, 236, 235, 234, 234, 233, 232, 231, 230};

// The program icon (executable, window and tray), `size` pixels on a side, straight (not premultiplied)
// alpha. The executable stores 48, 32 and 16; the window draws it at the size its DPI asks for (24 for the
// small icon at 144 dpi). A size outside 16 to 256 is drawn as the nearest of the two.
Image IconImage(int size);

}  // namespace vantrel::resources
