// Exact order statistics of the real samples of a plane, by radix selection: the k-th smallest
// sample without sorting or copying. Used by the "99,5 %" cut (auto_levels.cpp).
//
// RankSelector<T> selector(plane, blanks)
//   One pass that counts the top 16 bits of every unmasked sample (all the bits of 8- and
//   16-bit samples). The mask must fit the plane (CheckBlankMaskSize).
// selector.Count()
//   The number of real samples: unmasked and, for floating types, finite.
// selector.ValuesAt(ranks)
//   The samples of the given ranks in ascending order (each rank below Count()). The wider
//   types take one more pass per further 16 bits (32-bit samples one, doubles three), each
//   counting only the samples under the wanted prefixes.
//
// Samples are ordered through unsigned keys: the bits of an integer with the sign bit flipped;
// the bits of a float with the sign bit flipped when positive and all bits flipped when
// negative. The flip depends on the sign alone, so the counts are taken on the raw bits and
// turned into key order when read; infinities and NaNs take top digits of their own.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "browser/display/real_samples.h"

namespace kivrel {

template <typename T>
struct SortKey {
  using Key = std::conditional_t<
      sizeof(T) == 1, uint8_t,
      std::conditional_t<sizeof(T) == 2, uint16_t,
                         std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
  static constexpr int kBits = 8 * sizeof(Key);
  static constexpr Key kSignBit = Key{1} << (kBits - 1);

  static Key Bits(T x) { return std::bit_cast<Key>(x); }
  // What to XOR with a key to get the sample's bits (or with the bits to get the key); depends
  // only on the top bit of the key.
  static Key Flip(Key key) {
    if constexpr (std::is_unsigned_v<T>) {
      return 0;
    } else if constexpr (std::is_integral_v<T>) {
      return kSignBit;
    } else {
      return (key & kSignBit) != 0 ? kSignBit : static_cast<Key>(~Key{0});
    }
  }
  static T Value(Key key) { return std::bit_cast<T>(static_cast<Key>(key ^ Flip(key))); }
  // Whether a top digit (key order) holds finite values: not an all-ones exponent.
  static bool FiniteTop(uint32_t digit) {
    if constexpr (std::is_same_v<T, float>) {
      return digit >= 0x0080 && digit < 0xFF80;
    } else if constexpr (std::is_same_v<T, double>) {
      return digit >= 0x0010 && digit < 0xFFF0;
    } else {
      return true;
    }
  }
};

// Tables of 32-bit counts per digit, folded into 64-bit totals before one could wrap. The
// first pass counts into two tables that alternate between samples (neighbouring samples often
// share a digit; two tables halve the chains of dependent increments); the later passes reuse
// the same memory, one table per wanted prefix, as fresh pages cost more than the counting.
class DigitTables {
 public:
  explicit DigitTables(std::size_t bins) : bins_(bins) {}

  // `tables` tables of zeros.
  void Clear(std::size_t tables) {
    narrow_.assign(tables * bins_, 0);
    wide_.clear();
    pending_ = 0;
  }
  // Makes room for `n` more increments in each table.
  void Reserve(std::size_t n) {
    if (pending_ + n > std::numeric_limits<uint32_t>::max()) Fold();
    pending_ += n;
  }
  uint32_t* Table(std::size_t k) { return narrow_.data() + k * bins_; }
  uint64_t Count(std::size_t k, std::size_t bin) const {
    const std::size_t i = k * bins_ + bin;
    return uint64_t{narrow_[i]} + (wide_.empty() ? 0 : wide_[i]);
  }

 private:
  void Fold() {
    if (wide_.empty()) wide_.assign(narrow_.size(), 0);
    for (std::size_t i = 0; i < narrow_.size(); ++i)
      wide_[i] += narrow_[i];
    std::fill(narrow_.begin(), narrow_.end(), 0);
    pending_ = 0;
  }

  std::size_t bins_;
  std::vector<uint32_t> narrow_;
  std::vector<uint64_t> wide_;
  std::size_t pending_ = 0;
};

#if defined(__SSE2__)
// For 32-bit samples: calls visit(i) for every i of each block of eight samples where the top
// 16 bits of one sample at least equal one of the `D` values in `tops`, and skips the other
// blocks, which are nearly all of them; returns how many samples it took.
template <std::size_t D, typename T, typename Visit>
std::size_t VisitMatchingBlocks(const T* p, std::size_t n, const uint32_t* tops, Visit visit) {
  static_assert(sizeof(T) == 4);
  __m128i want[D];
  for (std::size_t j = 0; j < D; ++j)
    want[j] = _mm_set1_epi32(static_cast<int>(tops[j]));
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const auto* q = reinterpret_cast<const __m128i*>(p + i);
    const __m128i a = _mm_srli_epi32(_mm_loadu_si128(q), 16);
    const __m128i b = _mm_srli_epi32(_mm_loadu_si128(q + 1), 16);
    __m128i hit = _mm_or_si128(_mm_cmpeq_epi32(a, want[0]), _mm_cmpeq_epi32(b, want[0]));
    for (std::size_t j = 1; j < D; ++j)
      hit =
          _mm_or_si128(hit, _mm_or_si128(_mm_cmpeq_epi32(a, want[j]), _mm_cmpeq_epi32(b, want[j])));
    if (_mm_movemask_epi8(hit) == 0) continue;
    for (std::size_t k = i; k < i + 8; ++k)
      visit(k);
  }
  return i;
}
#endif

