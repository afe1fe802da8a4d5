// The filter run written the plain way, step by step: every pixel, every coefficient (zeros
// included) in mask order, one extended sum, one extended division, the clamps as stated,
// RoundHalfEven, the statistics of the physical values with the minimum and maximum taken as
// doubles. Tests and the benchmark compare the fast kernel against it bit for bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "browser/base/numbers.h"
#include "browser/display/filter_table.h"
#include "browser/store/plane.h"

namespace kivrel::test {

struct ReferenceRun {
  double min = 1e100;
  double max = -1e100;
  long double sum = 0;
  long double sum_sq = 0;
  int64_t count = 0;

  void Add(long double p) {
    const auto d = static_cast<double>(p);
    if (d < min) min = d;
    if (d > max) max = d;
    sum += p;
    sum_sq += p * p;
    ++count;
  }
};

template <typename T>
long double ReferenceClamp(long double v) {
  if constexpr (std::is_same_v<T, uint8_t>) {
    if (v > 255) v = 255;
    if (v < 0) v = 0;
  } else if constexpr (std::is_same_v<T, int16_t>) {
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
  } else if constexpr (std::is_same_v<T, int32_t>) {
    if (v > 2147483647.0L) v = 2147483647.0L;
    if (v < -2147483648.0L) v = -2147483648.0L;
  }
  return v;
}

template <typename T>
ReferenceRun ReferenceFilter(const Plane<T>& orig, Plane<T>& out, const FilterSpec& f,
                             long double threshold, long double bscale, long double bzero) {
  ReferenceRun run;
  const int n = f.size;
  const int h = n / 2;
  for (int32_t y = h; y <= orig.rows() - 1 - h; ++y) {
    for (int32_t x = h; x <= orig.cols() - 1 - h; ++x) {
      const T s = orig.At(y, x);
      if (threshold > bscale * static_cast<long double>(s) + bzero) {
        long double acc = 0;
        for (int dy = -h; dy <= h; ++dy) {
          for (int dx = -h; dx <= h; ++dx) {
            const long double m = f.mask[static_cast<std::size_t>((dy + h) * n + (dx + h))];
            acc = acc + m * static_cast<long double>(orig.At(y + dy, x + dx));
          }
        }
        long double v = acc / static_cast<long double>(f.divisor);
        v = ReferenceClamp<T>(v);
        out.At(y, x) = static_cast<T>(RoundHalfEven(v));
        run.Add(bscale * v + bzero);
      } else {
        out.At(y, x) = s;
        if (std::is_same_v<T, int16_t>) run.Add(bscale * static_cast<long double>(s) + bzero);
      }
    }
  }
  return run;
}

}  // namespace kivrel::test
