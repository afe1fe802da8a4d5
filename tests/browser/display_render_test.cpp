// The redraw: display levels of physical values, every sample type against the per-sample
// formula, flips, the preview width, the status line and the colour bar.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "browser/dialog/browser_logic.h"
#include "browser/display/render_kernel.h"
#include "display_fixture.h"

namespace kivrel::test {
namespace {

// The level of physical value v as the redraw defines it: t = (v - min) x k with
// k = 255 / (max - min) as a double, t rounded to a double, clamped to 0..255, truncated.
// Equal thresholds: a step at the threshold. NaN: level 0.
int ReferenceLevel(Extended v, double display_min, double display_max) {
  if (std::isnan(v)) return 0;
  if (display_max == display_min) return v >= display_min ? 255 : 0;
  const double k = static_cast<double>(255 / (static_cast<Extended>(display_max) - display_min));
  double t = static_cast<double>((v - display_min) * k);
  t = std::min(255.0, t);
  t = std::max(0.0, t);
  return static_cast<int>(std::trunc(t));
}

struct LevelCase {
  const char* name;
  double display_min, display_max;
  double value;
  int level;
};

void PrintTo(const LevelCase& c, std::ostream* os) {
  *os << c.name;
}

class LevelTest : public ::testing::TestWithParam<LevelCase> {};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST_P(LevelTest, KernelLevel) {
  const LevelCase& c = GetParam();
  const DisplayScale scale(1, 0, c.display_min, c.display_max);
  EXPECT_EQ(scale.LevelOfValue(c.value), c.level);
  if (!std::isnan(c.value)) {
    EXPECT_EQ(ReferenceLevel(c.value, c.display_min, c.display_max), c.level);
  }
}

// The same value rendered from a one-sample 64-bit float image through the dialog, with the
// thresholds typed in and an identity transfer table.
TEST_P(LevelTest, RenderedPixel) {
  const LevelCase& c = GetParam();
  TempDir dir;
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imar64, kSampleF64, 1, 1, std::vector<double>{c.value});
  IdentityItt(*b);
  b->Edit1.Text = FormatShortest(c.display_min);
  b->Edit2.Text = FormatShortest(c.display_max);
  b->ApplyTypedThresholds();
  EXPECT_EQ(b->ImaBitmap.Row(0)[0], c.level);
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LevelTest,
    ::testing::Values(
        LevelCase{"AtMin", 100, 355, 100, 0}, LevelCase{"JustAboveMin", 100, 355, 100.99, 0},
        LevelCase{"OneStep", 100, 355, 101, 1}, LevelCase{"JustBelowMax", 100, 355, 354.99, 254},
        LevelCase{"AtMax", 100, 355, 355, 255}, LevelCase{"AboveMax", 100, 355, 1e30, 255},
        LevelCase{"BelowMin", 100, 355, 99, 0}, LevelCase{"FarBelow", 100, 355, -1e300, 0},
        LevelCase{"InvertedLow", 355, 100, 100, 255}, LevelCase{"InvertedBelow", 355, 100, 50, 255},
        LevelCase{"InvertedOneStep", 355, 100, 101, 254},
        LevelCase{"InvertedNearTop", 355, 100, 354, 1}, LevelCase{"InvertedTop", 355, 100, 355, 0},
        LevelCase{"InvertedAbove", 355, 100, 400, 0},
        // Equal thresholds: a step, at or above the threshold is 255.
        LevelCase{"EqualBelow", 50, 50, 49.999, 0}, LevelCase{"EqualAt", 50, 50, 50, 255},
        LevelCase{"EqualAbove", 50, 50, 51, 255}, LevelCase{"NaN", 100, 355, kNaN, 0},
        LevelCase{"NaNInverted", 355, 100, kNaN, 0}, LevelCase{"NaNEqual", 50, 50, kNaN, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LevelInfinity, InfinitiesClampToTheEnds) {
  const DisplayScale scale(1, 0, 100, 355);
  EXPECT_EQ(scale.LevelOfValue(kInf), 255);
  EXPECT_EQ(scale.LevelOfValue(-kInf), 0);
}

TEST(Render16, UnsignedZeroIsLevelZero) {
  // BZERO 32768: the stored -32768 is the physical value 0.
  TempDir dir;
  auto b = NewLogic(dir.path());
  ClickFile(*b, dir, "u16.fits",
            FitsImage<int16_t>(16, 3, 1, {-32768, 0, 32767}, {Card("BZERO", "32768")}));
  ASSERT_TRUE(b->Store.ImageLoaded);
  IdentityItt(*b);
  b->Edit1.Text = "0";
  b->Edit2.Text = "65535";
  b->ApplyTypedThresholds();
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{0, 127, 255}));
}

// Every sample type renders exactly the per-sample formula, over random and boundary samples,
// with scalings and thresholds that put many samples on or next to level boundaries.
template <typename T>
std::vector<T> Samples(std::mt19937_64& rng, int count) {
  std::vector<T> out;
  if constexpr (std::is_integral_v<T>) {
    std::uniform_int_distribution<int64_t> any(std::numeric_limits<T>::min(),
                                               std::numeric_limits<T>::max());
    std::uniform_int_distribution<int64_t> small(-600, 600);
    for (int i = 0; i < count; ++i)
      out.push_back(
          static_cast<T>(i % 2 ? any(rng)
                               : std::clamp<int64_t>(small(rng), std::numeric_limits<T>::min(),
                                                     std::numeric_limits<T>::max())));
    out.push_back(std::numeric_limits<T>::min());
    out.push_back(std::numeric_limits<T>::max());
  } else {
    std::uniform_real_distribution<double> wide(-1e6, 1e6);
    std::uniform_int_distribution<int> grid(-600, 600);
    for (int i = 0; i < count; ++i) {
      // Half of them on a fine grid: many exact level boundaries.
      out.push_back(static_cast<T>(i % 2 ? wide(rng) : grid(rng) * 0.5));
    }
    out.push_back(std::numeric_limits<T>::max());
    out.push_back(std::numeric_limits<T>::lowest());
    out.push_back(std::numeric_limits<T>::denorm_min());
    out.push_back(static_cast<T>(-0.0));
  }
  return out;
}

struct Scaling {
  Extended bscale, bzero;
  double display_min, display_max;
};

template <typename T>
void CheckAgainstFormula(int32_t sample_type, Plane<T> ImageStore::*plane) {
  std::mt19937_64 rng(12345);
  const Scaling scalings[] = {{1, 0, 0, 255},     {1, 0, 100, 355},     {1, 0, 355, 100},
                              {0.5, 10, -3, 7.2}, {1, 32768, 0, 65535}, {3.05e-5, 1.5e-5, -1, 1},
                              {1, 0, -1e6, 1e6},  {1, 0, 7, 7},         {-2, 0.25, -100, 40},
                              {1, 0, 0.1, 0.7}};
  TempDir dir;
  auto b = NewLogic(dir.path());
  const std::vector<T> values = Samples<T>(rng, 4000);
  const auto width = static_cast<int32_t>(values.size());
  for (const Scaling& sc : scalings) {
    PutPlane(*b, b->Store.*plane, sample_type, width, 1, values, sc.bscale, sc.bzero);
    IdentityItt(*b);
    b->DisplayMin = sc.display_min;
    b->DisplayMax = sc.display_max;
    b->RefreshDisplay();
    int mismatches = 0;
    for (int32_t j = 0; j < width && mismatches < 5; ++j) {
      const Extended v =
          sc.bscale * static_cast<Extended>(values[static_cast<std::size_t>(j)]) + sc.bzero;
      const int want = ReferenceLevel(v, sc.display_min, sc.display_max);
      if (b->ImaBitmap.Row(0)[j] != want) {
        ++mismatches;
        ADD_FAILURE() << "sample " << +values[static_cast<std::size_t>(j)] << " bscale "
                      << static_cast<double>(sc.bscale) << " thresholds " << sc.display_min << ".."
                      << sc.display_max << ": level " << +b->ImaBitmap.Row(0)[j] << ", formula "
                      << want;
      }
    }
  }
}

TEST(RenderFormula, Bytes) {
  CheckAgainstFormula<uint8_t>(kSample8, &ImageStore::Imai8);
}
TEST(RenderFormula, Int16) {
  CheckAgainstFormula<int16_t>(kSample16, &ImageStore::Imai16);
}
TEST(RenderFormula, Int32) {
  CheckAgainstFormula<int32_t>(kSample32, &ImageStore::Imai32);
}
TEST(RenderFormula, Float) {
  CheckAgainstFormula<float>(kSampleF32, &ImageStore::Imar32);
}
TEST(RenderFormula, Double) {
  CheckAgainstFormula<double>(kSampleF64, &ImageStore::Imar64);
}

TEST(RenderNaN, NaNSamplesShowLevelZero) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  PutPlane(*b, b->Store.Imar32, kSampleF32, 3, 1, std::vector<float>{0, 1, 2});
  b->Store.Imar32.At(0, 1) = nan;
  IdentityItt(*b);
  b->DisplayMin = 0;
  b->DisplayMax = 2;
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{0, 0, 255}));
  b->DisplayMin = 2;
  b->DisplayMax = 0;
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{255, 0, 0}));
}

