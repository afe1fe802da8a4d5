#include "browser/readers/fits_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "browser/base/gzip_byte_source.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_layout.h"
#include "browser/readers/turned_rows.h"
#include "browser/store/sample_stats.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#endif

namespace kivrel {

int16_t Swap16(const uint8_t* b) {
  return static_cast<int16_t>(uint16_t(b[0] << 8 | b[1]));
}

int32_t Swap32(const uint8_t* b) {
  return static_cast<int32_t>(uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 |
                              uint32_t(b[3]));
}

float SwapSingle(const uint8_t* b) {
  if (b[0] == 0x7F || b[0] == 0xFF) return 0.0f;
  const uint32_t bits = static_cast<uint32_t>(Swap32(b));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

double SwapDouble(const uint8_t* b) {
  if (b[0] == 0x7F || b[0] == 0xFF) return 0.0;
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i)
    bits = bits << 8 | b[i];
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

namespace {

constexpr int64_t kRunSamples = 4096;

// Which decoded samples are blank (no data): integers equal to the header's BLANK, whatever
// value of the type it is (0 included); NaN floats. Blank samples are stored as 0.
struct IntBlank {
  bool active = false;
  int64_t value = 0;
};

template <typename T>
IntBlank IntBlankFor(const std::optional<double>& blank, const std::optional<int64_t>& exact) {
  IntBlank rule;
  if constexpr (std::is_integral_v<T>) {
    using Limits = std::numeric_limits<T>;
    if (exact) {
      rule.active = *exact >= static_cast<int64_t>(Limits::min()) &&
                    *exact <= static_cast<int64_t>(Limits::max());
      rule.value = *exact;
    } else if (blank && std::floor(*blank) == *blank &&
               *blank >= static_cast<double>(Limits::min()) &&
               // max + 1 is a power of two, exact in a double; max itself may round up to it.
               *blank < static_cast<double>(Limits::max()) + 1.0) {
      rule.active = true;
      rule.value = static_cast<int64_t>(*blank);
    }
  }
  return rule;
}

// What a decoder needs for one file: the blank integer, and for floats the BLANK keyword's
// value, which does not make a sample blank but is stored as 0 as the float rule wants.
struct DecodeRules {
  IntBlank integer;
  double float_blank = 0;  // absent: 0, so that -0 reads as +0
};

// Decoding of a run of samples of one BITPIX into the plane's element type. Each returns how
// many samples were blank; when there were any, `blank_flags[i]` tells which.
template <typename T>
struct Decoder;

template <typename T, typename Raw>
std::size_t DecodeIntegers(const uint8_t* in, std::size_t n, T* out, const IntBlank& blank,
                           uint8_t* blank_flags, Raw (*load)(const uint8_t*)) {
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<T>(load(in + sizeof(Raw) * i));
  if (!blank.active) return 0;
  std::size_t count = 0;
  const auto b = static_cast<T>(blank.value);
  for (std::size_t i = 0; i < n; ++i) {
    const bool is_blank = out[i] == b;
    blank_flags[i] = is_blank;
    count += is_blank;
    out[i] = is_blank ? T{0} : out[i];
  }
  return count;
}

uint8_t Load8(const uint8_t* b) {
  return b[0];
}
uint16_t Load16(const uint8_t* b) {
  uint16_t raw;
  std::memcpy(&raw, b, 2);
  return __builtin_bswap16(raw);
}
uint32_t Load32(const uint8_t* b) {
  uint32_t raw;
  std::memcpy(&raw, b, 4);
  return __builtin_bswap32(raw);
}
uint64_t Load64(const uint8_t* b) {
  uint64_t raw;
  std::memcpy(&raw, b, 8);
  return __builtin_bswap64(raw);
}

template <>
struct Decoder<uint8_t> {
  static constexpr int kBytes = 1;
  static std::size_t Run(const uint8_t* in, std::size_t n, uint8_t* out, const DecodeRules& r,
                         uint8_t* flags) {
    return DecodeIntegers<uint8_t, uint8_t>(in, n, out, r.integer, flags, Load8);
  }
};

template <>
struct Decoder<int16_t> {
  static constexpr int kBytes = 2;
  static std::size_t Run(const uint8_t* in, std::size_t n, int16_t* out, const DecodeRules& r,
                         uint8_t* flags) {
    return DecodeIntegers<int16_t, uint16_t>(in, n, out, r.integer, flags, Load16);
  }
};

template <>
struct Decoder<int32_t> {
  static constexpr int kBytes = 4;
  static std::size_t Run(const uint8_t* in, std::size_t n, int32_t* out, const DecodeRules& r,
                         uint8_t* flags) {
    return DecodeIntegers<int32_t, uint32_t>(in, n, out, r.integer, flags, Load32);
  }
};

// 64-bit integers, held as doubles (exact up to 2^53).
struct Int64Samples {};

template <>
struct Decoder<Int64Samples> {
  static constexpr int kBytes = 8;
  static std::size_t Run(const uint8_t* in, std::size_t n, double* out, const DecodeRules& r,
                         uint8_t* flags) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const auto x = static_cast<int64_t>(Load64(in + 8 * i));
      const bool is_blank = r.integer.active && x == r.integer.value;
      flags[i] = is_blank;
      count += is_blank;
      out[i] = is_blank ? 0.0 : static_cast<double>(x);
    }
    return count;
  }
};

// A decoded sample is 0 when its big-endian bits have the first byte 0x7F or 0xFF (the float
// rule) or when, as a number, it equals the blank value; both are tested on the bits so that
// the loop vectorises. `blank_mask` and `blank_bits` give the bits a blank sample has (a blank
// of 0 matches both zeros; a blank that is no value of the type matches nothing).
template <typename F, typename U>
void BlankBits(double blank, U& blank_mask, U& blank_bits) {
  const bool representable = std::fabs(blank) <= std::numeric_limits<F>::max() &&
                             static_cast<double>(static_cast<F>(blank)) == blank;
  const U sign = U{1} << (8 * sizeof(U) - 1);
  if (!representable) {
    blank_mask = 0;
    blank_bits = 1;
  } else if (blank == 0) {
    blank_mask = static_cast<U>(~sign);
    blank_bits = 0;
  } else {
    const F b = static_cast<F>(blank);
    blank_mask = static_cast<U>(~U{0});
    std::memcpy(&blank_bits, &b, sizeof b);
  }
}

// The NaN samples of a run of big-endian floats, flagged; returns how many there are.
template <typename U>
std::size_t FlagNaNs(const uint8_t* in, std::size_t n, uint8_t* flags, U (*load)(const uint8_t*)) {
  constexpr U kAbs = static_cast<U>(~U{0}) >> 1;
  constexpr U kInf = sizeof(U) == 4 ? U{0x7F800000} : static_cast<U>(0x7FF0000000000000ULL);
  std::size_t count = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const bool nan = (load(in + sizeof(U) * i) & kAbs) > kInf;
    flags[i] = nan;
    count += nan;
  }
  return count;
}

