// The renderer's fast path for 32-bit and floating planes gives exactly the levels of the
// per-sample extended-precision formula: random samples, samples on and around every level
// boundary (where a plain double computation does go wrong), and special values, with scalings
// that doubles cannot hold exactly, plain and mirrored, through the vector body and the tail.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <random>
#include <string>

#include "browser/display/render_kernel.h"

namespace kivrel {
namespace {

struct ScaleCase {
  const char* name;
  long double bscale, bzero;
  double display_min, display_max;
};

const ScaleCase kScales[] = {
    {"Plain", 1, 0, 0, 255},
    {"Offset", 1, 0, 100, 355},
    {"Inverted", 1, 0, 355, 100},
    {"ThirdScale", 1.0L / 3, 0.1L, -7.25, 91.5},
    {"GipsyScale", 3.053295E-05L, 1.526648E-05L, -1, 1},
    {"Unsigned", 1, 32768, 1000, 1300},
    {"Narrow", 1, 0, 0.1, 0.1000001},
    {"Wide", 1, 0, -1e12, 3e15},
    {"NegativeScale", -2.5L, 1e6L, -3.3e5, 1e6},
    {"TinyValues", 1e-30L, 0, 1e-31, 7e-29},
    {"Huge", 1e200L, 0, -1e300, 1e301},
};

// The samples of type T that a value v would be stored as, with their nearest neighbours.
template <typename T>
void AddAround(long double sample, std::vector<T>& out) {
  if (std::isnan(sample)) return;
  if constexpr (std::is_integral_v<T>) {
    const long double r = std::nearbyint(sample);
    for (int d = -2; d <= 2; ++d) {
      const long double v = r + d;
      if (v >= std::numeric_limits<T>::min() && v <= std::numeric_limits<T>::max()) {
        out.push_back(static_cast<T>(v));
      }
    }
  } else {
    if (std::fabs(sample) > static_cast<long double>(std::numeric_limits<T>::max())) return;
    T x = static_cast<T>(sample);
    T up = x;
    T down = x;
    out.push_back(x);
    for (int i = 0; i < 3; ++i) {
      up = std::nextafter(up, std::numeric_limits<T>::infinity());
      down = std::nextafter(down, -std::numeric_limits<T>::infinity());
      out.push_back(up);
      out.push_back(down);
    }
  }
}

template <typename T>
std::vector<T> Adversarial(const ScaleCase& c) {
  std::vector<T> out;
  // Every level boundary n: v = min + n (max - min) / 255, stored as sample (v - BZero) / BScale.
  for (int n = -2; n <= 258; ++n) {
    for (const long double frac : {0.0L, 0.5L, 1e-9L, -1e-9L}) {
      const long double v =
          c.display_min +
          (n + frac) * (static_cast<long double>(c.display_max) - c.display_min) / 255;
      AddAround<T>((v - c.bzero) / c.bscale, out);
    }
  }
  std::mt19937_64 rng(99);
  std::uniform_real_distribution<double> unit(-0.2, 1.2);
  for (int i = 0; i < 3000; ++i) {
    const long double v =
        c.display_min + unit(rng) * (static_cast<long double>(c.display_max) - c.display_min);
    AddAround<T>((v - c.bzero) / c.bscale, out);
  }
  if constexpr (std::is_integral_v<T>) {
    std::uniform_int_distribution<T> any(std::numeric_limits<T>::min(),
                                         std::numeric_limits<T>::max());
    for (int i = 0; i < 2000; ++i)
      out.push_back(any(rng));
    out.push_back(std::numeric_limits<T>::min());
    out.push_back(std::numeric_limits<T>::max());
    out.push_back(0);
  } else {
    for (T v : {std::numeric_limits<T>::quiet_NaN(), -std::numeric_limits<T>::quiet_NaN(),
                std::numeric_limits<T>::infinity(), -std::numeric_limits<T>::infinity(),
                std::numeric_limits<T>::max(), std::numeric_limits<T>::lowest(),
                std::numeric_limits<T>::denorm_min(), -std::numeric_limits<T>::denorm_min(),
                std::numeric_limits<T>::min(), T(0), T(-0.0)}) {
      out.push_back(v);
    }
    std::uniform_real_distribution<double> wide(-1e30, 1e30);
    for (int i = 0; i < 2000; ++i)
      out.push_back(static_cast<T>(wide(rng)));
  }
  return out;
}

template <typename T>
class FastLevelsTest : public ::testing::Test {};

using SampleTypes = ::testing::Types<int32_t, float, double>;
TYPED_TEST_SUITE(FastLevelsTest, SampleTypes);

TYPED_TEST(FastLevelsTest, EveryLevelEqualsThePerSampleFormula) {
  using T = TypeParam;
  std::array<uint8_t, 256> identity{};
  for (int k = 0; k < 256; ++k)
    identity[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
  std::size_t checked = 0;
  std::size_t naive_wrong = 0;
  for (const ScaleCase& c : kScales) {
    const DisplayScale scale(c.bscale, c.bzero, c.display_min, c.display_max);
    const std::vector<T> samples = Adversarial<T>(c);
    // Odd widths so that the rows end in a tail shorter than the vector body's step.
    for (const int32_t width : {static_cast<int32_t>(samples.size()), 7}) {
      const int32_t height = (static_cast<int32_t>(samples.size()) + width - 1) / width;
      Plane<T> plane;
      plane.Resize(height, width);
      for (std::size_t i = 0; i < plane.size(); ++i)
        plane.data()[i] = samples[i % samples.size()];
      for (const bool flip : {false, true}) {
        RenderWindow window;
        window.width = width;
        window.height = height;
        window.flip_x = flip;
        Picture out;
        out.Reset(width, height, 8);
        RenderPlane(plane, window, scale, identity, out);
        int failures = 0;
        for (int32_t i = 0; i < height && failures < 5; ++i) {
          for (int32_t j = 0; j < width && failures < 5; ++j) {
            const T s = plane.At(i, j);
            const int want = scale.LevelOfSample(s);
            const int got = out.Row(i)[flip ? width - 1 - j : j];
            ++checked;
            if (got != want) {
              ++failures;
              ADD_FAILURE() << c.name << " sample " << std::setprecision(21) << +s << ": level "
                            << got << ", formula " << want;
            }
            // How often a plain double computation would have missed.
            const double t = (static_cast<double>(c.bscale) * static_cast<double>(s) +
                              static_cast<double>(c.bzero) - c.display_min) *
                             scale.k;
            const double clamped = std::max(0.0, std::min(255.0, t));
            if (!std::isnan(t) && static_cast<int>(clamped) != want) ++naive_wrong;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 100000u);
  // With double samples the boundary cases do catch a plain double computation out (float and
  // 32-bit samples are too coarse to land within a few ulps of a boundary).
  if constexpr (std::is_same_v<T, double>) {
    EXPECT_GT(naive_wrong, 0u);
  }
  this->RecordProperty("naive_double_wrong", std::to_string(naive_wrong));
}

TEST(FastLevels, EqualThresholdsStayAStep) {
  std::array<uint8_t, 256> identity{};
  for (int k = 0; k < 256; ++k)
    identity[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
  const DisplayScale scale(1, 0, 50, 50);
  Plane<float> plane;
  plane.Resize(1, 9);
  const float values[] = {49.999f, 50, 51, -1e30f, 1e30f, std::nanf(""), 50, 49, 50.5f};
  std::copy(std::begin(values), std::end(values), plane.data());
  Picture out;
  out.Reset(9, 1, 8);
  RenderWindow window;
  window.width = 9;
  window.height = 1;
  RenderPlane(plane, window, scale, identity, out);
  const std::vector<uint8_t> got(out.Row(0), out.Row(0) + 9);
  EXPECT_EQ(got, (std::vector<uint8_t>{0, 255, 255, 0, 255, 0, 255, 0, 255}));
}

}  // namespace
}  // namespace kivrel
