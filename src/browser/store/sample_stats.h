// Statistics of the physical values (BScale x sample + BZero) of a stream of samples: minimum,
// maximum, mean and sigma, from the sums of each value rounded to a double.
//
// For 8- and 16-bit samples under integer scaling every partial sum is an integer below 2^64;
// the sums are then exact integer sums. Other samples at scale 1 and offset 0 are summed in
// blocks of double lanes (AddLaneSums), within about 1e-14 of the exact sums relative to the
// sum of the magnitudes; under any other scaling they are summed sample by sample in long
// double. The extremes are always exact.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  long double mean = 0;
  long double sigma = 0;
};

// Mean and sigma from running sums; a variance that rounding leaves below 0 gives sigma 0.
inline StatsResult FinishStats(double min, double max, long double sum, long double sum_sq,
                               long double count) {
  StatsResult r;
  r.min = min;
  r.max = max;
  if (count > 0) {
    r.mean = sum / count;
    const long double variance = sum_sq / count - r.mean * r.mean;
    r.sigma = variance < 0 ? 0 : std::sqrt(variance);
  }
  return r;
}

template <typename T>
class SampleStats {
 public:
  // `total` is the number of samples the caller may add in all (bounds the exact method).
  SampleStats(long double bscale, long double bzero, long double total)
      : bscale_(bscale), bzero_(bzero), exact_(ExactPossible(bscale, bzero, total)) {}

  void Add(const T* v, std::size_t n) {
    if (exact_) {
      AddExact(v, n);
    } else if (bscale_ == 1 && bzero_ == 0) {
      AddUnitScale(v, n);
    } else {
      AddRun(v, n, [this](T x) { return Physical(static_cast<long double>(x)); });
    }
  }

  // Whether the sums are taken exactly in integers (8- and 16-bit samples, integer scale).
  bool Exact() const { return exact_; }

  // Whether Add takes the samples as they are (scale 1, offset 0, sums in double lanes): a
  // caller that decodes a run may then take its extremes and block sums itself, summed exactly
  // as BlockSums sums each kLaneBlock samples from the run's start, and hand them to
  // AddUnitScaleSums; the statistics come out the same as from Add.
  bool UnitScale() const { return !exact_ && bscale_ == 1 && bzero_ == 0; }
  static constexpr std::size_t kLaneBlock = 1024;

  // A run of n samples `v` with its extremes and the sums of its blocks (see UnitScale).
  void AddUnitScaleSums(const T* v, std::size_t n, T lo, T hi, const double* block_sums,
                        const double* block_squares) {
    if (n == 0) return;
    const double p_lo = static_cast<double>(lo) + 0.0;
    const double p_hi = static_cast<double>(hi) + 0.0;
    min_ = p_lo < min_ ? p_lo : min_;
    max_ = p_hi > max_ ? p_hi : max_;
    for (std::size_t b = 0, k = 0; b < n; b += kLaneBlock, ++k)
      AddBlock(v + b, std::min(n - b, kLaneBlock), block_sums[k], block_squares[k]);
    count_ += n;
  }

  // How many samples were added.
  uint64_t Count() const { return count_; }

  // Integer sums that a caller took over `n` raw samples itself (only when Exact()).
  void AddExactSums(uint64_t n, Int128 sum, Int128 sum_sq, int64_t lo, int64_t hi) {
    raw_sum_ += sum;
    raw_sum_sq_ += sum_sq;
    raw_min_ = std::min(raw_min_, lo);
    raw_max_ = std::max(raw_max_, hi);
    count_ += n;
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
    sum_ += static_cast<long double>(n) * p;
    sum_sq_ += static_cast<long double>(n) * p * p;
    count_ += n;
  }

  StatsResult Finish() const {
    if (!exact_) return FinishStats(min_, max_, sum_, sum_sq_, static_cast<long double>(count_));
    if (count_ == 0) return StatsResult{};
    const auto s = static_cast<Int128>(bscale_);
    const auto z = static_cast<Int128>(bzero_);
    const auto n = static_cast<Int128>(count_);
    const Int128 sum = s * raw_sum_ + n * z;
    const Int128 sum_sq = s * s * raw_sum_sq_ + 2 * s * z * raw_sum_ + n * z * z;
    double lo = Physical(static_cast<long double>(raw_min_));
    double hi = Physical(static_cast<long double>(raw_max_));
    if (lo > hi) std::swap(lo, hi);
    return FinishStats(lo, hi, static_cast<long double>(sum), static_cast<long double>(sum_sq),
                       static_cast<long double>(count_));
  }