#if defined(__SSE2__)
// The bits a float sample is decoded against: the blank value's (see BlankBits) and the
// float rule's.
struct FloatRule {
  __m128i mask, match;
  __m128i seven_f = _mm_set1_epi32(0x7F);
  __m128i abs = _mm_set1_epi32(0x7FFFFFFF);
  __m128i inf = _mm_set1_epi32(0x7F800000);
  FloatRule(uint32_t blank_mask, uint32_t blank_bits)
      : mask(_mm_set1_epi32(static_cast<int32_t>(blank_mask))),
        match(_mm_set1_epi32(static_cast<int32_t>(blank_bits))) {}
};

// Four big-endian floats decoded: the byte swap, then both rules as masks; NaNs only noticed.
inline __m128i DecodeFourFloats(const uint8_t* in, const FloatRule& k, __m128i& nan_seen) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i halves = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
  __m128i bits = _mm_or_si128(_mm_slli_epi32(halves, 16), _mm_srli_epi32(halves, 16));
  nan_seen = _mm_or_si128(nan_seen, _mm_cmpgt_epi32(_mm_and_si128(bits, k.abs), k.inf));
  const __m128i top = _mm_and_si128(_mm_srli_epi32(bits, 24), k.seven_f);
  bits = _mm_andnot_si128(_mm_cmpeq_epi32(top, k.seven_f), bits);
  return _mm_andnot_si128(_mm_cmpeq_epi32(_mm_and_si128(bits, k.mask), k.match), bits);
}
#endif

// One big-endian float decoded as DecodeFourFloats does.
inline float DecodeOneFloat(const uint8_t* in, uint32_t mask, uint32_t match, bool& nan_seen) {
  uint32_t bits = Load32(in);
  nan_seen = nan_seen || (bits & 0x7FFFFFFF) > 0x7F800000;
  bits = ((bits >> 24) & 0x7F) == 0x7F ? 0 : bits;
  bits = (bits & mask) == match ? 0 : bits;
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

template <>
struct Decoder<float> {
  static constexpr int kBytes = 4;
  static std::size_t Run(const uint8_t* in, std::size_t n, float* out, const DecodeRules& r,
                         uint8_t* flags) {
    uint32_t mask;
    uint32_t match;
    BlankBits<float>(r.float_blank, mask, match);
    std::size_t i = 0;
    bool any_nan = false;
#if defined(__SSE2__)
    const FloatRule rule(mask, match);
    __m128i nan_seen = _mm_setzero_si128();
    for (; i + 4 <= n; i += 4) {
      const __m128i bits = DecodeFourFloats(in + 4 * i, rule, nan_seen);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bits);
    }
    any_nan = _mm_movemask_epi8(nan_seen) != 0;
#endif
    for (; i < n; ++i)
      out[i] = DecodeOneFloat(in + 4 * i, mask, match, any_nan);
    return any_nan ? FlagNaNs<uint32_t>(in, n, flags, Load32) : 0;
  }
};

