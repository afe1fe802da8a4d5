// The decoder library through the engine's DecoderLibrary: a picture whose header declares more
// than the decoding budget is refused with its reason before anything is decoded; every other
// failure has its own kind; small pictures (worked examples built here) still decode.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "browser/readers/decoder_library.h"
#include "nviewlib.h"
#include "raster_test_support.h"

namespace kivrel {
namespace {

using raster_test::Put16;
using raster_test::Put32;
using raster_test::ScratchDir;

void Put16Be(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// A GIF of one frame over the whole screen, two colours (red, blue), `lzw` as its data.
std::vector<uint8_t> Gif(uint32_t w, uint32_t h, const std::vector<uint8_t>& lzw) {
  std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), {0x80, 0, 0, 255, 0, 0, 0, 0, 255, 0x2C});
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), {0, 2, static_cast<uint8_t>(lzw.size())});
  b.insert(b.end(), lzw.begin(), lzw.end());
  b.insert(b.end(), {0, 0x3B});
  return b;
}

// LZW codes of 3 bits, least significant bit first: clear (4), end (5), or clear, 0, 1, end.
const std::vector<uint8_t> kEmptyLzw = {0x2C};
const std::vector<uint8_t> kRedBlueLzw = {0x44, 0x0A};

// An uncompressed 24-bit TGA; `bgr` rows as stored, bottom row first.
std::vector<uint8_t> Tga(uint32_t w, uint32_t h, const std::vector<uint8_t>& bgr) {
  std::vector<uint8_t> b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), {24, 0});
  b.insert(b.end(), bgr.begin(), bgr.end());
  return b;
}

std::vector<uint8_t> Pcx(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b(128, 0);
  b[0] = 0x0A, b[1] = 5, b[2] = 1, b[3] = 8, b[65] = 1;
  b[8] = static_cast<uint8_t>(w - 1), b[9] = static_cast<uint8_t>((w - 1) >> 8);
  b[10] = static_cast<uint8_t>(h - 1), b[11] = static_cast<uint8_t>((h - 1) >> 8);
  b.insert(b.end(), 64, 0xC1);
  return b;
}

// Start of image, a quantisation table, one baseline frame header, start of scan.
std::vector<uint8_t> Jpeg(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
  b.insert(b.end(), 64, 1);
  b.insert(b.end(), {0xFF, 0xC0, 0, 11, 8});
  Put16Be(b, h);
  Put16Be(b, w);
  b.insert(b.end(), {1, 1, 0x11, 0, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0});
  b.insert(b.end(), 64, 0);
  return b;
}

std::vector<uint8_t> Bmp(int32_t w, int32_t h) {
  std::vector<uint8_t> b = {'B', 'M'};
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, static_cast<uint32_t>(w));
  Put32(b, static_cast<uint32_t>(h));
  Put16(b, 1);
  Put16(b, 24);
  b.resize(b.size() + 24 + 64, 0);
  return b;
}

std::vector<uint8_t> UtahRle(uint32_t w, uint32_t h) {
  std::vector<uint8_t> b = {0x52, 0xCC, 0, 0, 0, 0};
  Put16(b, w);
  Put16(b, h);
  b.insert(b.end(), {0x02, 3, 8, 0, 0, 0, 0});
  return b;
}

struct FailureCase {
  std::string name;
  std::string file_name;
  std::vector<uint8_t> bytes;
  DecodeFailure failure;
  std::string reason;  // a part of the reason the library gives
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class DecoderBudgetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(KIVREL_TEST_DECODER).empty()) GTEST_SKIP() << "decoder library not built";
  }
  DecoderLibrary library_{{"/nonexistent/libkivrel-decode.so", KIVREL_TEST_DECODER}};
  ScratchDir dir_;
};

class DecoderFailures : public DecoderBudgetTest,
                        public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DecoderFailures, NameWhatWentWrong) {
  const FailureCase& c = GetParam();
  const std::string path = c.bytes.empty() && c.failure == DecodeFailure::kUnreadable
                               ? dir_.File(c.file_name)
                               : dir_.Write(c.file_name, c.bytes);
  const DecodedPicture d = library_.Decode(path);
  EXPECT_EQ(static_cast<int>(d.failure), static_cast<int>(c.failure)) << d.reason;
  EXPECT_NE(d.reason.find(c.reason), std::string::npos) << d.reason;
}

