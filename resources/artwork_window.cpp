// The main window's picture (flat greys, edges, the colour-key corners and the header art) and the panels'
// striped picture.
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "resources/artwork_canvas.h"

namespace vantrel::resources {
namespace {

using namespace art;

// ---------------------------------------------------------------------------------------------
// The window picture.

constexpr int kHeaderFirstRow = 1, kHeaderLastRow = 66;
constexpr int kSeparatorRow = 67, kBodyFirstRow = 68;

// The header band: 252 at row 1 falling evenly to 189 at row 66.
int HeaderLevel(int y) {
  return static_cast<int>(std::lround(252.0 - 63.0 * (y - kHeaderFirstRow) /
                                                  (kHeaderLastRow - kHeaderFirstRow)));
}

// Pinstripe of the body, period four: row 68 is 236, rows 69-70 are 240, rows 71-72 are 236, ...
int BodyLevel(int y) { return ((y - kBodyFirstRow + 1) / 2) % 2 == 0 ? 236 : 240; }

// The side edges: 179 at the first row below the cut corner (row 5), darkening evenly to 141 at
// row 65 and staying there.
int SideEdgeLevel(int y) {
  if (y >= 65) return 141;
  return static_cast<int>(std::lround(179.0 - 38.0 * (y - 5) / 60.0));
}

// Magenta pixels of each top corner, counted from the outer edge, rows 0 to 4.
constexpr std::array<int, 5> kCornerCut = {5, 3, 2, 1, 1};

void DrawHeaderArt(Canvas& canvas) {
  const Rect clip{kHeaderArtLeft, kHeaderArtTop, kHeaderArtRight + 1, kHeaderArtBottom + 1};

  const StackGeometry stack{/*cx=*/35, /*topFaceY=*/34, /*rx=*/21, /*ry=*/6.5, /*thickness=*/3.5,
                            /*gap=*/9, /*count=*/3, /*outline=*/1, /*grooves=*/true};
  // Soft shadow under the stack.
  canvas.Fill(NearEllipse(clip, 36, 62, 23, 2.6), Ellipse(36, 62, 23, 2.6),
              Colour{40, 48, 60, 0.16});
  DrawPlatterStack(canvas, clip, stack);

  // One engraved bar beside each platter, like the lines of a list of images.
  const double barsLeft = 68;
  const std::array<double, 3> lengths = {94, 72, 50};
  const std::array<Colour, 3> colours = {Colour{72, 122, 196, 1}, Colour{128, 140, 158, 1},
                                         Colour{150, 158, 170, 1}};
  for (int i = 0; i < 3; ++i) {
    const double cy = stack.topFaceY + i * stack.gap;
    const double x1 = barsLeft + lengths[static_cast<std::size_t>(i)];
    // Light lip below, then the bar itself, then a thin top highlight.
    canvas.Fill(Near(clip, barsLeft, cy - 1.5, x1, cy + 3.0),
                RoundRect(barsLeft, cy - 1.5, x1, cy + 3.0, 2.25),
                Colour{255, 255, 255, 0.55});
    const Colour c = colours[static_cast<std::size_t>(i)];
    canvas.Fill(Near(clip, barsLeft, cy - 2.5, x1, cy + 2.0),
                RoundRect(barsLeft, cy - 2.5, x1, cy + 2.0, 2.25), [&](double, double y) {
      return Mix(Scaled(c, 1.12), Scaled(c, 0.88), (y - (cy - 2.5)) / 4.5);
    });
  }
}

// The window picture at the design size, without the header art: flat greys, the edges and the cut
// corners.
Image FlatWindowPicture() {
  constexpr int W = kWindowPictureWidth, H = kWindowPictureHeight;
  Image image = MakeImage(W, H, 0);
  auto put = [&](int x, int y, std::uint32_t colour) {
    image.pixels[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)] = colour;
  };
  for (int y = 0; y < H; ++y) {
    int level;
    if (y == 0) {
      level = 181;
    } else if (y <= kHeaderLastRow) {
      level = HeaderLevel(y);
    } else if (y == kSeparatorRow || y == H - 1) {
      level = 141;
    } else {
      level = BodyLevel(y);
    }
    std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * W, W, Grey(level));
  }
  for (int y = 5; y < H; ++y) {
    put(0, y, Grey(SideEdgeLevel(y)));
    put(W - 1, y, Grey(SideEdgeLevel(y)));
  }
  // The cut corners, and the curve of edge pixels just inside them joining the top line to the
  // side edges.
  const std::array<int, 5> curveLevel = {181, 181, 180, 179, 179};
  for (int y = 0; y < static_cast<int>(kCornerCut.size()); ++y) {
    const int cut = kCornerCut[static_cast<std::size_t>(y)];
    for (int i = 0; i < cut; ++i) {
      put(i, y, Rgb(255, 0, 255));
      put(W - 1 - i, y, Rgb(255, 0, 255));
    }
    if (y == 0) continue;
    // From row 1 on, the outline steps inwards from where the cut of the row above ended.
    const int previousCut = kCornerCut[static_cast<std::size_t>(y - 1)];
    for (int x = cut; x < std::max(previousCut, cut + 1); ++x) {
      put(x, y, Grey(curveLevel[static_cast<std::size_t>(y)]));
      put(W - 1 - x, y, Grey(curveLevel[static_cast<std::size_t>(y)]));
    }
  }
  return image;
}


}  // namespace

