// PNG output read back with libpng's own reader: palette pictures keep colour type 3, 8 bits
// and 256 palette entries, every pixel's index and colour; RGB pictures every pixel's colour.
#include <png.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "browser/display/png_writer.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

struct DecodedPng {
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  std::vector<Rgb> palette;
  std::size_t row_bytes = 0;
  std::vector<uint8_t> pixels;  // rows top first, row_bytes apart
};

struct MemoryInput {
  const std::vector<uint8_t>* data;
  std::size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (in->data->size() - in->offset < length) png_error(png, "read past the end");
  std::copy_n(in->data->data() + in->offset, length, out);
  in->offset += length;
}

// libpng's classic reader without transformations: what the file holds.
bool DecodePng(const std::vector<uint8_t>& data, DecodedPng& out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  MemoryInput input{&data, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &input, ReadFromMemory);
  png_read_info(png, info);
  png_get_IHDR(png, info, &out.width, &out.height, &out.bit_depth, &out.colour_type, nullptr,
               nullptr, nullptr);
  png_colorp plte = nullptr;
  int entries = 0;
  png_get_PLTE(png, info, &plte, &entries);
  for (int i = 0; i < entries; ++i)
    out.palette.push_back(Rgb{plte[i].red, plte[i].green, plte[i].blue});
  out.row_bytes = png_get_rowbytes(png, info);
  out.pixels.resize(out.row_bytes * out.height);
  for (png_uint_32 y = 0; y < out.height; ++y)
    rows.push_back(out.pixels.data() + y * out.row_bytes);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

struct PngCase {
  const char* name;
  int32_t width, height;
  int bits;
  std::size_t palette_size;  // entries of the picture's palette (the file pads it with black)
};

// Random pixels (and a random palette) in the case's format.
Picture RandomPicture(const PngCase& c) {
  std::mt19937 random(static_cast<unsigned>(c.width * 131 + c.height * 7 + c.bits));
  const auto byte = [&] { return static_cast<uint8_t>(random() & 0xFF); };
  Picture p;
  p.Reset(c.width, c.height, c.bits);
  for (int32_t y = 0; y < c.height; ++y)
    std::generate_n(p.Row(y), p.stride(), byte);
  for (std::size_t i = 0; i < c.palette_size; ++i)
    p.palette.push_back(Rgb{byte(), byte(), byte()});
  return p;
}

class PngWriterTest : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngWriterTest, DecodesToThePicturesColours) {
  const PngCase& c = GetParam();
  const Picture picture = RandomPicture(c);
  DecodedPng png;
  ASSERT_TRUE(DecodePng(EncodePng(picture), png));
  ASSERT_EQ(png.width, static_cast<png_uint_32>(c.width));
  ASSERT_EQ(png.height, static_cast<png_uint_32>(c.height));
  EXPECT_EQ(png.bit_depth, 8);
  const bool indexed = c.bits == 8;
  ASSERT_EQ(png.colour_type, indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB);
  ASSERT_EQ(png.palette.size(), indexed ? 256u : 0u);
  for (int32_t y = 0; y < c.height; ++y) {
    const uint8_t* got = png.pixels.data() + static_cast<std::size_t>(y) * png.row_bytes;
    const uint8_t* src = picture.Row(y);
    for (int32_t x = 0; x < c.width; ++x) {
      if (indexed) {
        ASSERT_EQ(got[x], src[x]) << "at " << x << "," << y;
        const Rgb expected = src[x] < c.palette_size ? picture.palette[src[x]] : Rgb{};
        ASSERT_EQ(png.palette[got[x]], expected) << "at " << x << "," << y;
      } else {
        // The picture holds blue, green, red; the file red, green, blue.
        ASSERT_EQ((Rgb{got[3 * x], got[3 * x + 1], got[3 * x + 2]}),
                  (Rgb{src[3 * x + 2], src[3 * x + 1], src[3 * x]}))
            << "at " << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pictures, PngWriterTest,
                         ::testing::Values(PngCase{"Indexed1x1", 1, 1, 8, 256},
                                           PngCase{"Indexed3000x1", 3000, 1, 8, 256},
                                           PngCase{"Indexed37x23", 37, 23, 8, 256},
                                           PngCase{"IndexedShortPalette", 16, 16, 8, 10},
                                           PngCase{"Rgb1x1", 1, 1, 24, 0},
                                           PngCase{"Rgb3000x1", 3000, 1, 24, 0},
                                           PngCase{"RgbPaddedRows37x23", 37, 23, 24, 0}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(PngWriter, FailuresNameTheFile) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("kivrel_png_writer_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "out.png").string();
  WritePng(RandomPicture(PngCase{"", 5, 3, 24, 0}), path);
  EXPECT_GT(std::filesystem::file_size(path), 8u);
  const std::string missing = (dir / "no_such_folder" / "out.png").string();
  try {
    WritePng(RandomPicture(PngCase{"", 5, 3, 24, 0}), missing);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + missing);
  }
  for (const int bits : {1, 4, 16, 32}) {  // pixel formats PNG output does not take
    EXPECT_TRUE(EncodePng(RandomPicture(PngCase{"", 4, 4, bits, 0})).empty()) << bits;
    EXPECT_THROW(WritePng(RandomPicture(PngCase{"", 4, 4, bits, 0}), path), RunTimeError);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kivrel
