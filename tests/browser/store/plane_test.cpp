// Planes: copies share memory until one is written; an unshared block serves the next image.
#include <gtest/gtest.h>

#include "browser/store/blank_mask.h"
#include "browser/store/image.h"
#include "browser/store/plane.h"

namespace kivrel {
namespace {

TEST(Plane, ACopyIsIndependentOnceEitherIsWritten) {
  Plane<int16_t> a;
  a.Resize(2, 3);
  a.Fill(7);
  Plane<int16_t> b;
  b.CopyFrom(a);
  EXPECT_TRUE(b.SharesMemoryWith(a));
  b.At(1, 2) = -5;
  EXPECT_FALSE(b.SharesMemoryWith(a));
  EXPECT_EQ(a.At(1, 2), 7);
  EXPECT_EQ(b.At(1, 2), -5);
  EXPECT_EQ(b.At(0, 0), 7);

  Plane<int16_t> c;
  c.CopyFrom(a);
  a.Resize(4, 4);  // resizing the original leaves the copy as it was
  EXPECT_EQ(c.rows(), 2);
  EXPECT_EQ(c.At(1, 1), 7);
}

TEST(SamplePlane, TakingTheBlockLetsTheNextPlaneReuseItOnlyWhenUnshared) {
  Image image;
  Plane<int16_t>& plane = image.plane.Emplace<int16_t>(100, 100);
  plane.Fill(3);
  const void* block = plane.data();
  image.unfiltered.CopyFrom(image.plane);
  EXPECT_TRUE(image.unfiltered.SharesMemoryWith(image.plane));
  // A block still shared with the unfiltered copy is not handed over.
  EXPECT_EQ(image.plane.TakeBlock(), nullptr);
  EXPECT_TRUE(image.plane.Empty());

  image.plane.CopyFrom(image.unfiltered);
  image.unfiltered.Clear();
  std::shared_ptr<LargeBuffer> reuse = image.plane.TakeBlock();
  ASSERT_NE(reuse, nullptr);
  Plane<float>& next = image.plane.Emplace<float>(50, 50, std::move(reuse));
  EXPECT_EQ(static_cast<const void*>(next.data()), block);  // a plane of any type reuses it
}

TEST(BlankMask, MarksSamplesAcrossWordBoundariesAndCountsThemOnce) {
  BlankMask mask;
  mask.Reset(3, 130);
  EXPECT_TRUE(mask.Empty());
  EXPECT_EQ(mask.RowWords(0), nullptr);
  for (const auto& [row, col] : {std::pair{0, 0}, {0, 63}, {1, 64}, {2, 129}, {2, 129}})
    mask.Set(row, col);
  EXPECT_EQ(mask.Count(), 4);
  EXPECT_TRUE(mask.IsBlank(0, 63));
  EXPECT_TRUE(mask.IsBlank(1, 64));
  EXPECT_TRUE(mask.IsBlank(2, 129));
  EXPECT_FALSE(mask.IsBlank(1, 63));
  EXPECT_FALSE(mask.IsBlank(0, 64));
  EXPECT_FALSE(mask.IsBlank(3, 0));  // outside the plane: never blank
  ASSERT_NE(mask.RowWords(2), nullptr);
  EXPECT_EQ(mask.RowWords(2)[2], uint64_t{1} << 1);
  mask.Reset(3, 130);
  EXPECT_TRUE(mask.Empty());
  EXPECT_FALSE(mask.IsBlank(0, 0));
}

}  // namespace
}  // namespace kivrel