 private:
  static bool ExactPossible(long double bscale, long double bzero, long double total) {
    if constexpr (!std::is_integral_v<T> || sizeof(T) > 2) {
      return false;
    } else {
      if (std::floor(bscale) != bscale || std::floor(bzero) != bzero) return false;
      const long double max_abs = std::fabs(bscale) * 32768 + std::fabs(bzero);
      const long double limit = 18446744073709551616.0L;  // 2^64
      return max_abs < 4294967296.0L && total * max_abs * max_abs < limit &&
             total * max_abs < limit;
    }
  }

  double Physical(long double v) const { return static_cast<double>(bscale_ * v + bzero_); }

  // Scale 1 and offset 0: the physical value is the sample itself (a -0 becomes +0, so no
  // physical value is ever -0 here). The extremes are then free of the order of the samples
  // and are taken a vector at a time, and so are the sums (AddLaneSums).
  void AddUnitScale(const T* v, std::size_t n) {
    if (n == 0) return;
    T lo = v[0];
    T hi = v[0];
    std::size_t i = 0;
#if defined(__SSE2__)
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
      i = MinMaxVector(v, n, lo, hi);
#endif
    for (; i < n; ++i) {
      lo = v[i] < lo ? v[i] : lo;
      hi = v[i] > hi ? v[i] : hi;
    }
    const double p_lo = static_cast<double>(lo) + 0.0;
    const double p_hi = static_cast<double>(hi) + 0.0;
    min_ = p_lo < min_ ? p_lo : min_;
    max_ = p_hi > max_ ? p_hi : max_;
    AddLaneSums(v, n);
    count_ += n;
  }

  // The sums of a run of samples in blocks: within a block, eight double lanes (four SSE2 pairs
  // for floats and doubles), free of the latency of one long chain of additions; each block's
  // totals then join the long double running sums. A float and its square, and an integer
  // below 2^26 and its square, are exact in a double; each lane adds at most kLaneBlock / 8
  // terms, so the sums stay within about 1e-14 of the exact ones relative to the sum of the
  // magnitudes.
  void AddLaneSums(const T* v, std::size_t n) {
    for (std::size_t b = 0; b < n; b += kLaneBlock) {
      const std::size_t count = std::min(n - b, kLaneBlock);
      double block_sum = 0;
      double block_sq = 0;
      BlockSums(v + b, count, block_sum, block_sq);
      AddBlock(v + b, count, block_sum, block_sq);
    }
  }

  // One block's sums join the running sums.
  void AddBlock(const T* v, std::size_t n, double block_sum, double block_sq) {
    if (std::isfinite(block_sq)) {
      sum_ += block_sum;
      sum_sq_ += block_sq;
      return;
    }
    // Squares beyond the double range (samples above about 1e154): this block in long double,
    // whose range holds them.
    for (std::size_t i = 0; i < n; ++i) {
      const long double x = static_cast<long double>(v[i]);
      sum_ += x;
      sum_sq_ += x * x;
    }
  }