#if defined(__SSE2__)
// What the one-pass float loops below share: the run's blank bits, the extremes and the sums of
// its blocks, and the scalar steps around their vector loops.
struct FloatRun {
  static constexpr std::size_t kBlock = SampleStats<float>::kLaneBlock;
  static constexpr std::size_t kMaxBlocks = (kRunSamples + kBlock - 1) / kBlock;
  uint32_t mask = 0;
  uint32_t match = 0;
  float lo = std::numeric_limits<float>::infinity();
  float hi = -std::numeric_limits<float>::infinity();
  bool nan = false;
  double sums[kMaxBlocks] = {};
  double squares[kMaxBlocks] = {};

  explicit FloatRun(const DecodeRules& r) { BlankBits<float>(r.float_blank, mask, match); }

  // The samples [i, end) that block k has after its vector loop, one at a time into lane 0 as
  // BlockSums takes them, then the block's sums from its eight lanes.
  void FinishBlock(const uint8_t* in, std::size_t i, std::size_t end, float* out, std::size_t k,
                   double (&s)[8], double (&q)[8]) {
    for (; i < end; ++i) {
      const float f = DecodeOneFloat(in + 4 * i, mask, match, nan);
      out[i] = f;
      lo = f < lo ? f : lo;
      hi = f > hi ? f : hi;
      const auto x = static_cast<double>(f);
      s[0] += x;
      q[0] += x * x;
    }
    sums[k] = ((s[0] + s[1]) + (s[2] + s[3])) + ((s[4] + s[5]) + (s[6] + s[7]));
    squares[k] = ((q[0] + q[1]) + (q[2] + q[3])) + ((q[4] + q[5]) + (q[6] + q[7]));
  }

  // The vector loops' extremes joined, and the run of n samples handed to the statistics when
  // it held no NaN (true).
  bool Commit(const float* lanes_lo, const float* lanes_hi, std::size_t lanes, bool vector_nan,
              const float* out, std::size_t n, SampleStats<float>& stats) {
    if (nan || vector_nan) return false;
    for (std::size_t l = 0; l < lanes; ++l) {
      lo = lanes_lo[l] < lo ? lanes_lo[l] : lo;
      hi = lanes_hi[l] > hi ? lanes_hi[l] : hi;
    }
    stats.AddUnitScaleSums(out, n, lo, hi, sums, squares);
    return true;
  }
};

#if defined(__x86_64__) && defined(__GNUC__)
#define KIVREL_FLOATS_AVX2 1
// DecodeCountFloats eight samples to a vector, for processors that have AVX2: the same decode,
// and the same eight double lanes of sums (lanes 0 to 3 in the first vector, 4 to 7 in the
// second), so the statistics are the same to the last bit.
__attribute__((target("avx2"))) bool DecodeCountFloatsAvx2(const uint8_t* in, std::size_t n,
                                                           float* out, const DecodeRules& r,
                                                           SampleStats<float>& stats) {
  if (n == 0 || n > static_cast<std::size_t>(kRunSamples)) return false;
  FloatRun run(r);
  const __m256i v_mask = _mm256_set1_epi32(static_cast<int32_t>(run.mask));
  const __m256i v_match = _mm256_set1_epi32(static_cast<int32_t>(run.match));
  const __m256i v_7f = _mm256_set1_epi32(0x7F);
  const __m256i v_abs = _mm256_set1_epi32(0x7FFFFFFF);
  const __m256i v_inf = _mm256_set1_epi32(0x7F800000);
  const __m256i swap = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12,
                                        3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
  __m256i nan_seen = _mm256_setzero_si256();
  __m256 v_lo = _mm256_set1_ps(run.lo);
  __m256 v_hi = _mm256_set1_ps(run.hi);
  for (std::size_t b = 0, k = 0; b < n; b += FloatRun::kBlock, ++k) {
    const std::size_t end = std::min(n, b + FloatRun::kBlock);
    __m256d s_low = _mm256_setzero_pd();
    __m256d s_high = _mm256_setzero_pd();
    __m256d q_low = _mm256_setzero_pd();
    __m256d q_high = _mm256_setzero_pd();
    std::size_t i = b;
    for (; i + 8 <= end; i += 8) {
      __m256i bits = _mm256_shuffle_epi8(
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * i)), swap);
      nan_seen = _mm256_or_si256(nan_seen,
                                 _mm256_cmpgt_epi32(_mm256_and_si256(bits, v_abs), v_inf));
      const __m256i top = _mm256_and_si256(_mm256_srli_epi32(bits, 24), v_7f);
      bits = _mm256_andnot_si256(_mm256_cmpeq_epi32(top, v_7f), bits);
      bits = _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(bits, v_mask), v_match),
                                 bits);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bits);
      const __m256 f = _mm256_castsi256_ps(bits);
      v_lo = _mm256_min_ps(v_lo, f);
      v_hi = _mm256_max_ps(v_hi, f);
      const __m256d a = _mm256_cvtps_pd(_mm256_castps256_ps128(f));
      const __m256d c = _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1));
      s_low = _mm256_add_pd(s_low, a);
      q_low = _mm256_add_pd(q_low, _mm256_mul_pd(a, a));
      s_high = _mm256_add_pd(s_high, c);
      q_high = _mm256_add_pd(q_high, _mm256_mul_pd(c, c));
    }
    double s[8];
    double q[8];
    _mm256_storeu_pd(s, s_low);
    _mm256_storeu_pd(s + 4, s_high);
    _mm256_storeu_pd(q, q_low);
    _mm256_storeu_pd(q + 4, q_high);
    run.FinishBlock(in, i, end, out, k, s, q);
  }
  alignas(32) float lanes_lo[8];
  alignas(32) float lanes_hi[8];
  _mm256_store_ps(lanes_lo, v_lo);
  _mm256_store_ps(lanes_hi, v_hi);
  return run.Commit(lanes_lo, lanes_hi, 8, _mm256_movemask_epi8(nan_seen) != 0, out, n, stats);
}
#endif

