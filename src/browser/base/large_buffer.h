// A growable block of raw memory for planes and bitmaps. Large blocks come straight from the
// system, aligned to 2 MiB and marked for transparent huge pages, so that a fresh 4000 x 4000
// plane costs a few hundred page faults instead of thousands. The capacity is kept when the
// buffer shrinks, so that the next image of the same size reuses memory that is already mapped.
#pragma once

#include <cstddef>

namespace kivrel {

class LargeBuffer {
 public:
  LargeBuffer() = default;
  ~LargeBuffer();
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  LargeBuffer(LargeBuffer&& other) noexcept;
  LargeBuffer& operator=(LargeBuffer&& other) noexcept;

  // Makes at least `bytes` bytes available; the old contents are not kept when it grows.
  void Reserve(std::size_t bytes);
  // Gives the memory back to the system.
  void Release();

  void* data() { return data_; }
  const void* data() const { return data_; }
  std::size_t capacity() const { return capacity_; }

 private:
  void* data_ = nullptr;
  std::size_t capacity_ = 0;
  bool mapped_ = false;
};

}  // namespace kivrel
