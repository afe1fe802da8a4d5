#include "browser/display/render_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivrel {
namespace {

// For 8- and 16-bit planes every possible sample gets its palette index once.
template <typename T>
std::vector<uint8_t> SampleTable(const DisplayScale& scale, const std::array<uint8_t, 256>& itt) {
  constexpr int64_t lo = std::numeric_limits<T>::min();
  constexpr int64_t hi = std::numeric_limits<T>::max();
  std::vector<uint8_t> table(static_cast<std::size_t>(hi - lo + 1));
  for (int64_t v = lo; v <= hi; ++v) {
    table[static_cast<std::size_t>(v - lo)] = itt[scale.LevelOfSample(static_cast<T>(v))];
  }
  return table;
}

// Levels of 32-bit and floating samples computed in double precision, with a margin that
// bounds the difference from the extended-precision formula; a sample whose margin straddles
// a level boundary takes the exact formula.
//
// With u = 2^-53, the double computation t_d = (fl(BScale) s + fl(BZero) - min) k and the
// extended one (rounded to a double at the end) differ by at most
//   |k| (u + 2^-64) (5.1 |BScale s| + 4.1 |BZero| + 2.1 |min|)
// (rounding of BScale and BZero to doubles, then one rounding per operation in either
// precision). The margin is 2^-50 |k| (|BScale s| + |BZero| + |min|), over a third more,
// plus 1e-12 so that the final rounding to a double (half an ulp below 256 is 2^-45) can never
// carry the exact value onto the next integer. Overflow makes the margin infinite or NaN,
// which also falls back.
class FastLevels {
 public:
  explicit FastLevels(const DisplayScale& scale)
      : scale_(scale),
        bscale_(static_cast<double>(scale.bscale)),
        bzero_(static_cast<double>(scale.bzero)),
        min_(scale.display_min),
        k_(scale.k) {
    const double r = std::ldexp(1.0, -50) * std::fabs(k_);
    c0_ = r * (std::fabs(bzero_) + std::fabs(min_)) + 1e-12;
    c1_ = r * std::fabs(bscale_);
    usable_ = !scale.step && std::isfinite(c0_) && std::isfinite(c1_);
  }

  bool usable() const { return usable_; }

  // Palette indices of count samples into dst (reversed: from the right end).
  template <typename T>
  void Row(const T* src, int32_t count, const std::array<uint8_t, 256>& itt, uint8_t* dst,
           bool reversed) const;

  template <typename T>
  int Level(T sample) const {
    if (usable_) {
      const double s = static_cast<double>(sample);
      const double t = (bscale_ * s + bzero_ - min_) * k_;
      const double e = c0_ + c1_ * std::fabs(s);
      const double lo = t - e;
      const double hi = t + e;
      if (hi < 0) return 0;
      if (lo >= 255) return 255;
      if (lo >= 0 && hi < 256) {
        const int a = static_cast<int>(lo);
        if (a == static_cast<int>(hi)) return a;
      }
    }
    return scale_.LevelOfSample(sample);
  }

