// Raster files through the dialog: a click in the file list in both colour modes, the layer
// rules, the statistics, the status line and preview width of the bitmap mode, the decoder
// library present or absent, and "Sauvegarde BMP".
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/dialog/browser_controller.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/decoder_library.h"
#include "image_checks.h"
#include "raster_test_support.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

using raster_test::BmpLayout;
using raster_test::BuildBmp;
using raster_test::CorpusRaster;
using raster_test::GmRead;
using raster_test::GreyRamp;
using raster_test::PackRows;
using raster_test::RgbImage;
using raster_test::ScratchDir;

constexpr int kBitmapPalette = 0;  // "Palette du bitmap"
constexpr int kModifiable = 1;     // "Palette modifiable"

bool DecoderBuilt() {
  return std::string(KIVREL_TEST_DECODER).size() > 0;
}

#define KIVREL_NEED_DECODER() \
  if (!DecoderBuilt()) GTEST_SKIP() << "decoder library not built"

std::unique_ptr<BrowserController> MakeDialog(bool with_decoder) {
  BrowserOptions o;
  o.app_dir = KIVREL_SOURCE_DIR;
  o.load_decoder = with_decoder;
  o.decoder_path = KIVREL_TEST_DECODER;
  return std::make_unique<BrowserController>(o);
}

// A click on `path` with the colour group and the layer edit as given.
void Load(BrowserController& b, const std::string& path, int mode, const std::string& layer = "1") {
  b.colours.colour_mode.index = mode;
  b.file.layer_edit.text = layer;
  b.ChooseFile(path);
}

using PlaneFn = std::function<int(int32_t, int32_t)>;

// The 8-bit plane equals `want` everywhere, or differs by at most `tolerance` with a mean
// absolute difference of at most `mean_tolerance`.
::testing::AssertionResult PlaneIs(const BrowserController& b, int32_t w, int32_t h,
                                   const PlaneFn& want, int tolerance = 0,
                                   double mean_tolerance = 0) {
  const Image& s = b.image;
  const Plane<uint8_t>* plane = s.plane.Get<uint8_t>();
  if (s.width != w || s.height != h || s.SampleType != 8 || plane == nullptr ||
      plane->rows() != h || plane->cols() != w) {
    return ::testing::AssertionFailure()
           << "the image is " << s.width << "x" << s.height << " type " << s.SampleType << " ("
           << b.texts.status_line.caption << ")";
  }
  double sum = 0;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int diff = std::abs(plane->At(y, x) - want(x, y));
      sum += diff;
      if (diff > tolerance) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << int(plane->At(y, x)) << ", expected " << want(x, y);
      }
    }
  }
  if (sum / (double(w) * h) > mean_tolerance) {
    return ::testing::AssertionFailure() << "mean difference " << sum / (double(w) * h);
  }
  return ::testing::AssertionSuccess();
}

// The value a layer takes from a colour: 1 red, 2 green, 3 blue, 0 their integer mean.
int LayerOf(const Rgb& c, int layer) {
  switch (layer) {
    case 1:
      return c.r;
    case 2:
      return c.g;
    case 3:
      return c.b;
    default:
      return (c.r + c.g + c.b) / 3;
  }
}

const RgbImage& ReferenceRgb() {
  static const RgbImage ref = *GmRead(CorpusRaster("reference/starfield_rgb.png"));
  return ref;
}

// ---- True-colour corpus files in plane mode ---------------------------------------------------

struct TrueColourCase {
  std::string file;
  bool needs_decoder;
  bool upside_down;  // the ImageMagick TGA that flags bottom-up but stores the top row first
  int tolerance;     // 0: lossless
  double mean_tolerance;
};

void PrintTo(const TrueColourCase& c, std::ostream* os) {
  *os << c.file;
}

class TrueColourPlanes : public ::testing::TestWithParam<TrueColourCase> {};