Image WindowPicture(DpiScale scale) {
  // The flat greys, the edge lines and the colour-key corners are design pixels, each covering the
  // pixels between its rounded edges at the DPI (so a line stays one solid line and the holes are the
  // design's corners at scale); only the header art, which blends, is drawn on a (floating-point)
  // canvas at the DPI, and that canvas covers the art's own rectangle.
  Image flat = FlatWindowPicture();
  Image image;
  if (scale.IsDesign()) {
    image = std::move(flat);
  } else {
    const int W = scale.Px(kWindowPictureWidth), H = scale.Px(kWindowPictureHeight);
    image = MakeImage(W, H, 0);
    std::vector<int> column(static_cast<std::size_t>(W));
    for (int x = 0; x < W; ++x) column[static_cast<std::size_t>(x)] = std::min(scale.DesignCell(x), flat.width - 1);
    for (int y = 0; y < H; ++y) {
      const std::uint32_t* from =
          flat.pixels.data() + static_cast<std::size_t>(std::min(scale.DesignCell(y), flat.height - 1)) * flat.width;
      std::uint32_t* to = image.pixels.data() + static_cast<std::size_t>(y) * W;
      for (int x = 0; x < W; ++x) to[x] = from[column[static_cast<std::size_t>(x)]];
    }
  }

  const Rect art{scale.Px(kHeaderArtLeft), scale.Px(kHeaderArtTop), scale.Px(kHeaderArtRight + 1),
                 scale.Px(kHeaderArtBottom + 1)};
  Canvas canvas(art, Colour{}, scale);
  static_assert(kHeaderArtTop >= kHeaderFirstRow && kHeaderArtBottom <= kHeaderLastRow,
                "the header art lies on the header band");
  for (int y = art.y0; y < art.y1; ++y) {
    const Colour row = GreyColour(HeaderLevel(scale.DesignCell(y)));
    for (int x = art.x0; x < art.x1; ++x) canvas(x, y) = row;
  }
  DrawHeaderArt(canvas);
  canvas.CopyInto(image);
  return image;
}

Image PanelPicture(int width, int height, DpiScale scale) {
  width = std::clamp(width, 0, scale.Px(kPanelPictureWidth));
  height = std::clamp(height, 0, scale.Px(kPanelPictureHeight));
  Image image = MakeImage(width, height, 0);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t colour = (scale.DesignCell(y) / 2) % 2 == 0 ? Grey(236) : Grey(240);
    std::fill_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width, colour);
  }
  return image;
}

}  // namespace vantrel::resources