 private:
  const DisplayScale& scale_;
  double bscale_;
  double bzero_;
  double min_;
  double k_;
  double c0_ = 0;
  double c1_ = 0;
  bool usable_ = false;
};

#if defined(__SSE2__)
// Four samples as two pairs of doubles.
inline void LoadFour(const float* p, __m128d& a, __m128d& b) {
  const __m128 f = _mm_loadu_ps(p);
  a = _mm_cvtps_pd(f);
  b = _mm_cvtps_pd(_mm_movehl_ps(f, f));
}
inline void LoadFour(const int32_t* p, __m128d& a, __m128d& b) {
  const __m128i i = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  a = _mm_cvtepi32_pd(i);
  b = _mm_cvtepi32_pd(_mm_shuffle_epi32(i, _MM_SHUFFLE(1, 0, 3, 2)));
}
inline void LoadFour(const double* p, __m128d& a, __m128d& b) {
  a = _mm_loadu_pd(p);
  b = _mm_loadu_pd(p + 2);
}
#endif

template <typename T>
void FastLevels::Row(const T* src, int32_t count, const std::array<uint8_t, 256>& itt, uint8_t* dst,
                     bool reversed) const {
  int32_t j = 0;
#if defined(__SSE2__)
  // The same arithmetic as Level, two doubles at a time: the margin's ends are clamped to
  // -1..256 (a NaN end goes to the side that makes the ends differ), floored, and packed
  // with saturation into levels 0..255; a lane whose ends differ takes the exact formula.
  const __m128d bscale = _mm_set1_pd(bscale_);
  const __m128d offset = _mm_set1_pd(bzero_);
  const __m128d min = _mm_set1_pd(min_);
  const __m128d k = _mm_set1_pd(k_);
  const __m128d c0 = _mm_set1_pd(c0_);
  const __m128d c1 = _mm_set1_pd(c1_);
  const __m128d sign = _mm_set1_pd(-0.0);
  const __m128d minus_one = _mm_set1_pd(-1.0);
  const __m128d top = _mm_set1_pd(256.0);
  const __m128d one = _mm_set1_pd(1.0);
  const __m128i one_i = _mm_set1_epi32(1);
  const auto ends = [&](__m128d s, __m128i& a, __m128i& b) {
    const __m128d t = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(bscale, s), offset), min), k);
    const __m128d e = _mm_add_pd(c0, _mm_mul_pd(c1, _mm_andnot_pd(sign, s)));
    // maxpd and minpd return their second operand when the first is NaN.
    const __m128d lo = _mm_min_pd(_mm_max_pd(_mm_sub_pd(t, e), minus_one), top);
    const __m128d hi = _mm_max_pd(_mm_min_pd(_mm_add_pd(t, e), top), minus_one);
    a = _mm_sub_epi32(_mm_cvttpd_epi32(_mm_add_pd(lo, one)), one_i);
    b = _mm_sub_epi32(_mm_cvttpd_epi32(_mm_add_pd(hi, one)), one_i);
  };
  if (usable_) {
    for (; j + 4 <= count; j += 4) {
      __m128d s0, s1;
      LoadFour(src + j, s0, s1);
      __m128i a0, b0, a1, b1;
      ends(s0, a0, b0);
      ends(s1, a1, b1);
      const __m128i a = _mm_unpacklo_epi64(a0, a1);
      const __m128i b = _mm_unpacklo_epi64(b0, b1);
      const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b)));
      const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(a, a), _mm_setzero_si128());
      uint32_t levels = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
      for (int lane = 0; lane < 4; ++lane, levels >>= 8) {
        const int level = (same >> lane) & 1 ? static_cast<int>(levels & 0xFF)
                                             : scale_.LevelOfSample(src[j + lane]);
        dst[reversed ? count - 1 - (j + lane) : j + lane] = itt[level];
      }
    }
  }
#endif
  for (; j < count; ++j)
    dst[reversed ? count - 1 - j : j] = itt[Level(src[j])];
}

template <typename T>
void RenderRow(const T* src, int32_t count, const DisplayScale& scale,
               const std::array<uint8_t, 256>& itt, const uint8_t* table, uint8_t* dst,
               bool reversed) {
  if constexpr (sizeof(T) <= 2 && std::is_integral_v<T>) {
    constexpr int64_t lo = std::numeric_limits<T>::min();
    if (reversed) {
      for (int32_t j = 0; j < count; ++j)
        dst[count - 1 - j] = table[src[j] - lo];
    } else {
      for (int32_t j = 0; j < count; ++j)
        dst[j] = table[src[j] - lo];
    }
  } else {
    (void)table;
    FastLevels(scale).Row(src, count, itt, dst, reversed);
  }
}

}  // namespace

template <typename T>
void RenderPlane(const Plane<T>& plane, const RenderWindow& w, const DisplayScale& scale,
                 const std::array<uint8_t, 256>& itt, Picture& out) {
  std::vector<uint8_t> table;
  if constexpr (sizeof(T) <= 2 && std::is_integral_v<T>) table = SampleTable<T>(scale, itt);
  // Only the part of the window that lies on the plane is read.
  const int32_t x_begin = std::clamp(w.x1, 0, plane.cols());
  const int32_t x_end = std::clamp(w.x1 + w.width, x_begin, plane.cols());
  const int32_t y_begin = std::clamp(w.y1, 0, plane.rows());
  const int32_t y_end = std::clamp(w.y1 + w.height, y_begin, plane.rows());
  const bool partial =
      x_begin != w.x1 || x_end != w.x1 + w.width || y_begin != w.y1 || y_end != w.y1 + w.height;
  if (partial) out.FillZero();
  for (int32_t i = y_begin; i < y_end; ++i) {
    const int32_t row = w.flip_y ? w.y1 + w.height - 1 - i : i - w.y1;
    uint8_t* dst = out.Row(row);
    const int32_t count = x_end - x_begin;
    // With the flip, plane column j lands in bitmap column x1 + width - 1 - j.
    uint8_t* first = w.flip_x ? dst + (w.x1 + w.width - x_end) : dst + (x_begin - w.x1);
    RenderRow(plane.Row(i) + x_begin, count, scale, itt, table.data(), first, w.flip_x);
  }
}

template void RenderPlane(const Plane<uint8_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<int16_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<int32_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<float>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<double>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);

}  // namespace kivrel
