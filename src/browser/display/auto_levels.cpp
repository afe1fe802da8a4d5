#include "browser/display/auto_levels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivrel {
namespace {

// ---------------------------------------------------------------------------------------------
// Real samples

template <typename T>
void CheckMaskSize(const Plane<T>& plane, const BlankMask& blanks) {
  if (blanks.Empty()) return;
  if (blanks.rows() != plane.rows() || blanks.cols() != plane.cols()) {
    throw std::invalid_argument(
        "blank mask of " + std::to_string(blanks.rows()) + " x " + std::to_string(blanks.cols()) +
        " for a plane of " + std::to_string(plane.rows()) + " x " + std::to_string(plane.cols()));
  }
}

template <typename T>
double Physical(T x, Extended bscale, Extended bzero) {
  return static_cast<double>(bscale * static_cast<Extended>(x) + bzero);
}

// Whether a floating plane holds an infinity or a NaN anywhere (x - x is +0 for every finite
// x and NaN otherwise). The readers store blanks as 0, so this is normally false and lets the
// cuts count real samples from the mask alone.
template <typename T>
bool HasNonFinite(const Plane<T>& plane) {
  if constexpr (std::is_integral_v<T>) {
    return false;
  } else {
    const T* p = plane.data();
    const std::size_t n = plane.size();
    std::size_t i = 0;
    bool found = false;
#if defined(__SSE2__)
    constexpr std::size_t kLanes = 16 / sizeof(T);
    if constexpr (std::is_same_v<T, float>) {
      __m128 acc0 = _mm_setzero_ps();
      __m128 acc1 = _mm_setzero_ps();
      for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
        const __m128 a = _mm_loadu_ps(p + i);
        const __m128 b = _mm_loadu_ps(p + i + kLanes);
        acc0 = _mm_or_ps(acc0, _mm_sub_ps(a, a));
        acc1 = _mm_or_ps(acc1, _mm_sub_ps(b, b));
      }
      const __m128i acc = _mm_castps_si128(_mm_or_ps(acc0, acc1));
      found = _mm_movemask_epi8(_mm_cmpeq_epi8(acc, _mm_setzero_si128())) != 0xFFFF;
    } else {
      __m128d acc0 = _mm_setzero_pd();
      __m128d acc1 = _mm_setzero_pd();
      for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
        const __m128d a = _mm_loadu_pd(p + i);
        const __m128d b = _mm_loadu_pd(p + i + kLanes);
        acc0 = _mm_or_pd(acc0, _mm_sub_pd(a, a));
        acc1 = _mm_or_pd(acc1, _mm_sub_pd(b, b));
      }
      const __m128i acc = _mm_castpd_si128(_mm_or_pd(acc0, acc1));
      found = _mm_movemask_epi8(_mm_cmpeq_epi8(acc, _mm_setzero_si128())) != 0xFFFF;
    }
#endif
    for (; i < n; ++i)
      found = found || !std::isfinite(p[i]);
    return found;
  }
}

// The column of the first blank sample at or after `col` in a row of the mask, `cols` if none.
int32_t NextBlank(const uint64_t* words, int32_t col, int32_t cols) {
  const std::size_t word_count = (static_cast<std::size_t>(cols) + 63) / 64;
  std::size_t w = static_cast<std::size_t>(col) / 64;
  uint64_t bits = words[w] & (~uint64_t{0} << (col & 63));
  while (bits == 0) {
    if (++w >= word_count) return cols;
    bits = words[w];
  }
  return static_cast<int32_t>(std::min<std::size_t>(cols, w * 64 + std::countr_zero(bits)));
}

// Calls run(first, count) for each stretch of samples not marked in the mask, in row-major
// order, in pieces of at most 2^30 samples (so that 32-bit counters of one piece cannot wrap).
template <typename T, typename Run>
void ForEachUnmaskedRun(const Plane<T>& plane, const BlankMask& blanks, Run run) {
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  auto emit = [&](const T* p, std::size_t n) {
    for (std::size_t start = 0; start < n; start += kPiece)
      run(p + start, std::min(kPiece, n - start));
  };
  if (blanks.Empty()) {
    emit(plane.data(), plane.size());
    return;
  }
  const int32_t cols = plane.cols();
  for (int32_t row = 0; row < plane.rows(); ++row) {
    const T* p = plane.Row(row);
    const uint64_t* words = blanks.RowWords(row);
    for (int32_t col = 0; col < cols;) {
      const int32_t next = NextBlank(words, col, cols);
      if (next > col) emit(p + col, static_cast<std::size_t>(next - col));
      col = next + 1;
    }
  }
}