// A run of big-endian floats under unit scale in one pass: decoded as Decoder<float> decodes
// them, stored, and counted, the extremes and the block sums taken exactly as SampleStats takes
// them (so the statistics are the same to the last bit), eight samples at a time. A run that
// holds a NaN is left to the caller (returns false, nothing added): it must leave it out.
bool DecodeCountFloats(const uint8_t* in, std::size_t n, float* out, const DecodeRules& r,
                       SampleStats<float>& stats) {
  if (n == 0 || n > static_cast<std::size_t>(kRunSamples)) return false;
  FloatRun run(r);
  const FloatRule rule(run.mask, run.match);
  __m128i nan_seen = _mm_setzero_si128();
  __m128 v_lo = _mm_set1_ps(run.lo);
  __m128 v_hi = _mm_set1_ps(run.hi);
  for (std::size_t b = 0, k = 0; b < n; b += FloatRun::kBlock, ++k) {
    const std::size_t end = std::min(n, b + FloatRun::kBlock);
    __m128d vs[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    __m128d vq[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    std::size_t i = b;
    for (; i + 8 <= end; i += 8) {
      const __m128i a = DecodeFourFloats(in + 4 * i, rule, nan_seen);
      const __m128i c = DecodeFourFloats(in + 4 * i + 16, rule, nan_seen);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), c);
      const __m128 fa = _mm_castsi128_ps(a);
      const __m128 fc = _mm_castsi128_ps(c);
      v_lo = _mm_min_ps(v_lo, _mm_min_ps(fa, fc));
      v_hi = _mm_max_ps(v_hi, _mm_max_ps(fa, fc));
      const __m128d x[4] = {_mm_cvtps_pd(fa), _mm_cvtps_pd(_mm_movehl_ps(fa, fa)),
                            _mm_cvtps_pd(fc), _mm_cvtps_pd(_mm_movehl_ps(fc, fc))};
      for (int l = 0; l < 4; ++l) {
        vs[l] = _mm_add_pd(vs[l], x[l]);
        vq[l] = _mm_add_pd(vq[l], _mm_mul_pd(x[l], x[l]));
      }
    }
    double s[8];
    double q[8];
    for (int l = 0; l < 4; ++l) {
      _mm_storeu_pd(s + 2 * l, vs[l]);
      _mm_storeu_pd(q + 2 * l, vq[l]);
    }
    run.FinishBlock(in, i, end, out, k, s, q);
  }
  alignas(16) float lanes_lo[4];
  alignas(16) float lanes_hi[4];
  _mm_store_ps(lanes_lo, v_lo);
  _mm_store_ps(lanes_hi, v_hi);
  return run.Commit(lanes_lo, lanes_hi, 4, _mm_movemask_epi8(nan_seen) != 0, out, n, stats);
}
#endif

template <>
struct Decoder<double> {
  static constexpr int kBytes = 8;
  static std::size_t Run(const uint8_t* in, std::size_t n, double* out, const DecodeRules& r,
                         uint8_t* flags) {
    uint64_t mask;
    uint64_t match;
    BlankBits<double>(r.float_blank, mask, match);
    bool any_nan = false;
    for (std::size_t i = 0; i < n; ++i) {
      uint64_t bits = Load64(in + 8 * i);
      any_nan = any_nan || (bits & 0x7FFFFFFFFFFFFFFFULL) > 0x7FF0000000000000ULL;
      bits = ((bits >> 56) & 0x7F) == 0x7F ? 0 : bits;
      bits = (bits & mask) == match ? 0 : bits;
      std::memcpy(out + i, &bits, 8);
    }
    return any_nan ? FlagNaNs<uint64_t>(in, n, flags, Load64) : 0;
  }
};

