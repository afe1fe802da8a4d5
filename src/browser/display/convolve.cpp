#include "browser/display/convolve.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

namespace kivrel {
namespace {

// Largest sum of |coefficients| the integer path takes: keeps the 32-bit accumulators of 8-
// and 16-bit samples (65535 x 32768 < 2^31) and the 64-bit ones of 32-bit samples exact, and
// every partial sum below 2^64, where the extended sum is exact too.
constexpr double kMaxIntegerWeight = 65535;

// The clamp of a sample type; float planes are not clamped.
template <typename T>
inline long double Clamp(long double v) {
  if constexpr (std::is_integral_v<T>) {
    constexpr auto kHi = static_cast<long double>(std::numeric_limits<T>::max());
    constexpr auto kLo = static_cast<long double>(std::numeric_limits<T>::min());
    if (v > kHi) v = kHi;
    if (v < kLo) v = kLo;
  }
  return v;
}

// Running statistics of one row, kept in locals so that they stay in registers.
struct Accumulators {
  long double min, max, sum, sum_sq;
  int64_t count;

  explicit Accumulators(const FilterRunStats& s)
      : min(s.min), max(s.max), sum(s.sum), sum_sq(s.sum_sq), count(s.count) {}
  void Store(FilterRunStats& s) const {
    s.min = min;
    s.max = max;
    s.sum = sum;
    s.sum_sq = sum_sq;
    s.count = count;
  }
  void Add(long double p) {
    if (p < min) min = p;
    if (p > max) max = p;
    sum += p;
    sum_sq += p * p;
    ++count;
  }
};

struct RunParams {
  long double threshold;
  long double bscale;
  long double bzero;
  long double divisor;
  bool divide;  // false for a divisor of 1: acc / 1 is acc
  bool clamp;   // false when no result can leave the sample type's range
};

// Integer masks, coefficient by coefficient; nullopt-like `valid` false for any other mask.
struct IntegerMask {
  bool valid = false;
  std::array<int32_t, 25> c{};
};

IntegerMask ToIntegerMask(const FilterSpec& f) {
  IntegerMask m;
  double weight = 0;
  for (int i = 0; i < f.size * f.size; ++i) {
    const double c = f.mask[static_cast<std::size_t>(i)];
    if (!(std::floor(c) == c) || std::fabs(c) > kMaxIntegerWeight) return m;
    weight += std::fabs(c);
    m.c[static_cast<std::size_t>(i)] = static_cast<int32_t>(c);
  }
  m.valid = weight <= kMaxIntegerWeight;
  return m;
}

// Non-negative integer coefficients summing to at most the divisor: the exact result is a
// weighted mean of samples (and 0), inside the sample type's range, and so is its rounding to
// extended precision.
bool WithinSampleRange(const IntegerMask& m, const FilterSpec& f) {
  double sum = 0;
  for (int i = 0; i < f.size * f.size; ++i) {
    if (m.c[static_cast<std::size_t>(i)] < 0) return false;
    sum += m.c[static_cast<std::size_t>(i)];
  }
  return sum <= f.divisor;
}

// ---- Sums of one row ----------------------------------------------------------------------

// Exact integer sums for columns [x0, x1) of row y. `rows[dy]` points at column -h of row
// y + dy - h, so that rows[dy][x + dx] is the neighbour (dy - h, dx - h). Written for the
// vectoriser: one pass, the coefficients in registers.
template <int N, typename T, typename Acc>
[[gnu::always_inline]] inline void SumRowIntegerBody(const T* const* rows, const int32_t* coef,
                                                     int32_t x0, int32_t x1, Acc* acc) {
  Acc c[N * N];
  for (int i = 0; i < N * N; ++i)
    c[i] = static_cast<Acc>(coef[i]);
  for (int32_t x = x0; x < x1; ++x) {
    Acc a = 0;
    for (int dy = 0; dy < N; ++dy) {
      const T* r = rows[dy] + x;
      for (int dx = 0; dx < N; ++dx)
        a += c[dy * N + dx] * static_cast<Acc>(r[dx]);
    }
    acc[x] = a;
  }
}

template <int N, typename T, typename Acc>
void SumRowIntegerBase(const T* const* rows, const int32_t* coef, int32_t x0, int32_t x1,
                       Acc* acc) {
  SumRowIntegerBody<N>(rows, coef, x0, x1, acc);
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same loop in 256-bit vectors, for processors that have them.
template <int N, typename T, typename Acc>
[[gnu::target("avx2")]] void SumRowIntegerAvx2(const T* const* rows, const int32_t* coef,
                                               int32_t x0, int32_t x1, Acc* acc) {
  SumRowIntegerBody<N>(rows, coef, x0, x1, acc);
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

template <int N, typename T, typename Acc>
void SumRowInteger(const T* const* rows, const int32_t* coef, int32_t x0, int32_t x1, Acc* acc) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (HasAvx2()) {
    SumRowIntegerAvx2<N>(rows, coef, x0, x1, acc);
    return;
  }
#endif
  SumRowIntegerBase<N>(rows, coef, x0, x1, acc);
}

// One term of the extended sum: a coefficient and the row it weighs, already shifted by dx.
// `whole` is set for an integer coefficient below 2^15 over 8- or 16-bit samples: the product
// is then formed exactly in 32-bit integer arithmetic, which is its extended value too, and
// the floating-point unit only adds it.
template <typename T>
struct Term {
  const T* row;
  double c;
  int32_t whole_c;
  bool whole;
};

// The extended sums, term by term in mask order. Four pixels at a time: their sums are
// independent chains, which the processor overlaps.
template <typename T>
void SumRowExtended(const Term<T>* terms, int term_count, int32_t x0, int32_t x1,
                    long double* acc) {
  int32_t x = x0;
  for (; x + 3 < x1; x += 4) {
    long double a0 = 0;
    long double a1 = 0;
    long double a2 = 0;
    long double a3 = 0;
    for (int k = 0; k < term_count; ++k) {
      const T* r = terms[k].row + x;
      if constexpr (std::is_integral_v<T> && sizeof(T) <= 2) {
        if (terms[k].whole) {
          const int32_t c = terms[k].whole_c;
          a0 += static_cast<long double>(c * static_cast<int32_t>(r[0]));
          a1 += static_cast<long double>(c * static_cast<int32_t>(r[1]));
          a2 += static_cast<long double>(c * static_cast<int32_t>(r[2]));
          a3 += static_cast<long double>(c * static_cast<int32_t>(r[3]));
          continue;
        }
      }
      const long double c = terms[k].c;
      a0 += c * static_cast<long double>(r[0]);
      a1 += c * static_cast<long double>(r[1]);
      a2 += c * static_cast<long double>(r[2]);
      a3 += c * static_cast<long double>(r[3]);
    }
    acc[x] = a0;
    acc[x + 1] = a1;
    acc[x + 2] = a2;
    acc[x + 3] = a3;
  }
  for (; x < x1; ++x) {
    long double a = 0;
    for (int k = 0; k < term_count; ++k)
      a += static_cast<long double>(terms[k].c) * static_cast<long double>(terms[k].row[x]);
    acc[x] = a;
  }
}

// ---- Results of one row -------------------------------------------------------------------

// Float planes: stores the filtered or unfiltered value of columns [x0, x1) and feeds the
// statistics pixel by pixel (samples may be NaN or infinite).
template <typename T>
void FinishRowFloat(const T* src, T* dst, const long double* acc, int32_t x0, int32_t x1,
                    const RunParams& p, FilterRunStats& stats) {
  Accumulators st(stats);
  const long double t = p.threshold;
  const long double bscale = p.bscale;
  const long double bzero = p.bzero;
  for (int32_t x = x0; x < x1; ++x) {
    const T s = src[x];
    if (t > bscale * static_cast<long double>(s) + bzero) {
      long double v = acc[x];
      if (p.divide) v = v / p.divisor;
      dst[x] = static_cast<T>(RoundToWhole(v));
      st.Add(bscale * v + bzero);
    } else {
      dst[x] = s;
    }
  }
  st.Store(stats);
}

// Integer planes. Every step from the sum to the physical value (division by a positive
// divisor, clamp, scaling, offset) is monotonic, so the extreme physical values of a row
// are those of its extreme sums: the loop tracks the sums' minimum and maximum (and, for the
// 16-bit copies, the samples'), and the physical values are formed once per row. Samples and
// integer sums are finite, so no NaN can slip past the comparisons.
template <typename T, typename Acc, bool kClamp>
void FinishRowInteger(const T* src, T* dst, const Acc* acc, int32_t x0, int32_t x1,
                      const RunParams& p, const SampleRange& range, FilterRunStats& stats) {
  constexpr bool kCountCopies = std::is_same_v<T, int16_t>;
  const long double bscale = p.bscale;
  const long double bzero = p.bzero;
  const int64_t lo = range.lo;
  const int64_t hi = range.hi;
  long double sum = stats.sum;
  long double sum_sq = stats.sum_sq;
  int64_t filtered = 0;
  int64_t copied = 0;
  Acc acc_lo = std::numeric_limits<Acc>::max();
  Acc acc_hi = std::numeric_limits<Acc>::lowest();
  T s_lo = std::numeric_limits<T>::max();
  T s_hi = std::numeric_limits<T>::lowest();
  const auto value_of = [&](Acc a) {
    long double v = static_cast<long double>(a);
    if (p.divide) v = v / p.divisor;
    if constexpr (kClamp) v = Clamp<T>(v);
    return v;
  };
  for (int32_t x = x0; x < x1; ++x) {
    const T s = src[x];
    if (s >= lo && s <= hi) {
      const Acc a = acc[x];
      acc_lo = a < acc_lo ? a : acc_lo;
      acc_hi = a > acc_hi ? a : acc_hi;
      const long double v = value_of(a);
      dst[x] = static_cast<T>(RoundToInt64(v));
      const long double q = bscale * v + bzero;
      sum += q;
      sum_sq += q * q;
      ++filtered;
    } else {
      dst[x] = s;
      if constexpr (kCountCopies) {
        s_lo = s < s_lo ? s : s_lo;
        s_hi = s > s_hi ? s : s_hi;
        const long double q = bscale * static_cast<long double>(s) + bzero;
        sum += q;
        sum_sq += q * q;
        ++copied;
      }
    }
  }
  stats.sum = sum;
  stats.sum_sq = sum_sq;
  stats.count += filtered + copied;
  const auto extremes = [&](long double a, long double b) {
    if (bscale < 0) std::swap(a, b);
    if (a < stats.min) stats.min = a;
    if (b > stats.max) stats.max = b;
  };
  if (filtered > 0) extremes(bscale * value_of(acc_lo) + bzero, bscale * value_of(acc_hi) + bzero);
  if (copied > 0) {
    extremes(bscale * static_cast<long double>(s_lo) + bzero,
             bscale * static_cast<long double>(s_hi) + bzero);
  }
}

template <typename T, typename Acc>
void FinishRowTyped(const T* src, T* dst, const Acc* acc, int32_t x0, int32_t x1,
                    const RunParams& p, const SampleRange& range, FilterRunStats& stats) {
  if constexpr (!std::is_integral_v<T>) {
    FinishRowFloat(src, dst, acc, x0, x1, p, stats);
  } else if (p.clamp) {
    FinishRowInteger<T, Acc, true>(src, dst, acc, x0, x1, p, range, stats);
  } else {
    FinishRowInteger<T, Acc, false>(src, dst, acc, x0, x1, p, range, stats);
  }
}

// ---- Whole plane --------------------------------------------------------------------------

struct Extent {
  int32_t rows;
  int32_t cols;
  int h;
};

template <int N, typename T>
void ConvolveInteger(const Plane<T>& orig, Plane<T>& out, const Extent& e, const IntegerMask& m,
                     const RunParams& p, const SampleRange& range, FilterRunStats& stats) {
  using Acc = std::conditional_t<(sizeof(T) < 4), int32_t, int64_t>;
  constexpr int h = N / 2;
  std::vector<Acc> acc(static_cast<std::size_t>(e.cols));
  const T* rows[N];
  for (int32_t y = h; y < e.rows - h; ++y) {
    for (int dy = 0; dy < N; ++dy)
      rows[dy] = orig.Row(y + dy - h) - h;
    SumRowInteger<N>(rows, m.c.data(), h, e.cols - h, acc.data());
    FinishRowTyped(orig.Row(y), out.Row(y), acc.data(), h, e.cols - h, p, range, stats);
  }
}

template <typename T>
void ConvolveExtended(const Plane<T>& orig, Plane<T>& out, const Extent& e,
                      const FilterSpec& filter, const RunParams& p, const SampleRange& range,
                      FilterRunStats& stats) {
  const int n = filter.size;
  // A zero coefficient adds a zero product to the sum, which leaves it as it is, as long as
  // the sample is finite: integer samples always are, float samples may not be (0 x inf).
  const bool skip_zeros = std::is_integral_v<T>;
  std::vector<long double> acc(static_cast<std::size_t>(e.cols));
  Term<T> terms[25];
  for (int32_t y = e.h; y < e.rows - e.h; ++y) {
    int count = 0;
    for (int dy = 0; dy < n; ++dy) {
      for (int dx = 0; dx < n; ++dx) {
        const double c = filter.mask[static_cast<std::size_t>(dy * n + dx)];
        if (skip_zeros && c == 0) continue;
        // 8- and 16-bit samples: |c x s| < 2^31 for |c| < 2^15.
        const bool whole =
            std::is_integral_v<T> && sizeof(T) <= 2 && std::floor(c) == c && std::fabs(c) < 32768;
        terms[count++] = Term<T>{orig.Row(y + dy - e.h) + (dx - e.h), c,
                                 whole ? static_cast<int32_t>(c) : 0, whole};
      }
    }
    SumRowExtended(terms, count, e.h, e.cols - e.h, acc.data());
    FinishRowTyped(orig.Row(y), out.Row(y), acc.data(), e.h, e.cols - e.h, p, range, stats);
  }
}

}  // namespace

template <typename T>
SampleRange SamplesBelowThreshold(long double threshold, long double bscale, long double bzero) {
  static_assert(std::is_integral_v<T>);
  constexpr int64_t kMin = std::numeric_limits<T>::min();
  constexpr int64_t kMax = std::numeric_limits<T>::max();
  const auto below = [&](int64_t s) {
    return threshold > bscale * static_cast<long double>(s) + bzero;
  };
  SampleRange r;
  if (bscale < 0) {
    // Physical values fall as samples rise: the range runs up to kMax.
    if (!below(kMax)) return r;
    int64_t lo = kMin;  // invariant: below(hi) true; the answer lies in [lo, hi]
    int64_t hi = kMax;
    while (lo < hi) {
      const int64_t mid = lo + (hi - lo) / 2;
      if (below(mid)) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return SampleRange{lo, kMax};
  }
  // Rising (or constant) physical values; a NaN anywhere makes every comparison false.
  if (!below(kMin)) return r;
  int64_t lo = kMin;
  int64_t hi = kMax;
  while (lo < hi) {
    const int64_t mid = hi - (hi - lo) / 2;
    if (below(mid)) {
      lo = mid;
    } else {
      hi = mid - 1;
    }
  }
  return SampleRange{kMin, lo};
}

template <typename T>
FilterRunStats ConvolvePlane(const Plane<T>& orig, Plane<T>& out, const FilterSpec& filter,
                             long double threshold, long double bscale, long double bzero) {
  FilterRunStats stats;
  const int n = filter.size;
  const Extent e{std::min(orig.rows(), out.rows()), std::min(orig.cols(), out.cols()), n / 2};
  // Every table entry is 3 x 3 or 5 x 5 with a positive divisor (the per-row extremes rely
  // on the division keeping the order of the sums).
  if ((n != 3 && n != 5) || !(filter.divisor > 0)) return stats;
  if (e.rows < n || e.cols < n) return stats;

  const IntegerMask m = std::is_integral_v<T> ? ToIntegerMask(filter) : IntegerMask{};
  RunParams p;
  p.threshold = threshold;
  p.bscale = bscale;
  p.bzero = bzero;
  p.divisor = filter.divisor;
  p.divide = !(filter.divisor == 1);
  p.clamp = !(m.valid && WithinSampleRange(m, filter));
  SampleRange range;
  if constexpr (std::is_integral_v<T>) range = SamplesBelowThreshold<T>(threshold, bscale, bzero);

  if constexpr (std::is_integral_v<T>) {
    if (m.valid) {
      if (n == 3) {
        ConvolveInteger<3>(orig, out, e, m, p, range, stats);
      } else {
        ConvolveInteger<5>(orig, out, e, m, p, range, stats);
      }
      return stats;
    }
  }
  ConvolveExtended(orig, out, e, filter, p, range, stats);
  return stats;
}

#define KIVREL_CONVOLVE_INSTANCES(T)                                                      \
  template FilterRunStats ConvolvePlane<T>(const Plane<T>&, Plane<T>&, const FilterSpec&, \
                                           long double, long double, long double);
KIVREL_CONVOLVE_INSTANCES(uint8_t)
KIVREL_CONVOLVE_INSTANCES(int16_t)
KIVREL_CONVOLVE_INSTANCES(int32_t)
KIVREL_CONVOLVE_INSTANCES(float)
KIVREL_CONVOLVE_INSTANCES(double)
#undef KIVREL_CONVOLVE_INSTANCES

template SampleRange SamplesBelowThreshold<uint8_t>(long double, long double, long double);
template SampleRange SamplesBelowThreshold<int16_t>(long double, long double, long double);
template SampleRange SamplesBelowThreshold<int32_t>(long double, long double, long double);

}  // namespace kivrel
