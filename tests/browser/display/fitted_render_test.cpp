// Whole planes fitted to N x N: the size rule, box averages worked out by hand (blanks and NaN
// left out, flips), whole-factor growth, constant planes, and the preview renderer's picture
// at the plane's own size.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "browser/display/fitted_render.h"

namespace kivrel {
namespace {

std::array<uint8_t, 256> IdentityItt() {
  std::array<uint8_t, 256> itt{};
  for (int k = 0; k < 256; ++k)
    itt[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
  return itt;
}

template <typename T>
Plane<T> MakePlane(int32_t rows, int32_t cols, const std::vector<T>& top_first) {
  Plane<T> plane;
  plane.Resize(rows, cols);
  std::copy(top_first.begin(), top_first.end(), plane.data());
  return plane;
}

std::vector<int> Pixels(const Picture& p) {
  std::vector<int> out;
  for (int32_t y = 0; y < p.height(); ++y) {
    for (int32_t x = 0; x < p.width(); ++x)
      out.push_back(p.Row(y)[x]);
  }
  return out;
}

struct SizeCase {
  int32_t width, height, size;
  FittedSize expected;
};

TEST(FitSize, KeepsTheAspectShrinksToNAndGrowsByWholeFactors) {
  const SizeCase cases[] = {
      {4000, 2000, 256, {256, 128}},  // longer side to N
      {2000, 4000, 256, {128, 256}},
      {10, 7, 4, {4, 3}},           // 7 x 4 / 10 = 2.8 rounds to 3
      {1000, 3, 100, {100, 1}},     // 0.3 rounds to 0, kept at 1
      {256, 100, 256, {256, 100}},  // already N
      {200, 100, 256, {200, 100}},  // factor 1.28: left as it is
      {100, 50, 256, {200, 100}},   // factor 2
      {3, 1, 256, {255, 85}},       // factor 85
      {5, 5, 0, {1, 1}},            // N below 1 taken as 1
      {0, 5, 10, {0, 0}},           // no plane
  };
  for (const SizeCase& c : cases) {
    EXPECT_EQ(FitSize(c.width, c.height, c.size), c.expected)
        << c.width << "x" << c.height << " in " << c.size;
  }
}

// A 4 x 4 plane in 2 x 2 boxes; thresholds -10 and 245 make level = value + 10, truncated.
//   0   2 | 10  20        box means: 3     25
//   4   6 | 30  40                    100   8.5
// 100 100 |  7   7
// 100 100 |  7  13
struct BoxCase {
  const char* name;
  std::vector<std::pair<int32_t, int32_t>> blanks;  // (row, col) marked in the mask
  std::vector<std::pair<int32_t, int32_t>> nans;    // (row, col) set to NaN
  bool flip_x, flip_y;
  std::vector<int> expected;  // 2 x 2 levels, top row first
};

void PrintTo(const BoxCase& c, std::ostream* os) {
  *os << c.name;
}

class BoxAverageTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(BoxAverageTest, LevelsOfTheBoxMeans) {
  const BoxCase& c = GetParam();
  Plane<double> plane =
      MakePlane<double>(4, 4, {0, 2, 10, 20, 4, 6, 30, 40, 100, 100, 7, 7, 100, 100, 7, 13});
  BlankMask mask;
  mask.Reset(4, 4);
  for (const auto& [r, col] : c.blanks)
    mask.Set(r, col);
  for (const auto& [r, col] : c.nans)
    plane.At(r, col) = std::numeric_limits<double>::quiet_NaN();
  Picture out;
  RenderFitted(plane, mask, DisplayScale(1, 0, -10, 245), IdentityItt(), c.flip_x, c.flip_y, 2,
               out);
  ASSERT_EQ(out.width(), 2);
  ASSERT_EQ(out.height(), 2);
  EXPECT_EQ(Pixels(out), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shrink, BoxAverageTest,
    ::testing::Values(
        BoxCase{"Plain", {}, {}, false, false, {13, 35, 110, 18}},
        BoxCase{"BlankLeftOut", {{3, 3}}, {}, false, false, {13, 35, 110, 17}},  // 21 / 3 = 7
        BoxCase{"NaNLeftOut", {}, {{3, 3}}, false, false, {13, 35, 110, 17}},
        BoxCase{"BlankShiftsMean", {{1, 3}}, {}, false, false, {13, 30, 110, 18}},  // 60 / 3
        BoxCase{"AllBlankIsLevel0",
                {{0, 0}, {0, 1}, {1, 0}, {1, 1}},
                {},
                false,
                false,
                {0, 35, 110, 18}},
        BoxCase{"FlipX", {}, {}, true, false, {35, 13, 18, 110}},
        BoxCase{"FlipY", {}, {}, false, true, {110, 18, 13, 35}},
        BoxCase{"FlipBoth", {}, {}, true, true, {18, 110, 35, 13}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(RenderFitted, GrowsTinyPlanesByWholeFactors) {
  const Plane<uint8_t> plane = MakePlane<uint8_t>(1, 2, {10, 20});
  BlankMask mask;
  mask.Reset(1, 2);
  mask.Set(0, 1);
  Picture out;
  RenderFitted(plane, mask, DisplayScale(1, 0, 0, 255), IdentityItt(), true, false, 7, out);
  // Factor 3 (7 / 2): 6 x 3; the flip puts the blank sample's block first.
  ASSERT_EQ(out.height(), 3);
  EXPECT_EQ(Pixels(out), (std::vector<int>{0, 0, 0, 10, 10, 10, 0, 0, 0, 10, 10, 10,  //
                                           0, 0, 0, 10, 10, 10}));
}

// Uneven boxes (1003 columns into 128) tile the plane: a constant plane stays constant.
TEST(RenderFitted, ConstantPlaneStaysConstant) {
  Plane<float> plane;
  plane.Resize(601, 1003);
  plane.Fill(1234.5f);
  std::array<uint8_t, 256> itt = IdentityItt();
  itt[100] = 7;  // the transfer table applies to the level
  // (1234.5 x 0.5 - 38.75 - 500) x 255 / 200 = 100.09 gives level 100; 601 x 128 / 1003 = 76.7.
  Picture out;
  RenderFitted(plane, BlankMask(), DisplayScale(0.5L, -38.75L, 500, 700), itt, false, false, 128,
               out);
  EXPECT_EQ(out.width(), 128);
  EXPECT_EQ(out.height(), 77);
  EXPECT_EQ(Pixels(out), std::vector<int>(128 * 77, 7));
}

// At its own size every box is one sample: the picture is the preview renderer's.
template <typename T>
void ExpectSameAsPreview(const Plane<T>& plane, const DisplayScale& scale) {
  std::array<uint8_t, 256> itt{};
  for (int k = 0; k < 256; ++k)
    itt[static_cast<std::size_t>(k)] = static_cast<uint8_t>(255 - k);
  for (const bool flip_x : {false, true}) {
    for (const bool flip_y : {false, true}) {
      Picture fitted;
      RenderFitted(plane, BlankMask(), scale, itt, flip_x, flip_y, plane.cols(), fitted);
      Picture preview;
      preview.Reset(plane.cols(), plane.rows(), 8);
      RenderPlane(plane, RenderWindow{0, 0, plane.cols(), plane.rows(), flip_x, flip_y}, scale, itt,
                  preview);
      EXPECT_EQ(Pixels(fitted), Pixels(preview)) << flip_x << flip_y;
    }
  }
}

TEST(RenderFitted, AtThePlanesOwnSizeEqualsThePreview) {
  std::mt19937 random(5);
  std::normal_distribution<float> normal(1000, 300);
  Plane<float> floats;
  floats.Resize(31, 57);
  for (std::size_t i = 0; i < floats.size(); ++i)
    floats.data()[i] = normal(random);
  ExpectSameAsPreview(floats, DisplayScale(1, 0, 700, 1300));
  Plane<int32_t> ints;
  ints.Resize(40, 40);
  for (std::size_t i = 0; i < ints.size(); ++i)
    ints.data()[i] = static_cast<int32_t>(random() % 100000) - 50000;
  ExpectSameAsPreview(ints, DisplayScale(3, 7, -90000, 120000));
}

}  // namespace
}  // namespace kivrel