#if defined(__SSE2__)
// 16-bit samples under the exact sums, in one pass: the byte swap, the store and the integer
// sums, eight samples at a time. Writing straight into the plane, the stores bypass the cache:
// the plane is far larger than it and is not read again by this loop. Lane sums are flushed
// before they can overflow (see SampleStats). With a blank value, a run that holds one is left
// to the caller (returns false, nothing added): its sums and extremes must leave it out.
template <bool kBlank>
bool DecodeCount16(const uint8_t* in, std::size_t n, int16_t* out, int16_t blank, bool stream,
                   SampleStats<int16_t>& stats) {
  std::size_t i = 0;
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i v_blank = _mm_set1_epi16(blank);
  __m128i v_min = _mm_set1_epi16(std::numeric_limits<int16_t>::max());
  __m128i v_max = _mm_set1_epi16(std::numeric_limits<int16_t>::min());
  __m128i sum = zero;
  __m128i sq_lo = zero;
  __m128i sq_hi = zero;
  __m128i blank_seen = zero;
  int64_t lo = std::numeric_limits<int64_t>::max();
  int64_t hi = std::numeric_limits<int64_t>::min();
  Int128 scalar_sum = 0;
  Int128 scalar_sq = 0;
  bool scalar_blank = false;
  auto one = [&](std::size_t k) {
    const auto x = static_cast<int16_t>(Load16(in + 2 * k));
    if (kBlank && x == blank) scalar_blank = true;
    out[k] = x;
    lo = std::min<int64_t>(lo, x);
    hi = std::max<int64_t>(hi, x);
    scalar_sum += x;
    scalar_sq += int32_t{x} * x;
  };
  if (stream) {
    for (; i < n && (reinterpret_cast<uintptr_t>(out + i) & 15) != 0; ++i)
      one(i);
  }
  static_assert(kRunSamples <= 8 * 8192, "lane sums would need flushing");
  for (; i + 8 <= n; i += 8) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
    x = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
    if (kBlank) blank_seen = _mm_or_si128(blank_seen, _mm_cmpeq_epi16(x, v_blank));
    if (stream) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(out + i), x);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), x);
    }
    v_min = _mm_min_epi16(v_min, x);
    v_max = _mm_max_epi16(v_max, x);
    sum = _mm_add_epi32(sum, _mm_madd_epi16(x, ones));
    const __m128i sq = _mm_madd_epi16(x, x);
    sq_lo = _mm_add_epi64(sq_lo, _mm_unpacklo_epi32(sq, zero));
    sq_hi = _mm_add_epi64(sq_hi, _mm_unpackhi_epi32(sq, zero));
  }
  for (; i < n; ++i)
    one(i);
  if (kBlank && (scalar_blank || _mm_movemask_epi8(blank_seen) != 0)) return false;
  alignas(16) int16_t lanes_min[8];
  alignas(16) int16_t lanes_max[8];
  alignas(16) int32_t sums[4];
  alignas(16) uint64_t squares[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes_min), v_min);
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes_max), v_max);
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), sum);
  _mm_store_si128(reinterpret_cast<__m128i*>(squares), sq_lo);
  _mm_store_si128(reinterpret_cast<__m128i*>(squares + 2), sq_hi);
  if (n >= 8) {
    for (int k = 0; k < 8; ++k) {
      lo = std::min<int64_t>(lo, lanes_min[k]);
      hi = std::max<int64_t>(hi, lanes_max[k]);
    }
  }
  scalar_sum += int64_t{sums[0]} + sums[1] + sums[2] + sums[3];
  scalar_sq += static_cast<Int128>(squares[0]) + squares[1] + squares[2] + squares[3];
  stats.AddExactSums(n, scalar_sum, scalar_sq, lo, hi);
  return true;
}
#endif

// The element type a sample type is held in, and its decoder.
template <typename Source>
struct Held {
  using Type = Source;
};
template <>
struct Held<Int64Samples> {
  using Type = double;
};

// One plane being read: its decoder's rules, the statistics of its real samples, and its
// blank mask.
template <typename Source>
class PlaneReading {
 public:
  using T = typename Held<Source>::Type;

  PlaneReading(const DecodeRules& rules, long double bscale, long double bzero, uint64_t total,
               BlankMask& blanks)
      : rules_(rules),
        stats_(bscale, bzero, static_cast<long double>(total)),
        blanks_(blanks),
        flags_(std::make_unique_for_overwrite<uint8_t[]>(kRunSamples)),
        real_(std::make_unique_for_overwrite<T[]>(kRunSamples)) {}

