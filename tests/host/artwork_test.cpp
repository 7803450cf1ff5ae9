#include "resources/artwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "resources/bmp.h"
#include "tests/common/panel_picture.h"

namespace vantrel::resources {
namespace {

constexpr int W = 406, H = 274;
constexpr std::uint32_t kMagenta = 0xFFFF00FF;

// Built once: the tests only read it.
const Image& Window() {
  static const Image picture = WindowPicture();
  return picture;
}

bool InHeaderArt(int x, int y) { return x >= 9 && x <= 166 && y >= 24 && y <= 65; }

// The pixels the window's top corners cut away: 5, 3, 2, 1, 1 of rows 0-4 from each outer edge.
std::set<std::pair<int, int>> CornerCut() {
  const int cut[] = {5, 3, 2, 1, 1};
  std::set<std::pair<int, int>> pixels;
  for (int y = 0; y < 5; ++y) {
    for (int i = 0; i < cut[y]; ++i) {
      pixels.insert({i, y});
      pixels.insert({W - 1 - i, y});
    }
  }
  return pixels;
}

TEST(WindowPicture, SizeOpacityAndExactlyTheCornerMagenta) {
  const Image& p = Window();
  ASSERT_EQ(p.width, W);
  ASSERT_EQ(p.height, H);
  ASSERT_EQ(p.pixels.size(), std::size_t{W} * H);
  const auto cut = CornerCut();
  ASSERT_EQ(cut.size(), 24u);
  int magenta = 0;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const std::uint32_t px = p.at(x, y);
      ASSERT_EQ(AlphaOf(px), 255) << x << "," << y;
      const bool isMagenta = (px & 0xFFFFFF) == 0xFF00FF;
      magenta += isMagenta;
      ASSERT_EQ(isMagenta, cut.count({x, y}) == 1) << x << "," << y;
    }
  }
  EXPECT_EQ(magenta, 24);
}

TEST(WindowPicture, EdgeLinesAndSeparator) {
  const Image& p = Window();
  for (int x = 5; x <= 400; ++x) EXPECT_EQ(p.at(x, 0), Grey(181)) << "top edge x=" << x;
  for (int x = 0; x < W; ++x) {
    EXPECT_EQ(p.at(x, 67), Grey(141)) << "separator x=" << x;
    EXPECT_EQ(p.at(x, 273), Grey(141)) << "bottom edge x=" << x;
  }
}

TEST(WindowPicture, SideEdgesDarkenTo141FromRow65) {
  const Image& p = Window();
  EXPECT_EQ(p.at(0, 5), Grey(179));
  EXPECT_EQ(p.at(W - 1, 5), Grey(179));
  int previous = 255;
  for (int y = 5; y < H; ++y) {
    const std::uint32_t left = p.at(0, y);
    ASSERT_EQ(left, p.at(W - 1, y)) << "row " << y;
    ASSERT_EQ(RedOf(left), BlueOf(left));
    ASSERT_EQ(RedOf(left), GreenOf(left));
    ASSERT_LE(RedOf(left), previous) << "edge gets lighter at row " << y;
    previous = RedOf(left);
    if (y >= 65) {
      ASSERT_EQ(left, Grey(141)) << "row " << y;
    }
  }
  EXPECT_GT(RedOf(p.at(0, 40)), 141);  // a real fade, not a step at the top
}

TEST(WindowPicture, HeaderGradientIsTheSameInEveryColumnOutsideTheArt) {
  const Image& p = Window();
  EXPECT_EQ(p.at(200, 1), Grey(252));
  EXPECT_EQ(p.at(200, 66), Grey(189));
  EXPECT_EQ(p.at(5, 1), Grey(252));
  EXPECT_EQ(p.at(400, 66), Grey(189));
  int previous = 255;
  for (int y = 1; y <= 66; ++y) {
    const std::uint32_t reference = p.at(200, y);
    ASSERT_EQ(reference, Grey(RedOf(reference))) << "row " << y << " is not grey";
    ASSERT_LE(RedOf(reference), previous) << "gradient not monotone at row " << y;
    previous = RedOf(reference);
    for (int x = 1; x < W - 1; ++x) {
      // Rows 1-4 keep the curve of the cut corner within the first and last five columns.
      if (InHeaderArt(x, y) || (y <= 4 && (x < 5 || x > W - 6))) continue;
      ASSERT_EQ(p.at(x, y), reference) << x << "," << y;
    }
  }
}

