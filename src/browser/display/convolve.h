// The convolution of one filter-list mask over a bare plane pair, with the statistics of the
// run. No store, no dialog: ApplyFilter (filters.cpp) wraps it.
//
// ConvolvePlane(orig, out, filter, threshold, bscale, bzero)
//   Visits rows and columns h .. size-1-h of the common extent of `orig` and `out` (h = half
//   the mask size), rows outer, both increasing; the outer band of `out` keeps what it held.
//   A visited pixel whose physical value bscale x s + bzero (s from `orig`) is below
//   `threshold` receives the convolution: acc = the sum of M(dy, dx) x orig(y+dy, x+dx), dy
//   outer and dx inner, each product and the running sum in extended precision; v = acc /
//   divisor, clamped to the range of an integer sample type, stored rounded to the nearest
//   whole number (ties to even; float planes receive whole numbers too). Its physical value
//   bscale x v + bzero (v clamped, not rounded) enters the statistics. Any other visited pixel
//   receives s unchanged; on a 16-bit plane only, its physical value enters the statistics.
//   Returns the statistics; `count` 0 when no pixel entered them.
//
// The results are those of the plain extended-precision loop, bit for bit. Integer masks over
// integer samples are summed in integer arithmetic (every partial sum is an integer far below
// 2^64, so the extended sum is exact and the two agree). Other masks run the extended loop in
// mask order; over integer samples it skips zero coefficients (adding a zero product to a sum
// that is not -0 leaves it as it is) and forms the products of small integer coefficients in
// integer arithmetic (exact, as the extended product is).
#pragma once

#include <cmath>
#include <cstdint>

#include "browser/base/numbers.h"
#include "browser/display/filter_table.h"
#include "browser/store/plane.h"

namespace kivrel {

// Statistics of one run, physical units. `min` and `max` start at 1e100 and -1e100 and are
// held in extended precision: rounding to a double is monotonic, so the double of the extended
// minimum is the minimum of the doubles.
struct FilterRunStats {
  long double min = 1e100;
  long double max = -1e100;
  long double sum = 0;
  long double sum_sq = 0;
  int64_t count = 0;
};

template <typename T>
FilterRunStats ConvolvePlane(const Plane<T>& orig, Plane<T>& out, const FilterSpec& filter,
                             long double threshold, long double bscale, long double bzero);

// The raw samples of an integer type whose physical value lies below `threshold`: the closed
// range [lo, hi], empty when lo > hi. The physical value is monotonic in the sample, so the
// set is always one range.
struct SampleRange {
  int64_t lo = 0;
  int64_t hi = -1;
};
template <typename T>
SampleRange SamplesBelowThreshold(long double threshold, long double bscale, long double bzero);

// Nearest whole number, ties to even; the same as RoundHalfEven for every value.
inline long double RoundToWhole(long double v) {
  // Within 2^62 an addition of 1.5 x 2^63 rounds away the fraction exactly (ties to even
  // under the default rounding), and the subtraction that follows is exact.
  constexpr long double kShift = 0x1.8p63L;
  if (v > -0x1p62L && v < 0x1p62L) {
    const long double r = (v + kShift) - kShift;
    return r == 0 ? std::copysign(0.0L, v) : r;  // -0.4 gives -0, as rounding does
  }
  return RoundHalfEven(v);
}

// Nearest integer, ties to even, of a value within the 64-bit range: one x87 store under the
// default rounding mode (a plain cast would switch the mode to truncation and back).
inline int64_t RoundToInt64(long double v) {
#if defined(__x86_64__) || defined(__i386__)
  int64_t r;
  asm("fistpll %0" : "=m"(r) : "t"(v) : "st");
  return r;
#else
  return static_cast<int64_t>(RoundHalfEven(v));
#endif
}

}  // namespace kivrel
