// Test helpers over images: the statistics as they are defined, an image built by hand as a read
// leaves it, and a plane of an image in its element type.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "browser/store/image.h"
#include "browser/store/plane.h"

namespace kivrel::test {

// The statistics as the behaviour defines them: each physical value rounded to a double,
// running extended sums in file order, min and max starting at +-1e100.
struct ReferenceStats {
  double min = 1e100;
  double max = -1e100;
  long double sum = 0;
  long double sum_sq = 0;
  long double count = 0;

  void Add(long double bscale, long double bzero, long double sample) {
    const double p = static_cast<double>(bscale * sample + bzero);
    min = std::min(min, p);
    max = std::max(max, p);
    sum += p;
    sum_sq += static_cast<long double>(p) * p;
    count += 1;
  }
  long double Mean() const { return sum / count; }
  long double Sigma() const {
    const long double m = Mean();
    const long double v = sum_sq / count - m * m;
    return v < 0 ? 0 : std::sqrt(v);
  }
};

// The statistics of a read against the reference. Extremes are always exact. Mean and sigma are
// exact where the sums are taken exactly or sample by sample in extended precision (8- and
// 16-bit samples, and any scaling other than scale 1 and offset 0); otherwise the sums may be
// taken in any order and must agree with the exact ones to 1e-12 relative.
inline ::testing::AssertionResult StatsAgree(const Statistics& got, const ReferenceStats& ref,
                                             bool exact_sums) {
  const auto close = [&](long double a, long double b) {
    return exact_sums ? a == b : std::fabs(a - b) <= 1e-12L * std::fabs(b);
  };
  if (got.DataMin == ref.min && got.DataMax == ref.max && close(got.DataMean, ref.Mean()) &&
      close(got.DataSigma, ref.Sigma())) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "min, max, mean, sigma " << got.DataMin << ", " << got.DataMax << ", "
         << static_cast<double>(got.DataMean) << ", " << static_cast<double>(got.DataSigma)
         << " instead of " << ref.min << ", " << ref.max << ", " << static_cast<double>(ref.Mean())
         << ", " << static_cast<double>(ref.Sigma()) << (exact_sums ? " (exact)" : " (1e-12)");
}

// The statistics of an image without a real sample: all 0.
inline ::testing::AssertionResult AllZero(const Statistics& got) {
  if (got.DataMin == 0 && got.DataMax == 0 && got.DataMean == 0 && got.DataSigma == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "statistics " << got.DataMin << ", " << got.DataMax
                                       << ", " << static_cast<double>(got.DataMean) << ", "
                                       << static_cast<double>(got.DataSigma) << " instead of 0";
}

// Whether a read's sums must be exact: everything but the samples of 32 and 64 bits and floats
// at scale 1 and offset 0, which may be summed in blocks.
inline bool ExactSums(int32_t bitpix, long double bscale, long double bzero) {
  return bitpix == 8 || bitpix == 16 || bscale != 1 || bzero != 0;
}

// The image's working plane (or its unfiltered copy) of element type T. A failure is recorded
// when the image holds a plane of another type or none; the 1 x 1 plane given then must not be
// read past its one sample, so callers check the image's size first.
template <typename T>
const Plane<T>& PlaneOf(const SamplePlane& planes) {
  if (const Plane<T>* p = planes.Get<T>()) return *p;
  ADD_FAILURE() << "the image holds no plane of this element type";
  static const Plane<T> kNone;
  return kNone;
}

template <typename T>
const Plane<T>& PlaneOf(const Image& image) {
  return PlaneOf<T>(image.plane);
}

// The sample type whose plane holds elements of type T.
template <typename T>
constexpr int32_t SampleTypeOf() {
  if constexpr (std::is_same_v<T, uint8_t>) {
    return kSample8;
  } else if constexpr (std::is_same_v<T, int16_t>) {
    return kSample16;
  } else if constexpr (std::is_same_v<T, int32_t>) {
    return kSample32;
  } else if constexpr (std::is_same_v<T, float>) {
    return kSampleF32;
  } else {
    static_assert(std::is_same_v<T, double>);
    return kSampleF64;
  }
}

// An image as a read leaves it: a plane of width x height samples given top row first, its
// sample type and scaling, the statistics of every sample (also as the unfiltered ones), no
// header range, and the unfiltered copy sharing the plane's memory.
template <typename T>
Image MakeImage(int32_t width, int32_t height, const std::vector<T>& top_first,
                long double bscale = 1, long double bzero = 0) {
  Image image;
  Plane<T>& plane = image.plane.Emplace<T>(height, width);
  ReferenceStats stats;
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      const T v = top_first[static_cast<std::size_t>(i) * width + j];
      plane.At(i, j) = v;
      stats.Add(bscale, bzero, static_cast<long double>(v));
    }
  }
  image.unfiltered.CopyFrom(image.plane);
  image.SampleType = SampleTypeOf<T>();
  image.width = width;
  image.height = height;
  image.BScale = bscale;
  image.BZero = bzero;
  image.stats = Statistics{stats.min, stats.max, stats.Mean(), stats.Sigma()};
  image.unfiltered_stats = image.stats;
  return image;
}

}  // namespace kivrel::test