TEST_P(TrueColourPlanes, LayersAreRedGreenBlueAndTheirMean) {
  KIVREL_NEED_CORPUS();
  KIVREL_NEED_GM();
  const TrueColourCase& c = GetParam();
  if (c.needs_decoder && !DecoderBuilt()) GTEST_SKIP() << "decoder library not built";
  const RgbImage& ref = ReferenceRgb();
  auto b = MakeDialog(true);
  for (int layer = 0; layer <= 3; ++layer) {
    SCOPED_TRACE("layer " + std::to_string(layer));
    Load(*b, CorpusRaster(c.file), kModifiable, std::to_string(layer));
    EXPECT_EQ(b->image.LayerCount, 3);
    EXPECT_EQ(b->image.CurrentLayer, layer);
    EXPECT_EQ(b->file.layer_edit.text, std::to_string(layer));
    EXPECT_EQ(b->file.layer_count.caption, "/3");
    EXPECT_TRUE(PlaneIs(
        *b, ref.width, ref.height,
        [&](int32_t x, int32_t y) {
          return LayerOf(ref.At(x, c.upside_down ? ref.height - 1 - y : y), layer);
        },
        c.tolerance, c.mean_tolerance));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, TrueColourPlanes,
    ::testing::Values(TrueColourCase{"bmp_24bit.bmp", false, false, 0, 0},
                      TrueColourCase{"bmp_24bit_os2.bmp", false, false, 0, 0},
                      TrueColourCase{"tga_24bit.tga", true, false, 0, 0},
                      TrueColourCase{"tga_24bit_rle.tga", true, false, 0, 0},
                      TrueColourCase{"tga_24bit_topleft_pil.tga", true, false, 0, 0},
                      TrueColourCase{"tga_24bit_im6_flipped.tga", true, true, 0, 0},
                      TrueColourCase{"pcx_24bit.pcx", true, false, 0, 0},
                      TrueColourCase{"starfield.rle", true, false, 0, 0},
                      // JPEG: measured peak errors about 31, mean errors about 4.5.
                      TrueColourCase{"starfield_colour.jpg", true, false, 48, 6},
                      TrueColourCase{"starfield_colour.jif", true, false, 48, 6},
                      TrueColourCase{"starfield_progressive.jpg", true, false, 48, 6},
                      TrueColourCase{"starfield_cmyk.jpg", true, false, 48, 6}),
    [](const auto& row) {
      std::string n = row.param.file;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

// ---- Other pixel formats in plane mode --------------------------------------------------------

class RasterPlanes : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!raster_test::CorpusPresent()) GTEST_SKIP() << "corpus absent";
    if (!raster_test::GmAvailable()) GTEST_SKIP() << "GraphicsMagick absent";
  }
};

TEST_F(RasterPlanes, ThirtyTwoBitBitmapsAverageTheFourBytes) {
  const RgbImage& ref = ReferenceRgb();
  for (const std::string file : {"bmp_32bit_argb_v5.bmp", "bmp_32bit_pil.bmp"}) {
    SCOPED_TRACE(file);
    auto b = MakeDialog(false);
    // The layer number is left as it was: the edit keeps "2".
    Load(*b, CorpusRaster(file), kModifiable, "2");
    EXPECT_EQ(b->image.LayerCount, 1);
    EXPECT_EQ(b->image.CurrentLayer, 2);
    EXPECT_EQ(b->file.layer_edit.text, "2");
    // Both files are opaque: the fourth byte is 255.
    EXPECT_TRUE(PlaneIs(*b, ref.width, ref.height, [&](int32_t x, int32_t y) {
      const Rgb c = ref.At(x, y);
      return (c.r + c.g + c.b + 255) / 4;
    }));
  }
}

// The raw 16-bit pixels of a bottom-up BI_BITFIELDS file, read straight from its bytes.
std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST_F(RasterPlanes, SixteenBitBitmapsAverageTheTwoRawBytes) {
  for (const std::string file : {"bmp_16bit_rgb555.bmp", "bmp_16bit_rgb565.bmp"}) {
    SCOPED_TRACE(file);
    const std::vector<uint8_t> bytes = FileBytes(CorpusRaster(file));
    const uint32_t offset = bytes[10] | bytes[11] << 8 | bytes[12] << 16 | bytes[13] << 24;
    const int32_t w = 301;
    const int32_t h = 223;
    const std::size_t stride = (w * 2 + 3) / 4 * 4;
    auto b = MakeDialog(false);
    Load(*b, CorpusRaster(file), kModifiable, "3");
    EXPECT_EQ(b->image.LayerCount, 1);
    EXPECT_EQ(b->image.CurrentLayer, 1);
    EXPECT_TRUE(PlaneIs(*b, w, h, [&](int32_t x, int32_t y) {
      const uint8_t* p = bytes.data() + offset + (h - 1 - y) * stride + 2 * x;
      return (p[0] + p[1]) / 2;
    }));
  }
}

