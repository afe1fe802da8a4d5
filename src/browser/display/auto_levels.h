// Automatic level cuts computed from the samples of the shown plane: "zscale" and "99,5 %".
// Both look at real samples only (not marked in the blank mask and, for floating planes,
// finite), and give thresholds in physical units (bscale x sample + bzero).
//
// ZScaleCut(plane, blanks, bscale, bzero)
//   IRAF's zscale with the parameters and steps of astropy's ZScaleInterval (1000 samples,
//   contrast 0.25, rejection of points beyond 2.5 sigma of a fitted line, at most 5 rounds,
//   at most half the points rejected, at least 5 kept). The samples are every stride-th real
//   sample in row-major order, stride = max(1, trunc(count / 1000)), the first 1000 of them.
//   The line is fitted to the sorted samples; its slope divided by the contrast spreads the
//   cut around the samples' median, clamped to the samples' range. When the rejection leaves
//   too few points the cut is the samples' range.
//
// PercentileCut(plane, blanks, bscale, bzero, low_fraction, high_fraction)
//   The values below which `low_fraction` and `high_fraction` of the real samples lie, by
//   linear interpolation between the two nearest order statistics (numpy.percentile's default
//   definition). Exact order statistics: a histogram of the raw values for 8- and 16-bit
//   planes, a radix selection 16 bits at a time for the wider types.
//
// Both return nullopt when the plane has no real sample, when bscale or bzero is not finite, or
// when the physical values overflow the range of a double. A constant plane gives low == high. Both
// throw std::invalid_argument when `blanks` is not empty and its size differs from the plane's;
// PercentileCut also when a fraction lies outside [0, 1].
#pragma once

#include <cstdint>
#include <optional>

#include "browser/base/numbers.h"
#include "browser/store/blank_mask.h"
#include "browser/store/plane.h"

namespace kivrel {

// Thresholds proposed by an automatic cut, physical units (BScale x sample + BZero).
struct LevelCut {
  double low = 0;
  double high = 0;
};

// Instantiated for uint8_t, int16_t, int32_t, float and double.
template <typename T>
std::optional<LevelCut> ZScaleCut(const Plane<T>& plane, const BlankMask& blanks,
                                  long double bscale, long double bzero);

template <typename T>
std::optional<LevelCut> PercentileCut(const Plane<T>& plane, const BlankMask& blanks,
                                      long double bscale, long double bzero,
                                      double low_fraction = 0.0025, double high_fraction = 0.9975);

}  // namespace kivrel
