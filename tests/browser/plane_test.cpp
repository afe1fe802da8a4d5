// Planes: copies share memory until one is written; the store's reset keeps the working
// plane's block for the next image.
#include <gtest/gtest.h>

#include "browser/store/blank_mask.h"
#include "browser/store/image_store.h"
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

TEST(Plane, ResetKeepsTheWorkingBlockAndLetsTheCopyGo) {
  ImageStore s;
  s.SampleType = kSample16;
  s.Imai16.Resize(100, 100);
  s.Imai16.Fill(3);
  const int16_t* block = s.Imai16.data();
  s.CopyToOriginal();
  EXPECT_TRUE(s.OrigImai16.SharesMemoryWith(s.Imai16));

  s.ResetPlanes(kSample16);
  EXPECT_EQ(s.Imai16.rows(), 1);
  EXPECT_EQ(s.OrigImai16.rows(), 1);
  EXPECT_FALSE(s.OrigImai16.SharesMemoryWith(s.Imai16));
  s.Imai16.Resize(100, 100);
  EXPECT_EQ(s.Imai16.data(), block);  // the next image of the type reuses the block
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
