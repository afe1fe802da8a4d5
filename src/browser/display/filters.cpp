#include "browser/display/filters.h"

#include "browser/display/convolve.h"
#include "browser/store/sample_stats.h"

namespace kivrel {

const FilterSpec& FilterForIndex(int32_t index) {
  if (index >= 1 && index < kFilterCount) return FilterTable()[static_cast<std::size_t>(index)];
  return IdentityFilter();
}

void FilterImage(Image& image, const FilterSpec& filter, long double threshold) {
  FilterRunStats run;
  VisitPlanes(image, [&](auto& plane, const auto& unfiltered) {
    run = ConvolvePlane(unfiltered, plane, filter, threshold, image.BScale, image.BZero);
  });
  if (run.count == 0) {
    image.stats = image.unfiltered_stats;
    return;
  }
  const StatsResult s = FinishStats(static_cast<double>(run.min), static_cast<double>(run.max),
                                    run.sum, run.sum_sq, static_cast<long double>(run.count));
  image.stats = Statistics{s.min, s.max, s.mean, s.sigma};
}

void RestoreUnfilteredPlane(Image& image) {
  VisitPlanes(image, [](auto& plane, const auto& unfiltered) { plane.CopyFrom(unfiltered); });
  image.stats = image.unfiltered_stats;
}

}  // namespace kivrel