// Finds real samples by their rank in row-major order. Without blanks and non-finite values the
// rank is the index; with blanks only, whole rows and mask words are skipped by counting bits;
// a floating plane holding non-finite values is walked sample by sample.
template <typename T>
class RealSampleIndex {
 public:
  RealSampleIndex(const Plane<T>& plane, const BlankMask& blanks)
      : plane_(plane), blanks_(blanks), check_values_(HasNonFinite(plane)) {}

  uint64_t Count() const {
    if (!check_values_) return plane_.size() - static_cast<uint64_t>(blanks_.Count());
    uint64_t n = 0;
    for (int32_t row = 0; row < plane_.rows(); ++row)
      n += CountInRow(row);
    return n;
  }

  // Calls visit(sample) for the real samples of ranks 0, stride, 2 x stride, ... (`count` of
  // them, all below Count()).
  template <typename Visit>
  void VisitEvery(uint64_t stride, uint64_t count, Visit visit) const {
    if (count == 0) return;
    if (blanks_.Empty() && !check_values_) {
      for (uint64_t k = 0; k < count; ++k)
        visit(plane_.data()[k * stride]);
      return;
    }
    uint64_t target = 0;
    uint64_t done = 0;
    uint64_t row_start = 0;  // rank of the first real sample of the row
    for (int32_t row = 0; row < plane_.rows(); ++row) {
      const uint64_t in_row = CountInRow(row);
      while (target < row_start + in_row) {
        visit(plane_.Row(row)[ColumnOfRank(row, target - row_start)]);
        if (++done == count) return;
        target += stride;
      }
      row_start += in_row;
    }
  }

 private:
  bool IsReal(int32_t row, int32_t col) const {
    if constexpr (!std::is_integral_v<T>) {
      if (!std::isfinite(plane_.Row(row)[col])) return false;
    }
    return !blanks_.IsBlank(row, col);
  }

  uint64_t CountInRow(int32_t row) const {
    const int32_t cols = plane_.cols();
    if (check_values_) {
      uint64_t n = 0;
      for (int32_t col = 0; col < cols; ++col)
        n += IsReal(row, col) ? 1 : 0;
      return n;
    }
    const uint64_t* words = blanks_.RowWords(row);
    if (words == nullptr) return static_cast<uint64_t>(cols);
    uint64_t blank = 0;
    for (std::size_t w = 0; w < (static_cast<std::size_t>(cols) + 63) / 64; ++w)
      blank += static_cast<uint64_t>(std::popcount(words[w]));
    return static_cast<uint64_t>(cols) - blank;
  }

  // The column of the rank-th real sample of a row (rank < CountInRow(row)).
  int32_t ColumnOfRank(int32_t row, uint64_t rank) const {
    const int32_t cols = plane_.cols();
    const uint64_t* words = blanks_.RowWords(row);
    if (check_values_ || words == nullptr) {
      if (!check_values_) return static_cast<int32_t>(rank);
      for (int32_t col = 0; col < cols; ++col) {
        if (IsReal(row, col) && rank-- == 0) return col;
      }
      return cols - 1;  // not reached: the rank lies in the row
    }
    for (std::size_t w = 0;; ++w) {
      const int32_t first = static_cast<int32_t>(w * 64);
      const int32_t width = std::min(64, cols - first);
      const uint64_t valid = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
      uint64_t real = ~words[w] & valid;
      const auto in_word = static_cast<uint64_t>(std::popcount(real));
      if (rank < in_word) {
        for (; rank > 0; --rank)
          real &= real - 1;  // drops the lowest real sample
        return first + std::countr_zero(real);
      }
      rank -= in_word;
    }
  }

  const Plane<T>& plane_;
  const BlankMask& blanks_;
  bool check_values_;
};

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
  Extended n = 0;
  Extended sx = 0;
  Extended sy = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (bad[i]) continue;
    n += 1;
    sx += static_cast<Extended>(i);
    sy += y[i];
  }
  const Extended mx = sx / n;
  const Extended my = sy / n;
  Extended sxx = 0;
  Extended sxy = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (bad[i]) continue;
    const Extended dx = static_cast<Extended>(i) - mx;
    sxx += dx * dx;
    sxy += dx * (y[i] - my);
  }
  Line line;
  line.slope = static_cast<double>(sxy / sxx);
  line.intercept = static_cast<double>(my - static_cast<Extended>(line.slope) * mx);
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
// Order statistics by radix selection

// Unsigned keys that sort as the samples do. A float's key is its bits with the sign bit set
// when positive and all bits flipped when negative; infinities and NaNs then take keys whose
// top 16 bits nothing finite shares.
template <typename T>
struct SortKey;

