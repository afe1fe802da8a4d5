// A growable block of raw memory for planes and bitmaps. Large blocks come straight from the
// system, aligned to 2 MiB and marked for transparent huge pages, so that a fresh 4000 x 4000
// plane costs a few hundred page faults instead of thousands. The capacity is kept when the
// buffer shrinks, so that the next image of the same size reuses memory that is already mapped.
//
// Failure: Reserve throws std::bad_alloc when the system refuses the block; the buffer then
// still holds its old block and capacity, so its owner is as valid as before the call.
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

  // Makes at least `bytes` bytes available; the old contents are not kept when it grows. The
  // new block is allocated before the old one is given back (see Failure above).
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

// Test seam: while an object of this type lives, the `fail_at`-th block that a LargeBuffer
// allocates on the same thread (counting from 1) is refused with std::bad_alloc, as the system
// would refuse it; the others are allocated normally. Objects nest: the innermost one counts.
// Without such an object, allocation is untouched.
class ScopedAllocationFailure {
 public:
  explicit ScopedAllocationFailure(int fail_at);
  ~ScopedAllocationFailure();
  ScopedAllocationFailure(const ScopedAllocationFailure&) = delete;
  ScopedAllocationFailure& operator=(const ScopedAllocationFailure&) = delete;

  // Blocks asked for so far under this object, the refused one included.
  int allocations() const { return allocations_; }

  // Counts one allocation on this thread; true when it is the one to refuse.
  static bool RefuseNext();

 private:
  int fail_at_;
  int allocations_ = 0;
  ScopedAllocationFailure* outer_;
};

}  // namespace kivrel
