#include "resources/icon_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace vantrel::resources {
namespace {

std::uint32_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{b.at(at)} | std::uint32_t{b.at(at + 1)} << 8;
}
std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return Le16(b, at) | Le16(b, at + 2) << 16;
}

// Bytes of one image in the file: header, palette, XOR bitmap, AND mask with 32-bit aligned rows.
std::uint32_t ExpectedImageBytes(int size, int bitCount) {
  const int maskRow = (size + 31) / 32 * 4;
  const int colourRow = (size * bitCount + 31) / 32 * 4;
  return static_cast<std::uint32_t>(40 + (bitCount == 8 ? 1024 : 0) +
                                    (colourRow + maskRow) * size);
}

int MaxChannelDifference(std::uint32_t a, std::uint32_t b) {
  return std::max({std::abs(RedOf(a) - RedOf(b)), std::abs(GreenOf(a) - GreenOf(b)),
                   std::abs(BlueOf(a) - BlueOf(b))});
}

TEST(IconFile, SixImagesInTheirOrderWithContiguousData) {
  const auto file = BuildIconFile();
  ASSERT_GE(file.size(), 6u + 6 * 16);
  EXPECT_EQ(Le16(file, 0), 0u);
  EXPECT_EQ(Le16(file, 2), 1u);  // icon, not cursor
  ASSERT_EQ(Le16(file, 4), 6u);

  const int sizes[] = {48, 32, 16, 48, 32, 16};
  const int depths[] = {8, 8, 8, 32, 32, 32};
  std::uint32_t expectedOffset = 6 + 6 * 16;
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const std::size_t e = 6 + 16 * static_cast<std::size_t>(i);
    EXPECT_EQ(file[e], sizes[i]);
    EXPECT_EQ(file[e + 1], sizes[i]);
    EXPECT_EQ(file[e + 2], 0);  // colour count: 0 for 256 and more
    EXPECT_EQ(file[e + 3], 0);
    EXPECT_EQ(Le16(file, e + 4), 1u);
    EXPECT_EQ(Le16(file, e + 6), static_cast<std::uint32_t>(depths[i]));
    const std::uint32_t bytes = Le32(file, e + 8), offset = Le32(file, e + 12);
    EXPECT_EQ(bytes, ExpectedImageBytes(sizes[i], depths[i]));
    EXPECT_EQ(offset, expectedOffset);
    ASSERT_LE(std::size_t{offset} + bytes, file.size());
    expectedOffset = offset + bytes;

    // BITMAPINFOHEADER: height doubled for the mask, one plane, no compression.
    EXPECT_EQ(Le32(file, offset), 40u);
    EXPECT_EQ(Le32(file, offset + 4), static_cast<std::uint32_t>(sizes[i]));
    EXPECT_EQ(Le32(file, offset + 8), static_cast<std::uint32_t>(2 * sizes[i]));
    EXPECT_EQ(Le16(file, offset + 12), 1u);
    EXPECT_EQ(Le16(file, offset + 14), static_cast<std::uint32_t>(depths[i]));
    EXPECT_EQ(Le32(file, offset + 16), 0u);
  }
  EXPECT_EQ(expectedOffset, file.size());
}

TEST(IconFile, RoundTripOfTheProgramIcon) {
  const auto entries = ReadIconFile(BuildIconFile());
  ASSERT_EQ(entries.size(), 6u);
  const int sizes[] = {48, 32, 16};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(sizes[i]);
    const Image original = IconImage(sizes[i]);
    const IconEntry& low = entries[static_cast<std::size_t>(i)];
    const IconEntry& full = entries[static_cast<std::size_t>(i + 3)];
    ASSERT_EQ(low.bitCount, 8);
    ASSERT_EQ(full.bitCount, 32);
    EXPECT_EQ(low.paletteSize, 256);
    EXPECT_EQ(full.image.pixels, original.pixels);  // 32 bpp keeps every pixel and its alpha

    // 8 bpp: transparent exactly where alpha is below the threshold, colours close elsewhere.
    for (std::size_t p = 0; p < original.pixels.size(); ++p) {
      const std::uint32_t want = original.pixels[p], got = low.image.pixels[p];
      if (AlphaOf(want) < kIconMaskAlphaThreshold) {
        ASSERT_EQ(got, 0u) << p;
      } else {
        ASSERT_EQ(AlphaOf(got), 255) << p;
        ASSERT_LE(MaxChannelDifference(want, got), 12) << p;
      }
    }
  }
}

TEST(IconFile, ColourReduction) {
  // Up to 255 colours survive exactly; a smooth field of 4096 colours comes out close.
  Image few = MakeImage(16, 16, 0);
  for (std::size_t i = 0; i < few.pixels.size(); ++i) {
    few.pixels[i] = i < 255 ? Rgb(static_cast<int>(i), static_cast<int>(255 - i), static_cast<int>(i * 7 % 256))
                            : 0;  // one transparent pixel
  }
  Image many = MakeImage(64, 64, 0);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      many.pixels[static_cast<std::size_t>(y * 64 + x)] = Rgb(x * 4, y * 4, 255 - x * 2 - y * 2);

  const auto entries = ReadIconFile(BuildIconFile({few, many}));
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].image.pixels, few.pixels);
  double totalError = 0;
  int worst = 0;
  for (std::size_t p = 0; p < many.pixels.size(); ++p) {
    const int d = MaxChannelDifference(many.pixels[p], entries[1].image.pixels[p]);
    worst = std::max(worst, d);
    totalError += d;
  }
  EXPECT_LT(totalError / static_cast<double>(many.pixels.size()), 6.0);
  EXPECT_LE(worst, 24);
}