template <typename T>
class RankSelector {
  using Traits = SortKey<T>;
  using Key = typename Traits::Key;
  static constexpr int kKeyBits = Traits::kBits;
  static constexpr int kDigitBits = kKeyBits < 16 ? kKeyBits : 16;
  static constexpr int kLevels = kKeyBits / kDigitBits;
  static constexpr std::size_t kBins = std::size_t{1} << kDigitBits;
  static constexpr int kTopShift = kKeyBits - kDigitBits;

 public:
  RankSelector(const Plane<T>& plane, const BlankMask& blanks)
      : plane_(plane), blanks_(blanks), tables_(kBins) {
    tables_.Clear(2);
    ForEachUnmaskedRun(plane_, blanks_, [this](const T* p, std::size_t n) {
      tables_.Reserve(n);
      uint32_t* a = tables_.Table(0);
      uint32_t* b = tables_.Table(1);
      std::size_t i = 0;
      for (; i + 2 <= n; i += 2) {
        ++a[Traits::Bits(p[i]) >> kTopShift];
        ++b[Traits::Bits(p[i + 1]) >> kTopShift];
      }
      if (i < n) ++a[Traits::Bits(p[i]) >> kTopShift];
    });
    for (std::size_t d = 0; d < kBins; ++d)
      count_ += TopCount(d);
  }

  uint64_t Count() const { return count_; }

  template <std::size_t N>
  std::array<T, N> ValuesAt(const std::array<uint64_t, N>& ranks) {
    std::array<Target, N> targets;
    for (std::size_t i = 0; i < N; ++i) {
      targets[i].rank = ranks[i];
      targets[i].prefix = static_cast<Key>(
          FindDigit(targets[i].rank, [this](std::size_t d) { return TopCount(d); }));
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

  // Real samples under a top digit in key order, from the first pass's counts of raw bits.
  uint64_t TopCount(std::size_t d) const {
    if (!Traits::FiniteTop(static_cast<uint32_t>(d))) return 0;
    const Key key = static_cast<Key>(Key(d) << kTopShift);
    const std::size_t raw = static_cast<Key>(key ^ Traits::Flip(key)) >> kTopShift;
    return tables_.Count(0, raw) + tables_.Count(1, raw);
  }

  // The digit whose count holds `rank`; `rank` becomes the rank within that digit.
  template <typename CountOf>
  static std::size_t FindDigit(uint64_t& rank, CountOf count_of) {
    for (std::size_t d = 0; d < kBins; ++d) {
      const uint64_t n = count_of(d);
      if (rank < n) return d;
      rank -= n;
    }
    return kBins - 1;  // not reached: ranks lie below the count
  }

  // One pass that counts the next digit of the samples under each target's prefix. Prefixes
  // and digits are compared and counted on the raw bits: under one prefix the sign is fixed,
  // and so is the flip.
  template <std::size_t N>
  void Refine(int level, std::array<Target, N>& targets) {
    const int prefix_shift = kKeyBits - kDigitBits * level;
    const int digit_shift = prefix_shift - kDigitBits;
    std::array<Key, N> prefixes;  // raw bits >> prefix_shift
    std::array<Key, N> flips;     // the flip of the digit under each prefix
    std::size_t distinct = 0;
    for (const Target& t : targets) {
      const Key high = static_cast<Key>(t.prefix << prefix_shift);
      const auto raw = static_cast<Key>((high ^ Traits::Flip(high)) >> prefix_shift);
      if (std::find(prefixes.begin(), prefixes.begin() + distinct, raw) ==
          prefixes.begin() + distinct) {
        flips[distinct] = static_cast<Key>((Traits::Flip(high) >> digit_shift) & (kBins - 1));
        prefixes[distinct++] = raw;
      }
    }
    tables_.Clear(distinct);
    ForEachUnmaskedRun(plane_, blanks_, [&](const T* p, std::size_t n) {
      tables_.Reserve(n);
      const auto count = [&](std::size_t i) {
        const Key bits = Traits::Bits(p[i]);
        const auto prefix = static_cast<Key>(bits >> prefix_shift);
        for (std::size_t j = 0; j < distinct; ++j) {
          if (prefix == prefixes[j]) {
            ++tables_.Table(j)[(bits >> digit_shift) & (kBins - 1)];
            break;
          }
        }
      };
      std::size_t i = 0;
#if defined(__SSE2__)
      if constexpr (sizeof(Key) == 4 && N == 4) {
        std::array<uint32_t, 4> tops{};
        for (std::size_t j = 0; j < distinct; ++j)
          tops[j] = prefixes[j];
        if (distinct == 1) i = VisitMatchingBlocks<1>(p, n, tops.data(), count);
        if (distinct == 2) i = VisitMatchingBlocks<2>(p, n, tops.data(), count);
        if (distinct == 3) i = VisitMatchingBlocks<3>(p, n, tops.data(), count);
        if (distinct == 4) i = VisitMatchingBlocks<4>(p, n, tops.data(), count);
      }
#endif
      for (; i < n; ++i)
        count(i);
    });
    for (Target& t : targets) {
      const Key high = static_cast<Key>(t.prefix << prefix_shift);
      const auto raw = static_cast<Key>((high ^ Traits::Flip(high)) >> prefix_shift);
      const auto j = static_cast<std::size_t>(
          std::find(prefixes.begin(), prefixes.begin() + distinct, raw) - prefixes.begin());
      const std::size_t digit =
          FindDigit(t.rank, [&](std::size_t d) { return tables_.Count(j, d ^ flips[j]); });
      t.prefix = static_cast<Key>((t.prefix << kDigitBits) | digit);
    }
  }

  const Plane<T>& plane_;
  const BlankMask& blanks_;
  DigitTables tables_;
  uint64_t count_ = 0;
};

}  // namespace kivrel