TEST(RenderTransfer, PixelsArePaletteIndicesThroughTheTransferTable) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imai8, kSample8, 3, 1, std::vector<uint8_t>{0, 1, 255});
  b->DisplayMin = 0;
  b->DisplayMax = 255;
  b->RefreshDisplay();
  // The default transfer table shows level 0 as palette entry 1.
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{1, 1, 255}));
  for (int k = 0; k < 256; ++k)
    b->IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(255 - k);
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{255, 254, 0}));
}

TEST(RenderUnknownType, AnyOtherSampleTypeLeavesTheBitmapBlank) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imai8, kSample8, 2, 2, std::vector<uint8_t>{9, 9, 9, 9});
  b->Store.SampleType = 64;
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(b->Label2.Caption, "plane.fits  2x2  64 bits");
}

// A 3 x 2 image with distinct samples, levels equal to the samples.
class FlipTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserLogic> b = NewLogic(dir.path());
  void SetUp() override {
    PutPlane(*b, b->Store.Imai8, kSample8, 3, 2, std::vector<uint8_t>{10, 20, 30, 40, 50, 60});
    IdentityItt(*b);
    b->DisplayMin = 0;
    b->DisplayMax = 255;
    b->RefreshDisplay();
  }
};

TEST_F(FlipTest, Flips) {
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{10, 20, 30, 40, 50, 60}));
  b->SpeedButton3Click();
  EXPECT_TRUE(b->Store.FlipX);
  EXPECT_TRUE(b->SpeedButton3.Down);
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
  b->SpeedButton2Click();
  EXPECT_TRUE(b->SpeedButton2.Down);
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{60, 50, 40, 30, 20, 10}));
  b->SpeedButton3Click();
  EXPECT_FALSE(b->SpeedButton3.Down);
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{40, 50, 60, 10, 20, 30}));
  // The flips change only the picture.
  EXPECT_EQ(b->Store.Imai8.At(0, 0), 10);
  EXPECT_EQ(b->Store.ZoomX1, 0);
}

