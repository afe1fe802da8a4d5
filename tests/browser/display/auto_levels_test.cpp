// The automatic cuts against astropy's ZScaleInterval and numpy.percentile run on the same real
// samples, and their invariants: constant planes, planes without real samples, bad arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string_view>

#include "browser/display/auto_levels.h"

namespace kivrel {
namespace {

// The integer formulas of tests/browser/display/auto_levels_reference.py.
uint32_t Mix(uint32_t r, uint32_t c, uint32_t salt) {
  uint32_t x = (r * 73856093u) ^ (c * 19349663u) ^ (salt * 83492791u);
  x ^= x >> 13;
  x *= 0x5BD1E995u;
  x ^= x >> 15;
  return x;
}

double StarField(uint32_t r, uint32_t c) {
  const uint32_t x = Mix(r, c, 1);
  uint32_t v = 490 + (x & 255) + (x >> 8 & 255) + (x >> 16 & 255) + (x >> 24);
  const uint32_t y = Mix(r, c, 2);
  if (y % 500 == 0) v += y >> 18;
  return v;
}

double Special(uint32_t r, uint32_t c) {
  if (Mix(r, c, 4) % 11 == 0) return std::numeric_limits<double>::quiet_NaN();
  if (Mix(r, c, 5) % 53 == 0) return std::numeric_limits<double>::infinity();
  return StarField(r, c) / 8;
}

struct Cuts {
  std::optional<LevelCut> zscale;
  std::optional<LevelCut> percentile;
};

template <typename T, typename Raw, typename Blank>
Cuts CutsOf(int32_t rows, int32_t cols, long double bscale, long double bzero, Raw raw,
            Blank blank) {
  Plane<T> plane;
  plane.Resize(rows, cols);
  BlankMask mask;
  mask.Reset(rows, cols);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      plane.At(r, c) = static_cast<T>(raw(r, c));
      if (blank(r, c)) mask.Set(r, c);
    }
  }
  return {ZScaleCut(plane, mask, bscale, bzero), PercentileCut(plane, mask, bscale, bzero)};
}

Cuts CutsOfCase(std::string_view name) {
  const auto none = [](uint32_t, uint32_t) { return false; };
  const auto sky16 = [](uint32_t r, uint32_t c) { return StarField(r, c) - 32768; };
  if (name == "StarField16") return CutsOf<int16_t>(300, 400, 1, 32768, sky16, none);
  if (name == "StarFieldFloat") {
    return CutsOf<float>(
        300, 400, 1, 137.5, [](uint32_t r, uint32_t c) { return (StarField(r, c) - 1100) / 8; },
        none);
  }
  if (name == "StarFieldDouble") {
    return CutsOf<double>(
        200, 300, 1000, 1100,
        [](uint32_t r, uint32_t c) { return (StarField(r, c) - 1100) * 0.001; }, none);
  }
  if (name == "Blanks16") {
    return CutsOf<int16_t>(300, 400, 1, 32768, sky16,
                           [](uint32_t r, uint32_t c) { return Mix(r, c, 3) % 5 == 0; });
  }
  if (name == "BlanksAndNaN") {
    const auto blank = [](uint32_t r, uint32_t c) { return Mix(r, c, 3) % 7 == 0; };
    return CutsOf<float>(
        257, 130, 2, -100,
        [&](uint32_t r, uint32_t c) { return blank(r, c) ? 1e30 : Special(r, c); }, blank);
  }
  if (name == "Constant") {
    return CutsOf<double>(
        40, 50, 3, 1, [](uint32_t, uint32_t) { return 7.5; }, none);
  }
  if (name == "TwoValues") {
    return CutsOf<uint8_t>(
        200, 150, 1, 0, [](uint32_t r, uint32_t c) { return Mix(r, c, 6) % 10 == 0 ? 200 : 10; },
        none);
  }
  if (name == "SmallNegativeScale") {
    return CutsOf<int32_t>(
        20, 30, -0.5L, 10, [](uint32_t r, uint32_t c) { return StarField(r, c) * 1000 - 5e6; },
        none);
  }
  ADD_FAILURE() << "no plane named " << name;
  return {};
}

struct Reference {
  const char* name;
  double zscale_low, zscale_high, percentile_low, percentile_high;
};
void PrintTo(const Reference& r, std::ostream* os) {
  *os << r.name;
}

// Printed by `/usr/bin/python3 tests/browser/display/auto_levels_reference.py` (astropy 5.2.1
// ZScaleInterval().get_limits, numpy 1.24 percentile(values, [0.25, 99.75]) over the real
// samples in row-major order, physical units).
const Reference kReferences[] = {
    {"StarField16", 610.0, 1933.3491026555248, 617.0, 1420.0},
    {"StarFieldFloat", 76.25, 241.6686378319406, 77.125, 177.5},
    {"StarFieldDouble", 611.0, 1898.2266352250394, 617.9975, 1431.0025000000023},
    {"Blanks16", 596.0, 1414.0, 615.0, 1419.0},
    {"BlanksAndNaN", 51.25, 368.1336230805707, 54.435625, 335.8274999999776},
    {"Constant", 23.5, 23.5, 23.5, 23.5},
    {"TwoValues", 10.000000000000014, 9.999999999999986, 10.0, 200.0},
    {"SmallNegativeScale", 1527225.7797998667, 2204510.0, -1397058.75, 2192771.2500000005},
};

class AutoLevelsReference : public testing::TestWithParam<Reference> {};

