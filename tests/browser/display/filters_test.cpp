// Filtering an image: each run starts again from the unfiltered plane, the threshold is a
// physical value, and the statistics of a run of equal values have no negative variance.
#include "browser/display/filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "browser/base/numbers.h"
#include "image_checks.h"

namespace kivrel {
namespace {

using test::MakeImage;
using test::PlaneOf;

// Indexes of the filter list.
constexpr int kLowPass1 = 1;
constexpr int kLowPass2 = 2;
constexpr int kLowPass3 = 3;
constexpr int kFocus2 = 8;

// Far above every sample: every visited pixel is filtered.
constexpr long double kAboveEverySample = 9e99L;

// A w x h ramp with some texture: sample (y, x) = 10 x y + x + 20 x ((7 x + 3 y) mod 5).
std::vector<int16_t> Ramp(int32_t w, int32_t h) {
  std::vector<int16_t> v;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      v.push_back(static_cast<int16_t>(10 * y + x + ((x * 7 + y * 3) % 5) * 20));
  return v;
}

// The band of a 5 x 5 mask keeps what the 3 x 3 run left in the ring at distance 1, and the
// outer ring the loaded values.
TEST(FilterImage, LowPass3AfterLowPass1KeepsTheRing) {
  Image image = MakeImage(9, 8, Ramp(9, 8));
  Plane<int16_t> loaded;
  loaded.CopyFrom(PlaneOf<int16_t>(image));
  FilterImage(image, FilterForIndex(kLowPass1), kAboveEverySample);
  Plane<int16_t> after1;
  after1.CopyFrom(PlaneOf<int16_t>(image));
  FilterImage(image, FilterForIndex(kLowPass3), kAboveEverySample);
  const Plane<int16_t>& after3 = PlaneOf<int16_t>(image);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const int ring = std::min({y, x, 7 - y, 8 - x});
      if (ring == 0) {
        EXPECT_EQ(after3.At(y, x), loaded.At(y, x)) << y << "," << x;
      } else if (ring == 1) {
        EXPECT_EQ(after3.At(y, x), after1.At(y, x)) << y << "," << x;
      }
    }
  }
}

// BZERO 32768 and threshold 32800: only raw samples below 32 (physical below 32800) filter.
TEST(FilterImage, ThresholdIsPhysical) {
  std::vector<int16_t> v(5 * 3, 0);
  v[1 * 5 + 1] = 31;
  v[1 * 5 + 2] = 32;
  v[1 * 5 + 3] = 40;
  Image image = MakeImage(5, 3, v, 1, 32768);
  FilterImage(image, FilterForIndex(kFocus2), 32800);
  const Plane<int16_t>& p = PlaneOf<int16_t>(image);
  EXPECT_EQ(p.At(1, 1), 5 * 31 - 32);
  EXPECT_EQ(p.At(1, 2), 32);
  EXPECT_EQ(p.At(1, 3), 40);
  EXPECT_EQ(image.stats.DataMax, 32768.0 + 5 * 31 - 32);
}

// Equal non-integer physical values: the extended sums can leave the variance a hair below
// 0; sigma is then 0, not a NaN.
TEST(FilterImage, VarianceBelowZeroGivesSigmaZero) {
  // The physical value of raw 7 under BSCALE 0.1, as the header reader scales it.
  const long double bscale = ParseFloat("0.1");
  const long double p = bscale * 7;
  // A count of such values whose variance rounds below 0.
  int32_t n = 0;
  for (int32_t k = 1; k < 500 && n == 0; ++k) {
    long double sum = 0;
    long double sum_sq = 0;
    for (int32_t i = 0; i < k; ++i) {
      sum += p;
      sum_sq += p * p;
    }
    const long double mean = sum / k;
    if (sum_sq / k - mean * mean < 0) n = k;
  }
  ASSERT_GT(n, 0);
  // One row of n visited pixels.
  Image image =
      MakeImage(n + 2, 3, std::vector<int16_t>(static_cast<std::size_t>(3 * (n + 2)), 7), bscale);
  FilterImage(image, FilterForIndex(kLowPass2), kAboveEverySample);
  EXPECT_EQ(image.stats.DataSigma, 0);
  EXPECT_NEAR(static_cast<double>(image.stats.DataMean), 0.7, 1e-15);
}

}  // namespace
}  // namespace kivrel
