// The display thresholds: the automatic level modes and the scale of the two threshold bars.
//
// Bar scale: position p stands for the threshold (p - 10000) x ScrollStep, so positions
// 0..30000 span -ScrollRange..2 x ScrollRange whatever the offset of the data.
#pragma once

#include <cstdint>
#include <optional>

#include "browser/store/image.h"

namespace kivrel {

inline constexpr int32_t kBarMax = 30000;
inline constexpr int32_t kBarZero = 10000;

// The level modes, by their place in the level-mode group.
enum LevelMode : int32_t {
  kLevelHeader = 0,    // "en-tête": the range the header proposes
  kLevelData = 1,      // "data": the data's extremes
  kLevelOneSigma = 2,  // "1 sig."
  kLevelTwoSigma = 3,  // "2 sig."
  kLevelSeventy = 4,   // "70%"
  kLevelZScale = 5,    // "zscale": IRAF's robust cut on a sample of the plane
  kLevelPercentile = 6,  // "99,5 %": the values below which 0.25 % and 99.75 % of samples lie
};

struct Thresholds {
  double low = 0;   // DisplayMin
  double high = 0;  // DisplayMax
};

// The thresholds of `mode` from the statistics and the header range; none for an index that
// is no mode. The sigma modes weigh the band by the side of the mean that holds more of the
// range; "70%" keeps 70 % of the distance from the mean to each extreme.
std::optional<Thresholds> LevelModeThresholds(const Statistics& stats, double header_min,
                                              double header_max, int32_t mode);

// The thresholds of `mode` for the image as it is shown: the modes above from its statistics
// and header range, "zscale" and "99,5 %" from the real samples of its working plane
// (auto_levels.h). None for an index that is no mode, and for those two when the plane has no
// real sample.
std::optional<Thresholds> ImageLevelThresholds(const Image& image, int32_t mode);

// The ranges the automatic levels start from, as the image's statistics and header range are
// adjusted for them: an empty data range gets DataMax + 1; no header range takes the data
// range; an empty header range gets HeaderMax + 1. ScrollRange is the larger of the two
// ranges and ScrollStep a ten-thousandth of it (never 0).
struct BarScale {
  double ScrollRange = 0;
  double ScrollStep = 0;
};
BarScale AdjustRanges(Image& image);

// The bar position of threshold t: the nearest integer to t / step (ties to even) plus 10000,
// clamped to [bar_min, bar_max]. Values beyond any 32-bit position clamp the same way; NaN
// sits at 10000.
int32_t BarPositionFor(double t, double step, int32_t bar_min, int32_t bar_max);

// The threshold a bar position stands for.
double ThresholdAtBar(int32_t position, double step);

}  // namespace kivrel
