// The samples of an image: one plane of one of the five sample types, or none.
//
// Sample types carry the FITS BITPIX codes for every format: 8 (unsigned 8-bit), 16, 32 and
// 64 (signed integers; 64-bit ones are held as doubles), -32 and -64 (IEEE floats). A plane holds raw samples; the physical value
// of a sample is BScale x sample + BZero.
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <variant>

#include "browser/store/plane.h"

namespace kivrel {

enum : int32_t {
  kSample8 = 8,
  kSample16 = 16,
  kSample32 = 32,
  kSample64 = 64,  // 64-bit integers, held as doubles
  kSampleF32 = -32,
  kSampleF64 = -64
};

// FITS and PIC images are held at most 4000 x 4000 samples.
inline constexpr int32_t kMaxPlaneSize = 4000;

// Bytes per sample of a sample type, 0 for any other code.
inline int BytesPerSample(int32_t sample_type) {
  switch (sample_type) {
    case kSample8:
      return 1;
    case kSample16:
      return 2;
    case kSample32:
    case kSampleF32:
      return 4;
    case kSample64:
    case kSampleF64:
      return 8;
    default:
      return 0;
  }
}

class SamplePlane {
 public:
  using Planes = std::variant<std::monostate, Plane<uint8_t>, Plane<int16_t>, Plane<int32_t>,
                              Plane<float>, Plane<double>>;

  // No plane.
  SamplePlane() = default;

  // Takes over a plane read elsewhere.
  void Adopt(Planes planes) { planes_ = std::move(planes); }

  // A plane of element type T, rows x cols, built on `block` when it is given and unshared
  // (memory kept from an earlier image). Its samples are unspecified: the caller fills them.
  template <typename T>
  Plane<T>& Emplace(int32_t rows, int32_t cols, std::shared_ptr<LargeBuffer> block = nullptr) {
    return planes_.template emplace<Plane<T>>(rows, cols, std::move(block));
  }

  // A plane of the element type that goes with `sample_type` (nothing for other codes).
  template <typename F>
  bool EmplaceFor(int32_t sample_type, int32_t rows, int32_t cols, F&& fill,
                  std::shared_ptr<LargeBuffer> block = nullptr) {
    switch (sample_type) {
      case kSample8:
        fill(Emplace<uint8_t>(rows, cols, std::move(block)));
        return true;
      case kSample16:
        fill(Emplace<int16_t>(rows, cols, std::move(block)));
        return true;
      case kSample32:
        fill(Emplace<int32_t>(rows, cols, std::move(block)));
        return true;
      case kSampleF32:
        fill(Emplace<float>(rows, cols, std::move(block)));
        return true;
      case kSample64:
      case kSampleF64:
        fill(Emplace<double>(rows, cols, std::move(block)));
        return true;
      default:
        return false;
    }
  }

  bool Empty() const { return planes_.index() == 0; }
  void Clear() { planes_.template emplace<std::monostate>(); }

  // Calls f(plane) with the plane in its element type; false (and no call) without a plane.
  template <typename F>
  bool Visit(F&& f) {
    return VisitOf(*this, f);
  }
  template <typename F>
  bool Visit(F&& f) const {
    return VisitOf(*this, f);
  }

  template <typename T>
  Plane<T>* Get() {
    return std::get_if<Plane<T>>(&planes_);
  }
  template <typename T>
  const Plane<T>* Get() const {
    return std::get_if<Plane<T>>(&planes_);
  }

  // Becomes a copy of `other`, sharing its memory until either is written.
  void CopyFrom(const SamplePlane& other) { planes_ = other.planes_; }

  // Whether both hold the same memory (a copy that neither has written since).
  bool SharesMemoryWith(const SamplePlane& other) const;

  // The plane's memory block when no other plane shares it, for the next image to reuse;
  // the plane is gone afterwards. Null when there is none to give.
  std::shared_ptr<LargeBuffer> TakeBlock();

 private:
  template <typename Self, typename F>
  static bool VisitOf(Self& self, F& f) {
    return std::visit(
        [&](auto& p) {
          if constexpr (std::is_same_v<std::decay_t<decltype(p)>, std::monostate>) {
            return false;
          } else {
            f(p);
            return true;
          }
        },
        self.planes_);
  }

  Planes planes_;
};

inline bool SamplePlane::SharesMemoryWith(const SamplePlane& other) const {
  if (planes_.index() != other.planes_.index()) return false;
  bool same = false;
  Visit([&](const auto& p) {
    using P = std::decay_t<decltype(p)>;
    same = p.SharesMemoryWith(std::get<P>(other.planes_));
  });
  return same;
}

inline std::shared_ptr<LargeBuffer> SamplePlane::TakeBlock() {
  std::shared_ptr<LargeBuffer> block;
  Visit([&](auto& p) { block = p.TakeBlock(); });
  Clear();
  return block;
}

}  // namespace kivrel
