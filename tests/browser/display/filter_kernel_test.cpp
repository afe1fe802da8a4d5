// The convolution kernel on bare planes: bit-for-bit agreement with the plain extended loop,
// the sample range below a threshold, the rounding helpers, impulses, constants and the
// border band.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "browser/base/numbers.h"
#include "browser/display/convolve.h"
#include "browser/display/filter_table.h"
#include "filter_reference.h"

namespace kivrel {
namespace {

using test::ReferenceFilter;
using test::ReferenceRun;

// Bitwise equality of the value bits (an x87 extended value fills 10 of its 16 bytes).
template <typename T>
bool SameBits(T a, T b) {
  constexpr std::size_t kBytes =
      std::is_same_v<T, long double> && std::numeric_limits<long double>::digits == 64 ? 10
                                                                                       : sizeof(T);
  return std::memcmp(&a, &b, kBytes) == 0;
}

// Every sample equal bit for bit (so NaN matches NaN and -0 differs from 0).
template <typename T>
::testing::AssertionResult SamePlanes(const Plane<T>& a, const Plane<T>& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) {
    return ::testing::AssertionFailure() << "sizes differ";
  }
  for (int32_t y = 0; y < a.rows(); ++y) {
    for (int32_t x = 0; x < a.cols(); ++x) {
      if (!SameBits(a.At(y, x), b.At(y, x))) {
        return ::testing::AssertionFailure()
               << "(" << y << ", " << x << "): " << +a.At(y, x) << " vs " << +b.At(y, x);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SameStats(const FilterRunStats& got, const ReferenceRun& want) {
  const auto min = static_cast<double>(got.min);
  const auto max = static_cast<double>(got.max);
  if (got.count != want.count) {
    return ::testing::AssertionFailure() << "count " << got.count << " vs " << want.count;
  }
  if (!SameBits(min, want.min) || !SameBits(max, want.max)) {
    return ::testing::AssertionFailure()
           << "min/max " << min << "/" << max << " vs " << want.min << "/" << want.max;
  }
  if (!SameBits(got.sum, want.sum) || !SameBits(got.sum_sq, want.sum_sq)) {
    return ::testing::AssertionFailure()
           << "sums " << static_cast<double>(got.sum) << "/" << static_cast<double>(got.sum_sq)
           << " vs " << static_cast<double>(want.sum) << "/" << static_cast<double>(want.sum_sq);
  }
  return ::testing::AssertionSuccess();
}

template <typename T>
Plane<T> MakePlane(int32_t rows, int32_t cols, T value) {
  Plane<T> p;
  p.Resize(rows, cols);
  p.Fill(value);
  return p;
}

// Random samples that often sit at the type's ends, near 0, and (floats) on halves.
template <typename T>
Plane<T> RandomPlane(std::mt19937_64& rng, int32_t rows, int32_t cols, bool with_non_finite) {
  using Lim = std::numeric_limits<T>;
  Plane<T> p;
  p.Resize(rows, cols);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int64_t> small(-40, 300);
  for (std::size_t i = 0; i < p.size(); ++i) {
    T v{};
    const int k = kind(rng);
    if constexpr (std::is_integral_v<T>) {
      std::uniform_int_distribution<int64_t> any(Lim::min(), Lim::max());
      if (k == 0) {
        v = Lim::max();
      } else if (k == 1) {
        v = Lim::min();
      } else if (k < 5) {
        v = static_cast<T>(std::clamp<int64_t>(small(rng), Lim::min(), Lim::max()));
      } else {
        v = static_cast<T>(any(rng));
      }
    } else {
      std::uniform_real_distribution<double> wide(-1e6, 1e6);
      if (k == 0) {
        v = static_cast<T>(std::ldexp(wide(rng), 40));
      } else if (k < 4) {
        v = static_cast<T>(static_cast<double>(small(rng)) + 0.5);  // halves
      } else if (k < 6) {
        v = static_cast<T>(small(rng));
      } else if (k == 6 && with_non_finite) {
        const T odd[] = {Lim::quiet_NaN(), Lim::infinity(), -Lim::infinity()};
        v = odd[i % 3];
      } else {
        v = static_cast<T>(wide(rng));
      }
    }
    p.data()[i] = v;
  }
  return p;
}

struct Scaling {
  const char* name;
  long double bscale;
  long double bzero;
};

constexpr Scaling kScalings[] = {
    {"plain", 1, 0}, {"bzero32768", 1, 32768}, {"tenth", 0.1L, -3}, {"negative", -2, 100}};

// Every filter of the table plus the identity used when no entry is selected.
std::vector<const FilterSpec*> AllMasks() {
  std::vector<const FilterSpec*> out;
  for (int i = 1; i < kFilterCount; ++i)
    out.push_back(&FilterTable()[static_cast<std::size_t>(i)]);
  out.push_back(&IdentityFilter());
  return out;
}

template <typename T>
class FilterKernelTyped : public ::testing::Test {};
using SampleTypes = ::testing::Types<uint8_t, int16_t, int32_t, float, double>;
TYPED_TEST_SUITE(FilterKernelTyped, SampleTypes);

// The fast kernel against the plain loop, over random planes, every mask, several scalings
// and thresholds (none, a middle one that splits the picture, one that filters nothing).
TYPED_TEST(FilterKernelTyped, MatchesPlainExtendedLoopBitForBit) {
  using T = TypeParam;
  std::mt19937_64 rng(20240611 + sizeof(T));
  for (const FilterSpec* f : AllMasks()) {
    for (const Scaling& sc : kScalings) {
      for (const long double threshold : {9e99L, 150.25L, -1e300L}) {
        for (const bool non_finite : {false, true}) {
          if (non_finite && std::is_integral_v<T>) continue;
          SCOPED_TRACE(std::string(f->name.empty() ? "identity" : f->name) + " / " + sc.name +
                       " / threshold " + std::to_string(static_cast<double>(threshold)) +
                       (non_finite ? " / non-finite" : ""));
          const Plane<T> orig = RandomPlane<T>(rng, 19, 33, non_finite);
          // The working plane starts different from the image, as after an earlier run.
          Plane<T> fast = RandomPlane<T>(rng, 19, 33, false);
          Plane<T> plain;
          plain.CopyFrom(fast);
          const FilterRunStats got = ConvolvePlane(orig, fast, *f, threshold, sc.bscale, sc.bzero);
          const ReferenceRun want =
              ReferenceFilter(orig, plain, *f, threshold, sc.bscale, sc.bzero);
          EXPECT_TRUE(SamePlanes(fast, plain));
          EXPECT_TRUE(SameStats(got, want));
        }
      }
    }
  }
}

// Extreme samples over a whole plane: the sums reach their largest magnitudes.
TYPED_TEST(FilterKernelTyped, ExtremePlanesMatchPlainLoop) {
  using T = TypeParam;
  using Lim = std::numeric_limits<T>;
  for (const FilterSpec* f : AllMasks()) {
    for (const T fill : {Lim::max(), Lim::lowest()}) {
      SCOPED_TRACE(std::string(f->name) + " fill " + std::to_string(static_cast<double>(fill)));
      Plane<T> orig = MakePlane<T>(7, 8, fill);
      orig.At(3, 3) = T{0};
      Plane<T> fast = MakePlane<T>(7, 8, T{1});
      Plane<T> plain = MakePlane<T>(7, 8, T{1});
      const FilterRunStats got = ConvolvePlane(orig, fast, *f, 9e99L, 1, 0);
      const ReferenceRun want = ReferenceFilter(orig, plain, *f, 9e99L, 1, 0);
      EXPECT_TRUE(SamePlanes(fast, plain));
      EXPECT_TRUE(SameStats(got, want));
    }
  }
}

// An impulse of height A reproduces the mask times A over the divisor, mirrored through the
// centre (the output at (c - dy, c - dx) sees the impulse through M(dy, dx)).
TEST(FilterKernel, ImpulseReproducesTheMask) {
  constexpr int32_t kAmp = 630000;  // a multiple of every integer divisor
  for (const FilterSpec* f : AllMasks()) {
    SCOPED_TRACE(std::string(f->name));
    Plane<int32_t> orig = MakePlane<int32_t>(11, 11, 0);
    orig.At(5, 5) = kAmp;
    Plane<int32_t> out = MakePlane<int32_t>(11, 11, -7);
    ConvolvePlane(orig, out, *f, 9e99L, 1, 0);
    const int h = f->size / 2;
    for (int32_t y = h; y < 11 - h; ++y) {
      for (int32_t x = h; x < 11 - h; ++x) {
        const int dy = 5 - y;
        const int dx = 5 - x;
        double want = 0;
        if (std::abs(dy) <= h && std::abs(dx) <= h) {
          const double m = f->mask[static_cast<std::size_t>((dy + h) * f->size + dx + h)];
          want = static_cast<double>(RoundHalfEven(static_cast<long double>(m) * kAmp /
                                                   static_cast<long double>(f->divisor)));
        }
        EXPECT_EQ(out.At(y, x), want) << "at (" << y << ", " << x << ")";
      }
    }
    EXPECT_EQ(out.At(0, 0), -7);  // the band keeps what it held
  }
}

// Low-pass masks and the sharpening masks keep a constant; edge and gradient masks take it
// to 0. The statistics then describe that one value.
TEST(FilterKernel, ConstantPlanes) {
  struct Row {
    const char* name;
    int16_t want;
  };
  const Row rows[] = {{"LowPass 1", 1234}, {"LowPass 2", 1234}, {"LowPass 3", 1234},
                      {"LowPass 4", 1234}, {"LowPass 5", 1234}, {"Gauss", 1234},
                      {"Focus 1", 1234},   {"Focus 2", 1234},   {"Focus 3", 1234},
                      {"Edge", 0},         {"Gradient 1", 0},   {"Gradient 2", 0},
                      {"Gradient 3", 0},   {"Gradient 4", 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const FilterSpec* f = nullptr;
    for (const FilterSpec& e : FilterTable())
      if (e.name == r.name) f = &e;
    ASSERT_NE(f, nullptr);
    const Plane<int16_t> orig = MakePlane<int16_t>(9, 12, 1234);
    Plane<int16_t> out;
    out.CopyFrom(orig);
    const FilterRunStats st = ConvolvePlane(orig, out, *f, 9e99L, 1, 0);
    const int h = f->size / 2;
    EXPECT_EQ(st.count, (9 - 2 * h) * (12 - 2 * h));
    for (int32_t y = h; y < 9 - h; ++y)
      for (int32_t x = h; x < 12 - h; ++x)
        ASSERT_EQ(out.At(y, x), r.want) << "at (" << y << ", " << x << ")";
    if (r.name != std::string("Gauss")) {  // Gauss: 1234 x 307.6 / 307.6 is not exactly 1234
      EXPECT_EQ(static_cast<double>(st.min), r.want);
      EXPECT_EQ(static_cast<double>(st.max), r.want);
    }
    EXPECT_NEAR(static_cast<double>(st.sum / st.count), r.want, 1e-9);
  }
}

// The worked cases of the filter list's behaviour, on bare planes.
TEST(FilterKernel, LowPass1RoundsHalvesToEven) {
  // Centre 50 (weight 4), seven neighbours 10, one neighbour 0 or 12: weighted sums 270 and
  // 282, divisor 12: 22.5 -> 22 and 23.5 -> 24. The statistics see 22.5 and 23.5.
  struct Row {
    uint8_t odd_neighbour;
    uint8_t stored;
    double value;
  };
  for (const Row& r : {Row{0, 22, 22.5}, Row{12, 24, 23.5}}) {
    Plane<uint8_t> orig = MakePlane<uint8_t>(3, 3, 10);
    orig.At(1, 1) = 50;
    orig.At(2, 0) = r.odd_neighbour;
    Plane<uint8_t> out;
    out.CopyFrom(orig);
    const FilterRunStats st = ConvolvePlane(orig, out, FilterTable()[1], 9e99L, 1, 0);
    EXPECT_EQ(out.At(1, 1), r.stored);
    EXPECT_EQ(static_cast<double>(st.min), r.value);
    EXPECT_EQ(static_cast<double>(st.max), r.value);
  }
}

TEST(FilterKernel, Focus2OnQuarterFloatPlane) {
  const Plane<double> orig = MakePlane<double>(4, 5, 0.25);
  Plane<double> out;
  out.CopyFrom(orig);
  ConvolvePlane(orig, out, FilterTable()[8], 9e99L, 1, 0);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 5; ++x) {
      const bool band = y == 0 || y == 3 || x == 0 || x == 4;
      EXPECT_EQ(out.At(y, x), band ? 0.25 : 0.0) << y << "," << x;
    }
  }
}

TEST(FilterKernel, FloatPlanesReceiveWholeNumbersHalvesToEven) {
  Plane<float> orig = MakePlane<float>(3, 6, 0);
  const float row[] = {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, -2.5f};
  for (int32_t x = 0; x < 6; ++x)
    orig.At(1, x) = row[x];
  Plane<float> out;
  out.CopyFrom(orig);
  const FilterRunStats st = ConvolvePlane(orig, out, IdentityFilter(), 9e99L, 1, 0);
  EXPECT_EQ(out.At(1, 1), 2.0f);
  EXPECT_EQ(out.At(1, 2), 2.0f);
  EXPECT_EQ(out.At(1, 3), 0.0f);
  EXPECT_TRUE(std::signbit(out.At(1, 3)));  // -0.5 rounds to -0
  EXPECT_EQ(out.At(1, 4), -2.0f);
  // The statistics see the values before rounding.
  EXPECT_EQ(static_cast<double>(st.min), -1.5);
  EXPECT_EQ(static_cast<double>(st.max), 2.5);
}

TEST(FilterKernel, Int16ClampsAndStatisticsSeeTheClamp) {
  Plane<int16_t> orig = MakePlane<int16_t>(3, 3, 0);
  orig.At(1, 1) = 8000;  // Focus 2: 5 x 8000 = 40000
  Plane<int16_t> out;
  out.CopyFrom(orig);
  const FilterRunStats st = ConvolvePlane(orig, out, FilterTable()[8], 9e99L, 1, 0);
  EXPECT_EQ(out.At(1, 1), 32767);
  EXPECT_EQ(static_cast<double>(st.max), 32767);
  EXPECT_EQ(st.count, 1);
}

TEST(FilterKernel, EdgeOn8BitClampsBothWays) {
  Plane<uint8_t> orig = MakePlane<uint8_t>(5, 7, 50);
  orig.At(2, 2) = 200;  // 8 x 200 - 8 x 50 = 1200 -> 255; its neighbours go negative -> 0
  Plane<uint8_t> out;
  out.CopyFrom(orig);
  ConvolvePlane(orig, out, FilterTable()[10], 9e99L, 1, 0);
  EXPECT_EQ(out.At(2, 2), 255);
  EXPECT_EQ(out.At(1, 1), 0);
  EXPECT_EQ(out.At(2, 3), 0);
  EXPECT_EQ(out.At(2, 5), 0);  // uniform area
}

// Row ramp s = y and column ramp s = x through the four gradient masks.
TEST(FilterKernel, GradientOrientation) {
  struct Row {
    int index;
    int16_t on_rows;
    int16_t on_cols;
  };
  const Row rows[] = {{11, 4, -4}, {12, 4, 4}, {13, 3, 0}, {14, 0, -3}};
  Plane<int16_t> by_row = MakePlane<int16_t>(6, 7, 0);
  Plane<int16_t> by_col = MakePlane<int16_t>(6, 7, 0);
  for (int32_t y = 0; y < 6; ++y) {
    for (int32_t x = 0; x < 7; ++x) {
      by_row.At(y, x) = static_cast<int16_t>(y);
      by_col.At(y, x) = static_cast<int16_t>(x);
    }
  }
  for (const Row& r : rows) {
    const FilterSpec& f = FilterTable()[static_cast<std::size_t>(r.index)];
    SCOPED_TRACE(std::string(f.name));
    Plane<int16_t> a;
    a.CopyFrom(by_row);
    Plane<int16_t> b;
    b.CopyFrom(by_col);
    ConvolvePlane(by_row, a, f, 9e99L, 1, 0);
    ConvolvePlane(by_col, b, f, 9e99L, 1, 0);
    for (int32_t y = 1; y < 5; ++y) {
      for (int32_t x = 1; x < 6; ++x) {
        EXPECT_EQ(a.At(y, x), r.on_rows);
        EXPECT_EQ(b.At(y, x), r.on_cols);
      }
    }
  }
}

TEST(FilterKernel, PlanesSmallerThanTheMaskAreNotVisited) {
  struct Row {
    int32_t rows, cols;
    int index;
    int64_t count;
  };
  const Row rows[] = {{2, 2, 1, 0}, {2, 9, 1, 0}, {9, 2, 2, 0},
                      {4, 4, 5, 0}, {3, 3, 1, 1}, {5, 5, 6, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.rows) + "x" + std::to_string(r.cols));
    Plane<int16_t> orig = MakePlane<int16_t>(r.rows, r.cols, 100);
    Plane<int16_t> out = MakePlane<int16_t>(r.rows, r.cols, 3);
    const FilterRunStats st =
        ConvolvePlane(orig, out, FilterTable()[static_cast<std::size_t>(r.index)], 9e99L, 1, 0);
    EXPECT_EQ(st.count, r.count);
    int64_t changed = 0;
    for (std::size_t i = 0; i < out.size(); ++i)
      changed += out.data()[i] != 3;
    EXPECT_EQ(changed, r.count);
  }
}

// Threshold 0: on an 8-bit plane nothing enters the statistics; on a 16-bit plane the copied
// pixels do. Both planes come out as the image.
TEST(FilterKernel, ThresholdAtOrBelowEveryValue) {
  Plane<uint8_t> o8 = MakePlane<uint8_t>(5, 5, 7);
  Plane<uint8_t> w8 = MakePlane<uint8_t>(5, 5, 1);
  EXPECT_EQ(ConvolvePlane(o8, w8, FilterTable()[2], 0, 1, 0).count, 0);
  EXPECT_EQ(w8.At(2, 2), 7);
  EXPECT_EQ(w8.At(0, 0), 1);

  Plane<int16_t> o16 = MakePlane<int16_t>(5, 5, 7);
  o16.At(2, 2) = 9;
  Plane<int16_t> w16;
  w16.CopyFrom(o16);
  const FilterRunStats st = ConvolvePlane(o16, w16, FilterTable()[2], 7, 1, 0);
  EXPECT_EQ(st.count, 9);
  EXPECT_TRUE(SamePlanes(w16, o16));
  EXPECT_EQ(static_cast<double>(st.max), 9);
  EXPECT_EQ(static_cast<double>(st.min), 7);
}

// The threshold is a physical value: with BZERO 32768 a raw sample r reads r + 32768.
TEST(FilterKernel, ThresholdInPhysicalUnits) {
  Plane<int16_t> orig = MakePlane<int16_t>(3, 5, 0);
  const int16_t raw[] = {-32768, 231, 232};  // physical 0, 32999, 33000
  for (int32_t x = 1; x < 4; ++x)
    orig.At(1, x) = raw[x - 1];
  Plane<int16_t> out = MakePlane<int16_t>(3, 5, 0);
  out.At(1, 1) = out.At(1, 2) = out.At(1, 3) = 1;
  const FilterRunStats st = ConvolvePlane(orig, out, IdentityFilter(), 33000, 1, 32768);
  EXPECT_EQ(out.At(1, 1), -32768);
  EXPECT_EQ(out.At(1, 2), 231);
  EXPECT_EQ(out.At(1, 3), 232);
  EXPECT_EQ(st.count, 3);  // 16-bit: the copied pixel counts too
  EXPECT_EQ(static_cast<double>(st.min), 0);
  EXPECT_EQ(static_cast<double>(st.max), 33000);
}

// A NaN sample fails the threshold comparison and is copied as it is.
TEST(FilterKernel, NaNSamplesAreCopied) {
  Plane<double> orig = MakePlane<double>(3, 3, 1);
  orig.At(1, 1) = std::numeric_limits<double>::quiet_NaN();
  Plane<double> out = MakePlane<double>(3, 3, 5);
  const FilterRunStats st = ConvolvePlane(orig, out, IdentityFilter(), 9e99L, 1, 0);
  EXPECT_TRUE(std::isnan(out.At(1, 1)));
  EXPECT_EQ(st.count, 0);
}

// ---- Sample range below a threshold, against every sample ----------------------------------

template <typename T>
::testing::AssertionResult RangeMatchesEverySample(long double t, long double bscale,
                                                   long double bzero) {
  const SampleRange r = SamplesBelowThreshold<T>(t, bscale, bzero);
  for (int64_t s = std::numeric_limits<T>::min(); s <= std::numeric_limits<T>::max(); ++s) {
    const bool want = t > bscale * static_cast<long double>(s) + bzero;
    const bool got = s >= r.lo && s <= r.hi;
    if (want != got) {
      return ::testing::AssertionFailure()
             << "sample " << s << ": range [" << r.lo << ", " << r.hi << "], want " << want;
    }
  }
  return ::testing::AssertionSuccess();
}

TEST(SamplesBelowThreshold, MatchesEverySampleOf8And16Bits) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  const long double cases[][3] = {
      {9e99L, 1, 0},   {0, 1, 0},         {100, 1, 0},         {100.5L, 1, 0},
      {-1e300L, 1, 0}, {33000, 1, 32768}, {1, 1, 32768},       {0.30000001L, 0.1L, 0},
      {-5, -2, 100},   {104, -2, 100},    {5, 0, 3},           {3, 0, 3},
      {nan, 1, 0},     {7, 1e-300L, 7},   {0, -1e300L, 1e300L}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<double>(c[0])) + " / " +
                 std::to_string(static_cast<double>(c[1])) + " / " +
                 std::to_string(static_cast<double>(c[2])));
    EXPECT_TRUE(RangeMatchesEverySample<uint8_t>(c[0], c[1], c[2]));
    EXPECT_TRUE(RangeMatchesEverySample<int16_t>(c[0], c[1], c[2]));
  }
}

