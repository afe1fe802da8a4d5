#include "browser/base/large_buffer.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

namespace kivrel {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kMapThreshold = std::size_t{1} << 20;

// The innermost live ScopedAllocationFailure of this thread; null outside tests.
thread_local ScopedAllocationFailure* active_failure = nullptr;

}  // namespace

LargeBuffer::~LargeBuffer() {
  Release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void LargeBuffer::Reserve(std::size_t bytes) {
  if (bytes <= capacity_) return;
  // The new block comes first: when it is refused the old one is still there, and whoever owns
  // this buffer keeps a consistent size and block.
  if (ScopedAllocationFailure::RefuseNext()) throw std::bad_alloc();
  if (bytes < kMapThreshold) {
    void* block = std::malloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    Release();
    data_ = block;
    capacity_ = bytes;
    return;
  }
  if (bytes > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
  const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  // Over-map by one huge page so the block can start on a 2 MiB boundary.
  void* raw =
      ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  if (aligned > start) ::munmap(raw, aligned - start);
  const std::uintptr_t end = start + size + kHugePage;
  if (end > aligned + size) ::munmap(reinterpret_cast<void*>(aligned + size), end - aligned - size);
  Release();
  data_ = reinterpret_cast<void*>(aligned);
  ::madvise(data_, size, MADV_HUGEPAGE);
  capacity_ = size;
  mapped_ = true;
}

void LargeBuffer::Release() {
  if (data_ != nullptr) {
    if (mapped_) {
      ::munmap(data_, capacity_);
    } else {
      std::free(data_);
    }
  }
  data_ = nullptr;
  capacity_ = 0;
  mapped_ = false;
}

ScopedAllocationFailure::ScopedAllocationFailure(int fail_at)
    : fail_at_(fail_at), outer_(active_failure) {
  active_failure = this;
}

ScopedAllocationFailure::~ScopedAllocationFailure() {
  active_failure = outer_;
}

bool ScopedAllocationFailure::RefuseNext() {
  ScopedAllocationFailure* scope = active_failure;
  if (scope == nullptr) return false;
  return ++scope->allocations_ == scope->fail_at_;
}

}  // namespace kivrel