template <>
struct SortKey<uint8_t> {
  using Key = uint8_t;
  static Key Of(uint8_t x) { return x; }
  static uint8_t Value(Key k) { return k; }
  static bool FiniteTop(uint32_t) { return true; }
};

template <>
struct SortKey<int16_t> {
  using Key = uint16_t;
  static Key Of(int16_t x) { return static_cast<Key>(static_cast<Key>(x) ^ 0x8000u); }
  static int16_t Value(Key k) { return static_cast<int16_t>(k ^ 0x8000u); }
  static bool FiniteTop(uint32_t) { return true; }
};

template <>
struct SortKey<int32_t> {
  using Key = uint32_t;
  static Key Of(int32_t x) { return static_cast<Key>(x) ^ 0x80000000u; }
  static int32_t Value(Key k) { return static_cast<int32_t>(k ^ 0x80000000u); }
  static bool FiniteTop(uint32_t) { return true; }
};

template <>
struct SortKey<float> {
  using Key = uint32_t;
  static Key Of(float x) {
    const auto bits = std::bit_cast<uint32_t>(x);
    return bits ^ (static_cast<uint32_t>(static_cast<int32_t>(bits) >> 31) | 0x80000000u);
  }
  static float Value(Key k) {
    return std::bit_cast<float>((k & 0x80000000u) != 0 ? k ^ 0x80000000u : ~k);
  }
  // Exponent all ones (infinity, NaN) under either sign.
  static bool FiniteTop(uint32_t top) { return top >= 0x0080 && top < 0xFF80; }
};

template <>
struct SortKey<double> {
  using Key = uint64_t;
  static Key Of(double x) {
    const auto bits = std::bit_cast<uint64_t>(x);
    return bits ^ (static_cast<uint64_t>(static_cast<int64_t>(bits) >> 63) | (uint64_t{1} << 63));
  }
  static double Value(Key k) {
    return std::bit_cast<double>((k >> 63) != 0 ? k ^ (uint64_t{1} << 63) : ~k);
  }
  static bool FiniteTop(uint32_t top) { return top >= 0x0010 && top < 0xFFF0; }
};

// Counts per digit in two 32-bit tables that alternate between samples (neighbouring samples
// often share a digit; two tables halve the chains of dependent increments), folded into
// 64-bit totals before either could wrap.
class DigitCounts {
 public:
  explicit DigitCounts(std::size_t bins) : a_(bins, 0), b_(bins, 0) {}

  // Makes room for `n` more increments in the 32-bit tables.
  void Reserve(std::size_t n) {
    if (pending_ + n > std::numeric_limits<uint32_t>::max()) Fold();
    pending_ += n;
  }
  uint32_t* a() { return a_.data(); }
  uint32_t* b() { return b_.data(); }
  std::size_t size() const { return a_.size(); }
  uint64_t operator[](std::size_t bin) const {
    return uint64_t{a_[bin]} + b_[bin] + (wide_.empty() ? 0 : wide_[bin]);
  }

 private:
  void Fold() {
    if (wide_.empty()) wide_.assign(a_.size(), 0);
    for (std::size_t i = 0; i < a_.size(); ++i) {
      wide_[i] += uint64_t{a_[i]} + b_[i];
      a_[i] = b_[i] = 0;
    }
    pending_ = 0;
  }

  std::vector<uint32_t> a_;
  std::vector<uint32_t> b_;
  std::vector<uint64_t> wide_;
  std::size_t pending_ = 0;
};

// The real samples of a plane by rank in ascending order. The constructor counts the top 16
// bits of every key (all the bits of 8- and 16-bit samples); each further 16 bits of the wider
// keys cost one more pass that counts only the samples under the wanted prefixes.
template <typename T>
class RankSelector {
  using Traits = SortKey<T>;
  using Key = typename Traits::Key;
  static constexpr int kKeyBits = 8 * sizeof(Key);
  static constexpr int kDigitBits = kKeyBits < 16 ? kKeyBits : 16;
  static constexpr int kLevels = kKeyBits / kDigitBits;
  static constexpr std::size_t kBins = std::size_t{1} << kDigitBits;

 public:
  RankSelector(const Plane<T>& plane, const BlankMask& blanks)
      : plane_(plane), blanks_(blanks), top_(kBins) {
    ForEachUnmaskedRun(plane_, blanks_, [this](const T* p, std::size_t n) {
      top_.Reserve(n);
      uint32_t* a = top_.a();
      uint32_t* b = top_.b();
      constexpr int kShift = kKeyBits - kDigitBits;
      std::size_t i = 0;
      for (; i + 2 <= n; i += 2) {
        ++a[Traits::Of(p[i]) >> kShift];
        ++b[Traits::Of(p[i + 1]) >> kShift];
      }
      if (i < n) ++a[Traits::Of(p[i]) >> kShift];
    });
    for (std::size_t d = 0; d < kBins; ++d) {
      if (Traits::FiniteTop(static_cast<uint32_t>(d))) count_ += top_[d];
    }
  }