TEST_F(RasterPlanes, EightBitBitmapsHoldPaletteIndicesWhoseColoursGraphicsMagickSees) {
  for (const std::string file : {"bmp_8bit.bmp", "bmp_8bit_rle8.bmp", "bmp_8bit_gray_rle8_gm.bmp",
                                 "bmp_8bit_gray_netpbm.bmp"}) {
    SCOPED_TRACE(file);
    Picture decoded;
    ReadBmp(*FileByteSource::Open(CorpusRaster(file)), decoded);
    const auto gm = GmRead(CorpusRaster(file));
    ASSERT_TRUE(gm);
    auto b = MakeDialog(false);
    Load(*b, CorpusRaster(file), kModifiable, "0");
    EXPECT_EQ(b->image.LayerCount, 1);
    EXPECT_EQ(b->image.CurrentLayer, 1);
    EXPECT_EQ(b->file.layer_edit.text, "1");
    ASSERT_EQ(b->image.width, gm->width);
    for (int32_t y = 0; y < gm->height; ++y) {
      for (int32_t x = 0; x < gm->width; ++x) {
        ASSERT_EQ(decoded.palette[test::PlaneOf<uint8_t>(b->image).At(y, x)], gm->At(x, y))
            << x << "," << y;
      }
    }
  }
}

TEST_F(RasterPlanes, PaletteFilesThroughTheLibraryArriveAsTheirColours) {
  KIVREL_NEED_DECODER();
  for (const std::string file :
       {"starfield.gif", "starfield_interlaced.gif", "tga_8bit_colormap.tga",
        "tga_8bit_colormap_rle.tga", "tga_8bit_gray.tga", "tga_8bit_gray_rle.tga", "pcx_8bit.pcx",
        "starfield_8bit.dib", "starfield_gray.jpeg"}) {
    SCOPED_TRACE(file);
    const auto gm = GmRead(CorpusRaster(file));
    ASSERT_TRUE(gm);
    auto b = MakeDialog(true);
    for (int layer : {1, 3, 0}) {
      Load(*b, CorpusRaster(file), kModifiable, std::to_string(layer));
      EXPECT_EQ(b->image.LayerCount, 3);
      EXPECT_EQ(b->image.CurrentLayer, layer);
      EXPECT_TRUE(PlaneIs(*b, gm->width, gm->height,
                          [&](int32_t x, int32_t y) { return LayerOf(gm->At(x, y), layer); }));
    }
  }
}

TEST_F(RasterPlanes, OneAndFourBitBitmapsAreUnsupported) {
  for (const std::string file : {"bmp_1bit.bmp", "bmp_4bit.bmp"}) {
    SCOPED_TRACE(file);
    auto b = MakeDialog(false);
    Load(*b, CorpusRaster(file), kModifiable);
    EXPECT_EQ(b->texts.status_line.caption, "Format non supporté.");
    EXPECT_FALSE(b->load.ImageLoaded);
    EXPECT_EQ(b->image.height, 0);
  }
}

// ---- Bitmap-palette mode ----------------------------------------------------------------------

struct ShownCase {
  std::string file;
  bool needs_decoder;
  int bits;
};

void PrintTo(const ShownCase& c, std::ostream* os) {
  *os << c.file;
}

class BitmapShown : public ::testing::TestWithParam<ShownCase> {};

