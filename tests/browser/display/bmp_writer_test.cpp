// "Sauvegarde BMP": every pixel format the writer takes is read back identically by our reader
// and with the same colours by GraphicsMagick; a file that cannot be created is an error.
#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/display/bmp_writer.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "raster_test_support.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using raster_test::GreyRamp;
using raster_test::RawPixel;
using raster_test::ScratchDir;

void SetRawPixel(Picture& p, int32_t x, int32_t y, uint32_t v) {
  uint8_t* row = p.Row(y);
  const int bpp = p.bits_per_pixel();
  if (bpp < 8) {
    const int per_byte = 8 / bpp;
    const int shift = 8 - bpp * (x % per_byte + 1);
    uint8_t& b = row[x / per_byte];
    b = static_cast<uint8_t>((b & ~(((1u << bpp) - 1) << shift)) | (v << shift));
  } else {
    for (int k = 0; k < bpp / 8; ++k)
      row[static_cast<std::size_t>(x) * (bpp / 8) + k] = static_cast<uint8_t>(v >> (8 * k));
  }
}

struct WriterCase {
  std::string name;
  int32_t width;
  int32_t height;
  int bpp;
  std::size_t palette_size;
  std::array<uint32_t, 4> masks;
};

void PrintTo(const WriterCase& c, std::ostream* os) {
  *os << c.name;
}

Picture MakePicture(const WriterCase& c) {
  Picture p;
  p.Reset(c.width, c.height, c.bpp);
  p.FillZero();
  p.palette = GreyRamp(c.palette_size);
  p.masks = c.masks;
  for (int32_t y = 0; y < c.height; ++y) {
    for (int32_t x = 0; x < c.width; ++x) {
      uint32_t v = static_cast<uint32_t>(x * 2654435761u + y * 40503u) ^ (x * y);
      if (c.bpp < 32) v &= (1u << c.bpp) - 1;
      // A picture with an alpha mask is opaque, as a decoder expects of a photograph.
      if (c.masks[3] != 0) v |= c.masks[3];
      SetRawPixel(p, x, y, v);
    }
  }
  return p;
}

class BmpWriter : public ::testing::TestWithParam<WriterCase> {};

TEST_P(BmpWriter, OurReaderGetsThePictureBack) {
  const WriterCase& c = GetParam();
  const Picture p = MakePicture(c);
  ScratchDir dir;
  const std::string path = dir.File("out.bmp");
  WriteBmp(p, path);
  Picture back;
  ReadBmp(*FileByteSource::Open(path), back);
  ASSERT_EQ(back.width(), c.width);
  ASSERT_EQ(back.height(), c.height);
  ASSERT_EQ(back.bits_per_pixel(), c.bpp);
  EXPECT_EQ(back.masks, c.masks);
  EXPECT_EQ(back.palette, p.palette);
  for (int32_t y = 0; y < c.height; ++y) {
    for (int32_t x = 0; x < c.width; ++x)
      ASSERT_EQ(RawPixel(back, x, y), RawPixel(p, x, y)) << x << "," << y;
  }
}