  // Decodes a run into `out` and counts its real samples.
  void Run(const uint8_t* in, std::size_t n, T* out, bool in_plane, RunPlace place) {
#if defined(__SSE2__)
    if constexpr (std::is_same_v<Source, int16_t>) {
      if (stats_.Exact() && n > 0) {
        const bool counted =
            rules_.integer.active
                ? DecodeCount16<true>(in, n, out, static_cast<int16_t>(rules_.integer.value),
                                      in_plane, stats_)
                : DecodeCount16<false>(in, n, out, 0, in_plane, stats_);
        if (counted) return;
      }
    }
    if constexpr (std::is_same_v<Source, float>) {
      if (stats_.UnitScale()) {
#if defined(KIVREL_FLOATS_AVX2)
        static const bool avx2 = __builtin_cpu_supports("avx2");
        if (avx2 ? DecodeCountFloatsAvx2(in, n, out, rules_, stats_)
                 : DecodeCountFloats(in, n, out, rules_, stats_)) {
          return;
        }
#else
        if (DecodeCountFloats(in, n, out, rules_, stats_)) return;
#endif
      }
    }
#endif
    const std::size_t blank = Decoder<Source>::Run(in, n, out, rules_, flags_.get());
    if (blank == 0) {
      stats_.Add(out, n);
      return;
    }
    // Only the real samples enter the statistics; the blank ones go into the mask.
    std::size_t m = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (flags_[i] != 0) {
        const int64_t col = place.col + static_cast<int64_t>(i);
        if (place.row >= 0 && col < blanks_.cols()) {
          blanks_.Set(static_cast<int32_t>(place.row), static_cast<int32_t>(col));
        }
      } else {
        real_[m++] = out[i];
      }
    }
    stats_.Add(real_.get(), m);
  }

  // The file ended `place` into the plane: every sample from there on is missing, blank.
  void Missing(RunPlace place) {
    truncated_ = true;
    const int32_t last_row = place.row >= 0 ? static_cast<int32_t>(place.row) : blanks_.rows();
    if (place.row >= 0) {
      blanks_.SetSpan(last_row, static_cast<int32_t>(std::min<int64_t>(place.col, blanks_.cols())),
                      blanks_.cols());
    }
    for (int32_t r = 0; r < std::min(last_row, blanks_.rows()); ++r)
      blanks_.SetSpan(r, 0, blanks_.cols());
  }

  bool truncated() const { return truncated_; }
  uint64_t real_samples() const { return stats_.Count(); }
  StatsResult Finish() const { return stats_.Finish(); }

 private:
  DecodeRules rules_;
  SampleStats<T> stats_;
  BlankMask& blanks_;
  // Runs are at most kRunSamples long (ReadTurnedRows' max_run).
  std::unique_ptr<uint8_t[]> flags_;
  std::unique_ptr<T[]> real_;
  bool truncated_ = false;
};

ReadFailure Questioned(std::string detail) {
  return ReadFailure{ReadFailure::Form::kKeywordQuestioned, std::move(detail)};
}

std::string SizeText(const char* keyword, int64_t value) {
  return std::string(keyword) + " = " + std::to_string(value);
}

// What the header says goes into the result, as far as it was read.
void TakeHeader(const FitsHeader& header, ReadResult& r) {
  r.image.LayerCount = header.LayerCount;
  r.image.BZero = header.BZero;
  r.image.BScale = header.BScale;
  r.image.HeaderMin = header.HeaderMin;
  r.image.HeaderMax = header.HeaderMax;
  r.wcs = header.wcs;
  r.flip_x = header.flip_x;
  r.flip_y = header.flip_y;
  r.failure = header.failure;
  r.error = header.error;
}

// Reads the plane of `source` samples at the file's current position into the image: h x w
// samples, rows turned over, capped, with the blank mask and the statistics of the real
// samples. The image's sample type is set by the caller.
template <typename Source>
void ReadPlaneData(ByteSource& file, Image& image, int64_t h, int64_t w, const DecodeRules& rules,
                   std::shared_ptr<LargeBuffer> reuse, ImageOrigin& origin) {
  using T = typename Held<Source>::Type;
  const auto rows = static_cast<int32_t>(std::min<int64_t>(h, kMaxPlaneSize));
  const auto cols = static_cast<int32_t>(std::min<int64_t>(w, kMaxPlaneSize));
  Plane<T>& plane = image.plane.Emplace<T>(rows, cols, std::move(reuse));
  image.blanks.Reset(rows, cols);
  PlaneReading<Source> reading(rules, image.BScale, image.BZero,
                               static_cast<uint64_t>(h) * static_cast<uint64_t>(w), image.blanks);
  // Small runs keep the decoded samples in the first-level cache for the statistics.
  ReadTurnedRows(
      file, plane, h, w, Decoder<Source>::kBytes, kRunSamples,
      [&](const uint8_t* in, std::size_t n, T* out, bool in_plane, RunPlace place) {
        reading.Run(in, n, out, in_plane, place);
      },
      [&](uint64_t, RunPlace place) { reading.Missing(place); });
#if defined(__SSE2__)
  _mm_sfence();  // the streamed stores of the 16-bit path are complete
#endif
  origin.truncated = reading.truncated();
  if (reading.real_samples() == 0) {
    // No real sample: statistics 0, and the status line says so.
    image.stats = Statistics{};
    origin.no_real_samples = true;
  } else {
    const StatsResult stats = reading.Finish();
    image.stats = Statistics{stats.min, stats.max, stats.mean, stats.sigma};
  }
  image.height = rows;
  image.width = cols;
}

