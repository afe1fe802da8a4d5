#include "browser/display/levels.h"

#include <algorithm>
#include <cmath>

#include "browser/base/numbers.h"
#include "browser/display/auto_levels.h"

namespace kivrel {

std::optional<Thresholds> LevelModeThresholds(const Statistics& s, double header_min,
                                              double header_max, int32_t mode) {
  const long double m = s.DataMean;
  const long double sd = s.DataSigma;
  const long double lo = s.DataMin;
  const long double hi = s.DataMax;
  const long double a = 2 * (m - lo) / (hi - lo);
  const long double b = 2 * (hi - m) / (hi - lo);
  switch (mode) {
    case kLevelHeader:
      return Thresholds{header_min, header_max};
    case kLevelData:
      return Thresholds{s.DataMin, s.DataMax};
    case kLevelOneSigma:
    case kLevelTwoSigma: {
      const long double k = mode == kLevelOneSigma ? 1 : 2;
      return Thresholds{static_cast<double>(std::max(lo, m - k * sd * a)),
                        static_cast<double>(std::min(hi, m + k * sd * b))};
    }
    case kLevelSeventy:
      return Thresholds{static_cast<double>(lo + (m - lo) * 0.3L),
                        static_cast<double>(hi - (hi - m) * 0.3L)};
    default:
      return std::nullopt;
  }
}

std::optional<Thresholds> ImageLevelThresholds(const Image& image, int32_t mode) {
  if (mode != kLevelZScale && mode != kLevelPercentile) {
    return LevelModeThresholds(image.stats, image.HeaderMin, image.HeaderMax, mode);
  }
  std::optional<LevelCut> cut;
  image.plane.Visit([&](const auto& plane) {
    cut = mode == kLevelZScale ? ZScaleCut(plane, image.blanks, image.BScale, image.BZero)
                               : PercentileCut(plane, image.blanks, image.BScale, image.BZero);
  });
  if (!cut) return std::nullopt;
  return Thresholds{cut->low, cut->high};
}

BarScale AdjustRanges(Image& image) {
  Statistics& s = image.stats;
  if (s.DataMax == s.DataMin)
    s.DataMax = static_cast<double>(static_cast<long double>(s.DataMax) + 1);
  if (image.HeaderMax == 0 && image.HeaderMin == 0) {
    image.HeaderMax = s.DataMax;
    image.HeaderMin = s.DataMin;
  }
  if (image.HeaderMax == image.HeaderMin) {
    image.HeaderMax = static_cast<double>(static_cast<long double>(image.HeaderMax) + 1);
  }
  BarScale scale;
  scale.ScrollRange = static_cast<double>(
      std::max(std::fabs(static_cast<long double>(s.DataMax) - s.DataMin),
               std::fabs(static_cast<long double>(image.HeaderMax) - image.HeaderMin)));
  scale.ScrollStep = static_cast<double>(static_cast<long double>(scale.ScrollRange) / 10000);
  return scale;
}

int32_t BarPositionFor(double t, double step, int32_t bar_min, int32_t bar_max) {
  const long double n = RoundHalfEven(static_cast<long double>(t) / step);
  if (std::isnan(n)) return std::clamp(kBarZero, bar_min, bar_max);
  const long double p = std::clamp<long double>(n + kBarZero, bar_min, bar_max);
  return static_cast<int32_t>(p);
}

double ThresholdAtBar(int32_t position, double step) {
  return static_cast<double>(static_cast<long double>(position - kBarZero) * step);
}

}  // namespace kivrel