// The budget (nviewlib.h): 30000 pixels a side, 2^26 = 67108864 pixels, 512 MiB.
INSTANTIATE_TEST_SUITE_P(
    DecoderLibrary, DecoderFailures,
    testing::Values(
        FailureCase{"GifOverThePixelCount", "wide.gif", Gif(30000, 4473, kEmptyLzw),
                    DecodeFailure::kTooLarge, "GIF picture of 30000 x 4473 pixels"},
        FailureCase{"TgaOverTheSide", "long.tga", Tga(65535, 1, std::vector<uint8_t>(64, 0)),
                    DecodeFailure::kTooLarge, "TGA picture of 65535 x 1 pixels"},
        // Larger than the head the library reads first: refused before the rest is read.
        FailureCase{"LargeTgaOverThePixelCount", "large.tga",
                    Tga(20000, 20000, std::vector<uint8_t>(3 << 20, 0)), DecodeFailure::kTooLarge,
                    "TGA picture of 20000 x 20000 pixels"},
        FailureCase{"PcxOverThePixelCount", "big.pcx", Pcx(30000, 30000), DecodeFailure::kTooLarge,
                    "PCX picture of 30000 x 30000 pixels"},
        FailureCase{"JpegOverThePixelCount", "big.jpg", Jpeg(20000, 20000),
                    DecodeFailure::kTooLarge, "JPEG picture of 20000 x 20000 pixels"},
        FailureCase{"TopDownBmpOverTheSide", "big.dib", Bmp(40000, -40000),
                    DecodeFailure::kTooLarge, "BMP picture of 40000 x 40000 pixels"},
        FailureCase{"UtahRleOverThePixelCount", "big.rle", UtahRle(10000, 10000),
                    DecodeFailure::kTooLarge, "RLE picture of 10000 x 10000 pixels"},
        FailureCase{"NotAFormat",
                    "text.gif",
                    {'h', 'e', 'l', 'l', 'o'},
                    DecodeFailure::kNotAFormat,
                    "not a BMP, GIF, JPEG"},
        FailureCase{"Missing", "missing.gif", {}, DecodeFailure::kUnreadable, "cannot be opened"},
        FailureCase{"DamagedGif", "cut.gif", Gif(3, 3, {0xFF, 0xFF}), DecodeFailure::kDamaged,
                    "GIF picture cannot be decoded"}),
    [](const auto& tp) { return tp.param.name; });

// 7000 x 7000 = 49 Mpixels is within the pixel count, but GraphicsMagick's 16-bit build needs
// 8 + 2 bytes a pixel for its caches and the bitmap 3 more: 637 MB, over 512 MiB.
TEST_F(DecoderBudgetTest, APictureWithinThePixelCountCanStillBeOverTheMemory) {
#if KIVREL_TEST_GM
  if (QuantumDepth != 16) GTEST_SKIP() << "reference figures are for the 16-bit build";
#endif
  const DecodedPicture d = library_.Decode(dir_.Write("mid.gif", Gif(7000, 7000, kEmptyLzw)));
  EXPECT_EQ(d.failure, DecodeFailure::kTooLarge);
  EXPECT_NE(d.reason.find("7000 x 7000"), std::string::npos) << d.reason;
}

// Worked examples: a 2 x 1 GIF whose codes give red then blue, and a 2 x 2 TGA stored bottom
// row first.
TEST_F(DecoderBudgetTest, SmallPicturesStillDecode) {
  ASSERT_TRUE(library_.loaded());
  EXPECT_EQ(library_.path(), KIVREL_TEST_DECODER);
  const DecodedPicture gif = library_.Decode(dir_.Write("two.gif", Gif(2, 1, kRedBlueLzw)));
  ASSERT_TRUE(gif.ok()) << gif.reason;
  ASSERT_EQ(gif.picture.bits_per_pixel(), 24);
  ASSERT_EQ(gif.picture.width(), 2);
  ASSERT_EQ(gif.picture.height(), 1);
  EXPECT_EQ(std::vector<uint8_t>(gif.picture.Row(0), gif.picture.Row(0) + 6),
            (std::vector<uint8_t>{0, 0, 255, 255, 0, 0}));  // blue, green, red bytes

  const std::vector<uint8_t> stored = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const DecodedPicture tga = library_.Decode(dir_.Write("four.tga", Tga(2, 2, stored)));
  ASSERT_TRUE(tga.ok()) << tga.reason;
  ASSERT_EQ(tga.picture.height(), 2);
  EXPECT_EQ(std::vector<uint8_t>(tga.picture.Row(0), tga.picture.Row(0) + 6),
            (std::vector<uint8_t>{7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(std::vector<uint8_t>(tga.picture.Row(1), tga.picture.Row(1) + 6),
            (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(DecoderLibraryLoading, NoLibraryIsAFailureOfItsOwn) {
  const DecoderLibrary none({"/nonexistent/libkivrel-decode.so"});
  EXPECT_FALSE(none.loaded());
  EXPECT_EQ(none.Decode("/any.gif").failure, DecodeFailure::kNoLibrary);
}

}  // namespace
}  // namespace kivrel