// The sample type's plane read from the file's current position.
void ReadSamples(ByteSource& file, Image& image, int64_t h, int64_t w,
                 const FitsGeometry& geometry, std::shared_ptr<LargeBuffer> reuse,
                 ImageOrigin& origin) {
  const std::optional<double>& blank = geometry.blank;
  const std::optional<int64_t>& exact = geometry.blank_integer;
  DecodeRules rules;
  rules.float_blank = blank.value_or(0);
  switch (image.SampleType) {
    case kSample8:
      rules.integer = IntBlankFor<uint8_t>(blank, exact);
      return ReadPlaneData<uint8_t>(file, image, h, w, rules, std::move(reuse), origin);
    case kSample16:
      rules.integer = IntBlankFor<int16_t>(blank, exact);
      return ReadPlaneData<int16_t>(file, image, h, w, rules, std::move(reuse), origin);
    case kSample32:
      rules.integer = IntBlankFor<int32_t>(blank, exact);
      return ReadPlaneData<int32_t>(file, image, h, w, rules, std::move(reuse), origin);
    case kSample64:
      rules.integer = IntBlankFor<int64_t>(blank, exact);
      return ReadPlaneData<Int64Samples>(file, image, h, w, rules, std::move(reuse), origin);
    case kSampleF32:
      return ReadPlaneData<float>(file, image, h, w, rules, std::move(reuse), origin);
    case kSampleF64:
      return ReadPlaneData<double>(file, image, h, w, rules, std::move(reuse), origin);
    default:
      return;
  }
}

}  // namespace
namespace {

// The primary image of a file whose only image it is: read as the primary header and data have
// always been read (header blocks from the start of the file, NAXIS3 layers).
ReadResult ReadPrimary(ByteSource& file, ReadRequest request, const FitsLayout& layout) {
  ReadResult r;
  Image& image = r.image;
  image.CurrentLayer = request.layer;
  file.Seek(0);
  const FitsHeader header = ReadFitsHeader(file);
  TakeHeader(header, r);
  if (!layout.hdus.empty()) r.origin.header_cards = layout.hdus[0].cards;
  const FitsGeometry& geometry = header.geometry;
  if (r.error || geometry.height == 0) return r;
  const int32_t bitpix = geometry.sample_type;
  image.SampleType = bitpix;
  image.stats.DataMin = 1e100;
  image.stats.DataMax = -1e100;
  image.CurrentLayer = std::max(std::min(image.CurrentLayer, image.LayerCount), 1);

  const int bytes = BytesPerSample(bitpix);
  if (bytes == 0) {
    r.failure = Questioned("BITPIX = " + std::to_string(bitpix));
    return r;
  }
  const int64_t h = geometry.height;
  const int64_t w = geometry.width;
  if (h < 0 || w < 0) {
    r.failure = Questioned(h < 0 ? SizeText("NAXIS2", h) : SizeText("NAXIS1", w));
    return r;
  }
  // The end of the chosen layer must be a 64-bit file offset.
  const UInt128 layer_bytes = static_cast<UInt128>(h) * static_cast<UInt128>(w) * bytes;
  const UInt128 layer_end =
      file.Position() + layer_bytes * static_cast<UInt128>(image.CurrentLayer);
  if (layer_end > static_cast<UInt128>(std::numeric_limits<int64_t>::max())) {
    r.failure = Questioned("NAXIS1 x NAXIS2 x BITPIX/8 = " + std::to_string(w) + " x " +
                           std::to_string(h) + " x " + std::to_string(bytes));
    return r;
  }
  if (w == 0) {
    // NAXIS2 came before a missing or rejected NAXIS1: no samples, no image.
    return r;
  }
  file.Seek(file.Position() +
            static_cast<uint64_t>(layer_bytes * static_cast<unsigned>(image.CurrentLayer - 1)));
  r.origin.full_width = w;
  r.origin.full_height = h;
  r.origin.other_axes = {image.CurrentLayer};
  ReadSamples(file, image, h, w, geometry, std::move(request.reuse), r.origin);
  return r;
}

// The 1-based pixel index of plane `plane` (0-based) on the axes after the second.
std::vector<int64_t> OtherAxes(const std::vector<int64_t>& axes, int64_t plane) {
  std::vector<int64_t> index;
  for (std::size_t a = 2; a < axes.size(); ++a) {
    const int64_t n = std::max<int64_t>(axes[a], 1);
    index.push_back(plane % n + 1);
    plane /= n;
  }
  return index;
}

// A tile-compressed plane into the image.
void TakeDecodedPlane(DecodedPlane&& d, ReadResult& r) {
  if (!d.Ok()) {
    r.failure = d.failure_clause.empty() ? ReadFailure{ReadFailure::Form::kText, d.failure_text}
                                         : Questioned(d.failure_clause);
    return;
  }
  Image& image = r.image;
  image.plane.Adopt(std::move(d.plane));
  image.blanks = std::move(d.blanks);
  image.height = image.blanks.rows();
  image.width = image.blanks.cols();
  if (d.real_samples == 0) {
    image.stats = Statistics{};
    r.origin.no_real_samples = true;
  } else {
    image.stats = Statistics{d.stats.min, d.stats.max, d.stats.mean, d.stats.sigma};
  }
}

// Layer `request.layer` of a file whose images run over several HDUs (or lie in an extension):
// the layers run over every plane of every image HDU in file order.
ReadResult ReadLayer(ByteSource& file, ReadRequest request, const FitsLayout& layout,
                     const CompressedPlaneReader& compressed) {
  ReadResult r;
  Image& image = r.image;
  const int64_t count = layout.LayerCount();
  const int64_t layer = std::max<int64_t>(std::min<int64_t>(request.layer, count), 1);
  const FitsLayerRef ref = layout.Layer(layer - 1);
  const FitsHdu& hdu = layout.hdus[static_cast<std::size_t>(ref.hdu)];
  r.origin.header_cards = EffectiveCards(layout, ref.hdu);
  const FitsHeader header = ParseFitsCards(r.origin.header_cards);
  TakeHeader(header, r);
  image.LayerCount = static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
  image.CurrentLayer = static_cast<int32_t>(layer);
  if (ref.hdu > 0) r.origin.hdu_name = HduName(hdu);
  r.origin.full_width = hdu.Width();
  r.origin.full_height = hdu.Height();
  r.origin.other_axes = OtherAxes(hdu.compressed ? hdu.compressed->znaxis : hdu.naxis, ref.plane);
  const FitsGeometry& geometry = header.geometry;
  if (r.error || geometry.height <= 0 || geometry.width <= 0) return r;
  const int32_t bitpix = geometry.sample_type;
  image.SampleType = bitpix;
  image.stats.DataMin = 1e100;
  image.stats.DataMax = -1e100;
  const int bytes = BytesPerSample(bitpix);
  if (bytes == 0) {
    r.failure = Questioned("BITPIX = " + std::to_string(bitpix));
    return r;
  }
  if (hdu.compressed) {
    if (!hdu.compressed->problem.empty()) {
      r.failure = Questioned(hdu.compressed->problem);
    } else if (!compressed) {
      r.failure = ReadFailure{ReadFailure::Form::kText, "ZIMAGE"};
    } else {
      TakeDecodedPlane(compressed(hdu, ref.plane), r);
    }
    return r;
  }
  const uint64_t plane_bytes = static_cast<uint64_t>(geometry.height) *
                               static_cast<uint64_t>(geometry.width) * static_cast<uint64_t>(bytes);
  file.Seek(hdu.data_offset + plane_bytes * static_cast<uint64_t>(ref.plane));
  ReadSamples(file, image, geometry.height, geometry.width, geometry,
              std::move(request.reuse), r.origin);
  return r;
}

bool HasExtensionImage(const FitsLayout& layout) {
  return std::any_of(layout.hdus.begin() + (layout.hdus.empty() ? 0 : 1), layout.hdus.end(),
                     [](const FitsHdu& hdu) { return hdu.HasImage(); });
}

// More than this of a gzip file holding a tile-compressed image is not inflated into memory.
constexpr uint64_t kMaxInflatedInMemory = uint64_t{512} << 20;

}  // namespace