// numpy's least-squares fit and ours differ in the last bits; every value here is a sample
// (spacing 1 or more) or lies far from the rejection thresholds, so 1e-9 relative covers the
// rounding and nothing else.
TEST_P(AutoLevelsReference, MatchesAstropyAndNumpy) {
  const Reference& ref = GetParam();
  const Cuts cuts = CutsOfCase(ref.name);
  ASSERT_TRUE(cuts.zscale && cuts.percentile);
  const auto tolerance = [](double v) { return 1e-9 * std::max(1.0, std::fabs(v)); };
  EXPECT_NEAR(cuts.zscale->low, ref.zscale_low, tolerance(ref.zscale_low));
  EXPECT_NEAR(cuts.zscale->high, ref.zscale_high, tolerance(ref.zscale_high));
  EXPECT_NEAR(cuts.percentile->low, ref.percentile_low, tolerance(ref.percentile_low));
  EXPECT_NEAR(cuts.percentile->high, ref.percentile_high, tolerance(ref.percentile_high));
}

INSTANTIATE_TEST_SUITE_P(Planes, AutoLevelsReference, testing::ValuesIn(kReferences),
                         [](const auto& row) { return std::string(row.param.name); });

// A constant plane gives equal thresholds, exactly its physical value, whatever the type.
template <typename T>
void ExpectConstantCut(T value, long double bscale, long double bzero) {
  Plane<T> plane;
  plane.Resize(33, 70);
  plane.Fill(value);
  const BlankMask none;
  const auto expected = static_cast<double>(bscale * value + bzero);
  for (const auto& cut :
       {ZScaleCut(plane, none, bscale, bzero), PercentileCut(plane, none, bscale, bzero)}) {
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->low, expected);
    EXPECT_EQ(cut->high, expected);
  }
}

TEST(AutoLevels, ConstantPlaneGivesEqualThresholds) {
  ExpectConstantCut<uint8_t>(17, 1, 0);
  ExpectConstantCut<int16_t>(-1234, 1, 32768);
  ExpectConstantCut<int32_t>(123456789, -2, 5);
  ExpectConstantCut<float>(-0.1f, 1, 0);
  ExpectConstantCut<double>(1e300, 1, 0);
}

// Fractions 0 and 1 are the smallest and largest real samples, whatever the signs of the
// infinities and NaNs around them.
template <typename T>
void ExpectWholeRange() {
  Plane<T> plane;
  plane.Resize(97, 101);
  T lo = std::numeric_limits<T>::infinity();
  T hi = -lo;
  for (int32_t r = 0; r < plane.rows(); ++r) {
    for (int32_t c = 0; c < plane.cols(); ++c) {
      const T v = static_cast<T>(Special(r, c)) - 150;
      plane.At(r, c) = Mix(r, c, 7) % 17 == 0 ? -v : v;  // -inf and -NaN among them
      if (std::isfinite(plane.At(r, c))) lo = std::min(lo, plane.At(r, c));
      if (std::isfinite(plane.At(r, c))) hi = std::max(hi, plane.At(r, c));
    }
  }
  const auto cut = PercentileCut(plane, BlankMask(), 1, 0, 0, 1);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->low, lo);
  EXPECT_EQ(cut->high, hi);
}

TEST(AutoLevels, WholeRangeIsMinimumAndMaximum) {
  ExpectWholeRange<float>();
  ExpectWholeRange<double>();
}

TEST(AutoLevels, NothingToCutGivesNothing) {
  Plane<int16_t> blank_plane;
  blank_plane.Resize(3, 70);
  BlankMask all;
  all.Reset(3, 70);
  for (int32_t r = 0; r < 3; ++r) {
    for (int32_t c = 0; c < 70; ++c)
      all.Set(r, c);
  }
  EXPECT_FALSE(ZScaleCut(blank_plane, all, 1, 0));
  EXPECT_FALSE(PercentileCut(blank_plane, all, 1, 0));
  Plane<double> nan_plane;
  nan_plane.Resize(4, 4);
  nan_plane.Fill(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(ZScaleCut(nan_plane, BlankMask(), 1, 0));
  EXPECT_FALSE(PercentileCut(nan_plane, BlankMask(), 1, 0));
  Plane<float> empty;
  empty.Resize(0, 5);
  EXPECT_FALSE(ZScaleCut(empty, BlankMask(), 1, 0));
  EXPECT_FALSE(PercentileCut(empty, BlankMask(), 1, 0));
  // Physical values beyond the double range, and a scale that is no number.
  Plane<double> huge;
  huge.Resize(4, 4);
  huge.Fill(1e308);
  EXPECT_FALSE(ZScaleCut(huge, BlankMask(), 10, 0));
  EXPECT_FALSE(PercentileCut(huge, BlankMask(), 10, 0));
  EXPECT_FALSE(ZScaleCut(huge, BlankMask(), std::nan(""), 0));
  EXPECT_FALSE(PercentileCut(huge, BlankMask(), 1, std::nan("")));
}

TEST(AutoLevels, BadArgumentsThrow) {
  Plane<int16_t> plane;
  plane.Resize(4, 4);
  plane.Fill(3);
  BlankMask other;
  other.Reset(4, 5);
  other.Set(0, 0);
  EXPECT_THROW(ZScaleCut(plane, other, 1, 0), std::invalid_argument);
  EXPECT_THROW(PercentileCut(plane, other, 1, 0), std::invalid_argument);
  EXPECT_THROW(PercentileCut(plane, BlankMask(), 1, 0, -0.1, 0.5), std::invalid_argument);
  EXPECT_THROW(PercentileCut(plane, BlankMask(), 1, 0, 0.1, std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace kivrel
