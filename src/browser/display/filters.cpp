#include "browser/display/filters.h"

#include <vector>

#include "browser/display/convolve.h"
#include "browser/store/sample_stats.h"

namespace kivrel {

const FilterSpec& FilterForIndex(int32_t index) {
  if (index >= 1 && index < kFilterCount) return FilterTable()[static_cast<std::size_t>(index)];
  return IdentityFilter();
}

namespace {

// The statistics of the real samples of a plane (those the mask leaves), physical units; 0 when
// there is none.
template <typename T>
Statistics RealStatistics(const Plane<T>& plane, const BlankMask& blanks, long double bscale,
                          long double bzero) {
  SampleStats<T> stats(bscale, bzero, static_cast<long double>(plane.size()));
  std::vector<T> real(static_cast<std::size_t>(plane.cols()));
  for (int32_t r = 0; r < plane.rows(); ++r) {
    std::size_t m = 0;
    for (int32_t c = 0; c < plane.cols(); ++c) {
      if (!blanks.IsBlank(r, c)) real[m++] = plane.At(r, c);
    }
    stats.Add(real.data(), m);
  }
  if (stats.Count() == 0) return Statistics{};
  const StatsResult s = stats.Finish();
  return Statistics{s.min, s.max, s.mean, s.sigma};
}

}  // namespace

void FilterImage(Image& image, const FilterSpec& filter, long double threshold) {
  FilterRunStats run;
  VisitPlanes(image, [&](auto& plane, const auto& unfiltered) {
    run = ConvolvePlane(unfiltered, plane, filter, threshold, image.BScale, image.BZero);
  });
  if (run.count == 0) {
    image.stats = image.unfiltered_stats;
    return;
  }
  if (!image.blanks.Empty()) {
    // The run's sums would take the blank samples in: the filtered plane's real samples give
    // the statistics instead.
    image.plane.Visit([&](const auto& plane) {
      image.stats = RealStatistics(plane, image.blanks, image.BScale, image.BZero);
    });
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
