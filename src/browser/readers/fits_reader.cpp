#include "browser/readers/fits_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "browser/readers/fits_header.h"
#include "browser/readers/turned_rows.h"
#include "browser/store/sample_stats.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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

// Decoding of a run of samples of one BITPIX into the plane's element type, with the blank
// value replaced by 0.
template <typename T>
struct Decoder;

template <>
struct Decoder<uint8_t> {
  static constexpr int kBytes = 1;
  static void Run(const uint8_t* in, std::size_t n, uint8_t* out, const BlankRule& blank) {
    std::memcpy(out, in, n);
    if (blank.active) {
      const auto b = static_cast<uint8_t>(blank.integer);
      for (std::size_t i = 0; i < n; ++i)
        out[i] = out[i] == b ? 0 : out[i];
    }
  }
};

template <>
struct Decoder<int16_t> {
  static constexpr int kBytes = 2;
  static void Run(const uint8_t* in, std::size_t n, int16_t* out, const BlankRule& blank) {
    for (std::size_t i = 0; i < n; ++i) {
      uint16_t raw;
      std::memcpy(&raw, in + 2 * i, 2);
      out[i] = static_cast<int16_t>(__builtin_bswap16(raw));
    }
    if (blank.active) {
      const auto b = static_cast<int16_t>(blank.integer);
      for (std::size_t i = 0; i < n; ++i)
        out[i] = out[i] == b ? int16_t{0} : out[i];
    }
  }
};

template <>
struct Decoder<int32_t> {
  static constexpr int kBytes = 4;
  static void Run(const uint8_t* in, std::size_t n, int32_t* out, const BlankRule& blank) {
    for (std::size_t i = 0; i < n; ++i) {
      uint32_t raw;
      std::memcpy(&raw, in + 4 * i, 4);
      out[i] = static_cast<int32_t>(__builtin_bswap32(raw));
    }
    if (blank.active) {
      const auto b = static_cast<int32_t>(blank.integer);
      for (std::size_t i = 0; i < n; ++i)
        out[i] = out[i] == b ? 0 : out[i];
    }
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

template <>
struct Decoder<float> {
  static constexpr int kBytes = 4;
  static void Run(const uint8_t* in, std::size_t n, float* out, const BlankRule& blank) {
    uint32_t mask;
    uint32_t match;
    BlankBits<float>(blank.value, mask, match);
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four samples at a time: the byte swap, then both rules as masks.
    const __m128i v_mask = _mm_set1_epi32(static_cast<int32_t>(mask));
    const __m128i v_match = _mm_set1_epi32(static_cast<int32_t>(match));
    const __m128i v_7f = _mm_set1_epi32(0x7F);
    for (; i + 4 <= n; i += 4) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
      const __m128i halves = _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
      __m128i bits = _mm_or_si128(_mm_slli_epi32(halves, 16), _mm_srli_epi32(halves, 16));
      const __m128i top = _mm_and_si128(_mm_srli_epi32(bits, 24), v_7f);
      bits = _mm_andnot_si128(_mm_cmpeq_epi32(top, v_7f), bits);
      bits = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_and_si128(bits, v_mask), v_match), bits);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bits);
    }
#endif
    for (; i < n; ++i) {
      uint32_t raw;
      std::memcpy(&raw, in + 4 * i, 4);
      uint32_t bits = __builtin_bswap32(raw);
      bits = ((bits >> 24) & 0x7F) == 0x7F ? 0 : bits;
      bits = (bits & mask) == match ? 0 : bits;
      std::memcpy(out + i, &bits, 4);
    }
  }
};

template <>
struct Decoder<double> {
  static constexpr int kBytes = 8;
  static void Run(const uint8_t* in, std::size_t n, double* out, const BlankRule& blank) {
    uint64_t mask;
    uint64_t match;
    BlankBits<double>(blank.value, mask, match);
    for (std::size_t i = 0; i < n; ++i) {
      uint64_t raw;
      std::memcpy(&raw, in + 8 * i, 8);
      uint64_t bits = __builtin_bswap64(raw);
      bits = ((bits >> 56) & 0x7F) == 0x7F ? 0 : bits;
      bits = (bits & mask) == match ? 0 : bits;
      std::memcpy(out + i, &bits, 8);
    }
  }
};

