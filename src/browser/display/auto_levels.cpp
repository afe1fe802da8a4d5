#include "browser/display/auto_levels.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/display/rank_select.h"
#include "browser/display/real_samples.h"

namespace kivrel {
namespace {

template <typename T>
double Physical(T x, long double bscale, long double bzero) {
  return static_cast<double>(bscale * static_cast<long double>(x) + bzero);
}

// ---------------------------------------------------------------------------------------------
// zscale on sorted samples

constexpr uint64_t kZScaleSamples = 1000;
constexpr double kContrast = 0.25;
constexpr double kMaxReject = 0.5;
constexpr int64_t kMinPixels = 5;
constexpr double kRejectSigmas = 2.5;
constexpr int kMaxIterations = 5;

struct Line {
  double slope = 0;
  double intercept = 0;
};

// Least squares over the points not rejected, x the index; centred sums in extended precision
// so that a constant run gives a slope of exactly 0.
Line FitLine(const std::vector<double>& y, const std::vector<uint8_t>& bad) {
  long double n = 0;
  long double sx = 0;
  long double sy = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (bad[i]) continue;
    n += 1;
    sx += static_cast<long double>(i);
    sy += y[i];
  }
  const long double mx = sx / n;
  const long double my = sy / n;
  long double sxx = 0;
  long double sxy = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (bad[i]) continue;
    const long double dx = static_cast<long double>(i) - mx;
    sxx += dx * dx;
    sxy += dx * (y[i] - my);
  }
  Line line;
  line.slope = static_cast<double>(sxy / sxx);
  line.intercept = static_cast<double>(my - static_cast<long double>(line.slope) * mx);
  return line;
}

// Rejects the points farther than kRejectSigmas standard deviations (of the points still
// kept) from the line; rejected points stay rejected in later rounds.
void RejectDeviants(const std::vector<double>& y, const Line& line, std::vector<uint8_t>& bad) {
  const std::size_t n = y.size();
  std::vector<double> flat(n);
  double sum = 0;
  double kept = 0;
  for (std::size_t i = 0; i < n; ++i) {
    flat[i] = y[i] - (line.slope * static_cast<double>(i) + line.intercept);
    if (!bad[i]) {
      sum += flat[i];
      kept += 1;
    }
  }
  const double mean = sum / kept;
  double sum_sq = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!bad[i]) sum_sq += (flat[i] - mean) * (flat[i] - mean);
  }
  const double threshold = kRejectSigmas * std::sqrt(sum_sq / kept);
  for (std::size_t i = 0; i < n; ++i) {
    if (flat[i] < -threshold || flat[i] > threshold) bad[i] = 1;
  }
}

// Widens every rejected point to `grow` neighbours: point i ends rejected when one of the
// points i + (grow - 1) / 2 - (grow - 1) .. i + (grow - 1) / 2 was (numpy's "same"
// convolution with a box of `grow` ones). Returns how many points stay kept.
int64_t Dilate(std::vector<uint8_t>& bad, int64_t grow) {
  const auto n = static_cast<int64_t>(bad.size());
  const int64_t ahead = (grow - 1) / 2;
  std::vector<uint8_t> out(bad.size(), 0);
  for (int64_t k = 0; k < n; ++k) {
    if (!bad[k]) continue;
    const int64_t first = std::max<int64_t>(0, k - ahead);
    const int64_t last = std::min<int64_t>(n - 1, k - ahead + grow - 1);
    for (int64_t i = first; i <= last; ++i)
      out[i] = 1;
  }
  bad.swap(out);
  return n - std::count(bad.begin(), bad.end(), uint8_t{1});
}

LevelCut ZScaleOfSorted(const std::vector<double>& s) {
  const auto npix = static_cast<int64_t>(s.size());
  LevelCut cut{s.front(), s.back()};
  const int64_t min_kept =
      std::max(kMinPixels, static_cast<int64_t>(static_cast<double>(npix) * kMaxReject));
  const int64_t grow = std::max<int64_t>(1, static_cast<int64_t>(static_cast<double>(npix) * 0.01));
  std::vector<uint8_t> bad(s.size(), 0);
  int64_t kept = npix;
  int64_t last_kept = npix + 1;
  Line line;
  for (int round = 0; round < kMaxIterations; ++round) {
    if (kept >= last_kept || kept < min_kept) break;
    line = FitLine(s, bad);
    RejectDeviants(s, line, bad);
    last_kept = kept;
    kept = Dilate(bad, grow);
  }
  if (kept >= min_kept) {
    const double slope = line.slope / kContrast;
    const int64_t center = (npix - 1) / 2;
    const double median = npix % 2 == 1 ? s[npix / 2] : (s[npix / 2 - 1] + s[npix / 2]) / 2;
    cut.low = std::max(cut.low, median - static_cast<double>(center - 1) * slope);
    cut.high = std::min(cut.high, median + static_cast<double>(npix - center) * slope);
  }
  return cut;
}

