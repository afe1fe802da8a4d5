// Walking the real samples of a plane: those not marked in its blank mask and, in a floating
// plane, finite. Used by the automatic level cuts (auto_levels.cpp).
//
// CheckBlankMaskSize(plane, blanks)   throws std::invalid_argument when a non-empty mask's size
//                                     differs from the plane's (an empty mask fits any plane)
// HasNonFinite(plane)                 whether a floating plane holds an infinity or a NaN
// ForEachUnmaskedRun(plane, blanks, run)
//                                     run(first, count) for each stretch of unmasked samples,
//                                     row-major; non-finite values are not filtered here
// RealSampleIndex                     the count of real samples, and samples by rank
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "browser/store/blank_mask.h"
#include "browser/store/plane.h"

namespace kivrel {

template <typename T>
void CheckBlankMaskSize(const Plane<T>& plane, const BlankMask& blanks) {
  if (blanks.Empty()) return;
  if (blanks.rows() != plane.rows() || blanks.cols() != plane.cols()) {
    throw std::invalid_argument(
        "blank mask of " + std::to_string(blanks.rows()) + " x " + std::to_string(blanks.cols()) +
        " for a plane of " + std::to_string(plane.rows()) + " x " + std::to_string(plane.cols()));
  }
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
inline int32_t NextBlank(const uint64_t* words, int32_t col, int32_t cols) {
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
    for (std::size_t w = 0; w < (static_cast<std::size_t>(cols) + 63) / 64; ++w) {
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
    return cols - 1;  // not reached: the rank lies in the row
  }

  const Plane<T>& plane_;
  const BlankMask& blanks_;
  bool check_values_;
};

}  // namespace kivrel