TEST_P(BitmapShown, ShowsThePictureWithItsOwnColours) {
  KIVREL_NEED_CORPUS();
  const ShownCase& c = GetParam();
  if (c.needs_decoder && !DecoderBuilt()) GTEST_SKIP() << "decoder library not built";
  auto b = MakeDialog(true);
  Load(*b, CorpusRaster(c.file), kBitmapPalette, "2");
  const Image& s = b->image;
  EXPECT_TRUE(b->load.ImageLoaded);
  EXPECT_TRUE(b->load.BitmapShown);
  EXPECT_EQ(s.height, 0);
  EXPECT_EQ(s.SampleType, c.bits);
  EXPECT_EQ(s.LayerCount, 1);
  EXPECT_EQ(s.CurrentLayer, 1);
  EXPECT_EQ(b->texts.status_line.caption,
            c.file + "  301x223  " + std::to_string(c.bits) + " bits");
  EXPECT_EQ(b->texts.readout.caption, " ");
  // 301 / 223 x 240 = 323.9
  EXPECT_EQ(b->view_controls.preview.width, 324);
  EXPECT_EQ(b->preview_picture.width(), 301);
  EXPECT_EQ(b->preview_picture.height(), 223);
  // The controls that act on a plane wait for one.
  for (const Control* control : std::initializer_list<const Control*>{
           &b->thresholds.min_edit, &b->thresholds.max_edit, &b->thresholds.min_bar,
           &b->thresholds.max_bar, &b->thresholds.level_mode, &b->view_controls.zoom_whole,
           &b->view_controls.zoom_previous, &b->colours.colour_table, &b->colours.transfer_table,
           &b->view_controls.flip_y, &b->view_controls.flip_x, &b->view_controls.orient,
           &b->filters.apply, &b->filters.restore, &b->file.layer_edit, &b->file.layer_updown}) {
    EXPECT_FALSE(control->enabled);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, BitmapShown,
    ::testing::Values(
        ShownCase{"bmp_1bit.bmp", false, 1}, ShownCase{"bmp_4bit.bmp", false, 4},
        ShownCase{"bmp_8bit.bmp", false, 8}, ShownCase{"bmp_8bit_rle8.bmp", false, 8},
        ShownCase{"bmp_16bit_rgb555.bmp", false, 15}, ShownCase{"bmp_16bit_rgb565.bmp", false, 16},
        ShownCase{"bmp_24bit.bmp", false, 24}, ShownCase{"bmp_24bit_os2.bmp", false, 24},
        ShownCase{"bmp_32bit_argb_v5.bmp", false, 32}, ShownCase{"bmp_32bit_pil.bmp", false, 32},
        ShownCase{"starfield_8bit.dib", true, 24}, ShownCase{"starfield.gif", true, 24},
        ShownCase{"starfield_gray.jpeg", true, 24}, ShownCase{"tga_8bit_colormap.tga", true, 24},
        ShownCase{"pcx_8bit.pcx", true, 24}, ShownCase{"starfield.rle", true, 24}),
    [](const auto& row) {
      std::string n = row.param.file;
      for (char& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

// ---- Synthetic pictures -----------------------------------------------------------------------

std::vector<uint8_t> Bmp24(int32_t w, int32_t h,
                           const std::function<uint32_t(int32_t, int32_t)>& bgr) {
  BmpLayout s;
  s.width = w;
  s.height = h;
  s.bpp = 24;
  s.pixels = PackRows(w, h, 24, bgr);
  return BuildBmp(s);
}

std::vector<uint8_t> Bmp8(int32_t w, int32_t h,
                          const std::function<uint32_t(int32_t, int32_t)>& index) {
  BmpLayout s;
  s.width = w;
  s.height = h;
  s.bpp = 8;
  s.palette = GreyRamp(256);
  s.pixels = PackRows(w, h, 8, index);
  return BuildBmp(s);
}

TEST(RasterPreview, WidthKeepsTheProportionsAtHeight240) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  const auto zero = [](int32_t, int32_t) { return 0u; };
  Load(*b, dir.Write("wide.bmp", Bmp8(640, 480, zero)), kBitmapPalette);
  EXPECT_EQ(b->view_controls.preview.width, 320);
  EXPECT_EQ(b->image.height, 0);
  EXPECT_EQ(b->texts.status_line.caption, "wide.bmp  640x480  8 bits");
  Load(*b, dir.Write("tall.bmp", Bmp8(480, 640, zero)), kBitmapPalette);
  EXPECT_EQ(b->view_controls.preview.width, 180);
}

TEST(RasterLayers, TheLayerEditPicksRedMeanAndClampedBlue) {
  ScratchDir dir;
  // Blue, green, red bytes of pixel (x, y): 10x+1, 20y+2, 30+x+y.
  const auto bgr = [](int32_t x, int32_t y) {
    return uint32_t(10 * x + 1) | uint32_t(20 * y + 2) << 8 | uint32_t(30 + x + y) << 16;
  };
  const std::string path = dir.Write("colour.bmp", Bmp24(5, 4, bgr));
  auto b = MakeDialog(false);
  Load(*b, path, kModifiable, "1");
  EXPECT_EQ(b->file.layer_count.caption, "/3");
  EXPECT_EQ(b->file.layer_edit.text, "1");
  EXPECT_TRUE(PlaneIs(*b, 5, 4, [](int32_t x, int32_t y) { return 30 + x + y; }));
  b->ChangeLayer("0");
  EXPECT_TRUE(PlaneIs(
      *b, 5, 4, [](int32_t x, int32_t y) { return (10 * x + 1 + 20 * y + 2 + 30 + x + y) / 3; }));
  b->ChangeLayer("9");
  EXPECT_EQ(b->file.layer_edit.text, "3");
  EXPECT_EQ(b->image.CurrentLayer, 3);
  EXPECT_TRUE(PlaneIs(*b, 5, 4, [](int32_t x, int32_t) { return 10 * x + 1; }));
}

TEST(RasterStatistics, FollowTheSamplesOfThePlane) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  Load(*b, dir.Write("four.bmp", Bmp8(4, 1, [](int32_t x, int32_t) { return uint32_t(10 * x); })),
       kModifiable);
  const Image& s = b->image;
  EXPECT_EQ(s.SampleType, 8);
  EXPECT_EQ(s.HeaderMin, 0);
  EXPECT_EQ(s.HeaderMax, 255);
  EXPECT_EQ(s.BZero, 0);
  EXPECT_EQ(s.BScale, 1);
  EXPECT_EQ(s.unfiltered_stats.DataMin, 0);
  EXPECT_EQ(s.unfiltered_stats.DataMax, 30);
  EXPECT_DOUBLE_EQ(static_cast<double>(s.unfiltered_stats.DataMean), 15);
  // mean of squares 350, minus 15^2
  EXPECT_NEAR(static_cast<double>(s.unfiltered_stats.DataSigma), std::sqrt(125.0), 1e-12);
}

TEST(RasterPlanesWide, ARasterPictureWiderThan4000IsKeptWhole) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  Load(*b,
       dir.Write("wide.bmp",
                 Bmp8(4100, 2, [](int32_t x, int32_t y) { return uint32_t(x + y) & 255; })),
       kModifiable);
  EXPECT_TRUE(PlaneIs(*b, 4100, 2, [](int32_t x, int32_t y) { return (x + y) & 255; }));
}

TEST(RasterErrors, AnInvalidBitmapRaisesTheBitmapErrorAndEmptiesTheDialog) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  Load(*b, dir.Write("ok.bmp", Bmp8(3, 3, [](int32_t, int32_t) { return 1u; })), kModifiable);
  ASSERT_TRUE(b->load.ImageLoaded);
  const std::string bad = dir.Write("bad.bmp", {'B', 'M', 0, 0});
  try {
    Load(*b, bad, kModifiable);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_STREQ(e.what(), "Bitmap image is not valid");
  }
  EXPECT_FALSE(b->load.ImageLoaded);
  EXPECT_TRUE(b->image.plane.Empty());
}