std::optional<LevelCut> FiniteOrNothing(const LevelCut& cut) {
  if (!std::isfinite(cut.low) || !std::isfinite(cut.high)) return std::nullopt;
  return cut;
}

// ---------------------------------------------------------------------------------------------
// Percentiles

// Where a fraction falls among n sorted values: numpy's "linear" definition, virtual index
// (n - 1) x fraction between the order statistics `below` and `above`.
struct Interpolation {
  uint64_t below = 0;
  uint64_t above = 0;
  double t = 0;
};

Interpolation InterpolationFor(uint64_t n, double fraction) {
  const double last = static_cast<double>(n - 1);
  const double h = last * fraction;
  if (h >= last) return {n - 1, n - 1, 0};
  Interpolation in;
  in.below = std::min(static_cast<uint64_t>(h), n - 2);
  in.above = in.below + 1;
  in.t = h - static_cast<double>(in.below);
  return in;
}

// numpy's lerp: from the nearer end, so that t = 1 gives b exactly.
double Lerp(double a, double b, double t) {
  const double diff = b - a;
  return t >= 0.5 ? b - diff * (1 - t) : a + diff * t;
}

void CheckFraction(double fraction) {
  if (!(fraction >= 0 && fraction <= 1)) {
    throw std::invalid_argument("percentile fraction " + std::to_string(fraction) +
                                " outside [0, 1]");
  }
}

}  // namespace

template <typename T>
std::optional<LevelCut> ZScaleCut(const Plane<T>& plane, const BlankMask& blanks,
                                  long double bscale, long double bzero) {
  CheckBlankMaskSize(plane, blanks);
  if (!std::isfinite(bscale) || !std::isfinite(bzero)) return std::nullopt;
  const RealSampleIndex<T> index(plane, blanks);
  const uint64_t count = index.Count();
  if (count == 0) return std::nullopt;
  const double ratio = static_cast<double>(count) / static_cast<double>(kZScaleSamples);
  const uint64_t stride = ratio < 1 ? 1 : static_cast<uint64_t>(ratio);
  const uint64_t taken = std::min(kZScaleSamples, (count - 1) / stride + 1);
  std::vector<double> samples;
  samples.reserve(taken);
  index.VisitEvery(stride, taken, [&](T x) { samples.push_back(Physical(x, bscale, bzero)); });
  std::sort(samples.begin(), samples.end());
  if (!std::isfinite(samples.front()) || !std::isfinite(samples.back())) return std::nullopt;
  return FiniteOrNothing(ZScaleOfSorted(samples));
}

template <typename T>
std::optional<LevelCut> PercentileCut(const Plane<T>& plane, const BlankMask& blanks,
                                      long double bscale, long double bzero, double low_fraction,
                                      double high_fraction) {
  CheckFraction(low_fraction);
  CheckFraction(high_fraction);
  CheckBlankMaskSize(plane, blanks);
  if (!std::isfinite(bscale) || !std::isfinite(bzero)) return std::nullopt;
  RankSelector<T> selector(plane, blanks);
  const uint64_t n = selector.Count();
  if (n == 0) return std::nullopt;
  const Interpolation lo = InterpolationFor(n, low_fraction);
  const Interpolation hi = InterpolationFor(n, high_fraction);
  // The k-th smallest physical value is the k-th smallest sample, or under a negative scale
  // the k-th largest.
  const auto raw = [&](uint64_t k) { return bscale < 0 ? n - 1 - k : k; };
  const std::array<T, 4> v = selector.ValuesAt(
      std::array<uint64_t, 4>{raw(lo.below), raw(lo.above), raw(hi.below), raw(hi.above)});
  const auto phys = [&](T x) { return Physical(x, bscale, bzero); };
  return FiniteOrNothing({Lerp(phys(v[0]), phys(v[1]), lo.t), Lerp(phys(v[2]), phys(v[3]), hi.t)});
}

#define KIVREL_AUTO_LEVELS(T)                                                                    \
  template std::optional<LevelCut> ZScaleCut(const Plane<T>&, const BlankMask&, long double,     \
                                             long double);                                       \
  template std::optional<LevelCut> PercentileCut(const Plane<T>&, const BlankMask&, long double, \
                                                 long double, double, double);
KIVREL_AUTO_LEVELS(uint8_t)
KIVREL_AUTO_LEVELS(int16_t)
KIVREL_AUTO_LEVELS(int32_t)
KIVREL_AUTO_LEVELS(float)
KIVREL_AUTO_LEVELS(double)
#undef KIVREL_AUTO_LEVELS

}  // namespace kivrel