TEST_P(BmpWriter, GraphicsMagickSeesTheSameColours) {
  KIVREL_NEED_GM();
  const WriterCase& c = GetParam();
  const Picture p = MakePicture(c);
  ScratchDir dir;
  const std::string path = dir.File("out.bmp");
  WriteBmp(p, path);
  const auto gm = raster_test::GmRead(path);
  ASSERT_TRUE(gm);
  ASSERT_EQ(gm->width, c.width);
  ASSERT_EQ(gm->height, c.height);
  for (int32_t y = 0; y < c.height; ++y) {
    for (int32_t x = 0; x < c.width; ++x) {
      const Rgb theirs = gm->At(x, y);
      if (c.bpp == 16) {
        // GraphicsMagick widens n bits v to 2^(8-n) x v + 2^(8-n) - 1; compare the raw bits.
        const std::array<uint32_t, 3> m = {c.masks[0] ? c.masks[0] : 0x7C00u,
                                           c.masks[1] ? c.masks[1] : 0x03E0u,
                                           c.masks[2] ? c.masks[2] : 0x001Fu};
        const std::array<uint8_t, 3> ch = {theirs.r, theirs.g, theirs.b};
        for (std::size_t k = 0; k < 3; ++k) {
          ASSERT_EQ((RawPixel(p, x, y) & m[k]) >> std::countr_zero(m[k]),
                    (ch[k] + 1u) >> (8 - std::popcount(m[k])))
              << "channel " << k << " of " << x << "," << y;
        }
      } else {
        ASSERT_EQ(theirs, PixelColour(p, x, y)) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BmpWriter,
    ::testing::Values(
        WriterCase{"Bits1_Width13", 13, 4, 1, 2, {}}, WriterCase{"Bits4_Width7", 7, 5, 4, 16, {}},
        WriterCase{"Bits8_PreviewOddWidth", 301, 7, 8, 256, {}},
        WriterCase{"Bits8_OnePixel", 1, 1, 8, 256, {}}, WriterCase{"Bits16_Plain", 5, 3, 16, 0, {}},
        WriterCase{"Bits16_Fields565", 5, 3, 16, 0, {0xF800, 0x07E0, 0x001F, 0}},
        WriterCase{"Bits24_Width301", 301, 4, 24, 0, {}},
        WriterCase{"Bits32_Plain", 6, 3, 32, 0, {}},
        WriterCase{
            "Bits32_AlphaFields", 6, 3, 32, 0, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}}),
    [](const auto& row) { return row.param.name; });

TEST(BmpWriterErrors, AFileThatCannotBeCreatedNamesIt) {
  Picture p;
  p.FillZero();
  const std::string path = "/nonexistent-folder-kivrel/out.bmp";
  try {
    WriteBmp(p, path);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
  }
}

TEST(BmpWriterErrors, APaletteShorterThanTheFormatIsPaddedWithBlack) {
  Picture p;
  p.Reset(2, 1, 8);
  p.FillZero();
  p.palette = {Rgb{1, 2, 3}};
  ScratchDir dir;
  WriteBmp(p, dir.File("short.bmp"));
  Picture back;
  ReadBmp(*FileByteSource::Open(dir.File("short.bmp")), back);
  ASSERT_EQ(back.palette.size(), 256u);
  EXPECT_EQ(back.palette[0], (Rgb{1, 2, 3}));
  EXPECT_EQ(back.palette[255], Rgb{});
}

// ---- Colours of masked pixels -----------------------------------------------------------------

struct ColourCase {
  std::string name;
  int bpp;
  std::array<uint32_t, 4> masks;
  uint32_t pixel;
  Rgb want;  // each channel round(v x 255 / (2^n - 1))
};

void PrintTo(const ColourCase& c, std::ostream* os) {
  *os << c.name;
}

class MaskedColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(MaskedColour, WidensEachChannelToEightBits) {
  const ColourCase& c = GetParam();
  Picture p;
  p.Reset(1, 1, c.bpp);
  p.masks = c.masks;
  SetRawPixel(p, 0, 0, c.pixel);
  EXPECT_EQ(PixelColour(p, 0, 0), c.want);
  Picture converted;
  ConvertTo24(p, converted);
  EXPECT_EQ(RawPixel(converted, 0, 0), uint32_t(c.want.r) << 16 | c.want.g << 8 | c.want.b);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskedColour,
    ::testing::Values(
        // 5-5-5 by default: r = 31 -> 255, g = 16 -> 131.6 -> 132, b = 1 -> 8.2 -> 8.
        ColourCase{"Plain16", 16, {}, (31u << 10) | (16u << 5) | 1u, Rgb{255, 132, 8}},
        // 5-6-5: g = 32 of 63 -> 129.5 -> 130.
        ColourCase{"Fields565",
                   16,
                   {0xF800, 0x07E0, 0x001F, 0},
                   (0u << 11) | (32u << 5) | 31u,
                   Rgb{0, 130, 255}},
        ColourCase{"Plain32_BlueGreenRedUnused", 32, {}, 0xAA112233u, Rgb{0x11, 0x22, 0x33}},
        // Masks in an unusual order and width: r = 3 of 3, g = 1 of 3 -> 85, b = 0x3FF of 1023.
        ColourCase{"Fields32_Odd", 32, {0x3, 0xC, 0xFFC00000, 0}, 0xFFC00007u, Rgb{255, 85, 255}}),
    [](const auto& row) { return row.param.name; });

TEST(RasterBitDepth, NamesThePixelFormat) {
  const auto depth = [](int bpp, std::array<uint32_t, 4> masks) {
    Picture p;
    p.Reset(1, 1, bpp);
    p.masks = masks;
    return BitDepth(p);
  };
  EXPECT_EQ(depth(1, {}), 1);
  EXPECT_EQ(depth(4, {}), 4);
  EXPECT_EQ(depth(8, {}), 8);
  EXPECT_EQ(depth(16, {}), 15);
  EXPECT_EQ(depth(16, {0x7C00, 0x03E0, 0x001F, 0}), 15);
  EXPECT_EQ(depth(16, {0xF800, 0x07E0, 0x001F, 0}), 16);
  EXPECT_EQ(depth(24, {}), 24);
  EXPECT_EQ(depth(32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), 32);
  EXPECT_EQ(depth(2, {}), 0);
}

}  // namespace
}  // namespace kivrel