TEST_F(FlipTest, FlippedZoomWindowPutsItsFirstColumnRightmost) {
  b->Store.ZoomX1 = 1;
  b->Store.ZoomWidth = 2;
  b->Store.ZoomX2 = 3;
  b->Store.ZoomY1 = 1;
  b->Store.ZoomHeight = 1;
  b->Store.ZoomY2 = 2;
  b->SpeedButton3Click();
  EXPECT_EQ(b->ImaBitmap.width(), 2);
  EXPECT_EQ(b->ImaBitmap.height(), 1);
  EXPECT_EQ(Pixels(b->ImaBitmap), (std::vector<uint8_t>{60, 50}));
}

TEST_F(FlipTest, SkyOrientationFollowsTheSignsOfCdelt) {
  ImageStore& s = b->Store;
  b->SpeedButton3Click();
  s.ProjCode = 'T';
  s.HasCdelt = true;
  s.Cdelt1 = 0.001;
  s.Cdelt2 = -0.001;
  b->SpeedButton6Click();
  EXPECT_TRUE(s.FlipX);
  EXPECT_TRUE(s.FlipY);
  EXPECT_TRUE(b->SpeedButton3.Down);
  EXPECT_TRUE(b->SpeedButton2.Down);
  s.Cdelt1 = -0.001;
  s.Cdelt2 = 0.001;
  b->SpeedButton6Click();
  EXPECT_FALSE(s.FlipX);
  EXPECT_FALSE(s.FlipY);
  // Without a coordinate system the button only clears the flips.
  b->SpeedButton3Click();
  s.ProjCode = '-';
  s.Cdelt1 = 0.001;
  b->SpeedButton6Click();
  EXPECT_FALSE(s.FlipX);
  EXPECT_FALSE(b->SpeedButton3.Down);
}