TEST(WindowPicture, HeaderArtIsDrawnInsideItsBox) {
  const Image& p = Window();
  int differing = 0;
  for (int y = 24; y <= 65; ++y) {
    for (int x = 9; x <= 166; ++x) differing += p.at(x, y) != p.at(200, y);
  }
  EXPECT_GT(differing, 500);  // a real picture, not a few stray pixels
}

TEST(WindowPicture, BodyPinstripe) {
  const Image& p = Window();
  const std::pair<int, int> stated[] = {{68, 236}, {69, 240}, {70, 240}, {71, 236},
                                        {72, 236}, {73, 240}, {74, 240}, {75, 236}};
  for (auto [y, level] : stated) EXPECT_EQ(p.at(200, y), Grey(level)) << "row " << y;
  for (int y = 68; y <= 272; ++y) {
    const std::uint32_t row = p.at(1, y);
    ASSERT_TRUE(row == Grey(236) || row == Grey(240)) << "row " << y;
    if (y + 4 <= 272) {
      ASSERT_EQ(p.at(1, y + 4), row) << "period broken at row " << y;
    }
    for (int x = 1; x < W - 1; ++x) ASSERT_EQ(p.at(x, y), row) << x << "," << y;
  }
}

TEST(PanelPicture, TwoRowStripesFromTheTop) {
  const Image p = PanelPicture();
  ASSERT_EQ(p.width, 400);
  ASSERT_EQ(p.height, 300);
  for (int y = 0; y < 300; ++y) {
    const std::uint32_t expected = (y % 4 < 2) ? Grey(236) : Grey(240);
    for (int x = 0; x < 400; ++x) ASSERT_EQ(p.at(x, y), expected) << x << "," << y;
  }
  // Drawn at the size a panel shows: the same pixels as the picture's top-left corner, never beyond it.
  const Image shown = PanelPicture(392, 169);
  ASSERT_EQ(shown.width, 392);
  ASSERT_EQ(shown.height, 169);
  for (int y = 0; y < 169; ++y)
    for (int x = 0; x < 392; ++x) ASSERT_EQ(shown.at(x, y), p.at(x, y)) << x << "," << y;
  EXPECT_EQ(PanelPicture(500, 400).width, 400);
  EXPECT_EQ(PanelPicture(500, 400).height, 300);
}

// The title bar's background, top to bottom.
constexpr int kGradient[18] = {252, 245, 241, 240, 240, 239, 239, 238, 237,
                               237, 236, 235, 234, 234, 233, 232, 231, 230};

struct TitleCase {
  TitlePicture which;
  const char* name;
  int width;
};
const TitleCase kTitleCases[] = {
    {TitlePicture::U_Img1, "U_Img1", 17},      {TitlePicture::M_Img1, "M_Img1", 17},
    {TitlePicture::D_Img1, "D_Img1", 17},      {TitlePicture::U_Img2, "U_Img2", 24},
    {TitlePicture::M_Img2, "M_Img2", 24},      {TitlePicture::D_Img2, "D_Img2", 24},
    {TitlePicture::WindowImg, "WindowImg", 23}};

