// The preview picture: display levels of physical values, every sample type against the
// per-sample formula, NaN samples, and a mirrored zoom window.
#include "browser/display/render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "browser/display/render_kernel.h"
#include "image_checks.h"

namespace kivrel {
namespace {

using test::MakeImage;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The level of physical value v as the redraw defines it: t = (v - min) x k with
// k = 255 / (max - min) as a double, t rounded to a double, clamped to 0..255, truncated.
// Equal thresholds: a step at the threshold. NaN: level 0.
int ReferenceLevel(long double v, double display_min, double display_max) {
  if (std::isnan(v)) return 0;
  if (display_max == display_min) return v >= display_min ? 255 : 0;
  const double k = static_cast<double>(255 / (static_cast<long double>(display_max) - display_min));
  double t = static_cast<double>((v - display_min) * k);
  t = std::min(255.0, t);
  t = std::max(0.0, t);
  return static_cast<int>(std::trunc(t));
}

TransferTable IdentityTable() {
  TransferTable itt{};
  for (int k = 0; k < 256; ++k)
    itt[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
  return itt;
}

// The preview of the whole image between the thresholds, with the identity transfer table: a
// pixel is then the display level itself.
Picture Render(const Image& image, double display_min, double display_max) {
  View view;
  view.DisplayMin = display_min;
  view.DisplayMax = display_max;
  view.zoom = ZoomWindow::Whole(image.width, image.height);
  Picture out;
  RenderPreview(image, view, IdentityTable(), Palette256{}, out);
  return out;
}

std::vector<uint8_t> Pixels(const Picture& p) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < p.height(); ++y)
    out.insert(out.end(), p.Row(y), p.Row(y) + p.width());
  return out;
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

TEST_P(LevelTest, KernelLevel) {
  const LevelCase& c = GetParam();
  const DisplayScale scale(1, 0, c.display_min, c.display_max);
  EXPECT_EQ(scale.LevelOfValue(c.value), c.level);
  if (!std::isnan(c.value)) {
    EXPECT_EQ(ReferenceLevel(c.value, c.display_min, c.display_max), c.level);
  }
}

// The same value rendered from a one-sample 64-bit float image.
TEST_P(LevelTest, RenderedPixel) {
  const LevelCase& c = GetParam();
  const Picture p =
      Render(MakeImage(1, 1, std::vector<double>{c.value}), c.display_min, c.display_max);
  EXPECT_EQ(p.Row(0)[0], c.level);
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
  const Image image = MakeImage(3, 1, std::vector<int16_t>{-32768, 0, 32767}, 1, 32768);
  EXPECT_EQ(Pixels(Render(image, 0, 65535)), (std::vector<uint8_t>{0, 127, 255}));
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
  long double bscale, bzero;
  double display_min, display_max;
};

template <typename T>
void CheckAgainstFormula() {
  std::mt19937_64 rng(12345);
  const Scaling scalings[] = {{1, 0, 0, 255},     {1, 0, 100, 355},     {1, 0, 355, 100},
                              {0.5, 10, -3, 7.2}, {1, 32768, 0, 65535}, {3.05e-5, 1.5e-5, -1, 1},
                              {1, 0, -1e6, 1e6},  {1, 0, 7, 7},         {-2, 0.25, -100, 40},
                              {1, 0, 0.1, 0.7}};
  const std::vector<T> values = Samples<T>(rng, 4000);
  const auto width = static_cast<int32_t>(values.size());
  for (const Scaling& sc : scalings) {
    const Picture p =
        Render(MakeImage(width, 1, values, sc.bscale, sc.bzero), sc.display_min, sc.display_max);
    int mismatches = 0;
    for (int32_t j = 0; j < width && mismatches < 5; ++j) {
      const long double v =
          sc.bscale * static_cast<long double>(values[static_cast<std::size_t>(j)]) + sc.bzero;
      const int want = ReferenceLevel(v, sc.display_min, sc.display_max);
      if (p.Row(0)[j] != want) {
        ++mismatches;
        ADD_FAILURE() << "sample " << +values[static_cast<std::size_t>(j)] << " bscale "
                      << static_cast<double>(sc.bscale) << " thresholds " << sc.display_min << ".."
                      << sc.display_max << ": level " << +p.Row(0)[j] << ", formula " << want;
      }
    }
  }
}

TEST(RenderFormula, Bytes) {
  CheckAgainstFormula<uint8_t>();
}
TEST(RenderFormula, Int16) {
  CheckAgainstFormula<int16_t>();
}
TEST(RenderFormula, Int32) {
  CheckAgainstFormula<int32_t>();
}
TEST(RenderFormula, Float) {
  CheckAgainstFormula<float>();
}
TEST(RenderFormula, Double) {
  CheckAgainstFormula<double>();
}

TEST(RenderNaN, NaNSamplesShowLevelZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Image image = MakeImage(3, 1, std::vector<float>{0, nan, 2});
  EXPECT_EQ(Pixels(Render(image, 0, 2)), (std::vector<uint8_t>{0, 0, 255}));
  EXPECT_EQ(Pixels(Render(image, 2, 0)), (std::vector<uint8_t>{255, 0, 0}));
}

// A 3 x 2 image with distinct samples, levels equal to the samples, shown through the window
// of columns 1..2 of row 1, mirrored left-right.
TEST(RenderFlip, FlippedZoomWindowPutsItsFirstColumnRightmost) {
  const Image image = MakeImage(3, 2, std::vector<uint8_t>{10, 20, 30, 40, 50, 60});
  View view;
  view.DisplayMin = 0;
  view.DisplayMax = 255;
  view.zoom = ZoomWindow{1, 3, 1, 2};
  view.FlipX = true;
  Picture p;
  RenderPreview(image, view, IdentityTable(), Palette256{}, p);
  EXPECT_EQ(p.width(), 2);
  EXPECT_EQ(p.height(), 1);
  EXPECT_EQ(Pixels(p), (std::vector<uint8_t>{60, 50}));
}

}  // namespace
}  // namespace kivrel