#if defined(__SSE2__)
// 16-bit samples under the exact sums, in one pass: the byte swap, the blank, the store and the
// integer sums, eight samples at a time. Writing straight into the plane, the stores bypass the
// cache: the plane is far larger than it and is not read again by this loop. Lane sums are
// flushed before they can overflow (see SampleStats).
template <bool kBlank>
void DecodeCount16(const uint8_t* in, std::size_t n, int16_t* out, int16_t blank, bool stream,
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
  int64_t lo = std::numeric_limits<int64_t>::max();
  int64_t hi = std::numeric_limits<int64_t>::min();
  Int128 scalar_sum = 0;
  Int128 scalar_sq = 0;
  auto one = [&](std::size_t k) {
    uint16_t raw;
    std::memcpy(&raw, in + 2 * k, 2);
    auto x = static_cast<int16_t>(__builtin_bswap16(raw));
    if (kBlank && x == blank) x = 0;
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
    if (kBlank) x = _mm_andnot_si128(_mm_cmpeq_epi16(x, v_blank), x);
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
}
#endif

// Decodes a run of samples into `out` and adds them to the statistics.
template <typename T>
void DecodeAndCount(const uint8_t* in, std::size_t n, T* out, bool in_plane, const BlankRule& blank,
                    SampleStats<T>& stats) {
#if defined(__SSE2__)
  if constexpr (std::is_same_v<T, int16_t>) {
    if (stats.Exact() && n > 0) {
      if (blank.active) {
        DecodeCount16<true>(in, n, out, static_cast<int16_t>(blank.integer), in_plane, stats);
      } else {
        DecodeCount16<false>(in, n, out, 0, in_plane, stats);
      }
      return;
    }
  }
#endif
  (void)in_plane;
  Decoder<T>::Run(in, n, out, blank);
  stats.Add(out, n);
}

template <typename T>
StatsResult ReadTyped(ByteSource& file, Plane<T>& plane, int64_t height, int64_t width,
                      double blank_value, long double bscale, long double bzero) {
  SampleStats<T> stats(bscale, bzero,
                       static_cast<long double>(height) * static_cast<long double>(width));
  const BlankRule blank = BlankRule::For<T>(blank_value);
  // Small runs keep the decoded samples in the first-level cache for the statistics.
  ReadTurnedRows(
      file, plane, height, width, Decoder<T>::kBytes, kRunSamples,
      [&](const uint8_t* in, std::size_t n, T* out, bool in_plane) {
        DecodeAndCount(in, n, out, in_plane, blank, stats);
      },
      [&](uint64_t missing) { stats.AddZeros(missing); });
#if defined(__SSE2__)
  _mm_sfence();  // the streamed stores of the 16-bit path are complete
#endif
  return stats.Finish();
}

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

}  // namespace

ReadResult ReadFits(ByteSource& file, ReadRequest request) {
  ReadResult r;
  Image& image = r.image;
  image.CurrentLayer = request.layer;
  const FitsHeader header = ReadFitsHeader(file);
  TakeHeader(header, r);
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

  const auto rows = static_cast<int32_t>(std::min<int64_t>(h, kMaxPlaneSize));
  const auto cols = static_cast<int32_t>(std::min<int64_t>(w, kMaxPlaneSize));
  StatsResult stats;
  image.plane.EmplaceFor(
      bitpix, rows, cols,
      [&](auto& plane) {
        stats = ReadTyped(file, plane, h, w, geometry.blank, image.BScale, image.BZero);
      },
      std::move(request.reuse));
  image.stats = Statistics{stats.min, stats.max, stats.mean, stats.sigma};
  image.height = rows;
  image.width = cols;
  return r;
}

ReadResult ReadFits(const std::string& file_name, ReadRequest request) {
  auto file = FileByteSource::Open(file_name);
  return ReadFits(*file, std::move(request));
}

}  // namespace kivrel
