// Statistics of the physical values (BScale x sample + BZero) of a stream of samples: minimum,
// maximum, mean and sigma, as running long double sums of each value rounded to a double.
//
// For 8- and 16-bit samples under integer scaling every partial sum is an integer below 2^64,
// so the running long double sums are exact; they are then taken from exact integer sums, which
// is the same result at a fraction of the cost. Every other case runs the sums sample by sample.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "browser/base/numbers.h"

namespace kivrel {

// Which decoded samples are replaced by 0 (a FITS BLANK value).
struct BlankRule {
  bool active = false;  // integer types: replace samples equal to `integer`
  int64_t integer = 0;
  double value = std::numeric_limits<double>::quiet_NaN();  // float types compare with this

  template <typename T>
  static BlankRule For(double blank) {
    BlankRule rule;
    rule.value = blank;
    if constexpr (std::is_integral_v<T>) {
      const bool integral = std::floor(blank) == blank;
      const bool in_range = blank >= static_cast<double>(std::numeric_limits<T>::min()) &&
                            blank <= static_cast<double>(std::numeric_limits<T>::max());
      if (integral && in_range && blank != 0) {
        rule.active = true;
        rule.integer = static_cast<int64_t>(blank);
      }
    }
    return rule;
  }
};

struct StatsResult {
  double min = 1e100;
  double max = -1e100;
  Extended mean = 0;
  Extended sigma = 0;
};

// Mean and sigma from running sums; a variance that rounding leaves below 0 gives sigma 0.
inline StatsResult FinishStats(double min, double max, Extended sum, Extended sum_sq,
                               Extended count) {
  StatsResult r;
  r.min = min;
  r.max = max;
  if (count > 0) {
    r.mean = sum / count;
    const Extended variance = sum_sq / count - r.mean * r.mean;
    r.sigma = variance < 0 ? 0 : std::sqrt(variance);
  }
  return r;
}

template <typename T>
class SampleStats {
 public:
  // `total` is the number of samples the caller may add in all (bounds the exact method).
  SampleStats(Extended bscale, Extended bzero, Extended total)
      : bscale_(bscale), bzero_(bzero), exact_(ExactPossible(bscale, bzero, total)) {}

  void Add(const T* v, std::size_t n) {
    if (exact_) {
      AddExact(v, n);
    } else {
      for (std::size_t i = 0; i < n; ++i)
        AddOne(Physical(static_cast<Extended>(v[i])));
    }
  }

  void AddZeros(uint64_t n) {
    if (n == 0) return;
    if (exact_) {
      raw_min_ = std::min<int64_t>(raw_min_, 0);
      raw_max_ = std::max<int64_t>(raw_max_, 0);
      count_ += n;
      return;
    }
    const double p = Physical(0);
    if (p < min_) min_ = p;
    if (p > max_) max_ = p;
    sum_ += static_cast<Extended>(n) * p;
    sum_sq_ += static_cast<Extended>(n) * p * p;
    count_ += n;
  }

  StatsResult Finish() const {
    if (!exact_) return FinishStats(min_, max_, sum_, sum_sq_, static_cast<Extended>(count_));
    if (count_ == 0) return StatsResult{};
    const auto s = static_cast<Int128>(bscale_);
    const auto z = static_cast<Int128>(bzero_);
    const auto n = static_cast<Int128>(count_);
    const Int128 sum = s * raw_sum_ + n * z;
    const Int128 sum_sq = s * s * raw_sum_sq_ + 2 * s * z * raw_sum_ + n * z * z;
    double lo = Physical(static_cast<Extended>(raw_min_));
    double hi = Physical(static_cast<Extended>(raw_max_));
    if (lo > hi) std::swap(lo, hi);
    return FinishStats(lo, hi, static_cast<Extended>(sum), static_cast<Extended>(sum_sq),
                       static_cast<Extended>(count_));
  }

 private:
  static bool ExactPossible(Extended bscale, Extended bzero, Extended total) {
    if constexpr (!std::is_integral_v<T> || sizeof(T) > 2) {
      return false;
    } else {
      if (std::floor(bscale) != bscale || std::floor(bzero) != bzero) return false;
      const Extended max_abs = std::fabs(bscale) * 32768 + std::fabs(bzero);
      const Extended limit = 18446744073709551616.0L;  // 2^64
      return max_abs < 4294967296.0L && total * max_abs * max_abs < limit &&
             total * max_abs < limit;
    }
  }

  double Physical(Extended v) const { return static_cast<double>(bscale_ * v + bzero_); }

  void AddOne(double p) {
    if (p < min_) min_ = p;
    if (p > max_) max_ = p;
    sum_ += p;
    sum_sq_ += static_cast<Extended>(p) * p;
    ++count_;
  }

  void AddExact(const T* v, std::size_t n) {
    // Chunks of at most 2^16 samples keep the 64-bit partial sums of squares exact.
    for (std::size_t start = 0; start < n; start += 65536) {
      const std::size_t end = std::min(n, start + 65536);
      int64_t s1 = 0;
      int64_t s2 = 0;
      constexpr int64_t kLo = std::numeric_limits<int32_t>::min();
      constexpr int64_t kHi = std::numeric_limits<int32_t>::max();
      auto lo = static_cast<int32_t>(std::clamp<int64_t>(raw_min_, kLo, kHi));
      auto hi = static_cast<int32_t>(std::clamp<int64_t>(raw_max_, kLo, kHi));
      for (std::size_t i = start; i < end; ++i) {
        const int32_t x = v[i];
        s1 += x;
        s2 += x * x;
        lo = x < lo ? x : lo;
        hi = x > hi ? x : hi;
      }
      raw_sum_ += s1;
      raw_sum_sq_ += s2;
      raw_min_ = lo;
      raw_max_ = hi;
    }
    count_ += n;
  }

  Extended bscale_;
  Extended bzero_;
  bool exact_;
  // Running sums, sample by sample.
  double min_ = 1e100;
  double max_ = -1e100;
  Extended sum_ = 0;
  Extended sum_sq_ = 0;
  // Exact integer sums of the raw samples.
  Int128 raw_sum_ = 0;
  Int128 raw_sum_sq_ = 0;
  int64_t raw_min_ = std::numeric_limits<int64_t>::max();
  int64_t raw_max_ = std::numeric_limits<int64_t>::min();
  uint64_t count_ = 0;
};

}  // namespace kivrel