  uint64_t Count() const { return count_; }

  // The samples of the given ranks (each below Count()).
  template <std::size_t N>
  std::array<T, N> ValuesAt(const std::array<uint64_t, N>& ranks) const {
    std::array<Target, N> targets;
    for (std::size_t i = 0; i < N; ++i) {
      targets[i].rank = ranks[i];
      targets[i].prefix = static_cast<Key>(FindDigit(top_, targets[i].rank, true));
    }
    for (int level = 1; level < kLevels; ++level)
      Refine(level, targets);
    std::array<T, N> values;
    for (std::size_t i = 0; i < N; ++i)
      values[i] = Traits::Value(targets[i].prefix);
    return values;
  }

 private:
  struct Target {
    uint64_t rank = 0;  // rank among the samples whose key starts with `prefix`
    Key prefix = 0;
  };

  // The digit whose count holds `rank`; `rank` becomes the rank within that digit.
  static std::size_t FindDigit(const DigitCounts& counts, uint64_t& rank, bool top) {
    for (std::size_t d = 0; d < counts.size(); ++d) {
      if (top && !Traits::FiniteTop(static_cast<uint32_t>(d))) continue;
      const uint64_t n = counts[d];
      if (rank < n) return d;
      rank -= n;
    }
    return counts.size() - 1;  // not reached: ranks lie below the count
  }

  // One pass that counts the next digit of the samples under each target's prefix.
  template <std::size_t N>
  void Refine(int level, std::array<Target, N>& targets) const {
    std::array<Key, N> prefixes;
    std::size_t distinct = 0;
    for (const Target& t : targets) {
      if (std::find(prefixes.begin(), prefixes.begin() + distinct, t.prefix) ==
          prefixes.begin() + distinct) {
        prefixes[distinct++] = t.prefix;
      }
    }
    std::vector<DigitCounts> counts(distinct, DigitCounts(kBins));
    const int prefix_shift = kKeyBits - kDigitBits * level;
    const int digit_shift = prefix_shift - kDigitBits;
    ForEachUnmaskedRun(plane_, blanks_, [&](const T* p, std::size_t n) {
      for (DigitCounts& c : counts)
        c.Reserve(n);
      for (std::size_t i = 0; i < n; ++i) {
        const Key key = Traits::Of(p[i]);
        const Key prefix = static_cast<Key>(key >> prefix_shift);
        for (std::size_t j = 0; j < distinct; ++j) {
          if (prefix == prefixes[j]) {
            ++counts[j].a()[(key >> digit_shift) & (kBins - 1)];
            break;
          }
        }
      }
    });
    for (Target& t : targets) {
      const auto j = static_cast<std::size_t>(
          std::find(prefixes.begin(), prefixes.begin() + distinct, t.prefix) - prefixes.begin());
      const std::size_t digit = FindDigit(counts[j], t.rank, false);
      t.prefix = static_cast<Key>((t.prefix << kDigitBits) | digit);
    }
  }

  const Plane<T>& plane_;
  const BlankMask& blanks_;
  DigitCounts top_;
  uint64_t count_ = 0;
};

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
std::optional<LevelCut> ZScaleCut(const Plane<T>& plane, const BlankMask& blanks, Extended bscale,
                                  Extended bzero) {
  CheckMaskSize(plane, blanks);
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
                                      Extended bscale, Extended bzero, double low_fraction,
                                      double high_fraction) {
  CheckFraction(low_fraction);
  CheckFraction(high_fraction);
  CheckMaskSize(plane, blanks);
  const RankSelector<T> selector(plane, blanks);
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

#define KIVREL_AUTO_LEVELS(T)                                                                 \
  template std::optional<LevelCut> ZScaleCut(const Plane<T>&, const BlankMask&, Extended,     \
                                             Extended);                                       \
  template std::optional<LevelCut> PercentileCut(const Plane<T>&, const BlankMask&, Extended, \
                                                 Extended, double, double);
KIVREL_AUTO_LEVELS(uint8_t)
KIVREL_AUTO_LEVELS(int16_t)
KIVREL_AUTO_LEVELS(int32_t)
KIVREL_AUTO_LEVELS(float)
KIVREL_AUTO_LEVELS(double)
#undef KIVREL_AUTO_LEVELS

}  // namespace kivrel
