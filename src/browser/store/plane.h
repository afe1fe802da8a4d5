// A sample plane: one contiguous block indexed [row][column], row 0 the top of the picture.
//
// Copies share their memory until one of them is written: the unfiltered copy that every load
// makes costs nothing until a filter writes the working plane. Any non-const access to the
// elements gives the plane a block of its own first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "browser/base/large_buffer.h"

namespace kivrel {

template <typename T>
class Plane {
 public:
  using Element = T;

  Plane() { Resize(1, 1); }

  // A plane of rows x cols whose samples are unspecified, built on `block` when it is given
  // and no other plane holds it (memory kept from an earlier image).
  Plane(int32_t rows, int32_t cols, std::shared_ptr<LargeBuffer> block = nullptr)
      : buffer_(block != nullptr && block.use_count() == 1 ? std::move(block) : nullptr) {
    Resize(rows, cols);
  }

  // Sizes the plane; the contents are unspecified afterwards (callers fill every element).
  // Sizes are never negative; the readers reject such images before they get here. Throws
  // std::bad_alloc when the block is refused, and the plane keeps its old size and contents.
  void Resize(int32_t rows, int32_t cols) {
    if (rows < 0 || cols < 0) throw std::bad_array_new_length();
    const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    const std::size_t bytes = (count == 0 ? 1 : count) * sizeof(T);
    if (!buffer_ || buffer_.use_count() > 1) {
      // A shared block keeps serving the other plane; this one needs a block of its own. It is
      // only taken on once allocated, so a refused block leaves this plane as it was.
      auto own = std::make_shared<LargeBuffer>();
      own->Reserve(bytes);
      buffer_ = std::move(own);
    } else {
      buffer_->Reserve(bytes);  // keeps the old block when it throws
    }
    rows_ = rows;
    cols_ = cols;
  }

  // Back to 1 x 1 holding 0; with `release` the memory goes back to the system (a shared block
  // is only let go of).
  void Reset(bool release) {
    if (release) {
      Plane fresh;  // allocated before this plane's block goes, so a refusal changes nothing
      buffer_ = std::move(fresh.buffer_);
      rows_ = 1;
      cols_ = 1;
    } else {
      Resize(1, 1);
    }
    data()[0] = T{};
  }

  void Fill(T value) {
    T* p = data();
    const std::size_t n = size();
    for (std::size_t i = 0; i < n; ++i)
      p[i] = value;
  }

  // Becomes a copy of `other`, sharing its memory until either is written.
  void CopyFrom(const Plane& other) {
    if (this == &other) return;
    buffer_ = other.buffer_;
    rows_ = other.rows_;
    cols_ = other.cols_;
  }

  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }
  std::size_t size() const {
    return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_);
  }
  bool Contains(int32_t row, int32_t col) const {
    return row >= 0 && row < rows_ && col >= 0 && col < cols_;
  }
  // Whether this plane and `other` use the same memory (a copy not written since).
  bool SharesMemoryWith(const Plane& other) const { return buffer_ == other.buffer_; }

  // The memory block when no other plane shares it (null otherwise); the plane is left without
  // memory and must not be used again.
  std::shared_ptr<LargeBuffer> TakeBlock() {
    if (buffer_.use_count() != 1) return nullptr;
    rows_ = cols_ = 0;
    return std::move(buffer_);
  }

  T* data() {
    Unshare();
    return static_cast<T*>(buffer_->data());
  }
  const T* data() const { return static_cast<const T*>(buffer_->data()); }
  T* Row(int32_t row) { return data() + static_cast<std::size_t>(row) * cols_; }
  const T* Row(int32_t row) const { return data() + static_cast<std::size_t>(row) * cols_; }
  T& At(int32_t row, int32_t col) { return Row(row)[col]; }
  const T& At(int32_t row, int32_t col) const { return Row(row)[col]; }

 private:
  void Unshare() {
    if (buffer_.use_count() <= 1) return;
    auto own = std::make_shared<LargeBuffer>();
    const std::size_t bytes = (size() == 0 ? 1 : size()) * sizeof(T);
    own->Reserve(bytes);
    std::memcpy(own->data(), buffer_->data(), bytes);
    buffer_ = std::move(own);
  }

  std::shared_ptr<LargeBuffer> buffer_;
  int32_t rows_ = 0;
  int32_t cols_ = 0;
};

}  // namespace kivrel