TEST(FlipBeforeLoad, SkyOrientationStillClearsTheFlips) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  b->SpeedButton3Click();
  b->SpeedButton2Click();
  EXPECT_TRUE(b->Store.FlipX);
  b->SpeedButton6Click();
  EXPECT_FALSE(b->Store.FlipX);
  EXPECT_FALSE(b->Store.FlipY);
  EXPECT_FALSE(b->SpeedButton3.Down);
  EXPECT_FALSE(b->SpeedButton2.Down);
}

struct WidthCase {
  int32_t w, h, preview;
};

void PrintTo(const WidthCase& c, std::ostream* os) {
  *os << c.w << "x" << c.h;
}

class PreviewWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(PreviewWidthTest, HeightStays240) {
  const WidthCase& c = GetParam();
  EXPECT_EQ(BrowserLogic::PreviewWidthFor(c.w, c.h), c.preview);
}

// 512 / 400 x 240 = 307.2; 100 / 1000 x 240 = 24; 1 / 96 x 240 = 2.5 -> 2, 3 / 96 -> 7.5 -> 8.
INSTANTIATE_TEST_SUITE_P(Windows, PreviewWidthTest,
                         ::testing::Values(WidthCase{512, 400, 307}, WidthCase{100, 1000, 24},
                                           WidthCase{320, 240, 320}, WidthCase{4000, 300, 3200},
                                           WidthCase{1, 96, 2}, WidthCase{3, 96, 8},
                                           WidthCase{1, 4000, 0}),
                         [](const auto& row) {
                           return std::to_string(row.param.w) + "x" + std::to_string(row.param.h);
                         });

TEST(RefreshDisplay, WindowSizesShowInTheStatusLineAndThePreview) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  ClickFile(*b, dir, "m31.fit",
            FitsImage<int16_t>(16, 512, 400, std::vector<int16_t>(512 * 400, 7)));
  ASSERT_TRUE(b->Store.ImageLoaded);
  EXPECT_EQ(b->Label2.Caption, "m31.fit  512x400  16 bits");
  EXPECT_EQ(b->Image1.Width, 307);
  EXPECT_EQ(b->Image1.Height, 240);
  EXPECT_EQ(b->ImaBitmap.width(), 512);
  EXPECT_EQ(b->ImaBitmap.height(), 400);
  ClickFile(*b, dir, "tall.fits",
            FitsImage<uint8_t>(8, 100, 1000, std::vector<uint8_t>(100 * 1000, 1)));
  EXPECT_EQ(b->Label2.Caption, "tall.fits  100x1000  8 bits");
  EXPECT_EQ(b->Image1.Width, 24);
}

TEST(RefreshDisplay, ColourBarShowsTheTransferTableOverThePalette) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imai8, kSample8, 1, 1, std::vector<uint8_t>{1});
  for (int k = 0; k < 256; ++k)
    b->IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k / 2);
  b->RefreshDisplay();
  ASSERT_EQ(b->BarBitmap.width(), 256);
  ASSERT_EQ(b->BarBitmap.height(), 1);
  for (int k = 0; k < 256; ++k)
    EXPECT_EQ(b->BarBitmap.Row(0)[k], k / 2) << k;
  ASSERT_EQ(b->BarBitmap.palette.size(), 256u);
  EXPECT_EQ(b->BarBitmap.palette[200], (Rgb{200, 200, 200}));
  EXPECT_EQ(b->ImaBitmap.palette, b->BarBitmap.palette);
}

}  // namespace
}  // namespace kivrel::test