ReadResult ReadFits(ByteSource& file, ReadRequest request, const CompressedPlaneReader& compressed) {
  const FitsLayout layout = ScanFitsLayout(file);
  if (HasExtensionImage(layout)) return ReadLayer(file, std::move(request), layout, compressed);
  return ReadPrimary(file, std::move(request), layout);
}

ReadResult ReadFits(const std::string& file_name, ReadRequest request) {
  auto file = FileByteSource::Open(file_name);
  uint8_t head[2] = {0, 0};
  const std::size_t got = file->Read(head, sizeof head);
  file->Seek(0);
  if (!LooksGzipped(head, got)) {
    return ReadFits(*file, std::move(request), [&](const FitsHdu& hdu, int64_t plane) {
      return ReadCompressedPlane(file_name, hdu, plane);
    });
  }
  GzipByteSource inflated(std::move(file));
  return ReadFits(inflated, std::move(request), [&](const FitsHdu& hdu, int64_t plane) {
    // cfitsio reads a compressed image from memory: the inflated file, within a bound.
    std::vector<uint8_t> bytes;
    inflated.Seek(0);
    std::vector<uint8_t> chunk(1 << 20);
    while (bytes.size() <= kMaxInflatedInMemory) {
      const std::size_t n = inflated.Read(chunk.data(), chunk.size());
      if (n == 0) break;
      bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (bytes.size() > kMaxInflatedInMemory) {
      DecodedPlane too_large;
      too_large.failure_text = "gzip > 512 Mo";
      return too_large;
    }
    return ReadCompressedPlane(bytes.data(), bytes.size(), hdu, plane);
  });
}

}  // namespace kivrel