  // The sum and the sum of squares of at most kLaneBlock samples, in eight double lanes.
  static void BlockSums(const T* v, std::size_t n, double& sum, double& sum_sq) {
    std::size_t i = 0;
    double s[8] = {};
    double q[8] = {};
#if defined(__SSE2__)
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
      __m128d vs[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
      __m128d vq[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
      for (; i + 8 <= n; i += 8) {
        __m128d x[4];
        if constexpr (std::is_same_v<T, float>) {
          const __m128 a = _mm_loadu_ps(v + i);
          const __m128 c = _mm_loadu_ps(v + i + 4);
          x[0] = _mm_cvtps_pd(a);
          x[1] = _mm_cvtps_pd(_mm_movehl_ps(a, a));
          x[2] = _mm_cvtps_pd(c);
          x[3] = _mm_cvtps_pd(_mm_movehl_ps(c, c));
        } else {
          for (int k = 0; k < 4; ++k)
            x[k] = _mm_loadu_pd(v + i + 2 * k);
        }
        for (int k = 0; k < 4; ++k) {
          vs[k] = _mm_add_pd(vs[k], x[k]);
          vq[k] = _mm_add_pd(vq[k], _mm_mul_pd(x[k], x[k]));
        }
      }
      for (int k = 0; k < 4; ++k) {
        _mm_storeu_pd(s + 2 * k, vs[k]);
        _mm_storeu_pd(q + 2 * k, vq[k]);
      }
    }
#endif
    for (; i + 8 <= n; i += 8) {
      for (std::size_t k = 0; k < 8; ++k) {
        const auto x = static_cast<double>(v[i + k]);
        s[k] += x;
        q[k] += x * x;
      }
    }
    for (; i < n; ++i) {
      const auto x = static_cast<double>(v[i]);
      s[0] += x;
      q[0] += x * x;
    }
    sum = ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    sum_sq = ((q[0] + q[1]) + (q[2] + q[3])) + ((q[4] + q[5]) + (q[6] + q[7]));
  }

#if defined(__SSE2__)
  // Smallest and largest of the samples, four vectors at a time; returns how many it took.
  template <typename F>
  static std::size_t MinMaxVector(const F* v, std::size_t n, F& lo, F& hi) {
    constexpr std::size_t kLanes = 16 / sizeof(F);
    constexpr std::size_t kStep = 4 * kLanes;
    const std::size_t blocks = n / kStep;
    if (blocks == 0) return 0;
    auto load = [](const F* p) {
      if constexpr (std::is_same_v<F, float>) {
        return _mm_loadu_ps(p);
      } else {
        return _mm_loadu_pd(p);
      }
    };
    auto min = [](auto a, auto b) {
      if constexpr (std::is_same_v<F, float>) {
        return _mm_min_ps(a, b);
      } else {
        return _mm_min_pd(a, b);
      }
    };
    auto max = [](auto a, auto b) {
      if constexpr (std::is_same_v<F, float>) {
        return _mm_max_ps(a, b);
      } else {
        return _mm_max_pd(a, b);
      }
    };
    decltype(load(v)) mn[4];
    decltype(load(v)) mx[4];
    for (int k = 0; k < 4; ++k)
      mn[k] = mx[k] = load(v + k * kLanes);
    for (std::size_t b = 1; b < blocks; ++b) {
      for (int k = 0; k < 4; ++k) {
        const auto x = load(v + b * kStep + k * kLanes);
        mn[k] = min(x, mn[k]);
        mx[k] = max(x, mx[k]);
      }
    }
    alignas(16) F lanes[4 * kLanes];
    for (int k = 0; k < 4; ++k) {
      if constexpr (std::is_same_v<F, float>) {
        _mm_store_ps(lanes + k * kLanes, mn[k]);
      } else {
        _mm_store_pd(lanes + k * kLanes, mn[k]);
      }
    }
    for (const F x : lanes)
      lo = x < lo ? x : lo;
    for (int k = 0; k < 4; ++k) {
      if constexpr (std::is_same_v<F, float>) {
        _mm_store_ps(lanes + k * kLanes, mx[k]);
      } else {
        _mm_store_pd(lanes + k * kLanes, mx[k]);
      }
    }
    for (const F x : lanes)
      hi = x > hi ? x : hi;
    return blocks * kStep;
  }
#endif

  // The running sums in locals: members could alias the samples (a double plane) and would
  // then go through memory on every sample.
  template <typename ToPhysical>
  void AddRun(const T* v, std::size_t n, ToPhysical physical) {
    double lo = min_;
    double hi = max_;
    long double sum = sum_;
    long double sum_sq = sum_sq_;
    for (std::size_t i = 0; i < n; ++i) {
      const double p = physical(v[i]);
      lo = p < lo ? p : lo;
      hi = p > hi ? p : hi;
      sum += p;
      sum_sq += static_cast<long double>(p) * p;
    }
    min_ = lo;
    max_ = hi;
    sum_ = sum;
    sum_sq_ = sum_sq;
    count_ += n;
  }

  void AddExact(const T* v, std::size_t n) {
    std::size_t start = 0;
#if defined(__SSE2__)
    start = AddExactVector(v, n);
#endif
    // Chunks of at most 2^16 samples keep the 64-bit partial sums of squares exact.
    for (; start < n; start += 65536) {
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

#if defined(__SSE2__)
  // The exact sums eight 16-bit or sixteen 8-bit samples at a time; returns how many samples
  // it took (the rest go through the scalar loop). Lane sums are flushed before they can
  // overflow: a pair sum of 16-bit samples is within 2^16, a pair sum of squares within 2^31
  // (read as unsigned), four squares of 8-bit samples within 2^18.
  std::size_t AddExactVector(const T* v, std::size_t n) {
    if constexpr (!std::is_same_v<T, int16_t> && !std::is_same_v<T, uint8_t>) {
      return 0;
    } else {
      return AddExactLanes(v, n);
    }
  }

  std::size_t AddExactLanes(const T* v, std::size_t n) {
    constexpr std::size_t kLanes = 16 / sizeof(T);
    const std::size_t blocks = n / kLanes;
    if (blocks == 0) return 0;
    const __m128i zero = _mm_setzero_si128();
    __m128i vmin;
    __m128i vmax;
    if constexpr (std::is_same_v<T, int16_t>) {
      vmin = _mm_set1_epi16(std::numeric_limits<int16_t>::max());
      vmax = _mm_set1_epi16(std::numeric_limits<int16_t>::min());
    } else {
      vmin = _mm_set1_epi8(static_cast<char>(0xFF));
      vmax = zero;
    }
    const auto* in = reinterpret_cast<const __m128i*>(v);
    for (std::size_t b = 0; b < blocks;) {
      const std::size_t end = std::min(blocks, b + 8192);
      __m128i sum = zero;    // 16-bit: 4 x int32; 8-bit: 2 x uint64
      __m128i sq_lo = zero;  // 16-bit: 2 x uint64; 8-bit: 4 x int32
      __m128i sq_hi = zero;  // 16-bit: 2 x uint64
      for (; b < end; ++b) {
        const __m128i x = _mm_loadu_si128(in + b);
        if constexpr (std::is_same_v<T, int16_t>) {
          vmin = _mm_min_epi16(vmin, x);
          vmax = _mm_max_epi16(vmax, x);
          sum = _mm_add_epi32(sum, _mm_madd_epi16(x, _mm_set1_epi16(1)));
          const __m128i sq = _mm_madd_epi16(x, x);
          sq_lo = _mm_add_epi64(sq_lo, _mm_unpacklo_epi32(sq, zero));
          sq_hi = _mm_add_epi64(sq_hi, _mm_unpackhi_epi32(sq, zero));
        } else {
          vmin = _mm_min_epu8(vmin, x);
          vmax = _mm_max_epu8(vmax, x);
          sum = _mm_add_epi64(sum, _mm_sad_epu8(x, zero));
          const __m128i lo16 = _mm_unpacklo_epi8(x, zero);
          const __m128i hi16 = _mm_unpackhi_epi8(x, zero);
          sq_lo = _mm_add_epi32(
              sq_lo, _mm_add_epi32(_mm_madd_epi16(lo16, lo16), _mm_madd_epi16(hi16, hi16)));
        }
      }
      alignas(16) int32_t i32[4];
      alignas(16) uint64_t u64[4];
      if constexpr (std::is_same_v<T, int16_t>) {
        _mm_store_si128(reinterpret_cast<__m128i*>(i32), sum);
        _mm_store_si128(reinterpret_cast<__m128i*>(u64), sq_lo);
        _mm_store_si128(reinterpret_cast<__m128i*>(u64 + 2), sq_hi);
        raw_sum_ += int64_t{i32[0]} + i32[1] + i32[2] + i32[3];
        raw_sum_sq_ += static_cast<Int128>(u64[0]) + u64[1] + u64[2] + u64[3];
      } else {
        _mm_store_si128(reinterpret_cast<__m128i*>(u64), sum);
        _mm_store_si128(reinterpret_cast<__m128i*>(i32), sq_lo);
        raw_sum_ += static_cast<Int128>(u64[0]) + u64[1];
        raw_sum_sq_ += int64_t{i32[0]} + i32[1] + i32[2] + i32[3];
      }
    }
    alignas(16) T lanes_min[kLanes];
    alignas(16) T lanes_max[kLanes];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes_min), vmin);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes_max), vmax);
    for (std::size_t k = 0; k < kLanes; ++k) {
      raw_min_ = std::min<int64_t>(raw_min_, lanes_min[k]);
      raw_max_ = std::max<int64_t>(raw_max_, lanes_max[k]);
    }
    return blocks * kLanes;
  }
#endif

  long double bscale_;
  long double bzero_;
  bool exact_;
  // Running sums, sample by sample.
  double min_ = 1e100;
  double max_ = -1e100;
  long double sum_ = 0;
  long double sum_sq_ = 0;
  // Exact integer sums of the raw samples.
  Int128 raw_sum_ = 0;
  Int128 raw_sum_sq_ = 0;
  int64_t raw_min_ = std::numeric_limits<int64_t>::max();
  int64_t raw_max_ = std::numeric_limits<int64_t>::min();
  uint64_t count_ = 0;
};

}  // namespace kivrel
