// The built decoder library through its C interface: version, one file of each type, and the
// files it must refuse without handing them to any other decoder.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "nviewlib.h"
#include "raster_test_support.h"

namespace kivrel {
namespace {

using raster_test::CorpusRaster;
using raster_test::GmRead;
using raster_test::RgbImage;
using raster_test::ScratchDir;

class DecoderLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(KIVREL_TEST_DECODER).empty()) GTEST_SKIP() << "decoder library not built";
    handle_ = dlopen(KIVREL_TEST_DECODER, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    load_ = reinterpret_cast<NViewLibLoadFn>(dlsym(handle_, NVIEWLIB_LOAD_ENTRY));
    version_ = reinterpret_cast<NViewLibVersionFn>(dlsym(handle_, NVIEWLIB_VERSION_ENTRY));
    ASSERT_NE(load_, nullptr);
    ASSERT_NE(version_, nullptr);
  }
  // The library stays loaded: GraphicsMagick keeps process-wide state.

  using Dib = std::unique_ptr<unsigned char, decltype(&std::free)>;
  Dib Load(const std::string& path) { return Dib(load_(path.c_str(), 0), &std::free); }

  void* handle_ = nullptr;
  NViewLibLoadFn load_ = nullptr;
  NViewLibVersionFn version_ = nullptr;
};

TEST_F(DecoderLibrary, ReportsTheInterfaceVersionTheEngineExpects) {
  EXPECT_EQ(version_(), NVIEWLIB_INTERFACE_VERSION);
}