TEST(TitleBarPicture, SizesOpacityAndSeamlessEdgeColumns) {
  for (int y = 0; y < 18; ++y) EXPECT_EQ(kTitleGradient[static_cast<std::size_t>(y)], kGradient[y]);
  for (const TitleCase& c : kTitleCases) {
    SCOPED_TRACE(c.name);
    const Image p = TitleBarPicture(c.which);
    ASSERT_EQ(p.width, c.width);
    ASSERT_EQ(p.height, 18);
    for (std::uint32_t px : p.pixels) ASSERT_EQ(AlphaOf(px), 255);
    for (int y = 0; y < 18; ++y) {
      EXPECT_EQ(p.at(0, y), Grey(kGradient[y])) << "first column, row " << y;
      EXPECT_EQ(p.at(c.width - 1, y), Grey(kGradient[y])) << "last column, row " << y;
    }
  }
  const Image strip = TitleBarPicture(TitlePicture::WindowImg);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < strip.width; ++x) ASSERT_EQ(strip.at(x, y), Grey(kGradient[y]));
}

double MeanLuminance(const Image& p) {
  double sum = 0;
  for (std::uint32_t px : p.pixels) sum += 0.3 * RedOf(px) + 0.59 * GreenOf(px) + 0.11 * BlueOf(px);
  return sum / static_cast<double>(p.pixels.size());
}

TEST(TitleBarPicture, ButtonsLookTheirPart) {
  const Image closeUp = TitleBarPicture(TitlePicture::U_Img1);
  const Image closeHover = TitleBarPicture(TitlePicture::M_Img1);
  const Image closeDown = TitleBarPicture(TitlePicture::D_Img1);
  const Image miniUp = TitleBarPicture(TitlePicture::U_Img2);
  const Image miniHover = TitleBarPicture(TitlePicture::M_Img2);
  const Image miniDown = TitleBarPicture(TitlePicture::D_Img2);

  // Each state is its own picture, and pressed is the darker one.
  EXPECT_GT(CountDifferingPixels(closeUp, closeHover, 8), 10);
  EXPECT_GT(CountDifferingPixels(closeHover, closeDown, 8), 40);
  EXPECT_GT(CountDifferingPixels(miniUp, miniHover, 8), 100);
  EXPECT_GT(CountDifferingPixels(miniHover, miniDown, 8), 100);
  EXPECT_LT(MeanLuminance(closeDown), MeanLuminance(closeHover));
  EXPECT_LT(MeanLuminance(miniDown), MeanLuminance(miniHover));

  // A red ball below the highlight; the cross darkens the ball's centre.
  const std::uint32_t ball = closeUp.at(8, 11);
  EXPECT_GT(RedOf(ball), GreenOf(ball) + 80);
  EXPECT_GT(RedOf(ball), BlueOf(ball) + 80);
  EXPECT_LT(RedOf(closeHover.at(8, 9)), RedOf(closeUp.at(8, 9)) - 40);
  // A grey pill, then a blue one.
  const std::uint32_t grey = miniUp.at(12, 10), blue = miniHover.at(12, 10);
  EXPECT_LT(std::abs(RedOf(grey) - BlueOf(grey)), 16);
  EXPECT_GT(BlueOf(blue), RedOf(blue) + 60);
  // The ball is about 13-14 pixels across: on its middle row it reaches from column 2 to 14.
  const std::uint32_t background = Grey(kGradient[9]);
  EXPECT_NE(closeUp.at(2, 9), background);
  EXPECT_NE(closeUp.at(14, 9), background);
}

// The columns and rows an image's opaque pixels span.
std::pair<int, int> OpaqueSpan(const Image& image) {
  int left = image.width, right = -1, top = image.height, bottom = -1;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (AlphaOf(image.at(x, y)) >= 128) left = std::min(left, x), right = std::max(right, x),
                                          top = std::min(top, y), bottom = std::max(bottom, y);
  return {right - left + 1, bottom - top + 1};
}