TEST(RasterLibrary, WithoutItABitmapStillLoadsAndAJpegIsUnsupported) {
  KIVREL_NEED_CORPUS();
  auto b = MakeDialog(false);
  Load(*b, CorpusRaster("bmp_24bit.bmp"), kModifiable);
  EXPECT_TRUE(b->load.ImageLoaded);
  for (const std::string file : {"starfield_colour.jpg", "starfield.gif", "starfield_8bit.dib"}) {
    Load(*b, CorpusRaster(file), kModifiable);
    EXPECT_EQ(b->texts.status_line.caption, "Format non supporté.") << file;
    EXPECT_FALSE(b->load.ImageLoaded) << file;
  }
}

// No other library is looked for: a file only the library decodes is unsupported.
TEST(RasterLibrary, AnExplicitPathThatHoldsNoLibraryLeavesItNotFound) {
  KIVREL_NEED_CORPUS();
  BrowserOptions o;
  o.app_dir = KIVREL_SOURCE_DIR;
  o.decoder_path = "/nonexistent/libkivrel-decode.so";
  BrowserController b(o);
  Load(b, CorpusRaster("starfield.gif"), kModifiable);
  EXPECT_FALSE(b.load.ImageLoaded);
  EXPECT_EQ(b.texts.status_line.caption, "Format non supporté.");
}

TEST(RasterLibrary, AFileTheLibraryCannotDecodeIsUnsupported) {
  KIVREL_NEED_DECODER();
  ScratchDir dir;
  // The library the dialog is given loads.
  ASSERT_TRUE(DecoderLibrary({KIVREL_TEST_DECODER}).loaded());
  auto b = MakeDialog(true);
  const std::string path =
      dir.Write("notes.jpg", {'%', '!', 'P', 'S', '-', 'A', 'd', 'o', 'b', 'e'});
  Load(*b, path, kModifiable);
  EXPECT_EQ(b->texts.status_line.caption, "Format non supporté.");
}