uint32_t U32(const unsigned char* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct TypeCase {
  std::string file;
  std::string reference;  // a lossless master to match exactly, or "" for GraphicsMagick's view
};

class DecoderTypes : public DecoderLibrary, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(DecoderTypes, DecodesToA24BitBottomUpPackedBitmap) {
  KIVREL_NEED_CORPUS();
  KIVREL_NEED_GM();
  const TypeCase& c = GetParam();
  const std::string path = CorpusRaster(c.file);
  const Dib dib = Load(path);
  ASSERT_TRUE(dib);
  const unsigned char* h = dib.get();
  EXPECT_EQ(U32(h), 40u);
  EXPECT_EQ(U32(h + 4), 301u);
  EXPECT_EQ(U32(h + 8), 223u);  // positive: bottom row first
  EXPECT_EQ(h[14] | h[15] << 8, 24);
  EXPECT_EQ(U32(h + 16), 0u);
  const uint32_t stride = (301 * 3 + 3) / 4 * 4;
  EXPECT_EQ(U32(h + 20), stride * 223);
  EXPECT_EQ(PackedDibSize(h), 40u + stride * 223);

  // The pixels, read straight from the block: row 0 of the picture is the last row stored.
  const auto want = GmRead(c.reference.empty() ? path : CorpusRaster(c.reference));
  ASSERT_TRUE(want);
  for (int32_t y = 0; y < 223; ++y) {
    const unsigned char* row = h + 40 + static_cast<std::size_t>(222 - y) * stride;
    for (int32_t x = 0; x < 301; ++x) {
      const Rgb got{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
      ASSERT_EQ(got, want->At(x, y)) << c.file << " pixel " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachType, DecoderTypes,
    ::testing::Values(TypeCase{"starfield_8bit.dib", ""}, TypeCase{"starfield.gif", ""},
                      TypeCase{"starfield_colour.jif", ""}, TypeCase{"starfield_colour.jpg", ""},
                      TypeCase{"starfield_gray.jpeg", ""},
                      TypeCase{"tga_24bit.tga", "reference/starfield_rgb.png"},
                      TypeCase{"starfield.rle", "reference/starfield_rgb.png"},
                      TypeCase{"pcx_24bit.pcx", "reference/starfield_rgb.png"}),
    [](const auto& row) {
      std::string n = row.param.file;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST_F(DecoderLibrary, AWindowsRleFileNamedRleIsDecodedAsABitmap) {
  KIVREL_NEED_CORPUS();
  KIVREL_NEED_GM();
  ScratchDir dir;
  const std::vector<uint8_t> bytes = [] {
    std::ifstream in(CorpusRaster("bmp_8bit_rle8.bmp"), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }();
  const Dib dib = Load(dir.Write("windows.rle", bytes));
  ASSERT_TRUE(dib);
  Picture p;
  ReadPackedDib(dib.get(), PackedDibSize(dib.get()), p);
  const auto gm = GmRead(CorpusRaster("bmp_8bit_rle8.bmp"));
  ASSERT_TRUE(gm);
  ASSERT_EQ(p.width(), gm->width);
  for (int32_t y = 0; y < p.height(); ++y) {
    for (int32_t x = 0; x < p.width(); ++x)
      ASSERT_EQ(PixelColour(p, x, y), gm->At(x, y)) << x << "," << y;
  }
}

// ---- Files it must refuse ---------------------------------------------------------------------

std::vector<uint8_t> Text(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

// A GIF whose screen and image claim `w` x `h` pixels, with a token of image data.
std::vector<uint8_t> GifClaiming(uint16_t w, uint16_t h) {
  std::vector<uint8_t> g = Text("GIF89a");
  const auto put16 = [&](uint16_t v) {
    g.push_back(static_cast<uint8_t>(v));
    g.push_back(static_cast<uint8_t>(v >> 8));
  };
  put16(w);
  put16(h);
  g.insert(g.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});  // 2-entry global table
  g.push_back(0x2C);
  put16(0);
  put16(0);
  put16(w);
  put16(h);
  g.insert(g.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  return g;
}

// An uncompressed true-colour TGA header claiming `w` x `h` with nothing behind it.
std::vector<uint8_t> TgaClaiming(uint16_t w, uint16_t h) {
  std::vector<uint8_t> t = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  t.insert(t.end(), {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(h),
                     static_cast<uint8_t>(h >> 8), 24, 0});
  t.resize(t.size() + 64, 0x55);
  return t;
}

struct RefusedCase {
  std::string name;
  std::string file_name;
  std::vector<uint8_t> bytes;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.name;
}

class DecoderRefuses : public DecoderLibrary, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(DecoderRefuses, ReturnsNull) {
  ScratchDir dir;
  EXPECT_FALSE(Load(dir.Write(GetParam().file_name, GetParam().bytes)));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, DecoderRefuses,
    ::testing::Values(
        RefusedCase{"PostScriptNamedJpg", "page.jpg",
                    Text("%!PS-Adobe-3.0\n0 0 moveto (x) show showpage\n")},
        RefusedCase{"SvgNamedTga", "drawing.tga",
                    Text("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>")},
        RefusedCase{"PngNamedGif",
                    "picture.gif",
                    {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}},
        RefusedCase{"TgaBytesNamedJpg", "not-a-tga.jpg", TgaClaiming(4, 4)},
        RefusedCase{"GifWiderThanTheCap", "wide.gif", GifClaiming(40000, 1)},
        RefusedCase{"GifWithTooManyPixels", "big.gif", GifClaiming(20000, 20000)},
        RefusedCase{"TgaTallerThanTheCap", "tall.tga", TgaClaiming(2, 60000)},
        RefusedCase{"TruncatedTga", "short.tga", TgaClaiming(100, 100)},
        RefusedCase{"Empty", "empty.pcx", {}}),
    [](const auto& row) { return row.param.name; });

TEST_F(DecoderLibrary, AMissingFileOrAFolderGivesNull) {
  ScratchDir dir;
  EXPECT_FALSE(Load(dir.File("missing.jpg")));
  EXPECT_FALSE(Load(std::filesystem::temp_directory_path().string()));
  EXPECT_EQ(load_(nullptr, 0), nullptr);
}

}  // namespace
}  // namespace kivrel