TEST(IconImage, SizesWithRealTransparency) {
  // The stored sizes, and those the window asks for at 120, 144 and 192 dpi.
  for (int size : {48, 32, 16, 20, 24, 40, 64}) {
    SCOPED_TRACE(size);
    const Image icon = IconImage(size);
    ASSERT_EQ(icon.width, size);
    ASSERT_EQ(icon.height, size);
    EXPECT_EQ(AlphaOf(icon.at(0, 0)), 0);
    EXPECT_EQ(AlphaOf(icon.at(size - 1, 0)), 0);
    EXPECT_EQ(AlphaOf(icon.at(size / 2, size / 2)), 255);
    int partial = 0;
    for (std::uint32_t px : icon.pixels) partial += AlphaOf(px) > 0 && AlphaOf(px) < 255;
    EXPECT_GT(partial, size / 2) << "edges are not antialiased";
    for (std::uint32_t px : icon.pixels) {
      if (AlphaOf(px) == 0) {
        ASSERT_EQ(px, 0u);
      }
      ASSERT_NE(px & 0xFFFFFF, 0xFF00FFu);
    }
  }
  // The program has no exceptions to throw: a size outside the icon's range is drawn as the nearest.
  for (int bad : {0, -16, 15}) EXPECT_EQ(IconImage(bad).pixels, IconImage(16).pixels) << bad;
  const Image largest = IconImage(100000);
  EXPECT_EQ(largest.width, 256);
  EXPECT_EQ(largest.pixels, IconImage(256).pixels);
}

TEST(IconImage, ASizeBetweenTheStoredOnesIsDrawnInProportionNotCopied) {
  // The stack fills the same share of the picture at every size, within a pixel or two of rounding: a copy
  // of a smaller image would leave a margin, one of a larger image would be cut.
  const auto [w48, h48] = OpaqueSpan(IconImage(48));
  for (int size : {24, 40, 64, 96}) {
    SCOPED_TRACE(size);
    const auto [w, h] = OpaqueSpan(IconImage(size));
    EXPECT_NEAR(w, w48 * size / 48.0, 1.5 + size / 48.0);
    EXPECT_NEAR(h, h48 * size / 48.0, 1.5 + size / 48.0);
  }
}

// FNV-1a over the size and pixels of an image.
std::uint64_t Digest(const Image& image) {
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h = (h ^ ((v >> (8 * i)) & 0xFF)) * 1099511628211ull;
  };
  mix(static_cast<std::uint32_t>(image.width));
  mix(static_cast<std::uint32_t>(image.height));
  for (std::uint32_t px : image.pixels) mix(px);
  return h;
}

TEST(DpiScale, DesignValuesRoundOnceAndCellsInvertThem) {
  const DpiScale design;
  for (double v : {0.0, 1.0, 113.0, 258.333333, 405.0, 406.0}) EXPECT_EQ(design.Px(v), static_cast<int>(v + 0.5));
  EXPECT_EQ(DpiScale(144).Px(406), 609);
  EXPECT_EQ(DpiScale(144).Px(274), 411);
  EXPECT_EQ(DpiScale(192).Px(406), 812);
  EXPECT_EQ(DpiScale(192).Px(274), 548);
  // Twips give thirds of a pixel: 3875 twips is 258 1/3 pixels, 387.5 at 144 dpi, which rounds up.
  EXPECT_EQ(DpiScale(144).Px(3875.0 / 15), 388);
  EXPECT_EQ(DpiScale(0), design);
  for (int dpi : {96, 120, 144, 168, 192, 240}) {
    const DpiScale s(dpi);
    for (int pixel = 0; pixel < 1000; ++pixel) {
      const int cell = s.DesignCell(pixel);
      ASSERT_LE(s.Px(cell), pixel) << dpi << " dpi, pixel " << pixel;
      ASSERT_GT(s.Px(cell + 1), pixel) << dpi << " dpi, pixel " << pixel;
    }
    EXPECT_EQ(s.Extent(1, 113) + s.Extent(114, 113), s.Extent(1, 226)) << "neighbours edge to edge at " << dpi;
  }
}

