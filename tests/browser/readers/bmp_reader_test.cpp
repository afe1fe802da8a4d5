// The bitmap reader against files whose every field the test spells out, against hand-encoded
// RLE streams, against hostile headers, and against GraphicsMagick on the corpus.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "raster_test_support.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using raster_test::BmpLayout;
using raster_test::BuildBmp;
using raster_test::GreyRamp;
using raster_test::PackedDib;
using raster_test::PackRows;
using raster_test::RawPixel;

Picture ReadBytes(const std::vector<uint8_t>& bytes) {
  MemoryByteSource src(bytes);
  Picture p;
  ReadBmp(src, p);
  return p;
}

using PixelFn = std::function<uint32_t(int32_t, int32_t)>;

::testing::AssertionResult PixelsAre(const Picture& p, int32_t w, int32_t h, int bpp,
                                     const PixelFn& value) {
  if (p.width() != w || p.height() != h || p.bits_per_pixel() != bpp) {
    return ::testing::AssertionFailure()
           << "picture is " << p.width() << "x" << p.height() << "x" << p.bits_per_pixel()
           << ", expected " << w << "x" << h << "x" << bpp;
  }
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (RawPixel(p, x, y) != value(x, y)) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << RawPixel(p, x, y) << ", expected " << value(x, y);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// ---- Uncompressed formats -------------------------------------------------------------------

struct FormatCase {
  std::string name;
  int32_t width;
  int32_t height;  // negative: top-down file
  uint16_t bpp;
  uint32_t compression;
  uint32_t header_size;
  std::vector<uint32_t> masks;         // as written in the file
  std::size_t palette_size;            // entries written
  std::array<uint32_t, 4> want_masks;  // what the picture keeps
  bool drop_last_padding = false;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpFormat : public ::testing::TestWithParam<FormatCase> {};

uint32_t Pattern(const FormatCase& c, int32_t x, int32_t y) {
  const uint32_t v = static_cast<uint32_t>(x * 7919 + y * 104729 + x * y * 31) ^ 0x5A5A5A5Au;
  if (c.bpp >= 32) return v;
  return v & ((1u << c.bpp) - 1);
}

TEST_P(BmpFormat, DecodesEveryPixelInItsOwnFormat) {
  const FormatCase& c = GetParam();
  const int32_t rows = c.height < 0 ? -c.height : c.height;
  BmpLayout s;
  s.width = c.width;
  s.height = c.height;
  s.bpp = c.bpp;
  s.compression = c.compression;
  s.header_size = c.header_size;
  s.masks = c.masks;
  s.palette = GreyRamp(c.palette_size);
  if (c.header_size != 12 && c.palette_size != 0 && c.palette_size < (std::size_t{1} << c.bpp)) {
    s.colours_used = static_cast<uint32_t>(c.palette_size);
  }
  s.pixels = PackRows(
      c.width, rows, c.bpp, [&](int32_t x, int32_t y) { return Pattern(c, x, y); }, c.height < 0,
      c.drop_last_padding);
  const auto value = [&](int32_t x, int32_t y) { return Pattern(c, x, y); };

  for (const bool packed : {false, true}) {
    SCOPED_TRACE(packed ? "packed bitmap in memory" : "bitmap file");
    Picture p;
    if (packed) {
      const std::vector<uint8_t> dib = PackedDib(s);
      ReadPackedDib(dib.data(), dib.size(), p);
    } else {
      p = Picture();
      const std::vector<uint8_t> file = BuildBmp(s);
      MemoryByteSource src(file);
      ReadBmp(src, p);
    }
    EXPECT_TRUE(PixelsAre(p, c.width, rows, c.bpp, value));
    EXPECT_EQ(p.masks, c.want_masks);
    if (c.bpp <= 8) {
      // The palette has 2^bpp entries: the file's, then black.
      std::vector<Rgb> want = GreyRamp(c.palette_size);
      want.resize(std::size_t{1} << c.bpp, Rgb{});
      EXPECT_EQ(p.palette, want);
    } else {
      EXPECT_TRUE(p.palette.empty());
    }
  }
}

const std::array<uint32_t, 4> kNoMasks{};

INSTANTIATE_TEST_SUITE_P(
    Formats, BmpFormat,
    ::testing::Values(FormatCase{"Bits1_Width13", 13, 5, 1, 0, 40, {}, 2, kNoMasks},
                      FormatCase{"Bits1_Width32_NoPadding", 32, 3, 1, 0, 40, {}, 2, kNoMasks},
                      FormatCase{"Bits4_Width7", 7, 4, 4, 0, 40, {}, 16, kNoMasks},
                      FormatCase{"Bits4_ShortPalette", 9, 2, 4, 0, 40, {}, 5, kNoMasks},
                      FormatCase{"Bits8_Width5", 5, 6, 8, 0, 40, {}, 256, kNoMasks},
                      FormatCase{"Bits8_TopDown", 6, -4, 8, 0, 40, {}, 256, kNoMasks},
                      FormatCase{"Bits8_LastRowUnpadded", 5, 3, 8, 0, 40, {}, 256, kNoMasks, true},
                      FormatCase{"Bits16_Rgb", 3, 4, 16, 0, 40, {}, 0, kNoMasks},
                      FormatCase{"Bits16_Fields565_After40",
                                 5,
                                 3,
                                 16,
                                 3,
                                 40,
                                 {0xF800, 0x07E0, 0x001F},
                                 0,
                                 {0xF800, 0x07E0, 0x001F, 0}},
                      FormatCase{"Bits16_Fields555_V5",
                                 5,
                                 3,
                                 16,
                                 3,
                                 124,
                                 {0x7C00, 0x03E0, 0x001F, 0},
                                 0,
                                 {0x7C00, 0x03E0, 0x001F, 0}},
                      FormatCase{"Bits24_Width301", 301, 3, 24, 0, 40, {}, 0, kNoMasks},
                      FormatCase{"Bits24_V4", 4, 4, 24, 0, 108, {}, 0, kNoMasks},
                      FormatCase{"Bits24_TopDown", 5, -2, 24, 0, 40, {}, 0, kNoMasks},
                      FormatCase{"Bits32_Rgb", 3, 3, 32, 0, 40, {}, 0, kNoMasks},
                      FormatCase{"Bits32_AlphaFields_V5",
                                 3,
                                 3,
                                 32,
                                 3,
                                 124,
                                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
                                 0,
                                 {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
                      FormatCase{"Bits32_Fields_V2Header",
                                 2,
                                 2,
                                 32,
                                 3,
                                 52,
                                 {0xFF, 0xFF00, 0xFF0000},
                                 0,
                                 {0xFF, 0xFF00, 0xFF0000, 0}},
                      FormatCase{"Bits32_RgbIgnoresHeaderMasks_V5",
                                 2,
                                 2,
                                 32,
                                 0,
                                 124,
                                 {0xFF, 0xFF00, 0xFF0000, 0},
                                 0,
                                 kNoMasks},
                      FormatCase{"Core_Bits8", 7, 3, 8, 0, 12, {}, 256, kNoMasks},
                      FormatCase{"Core_Bits24", 7, 3, 24, 0, 12, {}, 0, kNoMasks}),
    [](const auto& row) { return row.param.name; });

TEST(BmpReader, FileOffsetWinsOverAColourCountThatRunsIntoThePixels) {
  BmpLayout s;
  s.width = 4;
  s.height = 2;
  s.bpp = 8;
  s.palette = GreyRamp(4);
  s.colours_used = 200;  // a lie: only 4 entries lie before the offset
  s.pixels = PackRows(4, 2, 8, [](int32_t x, int32_t y) { return uint32_t(x + 4 * y); });
  const Picture p = ReadBytes(BuildBmp(s));
  EXPECT_TRUE(PixelsAre(p, 4, 2, 8, [](int32_t x, int32_t y) { return uint32_t(x + 4 * y); }));
  ASSERT_EQ(p.palette.size(), 256u);
  EXPECT_EQ(p.palette[3], GreyRamp(4)[3]);
  EXPECT_EQ(p.palette[4], Rgb{});
}

TEST(BmpReader, ZeroFileOffsetMeansRightAfterThePalette) {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.bpp = 24;
  s.pixel_offset = 0;
  s.pixels = PackRows(3, 2, 24, [](int32_t x, int32_t y) { return uint32_t(0x010203 * (x + y)); });
  EXPECT_TRUE(PixelsAre(ReadBytes(BuildBmp(s)), 3, 2, 24,
                        [](int32_t x, int32_t y) { return uint32_t(0x010203 * (x + y)); }));
}

// ---- RLE --------------------------------------------------------------------------------------

struct RleCase {
  std::string name;
  int32_t width;
  int32_t height;
  uint32_t compression;  // 1: RLE8, 2: RLE4
  std::vector<uint8_t> stream;
  std::vector<std::vector<uint8_t>> want;  // picture rows, top first
};

void PrintTo(const RleCase& c, std::ostream* os) {
  *os << c.name;
}

class BmpRle : public ::testing::TestWithParam<RleCase> {};

TEST_P(BmpRle, DecodesTheStream) {
  const RleCase& c = GetParam();
  BmpLayout s;
  s.width = c.width;
  s.height = c.height;
  s.bpp = c.compression == 1 ? 8 : 4;
  s.compression = c.compression;
  s.palette = GreyRamp(std::size_t{1} << s.bpp);
  s.pixels = c.stream;
  const Picture p = ReadBytes(BuildBmp(s));
  EXPECT_TRUE(PixelsAre(p, c.width, c.height, s.bpp, [&](int32_t x, int32_t y) {
    return uint32_t{c.want[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]};
  }));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, BmpRle,
    ::testing::Values(
        // Bottom row: a run of two 7s, then an absolute run 1 2 3 (padded to 4 bytes); end of
        // line; a delta of (2, 1) lands on the top row's third pixel; a 9 there; end of bitmap.
        RleCase{"Rle8_RunsAbsoluteDeltaEnd",
                5,
                3,
                1,
                {2, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 1, 9, 0, 1},
                {{0, 0, 9, 0, 0}, {0, 0, 0, 0, 0}, {7, 7, 1, 2, 3}}},
        // A run longer than the row is clipped; the stream ends without end of bitmap.
        RleCase{"Rle8_RunClippedAndStreamEndsEarly",
                3,
                2,
                1,
                {5, 4, 0, 0, 1, 8},
                {{8, 0, 0}, {4, 4, 4}}},
        // Truncated inside an absolute run: what is there is kept.
        RleCase{"Rle8_TruncatedAbsoluteRun", 4, 1, 1, {0, 4, 5, 6}, {{5, 6, 0, 0}}},
        // Nibble runs alternate high and low nibbles; an absolute run of 5 nibbles takes 3
        // bytes plus one byte of padding.
        RleCase{"Rle4_RunsAndAbsolute",
                6,
                2,
                2,
                {3, 0x12, 1, 0xF0, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1},
                {{0xA, 0xB, 0xC, 0xD, 0xE, 0}, {1, 2, 1, 0xF, 0, 0}}},
        RleCase{"Rle4_DeltaPastTheLastRowStops",
                2,
                2,
                2,
                {2, 0x34, 0, 2, 0, 5, 2, 0x11},
                {{0, 0}, {3, 4}}}),
    [](const auto& row) { return row.param.name; });

// ---- Files that are not valid bitmaps ---------------------------------------------------------

struct BadCase {
  std::string name;
  std::function<std::vector<uint8_t>()> bytes;
};

void PrintTo(const BadCase& c, std::ostream* os) {
  *os << c.name;
}

BmpLayout Small24() {
  BmpLayout s;
  s.width = 3;
  s.height = 2;
  s.bpp = 24;
  s.pixels = PackRows(3, 2, 24, [](int32_t x, int32_t) { return uint32_t(x); });
  return s;
}

std::vector<uint8_t> With(const std::function<void(BmpLayout&)>& change) {
  BmpLayout s = Small24();
  change(s);
  return BuildBmp(s);
}

class BmpInvalid : public ::testing::TestWithParam<BadCase> {};

TEST_P(BmpInvalid, IsRejectedWithTheBitmapMessage) {
  const std::vector<uint8_t> bytes = GetParam().bytes();
  try {
    ReadBytes(bytes);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, BmpInvalid,
    ::testing::Values(
        BadCase{"Empty", [] { return std::vector<uint8_t>{}; }},
        BadCase{"NotBM",
                [] {
                  auto b = BuildBmp(Small24());
                  b[0] = 'P';
                  return b;
                }},
        BadCase{"FileHeaderOnly",
                [] {
                  auto b = BuildBmp(Small24());
                  b.resize(14);
                  return b;
                }},
        BadCase{"HeaderSize64", [] { return With([](BmpLayout& s) { s.header_size = 64; }); }},
        BadCase{"HeaderSizeHuge",
                [] { return With([](BmpLayout& s) { s.header_size = 0xFFFFFFF0u; }); }},
        BadCase{"WidthZero", [] { return With([](BmpLayout& s) { s.width = 0; }); }},
        BadCase{"WidthNegative", [] { return With([](BmpLayout& s) { s.width = -3; }); }},
        BadCase{"HeightZero", [] { return With([](BmpLayout& s) { s.height = 0; }); }},
        BadCase{"HeightMostNegative",
                [] { return With([](BmpLayout& s) { s.height = INT32_MIN; }); }},
        BadCase{"Bits2", [] { return With([](BmpLayout& s) { s.bpp = 2; }); }},
        BadCase{"Bits0", [] { return With([](BmpLayout& s) { s.bpp = 0; }); }},
        BadCase{"Bits24WithRle8", [] { return With([](BmpLayout& s) { s.compression = 1; }); }},
        BadCase{"Bits24WithBitfields",
                [] {
                  return With([](BmpLayout& s) {
                    s.compression = 3;
                    s.masks = {0xFF, 0xFF00, 0xFF0000};
                  });
                }},
        BadCase{"JpegCompression", [] { return With([](BmpLayout& s) { s.compression = 4; }); }},
        BadCase{"PixelsShort", [] { return With([](BmpLayout& s) { s.pixels.resize(12); }); }},
        BadCase{"HugeWidthTinyFile",
                [] { return With([](BmpLayout& s) { s.width = 2000000000; }); }},
        BadCase{"OffsetInsideHeader",
                [] { return With([](BmpLayout& s) { s.pixel_offset = 20; }); }},
        BadCase{"OffsetPastEnd",
                [] { return With([](BmpLayout& s) { s.pixel_offset = 0x7FFFFFFF; }); }},
        BadCase{"PaletteCut",
                [] {
                  BmpLayout s;
                  s.width = 2;
                  s.height = 1;
                  s.bpp = 8;
                  s.palette = GreyRamp(256);
                  auto b = BuildBmp(s);
                  b.resize(14 + 40 + 100);
                  return b;
                }},
        BadCase{"RleNoStream",
                [] {
                  BmpLayout s;
                  s.width = 4;
                  s.height = 4;
                  s.bpp = 8;
                  s.compression = 1;
                  return BuildBmp(s);
                }},
        BadCase{"RleWiderThanTheCap",
                [] {
                  BmpLayout s;
                  s.width = kMaxRleSide + 1;
                  s.height = 1;
                  s.bpp = 8;
                  s.compression = 1;
                  s.pixels = {0, 1};
                  return BuildBmp(s);
                }},
        BadCase{"RleLargerThanTheByteCap",
                [] {
                  BmpLayout s;
                  s.width = 9000;
                  s.height = 8000;  // 72 MB decoded
                  s.bpp = 8;
                  s.compression = 1;
                  s.pixels = {0, 1};
                  return BuildBmp(s);
                }},
        BadCase{"Rle4With8Bits",
                [] {
                  BmpLayout s;
                  s.width = 2;
                  s.height = 1;
                  s.bpp = 8;
                  s.compression = 2;
                  s.pixels = {0, 1};
                  return BuildBmp(s);
                }},
        BadCase{"CoreHeaderWith32Bits",
                [] {
                  BmpLayout s;
                  s.header_size = 12;
                  s.width = 2;
                  s.height = 1;
                  s.bpp = 32;
                  s.pixels = std::vector<uint8_t>(8, 1);
                  return BuildBmp(s);
                }}),
    [](const auto& row) { return row.param.name; });

TEST(BmpReader, PackedDibSizeAddsHeaderMasksPaletteAndPixels) {
  BmpLayout s;
  s.width = 5;
  s.height = 3;
  s.bpp = 8;
  s.palette = GreyRamp(256);
  s.pixels = PackRows(5, 3, 8, [](int32_t, int32_t) { return 1u; });
  EXPECT_EQ(PackedDibSize(PackedDib(s).data()), 40u + 1024u + 24u);
  BmpLayout f = s;
  f.bpp = 16;
  f.compression = 3;
  f.masks = {0xF800, 0x07E0, 0x001F};
  f.palette.clear();
  f.pixels = PackRows(5, 3, 16, [](int32_t, int32_t) { return 1u; });
  EXPECT_EQ(PackedDibSize(PackedDib(f).data()), 40u + 12u + 36u);
  BmpLayout core = s;
  core.header_size = 12;
  EXPECT_EQ(PackedDibSize(PackedDib(core).data()), 0u);
}

// ---- The corpus against GraphicsMagick -------------------------------------------------------

class BmpCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(BmpCorpus, ColoursMatchGraphicsMagick) {
  KIVREL_NEED_CORPUS();
  KIVREL_NEED_GM();
  const std::string path = raster_test::CorpusRaster(GetParam());
  Picture p;
  ReadBmp(*FileByteSource::Open(path), p);
  const auto gm = raster_test::GmRead(path);
  ASSERT_TRUE(gm);
  ASSERT_EQ(p.width(), gm->width);
  ASSERT_EQ(p.height(), gm->height);
  // 16-bit channels: GraphicsMagick widens n bits v to 2^(8-n) x v + 2^(8-n) - 1 (0 stays 0),
  // so its 8-bit value gives back v; compare the raw channel bits.
  const bool sixteen = p.bits_per_pixel() == 16;
  const std::array<uint32_t, 3> masks = {p.masks[0] ? p.masks[0] : 0x7C00u,
                                         p.masks[1] ? p.masks[1] : 0x03E0u,
                                         p.masks[2] ? p.masks[2] : 0x001Fu};
  for (int32_t y = 0; y < p.height(); ++y) {
    for (int32_t x = 0; x < p.width(); ++x) {
      const Rgb theirs = gm->At(x, y);
      if (sixteen) {
        const uint32_t v = RawPixel(p, x, y);
        const std::array<uint8_t, 3> gm_channel = {theirs.r, theirs.g, theirs.b};
        for (std::size_t c = 0; c < 3; ++c) {
          const int shift = std::countr_zero(masks[c]);
          const int bits = std::popcount(masks[c]);
          ASSERT_EQ((v & masks[c]) >> shift, (gm_channel[c] + 1u) >> (8 - bits))
              << "channel " << c << " of pixel " << x << "," << y;
        }
      } else {
        ASSERT_EQ(PixelColour(p, x, y), theirs) << "pixel " << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BmpCorpus,
                         ::testing::Values("bmp_1bit.bmp", "bmp_4bit.bmp", "bmp_8bit.bmp",
                                           "bmp_8bit_gray_netpbm.bmp", "bmp_8bit_rle8.bmp",
                                           "bmp_8bit_gray_rle8_gm.bmp", "bmp_16bit_rgb555.bmp",
                                           "bmp_16bit_rgb565.bmp", "bmp_24bit.bmp",
                                           "bmp_24bit_os2.bmp", "bmp_32bit_argb_v5.bmp",
                                           "bmp_32bit_pil.bmp"),
                         [](const auto& row) {
                           std::string n = row.param;
                           for (char& ch : n)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

}  // namespace
}  // namespace kivrel