TEST(RasterLibrary, LoadingIsTracedWhenTheTraceIsOn) {
  KIVREL_NEED_DECODER();
  ScratchDir dir;
  // The trace file must exist: the trace only appends.
  dir.Write("trace.txt", {});
  struct RestoreSettings {
    SkyLibSettings saved = Settings();
    ~RestoreSettings() { Settings() = saved; }
  } restore;
  Settings().TraceEnabled = true;
  Settings().TraceFileName = dir.File("trace.txt");
  { auto b = MakeDialog(true); }
  BrowserOptions missing;
  missing.app_dir = KIVREL_SOURCE_DIR;
  missing.decoder_path = "/nonexistent/libkivrel-decode.so";
  { BrowserController b(missing); }
  std::ifstream in(dir.File("trace.txt"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.find("NViewLib") != std::string::npos) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[0].find("Load NViewLib DLL"), std::string::npos);
  EXPECT_NE(lines[1].find("NViewLib DLL found"), std::string::npos);
  EXPECT_NE(lines[2].find("Load NViewLib DLL"), std::string::npos);
  EXPECT_NE(lines[3].find("NViewLib DLL not found"), std::string::npos);
}

// ---- "Sauvegarde BMP" -------------------------------------------------------------------------

TEST(RasterSave, BitmapModeSavesTheDecodedPictureInItsOwnFormat) {
  KIVREL_NEED_CORPUS();
  ScratchDir dir;
  for (const std::string file : {"bmp_16bit_rgb565.bmp", "bmp_4bit.bmp", "bmp_32bit_argb_v5.bmp"}) {
    SCOPED_TRACE(file);
    auto b = MakeDialog(false);
    Load(*b, CorpusRaster(file), kBitmapPalette);
    b->SaveBitmap(dir.File("saved.bmp"));
    Picture original;
    Picture saved;
    ReadBmp(*FileByteSource::Open(CorpusRaster(file)), original);
    ReadBmp(*FileByteSource::Open(dir.File("saved.bmp")), saved);
    ASSERT_EQ(saved.bits_per_pixel(), original.bits_per_pixel());
    ASSERT_EQ(saved.width(), original.width());
    ASSERT_EQ(saved.height(), original.height());
    EXPECT_EQ(saved.masks, original.masks);
    EXPECT_EQ(saved.palette, original.palette);
    const std::size_t row_bytes =
        (std::size_t(original.width()) * original.bits_per_pixel() + 7) / 8;
    for (int32_t y = 0; y < original.height(); ++y)
      ASSERT_EQ(std::memcmp(saved.Row(y), original.Row(y), row_bytes), 0) << "row " << y;
  }
}

TEST(RasterSave, PlaneModeSavesTheEightBitPreview) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  Load(*b, dir.Write("p.bmp", Bmp8(7, 3, [](int32_t x, int32_t) { return uint32_t(40 * x); })),
       kModifiable);
  b->SaveBitmap(dir.File("preview.bmp"));
  Picture saved;
  ReadBmp(*FileByteSource::Open(dir.File("preview.bmp")), saved);
  EXPECT_EQ(saved.bits_per_pixel(), 8);
  EXPECT_EQ(saved.width(), b->preview_picture.width());
  EXPECT_EQ(saved.height(), b->preview_picture.height());
  EXPECT_EQ(saved.palette, b->preview_picture.palette);
  for (int32_t y = 0; y < saved.height(); ++y) {
    for (int32_t x = 0; x < saved.width(); ++x)
      ASSERT_EQ(saved.Row(y)[x], b->preview_picture.Row(y)[x]);
  }
}

TEST(RasterSave, AFolderThatDoesNotExistGivesCannotCreate) {
  ScratchDir dir;
  auto b = MakeDialog(false);
  Load(*b, dir.Write("p.bmp", Bmp8(7, 3, [](int32_t x, int32_t) { return uint32_t(40 * x); })),
       kModifiable);
  ASSERT_TRUE(b->load.ImageLoaded);
  const std::string path = "/nonexistent-kivrel/x.bmp";
  try {
    b->SaveBitmap(path);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
  }
}

}  // namespace
}  // namespace kivrel