TEST(Artwork, AtTheDesignDpiEveryPictureIsTheOneRecorded) {
  // Digests of the pictures as they were before the artwork could be drawn at other DPIs.
  EXPECT_EQ(Digest(WindowPicture()), 0xc6a2aef4294dc32bull);
  EXPECT_EQ(Digest(PanelPicture(392, 169)), 0x55ca9fa6f3784909ull);
  const std::uint64_t title[] = {0x70937bad2dd15ea2ull, 0x7834db58284563e5ull, 0x8e2380bf5aee1580ull,
                                 0x4542a332f4a4a961ull, 0x9e659ad12b0af7a5ull, 0x6abaffbfddaea73dull,
                                 0x5cf3a05466696fa5ull};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Digest(TitleBarPicture(static_cast<TitlePicture>(i))), title[i]) << i;
  // A value beyond the seven (no throw in the program): the strip.
  EXPECT_EQ(TitleBarPicture(static_cast<TitlePicture>(7)).pixels, TitleBarPicture(TitlePicture::WindowImg).pixels);
  EXPECT_EQ(Digest(IconImage(48)), 0xa6ae0530560e01acull);
}

TEST(Artwork, AtOtherDpisDrawnAtScaleWithTheCornersOfTheDesign) {
  const Image& design = Window();
  for (int dpi : {144, 192}) {
    SCOPED_TRACE(dpi);
    const DpiScale s(dpi);
    const Image p = WindowPicture(s);
    ASSERT_EQ(p.width, s.Px(W));
    ASSERT_EQ(p.height, s.Px(H));
    int artDiffers = 0;
    for (int y = 0; y < p.height; ++y) {
      for (int x = 0; x < p.width; ++x) {
        const std::uint32_t ofCell = design.at(s.DesignCell(x), s.DesignCell(y));
        const bool hole = (p.at(x, y) & 0xFFFFFF) == 0xFF00FF;
        // The colour-key holes are exactly the design's cut corners at scale.
        ASSERT_EQ(hole, (ofCell & 0xFFFFFF) == 0xFF00FF) << x << "," << y;
        if (InHeaderArt(s.DesignCell(x), s.DesignCell(y)))
          artDiffers += p.at(x, y) != ofCell;
        else
          ASSERT_EQ(p.at(x, y), ofCell) << x << "," << y;  // flat parts: whole design pixels
      }
    }
    // The art is drawn at the DPI, not enlarged: most of its pixels are not their design pixel's.
    EXPECT_GT(artDiffers, 2000);

    for (const auto& [which, width] : {std::pair{TitlePicture::U_Img1, 17}, std::pair{TitlePicture::M_Img2, 24},
                                       std::pair{TitlePicture::WindowImg, 23}}) {
      const Image t = TitleBarPicture(which, s);
      ASSERT_EQ(t.width, s.Px(width));
      ASSERT_EQ(t.height, s.Px(18));
      for (int y = 0; y < t.height; ++y) {
        const std::uint32_t edge = Grey(kGradient[s.DesignCell(y)]);
        EXPECT_EQ(t.at(0, y), edge) << y;
        EXPECT_EQ(t.at(t.width - 1, y), edge) << y;
      }
    }
    const Image panel = PanelPicture(s.Px(392), s.Px(169), s);
    ASSERT_EQ(panel.height, s.Px(169));
    const int stripe = s.Px(2);  // two design rows, whole at these DPIs
    for (int y = 0; y < panel.height; ++y)
      ASSERT_EQ(panel.at(5, y), (y / stripe) % 2 == 0 ? Grey(236) : Grey(240)) << y;
  }
}

TEST(Image, AtChecksBounds) {
  const Image p = MakeImage(3, 2, 7);
  EXPECT_EQ(p.at(2, 1), 7u);
  // The checked read is built with exceptions in every build (the program never calls it).
  for (auto [x, y] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}})
    EXPECT_THROW(p.at(x, y), std::out_of_range) << x << "," << y;
  // A negative side is an empty one, not an error the program could not throw.
  const Image none = MakeImage(-1, 2, 0);
  EXPECT_EQ(none.width, 0);
  EXPECT_EQ(none.height, 2);
  EXPECT_TRUE(none.pixels.empty());
  EXPECT_EQ(MakeImage(4, -3, 1).height, 0);
}