TEST(SamplesBelowThreshold, Int32RangeEndsAreExact) {
  const long double cases[][3] = {{1e5L, 1, 0},  {-2147483648.0L, 1, 0}, {0.5L, 1e-9L, 0},
                                  {1e5L, -3, 0}, {9e99L, 1, 0},          {-9e99L, 1, 0}};
  for (const auto& c : cases) {
    const SampleRange r = SamplesBelowThreshold<int32_t>(c[0], c[1], c[2]);
    const auto below = [&](int64_t s) { return c[0] > c[1] * static_cast<long double>(s) + c[2]; };
    if (r.lo > r.hi) {
      EXPECT_FALSE(below(INT32_MIN));
      EXPECT_FALSE(below(INT32_MAX));
      continue;
    }
    EXPECT_TRUE(below(r.lo));
    EXPECT_TRUE(below(r.hi));
    if (r.lo > INT32_MIN) {
      EXPECT_FALSE(below(r.lo - 1));
    }
    if (r.hi < INT32_MAX) {
      EXPECT_FALSE(below(r.hi + 1));
    }
  }
}

// ---- Rounding helpers --------------------------------------------------------------------

TEST(FilterRounding, AgreeWithRoundHalfEven) {
  std::vector<long double> values = {
      0.0L,           -0.0L,           0.5L,           1.5L,  2.5L,     -0.5L,     -1.5L,
      -2.5L,          0.49999L,        22.5L,          23.5L, 32767.5L, -32768.5L, 2147483647.5L,
      0x1p62L - 0.5L, -0x1p62L + 0.5L, 0x1p62L + 1.5L, 1e30L};
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int64_t> ints(-(int64_t{1} << 40), int64_t{1} << 40);
  for (int i = 0; i < 2000; ++i)
    values.push_back(static_cast<long double>(ints(rng)) / 12);
  for (const long double v : values) {
    const long double want = RoundHalfEven(v);
    EXPECT_TRUE(SameBits(RoundToWhole(v), want)) << static_cast<double>(v);
    if (std::fabs(v) < 0x1p62L) {
      EXPECT_EQ(static_cast<long double>(RoundToInt64(v)), want) << static_cast<double>(v);
    }
  }
  EXPECT_TRUE(std::isnan(RoundToWhole(std::numeric_limits<long double>::quiet_NaN())));
  EXPECT_EQ(RoundToWhole(std::numeric_limits<long double>::infinity()),
            std::numeric_limits<long double>::infinity());
}

}  // namespace
}  // namespace kivrel
