// A refused allocation leaves buffers and planes as they were: the old block, its size and its
// contents, never a null block behind a size. Failures are injected with
// ScopedAllocationFailure, not by exhausting the machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "browser/base/large_buffer.h"
#include "browser/store/plane.h"

namespace kivrel {
namespace {

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

// Growth across both kinds of block: heap below 1 MiB, mapped pages above.
struct GrowCase {
  std::string name;
  std::size_t from;
  std::size_t to;
};

void PrintTo(const GrowCase& c, std::ostream* os) {
  *os << c.name;
}

class RefusedReserve : public testing::TestWithParam<GrowCase> {};

TEST_P(RefusedReserve, KeepsTheOldBlockAndItsContents) {
  const GrowCase& c = GetParam();
  LargeBuffer buffer;
  buffer.Reserve(c.from);
  auto* bytes = static_cast<uint8_t*>(buffer.data());
  for (std::size_t i = 0; i < c.from; ++i)
    bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::size_t capacity = buffer.capacity();
  {
    ScopedAllocationFailure refuse(1);
    EXPECT_THROW(buffer.Reserve(c.to), std::bad_alloc);
    EXPECT_EQ(refuse.allocations(), 1);
  }
  ASSERT_EQ(buffer.data(), bytes);
  EXPECT_EQ(buffer.capacity(), capacity);
  for (std::size_t i = 0; i < c.from; ++i)
    ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 31 + 7)) << "byte " << i;
  buffer.Reserve(c.to);  // with the seam gone the same request succeeds
  EXPECT_GE(buffer.capacity(), c.to);
}

INSTANTIATE_TEST_SUITE_P(LargeBuffer, RefusedReserve,
                         testing::Values(GrowCase{"HeapToHeap", 4 * kKiB, 64 * kKiB},
                                         GrowCase{"HeapToMapped", 4 * kKiB, 3 * kMiB},
                                         GrowCase{"MappedToMapped", 3 * kMiB, 9 * kMiB}),
                         [](const auto& tp) { return tp.param.name; });

TEST(LargeBuffer, TheSeamRefusesExactlyTheCountedAllocation) {
  ScopedAllocationFailure refuse(3);
  LargeBuffer a;
  LargeBuffer b;
  LargeBuffer c;
  a.Reserve(100);
  b.Reserve(100);
  a.Reserve(50);  // within the capacity: no allocation, not counted
  EXPECT_EQ(refuse.allocations(), 2);
  EXPECT_THROW(c.Reserve(100), std::bad_alloc);
  EXPECT_EQ(c.data(), nullptr);
  c.Reserve(100);
  EXPECT_NE(c.data(), nullptr);
  {
    ScopedAllocationFailure inner(1);  // the innermost scope counts alone
    EXPECT_THROW(a.Reserve(1000), std::bad_alloc);
  }
  EXPECT_EQ(refuse.allocations(), 4);
  EXPECT_NO_THROW(a.Reserve(1000));
}

// The plane as it was before a refused allocation: size, block and contents.
testing::AssertionResult PlaneIs(const Plane<int32_t>& p, int32_t rows, int32_t cols,
                                 int32_t value) {
  if (p.rows() != rows || p.cols() != cols) {
    return testing::AssertionFailure()
           << "size " << p.rows() << " x " << p.cols() << ", want " << rows << " x " << cols;
  }
  if (p.data() == nullptr) return testing::AssertionFailure() << "null block behind the size";
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c)
      if (p.At(r, c) != value)
        return testing::AssertionFailure() << "element " << r << "," << c << " is " << p.At(r, c);
  return testing::AssertionSuccess();
}

TEST(PlaneAllocation, AResizeThatIsRefusedLeavesThePlaneAsItWas) {
  Plane<int32_t> own;
  own.Resize(20, 30);
  own.Fill(5);
  {
    ScopedAllocationFailure refuse(1);
    EXPECT_THROW(own.Resize(2000, 3000), std::bad_alloc);
  }
  EXPECT_TRUE(PlaneIs(own, 20, 30, 5));

  // A copy that still shares its block needs a block of its own to resize.
  Plane<int32_t> copy;
  copy.CopyFrom(own);
  {
    ScopedAllocationFailure refuse(1);
    EXPECT_THROW(copy.Resize(10, 10), std::bad_alloc);
  }
  EXPECT_TRUE(PlaneIs(copy, 20, 30, 5));
  EXPECT_TRUE(copy.SharesMemoryWith(own));
}

TEST(PlaneAllocation, RefusedWritesAndResetsLeaveBothPlanesValid) {
  Plane<int32_t> a;
  a.Resize(40, 50);
  a.Fill(9);
  Plane<int32_t> b;
  b.CopyFrom(a);
  {
    ScopedAllocationFailure refuse(1);
    EXPECT_THROW(b.At(0, 0) = 1, std::bad_alloc);  // the write must unshare first
  }
  {
    ScopedAllocationFailure refuse(1);
    EXPECT_THROW(a.Reset(true), std::bad_alloc);
  }
  EXPECT_TRUE(PlaneIs(a, 40, 50, 9));
  EXPECT_TRUE(PlaneIs(b, 40, 50, 9));
  EXPECT_THROW(a.Resize(-1, 5), std::bad_array_new_length);
  EXPECT_THROW(a.Resize(INT32_MAX, INT32_MAX), std::bad_alloc);
  EXPECT_TRUE(PlaneIs(a, 40, 50, 9));
}

}  // namespace
}  // namespace kivrel