TEST(IconFile, RowsBottomUpAndMaskBitsMostSignificantFirst) {
  // 5 x 3: colour rows padded to 4 bytes at 8 bpp, mask rows to 32 bits.
  Image image = MakeImage(5, 3, Rgb(0, 0, 255));
  image.pixels[0] = Rgb(255, 0, 0);   // top-left, opaque
  image.pixels[1] = 0x40FFFFFF;       // top row, x = 1: below the threshold
  const auto file = BuildIconFile({image});
  ASSERT_EQ(Le16(file, 4), 2u);

  const std::size_t at8 = Le32(file, 6 + 12), at32 = Le32(file, 6 + 16 + 12);
  EXPECT_EQ(Le32(file, 6 + 8), 40u + 1024 + 8 * 3 + 4 * 3);
  EXPECT_EQ(Le32(file, 6 + 16 + 8), 40u + 20 * 3 + 4 * 3);
  // 32 bpp: the top row is the last of the three, BGRA.
  const std::size_t top32 = at32 + 40 + 2 * 20;
  EXPECT_EQ(Le32(file, top32), Rgb(255, 0, 0));
  EXPECT_EQ(Le32(file, top32 + 4), 0x40FFFFFFu);
  EXPECT_EQ(Le32(file, at32 + 40), Rgb(0, 0, 255));
  // Masks: only x = 1 of the top (last) row is set, in both depths.
  for (std::size_t mask : {at8 + 40 + 1024 + 8 * 3, at32 + 40 + 20 * 3}) {
    EXPECT_EQ(Le32(file, mask), 0u);
    EXPECT_EQ(Le32(file, mask + 4), 0u);
    EXPECT_EQ(file[mask + 8], 0x40);
    EXPECT_EQ(file[mask + 9], 0);
  }
  // 8 bpp: the transparent pixel points at black, so XOR drawing leaves the screen alone.
  const std::size_t top8 = at8 + 40 + 1024 + 2 * 8;
  EXPECT_EQ(Le32(file, at8 + 40 + 4 * file[top8 + 1]), 0u);
  EXPECT_EQ(Le32(file, at8 + 40 + 4 * file[top8]) & 0xFFFFFF, 0xFF0000u);

  const auto entries = ReadIconFile(file);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].image.pixels, image.pixels);
  EXPECT_EQ(entries[0].image.at(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(entries[0].image.at(1, 0), 0u);
  EXPECT_EQ(entries[0].image.at(4, 2), Rgb(0, 0, 255));
}

TEST(IconFile, RefusesImagesItCannotStore) {
  Image wrongCount = MakeImage(4, 4, 0);
  wrongCount.pixels.pop_back();
  const std::vector<std::vector<Image>> bad = {
      {}, {MakeImage(0, 0, 0)}, {MakeImage(257, 16, 0)}, {MakeImage(16, 257, 0)}, {wrongCount}};
  for (const auto& images : bad) EXPECT_THROW(BuildIconFile(images), std::invalid_argument);
  EXPECT_NO_THROW(BuildIconFile({MakeImage(256, 1, 0)}));
}

TEST(IconFile, ReaderRejectsDamagedFiles) {
  const auto good = BuildIconFile();
  ASSERT_NO_THROW(ReadIconFile(good));
  // Cut anywhere: in the directory, a header, a palette, a bitmap, the last mask.
  for (std::size_t length : {std::size_t{0}, std::size_t{5}, std::size_t{50}, std::size_t{200},
                             std::size_t{1500}, good.size() / 2, good.size() - 1}) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_THROW(ReadIconFile(cut), std::invalid_argument) << "length " << length;
  }
  auto damaged = [&](std::size_t at, std::uint8_t value) {
    auto copy = good;
    copy[at] = value;
    return copy;
  };
  const std::size_t first = Le32(good, 6 + 12);
  EXPECT_THROW(ReadIconFile(damaged(2, 2)), std::invalid_argument);           // cursor type
  EXPECT_THROW(ReadIconFile(damaged(6 + 15, 0x7F)), std::invalid_argument);   // offset far out
  EXPECT_THROW(ReadIconFile(damaged(6 + 6, 4)), std::invalid_argument);       // depth mismatch
  EXPECT_THROW(ReadIconFile(damaged(first + 8, 48)), std::invalid_argument);  // height not doubled
  EXPECT_THROW(ReadIconFile(damaged(first + 16, 1)), std::invalid_argument);  // compressed
  EXPECT_THROW(ReadIconFile(damaged(first + 32, 200)), std::invalid_argument);  // short palette
}

}  // namespace
}  // namespace vantrel::resources