TEST(Ppm, RoundTripAndTheHeaderVariantsScreenshotsUse) {
  Image p = MakeImage(3, 2, 0);
  p.pixels = {Rgb(1, 2, 3), Rgb(255, 0, 128), Grey(0), Grey(255), Rgb(10, 20, 30), kMagenta};
  const auto bytes = EncodePpm(p);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 11), "P6\n3 2\n255\n");
  const Image back = DecodePpm(bytes);
  ASSERT_EQ(back.width, 3);
  ASSERT_EQ(back.height, 2);
  EXPECT_EQ(back.pixels, p.pixels);

  // Comments, other whitespace, and 16-bit samples scaled down.
  std::string withComments = "P6 # screenshot\n# of the window\n1\t1\r\n255\n";
  withComments += std::string("\x10\x20\x30", 3);
  EXPECT_EQ(DecodePpm(withComments).pixels[0], Rgb(0x10, 0x20, 0x30));
  std::string wide = "P6\n1 1\n65535\n";
  wide += std::string("\xFF\xFF\x80\x00\x00\x00", 6);
  EXPECT_EQ(DecodePpm(wide).pixels[0], Rgb(255, 128, 0));
  // Trailing bytes after the raster are ignored.
  EXPECT_EQ(DecodePpm(withComments + "junk").pixels[0], Rgb(0x10, 0x20, 0x30));
}

TEST(Ppm, MalformedInputIsRejected) {
  const std::string bad[] = {
      "",
      "P3\n1 1\n255\n1 2 3",             // ASCII variant
      "P6\n1 1\n255\n\x01\x02",          // truncated raster
      "P6\n0 1\n255\n",                  // empty raster
      "P6\n1 1\n0\n\x01\x02\x03",        // maxval 0
      "P6\n1 1\n70000\n\x01\x02\x03",    // maxval too large
      "P6\n1 1\n255",                    // no raster at all
      "P6\n1 x\n255\n\x01\x02\x03",      // not a number
      "P6\n99999 99999\n255\n\x01",      // absurd size
      "P6\n1 1\n15\n\x10\x01\x01",       // sample above maxval
      "P6\n4294967296 1\n255\n\x01\x02", // overflowing width
  };
  for (const std::string& s : bad) EXPECT_THROW(DecodePpm(s), std::invalid_argument) << s;
}

TEST(Bmp, BottomUpBgraWithConsistentHeaders) {
  Image p = MakeImage(2, 2, 0);
  p.pixels = {Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(7, 8, 9), 0x80102030};
  const auto b = EncodeBmp(p);
  auto le32 = [&](std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
  };
  ASSERT_EQ(b.size(), 54u + 16u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(le32(2), b.size());
  EXPECT_EQ(le32(10), 54u);
  EXPECT_EQ(le32(18), 2u);
  EXPECT_EQ(le32(22), 2u);  // positive height: the bottom row comes first
  EXPECT_EQ(le32(54), Rgb(7, 8, 9));
  EXPECT_EQ(le32(58), 0x80102030u);
  EXPECT_EQ(le32(62), Rgb(1, 2, 3));
}

TEST(Compare, CropAndCountDifferences) {
  const Image& window = Window();
  const Image corner = Crop(window, W - 5, 0, 5, 5);
  EXPECT_EQ(corner.at(4, 0), kMagenta);
  EXPECT_EQ(corner.at(0, 0), kMagenta);
  EXPECT_THROW(Crop(window, W - 4, 0, 5, 5), std::out_of_range);
  EXPECT_THROW(Crop(window, 0, -1, 5, 5), std::out_of_range);

  Image other = window;
  other.pixels[10] = Grey(RedOf(other.pixels[10]) ^ 3);  // off by at most 3
  other.pixels[20] ^= 0xFF;
  EXPECT_EQ(CountDifferingPixels(window, other, 0), 2);
  EXPECT_EQ(CountDifferingPixels(window, other, 3), 1);
  EXPECT_EQ(CountDifferingPixels(window, window), 0);
  EXPECT_THROW(CountDifferingPixels(window, corner), std::invalid_argument);
}

}  // namespace
}  // namespace vantrel::resources
