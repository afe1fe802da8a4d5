// The filter row through the dialog: apply, restore, "None", the threshold text, the
// statistics after a run, the level modes of scaled images, and the buttons without an image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_logic.h"
#include "display_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::ClickFile;
using test::FitsImage;
using test::NewLogic;
using test::TempDir;

// Indexes of the filter list.
constexpr int kNone = 0;
constexpr int kLowPass1 = 1;
constexpr int kLowPass2 = 2;
constexpr int kLowPass3 = 3;
constexpr int kFocus2 = 8;

// What the user can see of the image and its display: compared before and after an operation
// that must change nothing.
struct Seen {
  std::vector<int16_t> plane;
  double data_min, data_max;
  Extended data_mean, data_sigma;
  double display_min, display_max;
  std::string edit1, edit2, label2;
  int32_t bar1, bar2;
  std::vector<uint8_t> bitmap;

  bool operator==(const Seen& o) const {
    return plane == o.plane && data_min == o.data_min && data_max == o.data_max &&
           data_mean == o.data_mean && data_sigma == o.data_sigma && display_min == o.display_min &&
           display_max == o.display_max && edit1 == o.edit1 && edit2 == o.edit2 &&
           label2 == o.label2 && bar1 == o.bar1 && bar2 == o.bar2 && bitmap == o.bitmap;
  }
};

Seen Look(const BrowserLogic& b) {
  const ImageStore& s = b.Store;
  Seen v;
  v.plane.assign(s.Imai16.data(), s.Imai16.data() + s.Imai16.size());
  v.data_min = s.DataMin;
  v.data_max = s.DataMax;
  v.data_mean = s.DataMean;
  v.data_sigma = s.DataSigma;
  v.display_min = b.DisplayMin;
  v.display_max = b.DisplayMax;
  v.edit1 = b.Edit1.Text;
  v.edit2 = b.Edit2.Text;
  v.label2 = b.Label2.Caption;
  v.bar1 = b.ScrollBar1.Position;
  v.bar2 = b.ScrollBar2.Position;
  v.bitmap = test::Pixels(b.ImaBitmap);
  return v;
}

class FilterDialog : public ::testing::Test {
 protected:
  FilterDialog() : logic_(NewLogic(app_.path())) {}

  void Select(int index) {
    logic_->ComboBox3.ItemIndex = index;
    logic_->ComboBox3.Text =
        index >= 0 ? logic_->ComboBox3.Items[static_cast<std::size_t>(index)] : "typed";
  }

  // A 16-bit image, samples top row first.
  void Load16(int32_t w, int32_t h, const std::vector<int16_t>& samples,
              const std::vector<std::string>& extra = {}) {
    ClickFile(*logic_, files_, "img.fits", FitsImage<int16_t>(16, w, h, samples, extra));
    ASSERT_TRUE(logic_->Store.ImageLoaded);
  }

  // A w x h ramp: sample (y, x) = 10 x y + x.
  void LoadRamp(int32_t w, int32_t h, const std::vector<std::string>& extra = {}) {
    std::vector<int16_t> v;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        v.push_back(static_cast<int16_t>(10 * y + x + ((x * 7 + y * 3) % 5) * 20));
    Load16(w, h, v, extra);
  }

  const ImageStore& store() const { return logic_->Store; }

  TempDir app_;
  TempDir files_;
  std::unique_ptr<BrowserLogic> logic_;
};

// "None" and apply runs the restore: the same state as the restore button gives.
TEST_F(FilterDialog, NoneAndApplyIsTheRestore) {
  LoadRamp(9, 7);
  Select(kLowPass1);
  logic_->SpeedButton7Click();
  logic_->SpeedButton8Click();
  const Seen by_restore = Look(*logic_);
  Select(kLowPass1);
  logic_->SpeedButton7Click();
  Select(kNone);
  logic_->SpeedButton7Click();
  EXPECT_TRUE(Look(*logic_) == by_restore);
}

// Each run starts again from the loaded image; the band of a 5 x 5 mask keeps what the
// 3 x 3 run left in the ring at distance 1, and the outer ring the loaded values.
TEST_F(FilterDialog, LowPass3AfterLowPass1KeepsTheRing) {
  LoadRamp(9, 8);
  const Timai16 loaded = [&] {
    Timai16 p;
    p.CopyFrom(store().Imai16);
    return p;
  }();
  Select(kLowPass1);
  logic_->SpeedButton7Click();
  Timai16 after1;
  after1.CopyFrom(store().Imai16);
  Select(kLowPass3);
  logic_->SpeedButton7Click();
  const Timai16& after3 = store().Imai16;
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 9; ++x) {
      const int ring = std::min({y, x, 7 - y, 8 - x});
      if (ring == 0) {
        EXPECT_EQ(after3.At(y, x), loaded.At(y, x)) << y << "," << x;
      } else if (ring == 1) {
        EXPECT_EQ(after3.At(y, x), after1.At(y, x)) << y << "," << x;
      }
    }
  }
}

// A threshold text that is not a number: the run-time error with the text, and nothing
// changed, for a filter and for "None" alike.
TEST_F(FilterDialog, BadThresholdChangesNothing) {
  LoadRamp(9, 7);
  Select(kLowPass1);
  logic_->SpeedButton7Click();
  for (const int index : {kLowPass2, kNone, -1}) {
    SCOPED_TRACE(index);
    Select(index);
    logic_->Edit5.Text = "1,5";
    const Seen before = Look(*logic_);
    try {
      logic_->SpeedButton7Click();
      ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
      EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
    }
    EXPECT_TRUE(Look(*logic_) == before);
  }
}

// No entry selected (the user typed into the list): the identity mask applies.
TEST_F(FilterDialog, TypedListTextUsesTheIdentity) {
  LoadRamp(9, 7);
  Select(-1);
  logic_->SpeedButton7Click();
  Timai16 orig;
  orig.CopyFrom(store().OrigImai16);
  EXPECT_EQ(std::memcmp(orig.data(), store().Imai16.data(), orig.size() * 2), 0);
  // 16-bit: the statistics cover the visited pixels only (the band is out).
  double lo = 1e100;
  for (int32_t y = 1; y < 6; ++y)
    for (int32_t x = 1; x < 8; ++x)
      lo = std::min(lo, static_cast<double>(orig.At(y, x)));
  EXPECT_EQ(store().DataMin, lo);
}

// The load dispatcher filters every image it loads while an entry above 0 is selected.
TEST_F(FilterDialog, LoadRunsTheSelectedFilter) {
  Select(kFocus2);
  std::vector<int16_t> v(5 * 4, 10);
  v[1 * 5 + 2] = 20;  // (1, 2)
  Load16(5, 4, v);
  EXPECT_EQ(store().Imai16.At(1, 2), 5 * 20 - 4 * 10);
  EXPECT_EQ(store().Imai16.At(1, 1), 5 * 10 - 3 * 10 - 20);
  EXPECT_EQ(store().OrigImai16.At(1, 2), 20);
  EXPECT_EQ(store().DataMax, 60);
  EXPECT_EQ(store().OrigDataMax, 20);
}

// Statistics and threshold are physical values. With BZERO 32768 a raw 0 reads 32768: after
// a run in level mode "data" the thresholds bracket the filtered physical values, so the
// picture shows levels between black and white.
TEST_F(FilterDialog, ScaledImageKeepsPhysicalStatistics) {
  LoadRamp(9, 7, {test::Card("BZERO", "32768"), test::Card("BSCALE", "1")});
  logic_->RadioGroup2Click(1);  // "data": DataMin .. DataMax
  test::IdentityItt(*logic_);
  Select(kFocus2);
  logic_->SpeedButton7Click();
  const Timai16& p = store().Imai16;
  double lo = 1e100;
  double hi = -1e100;
  double sum = 0;
  for (int32_t y = 1; y < 6; ++y) {
    for (int32_t x = 1; x < 8; ++x) {
      lo = std::min(lo, p.At(y, x) + 32768.0);
      hi = std::max(hi, p.At(y, x) + 32768.0);
      sum += p.At(y, x) + 32768.0;
    }
  }
  EXPECT_EQ(store().DataMin, lo);
  EXPECT_EQ(store().DataMax, hi);
  EXPECT_NEAR(static_cast<double>(store().DataMean), sum / 35, 1e-9);
  EXPECT_EQ(logic_->DisplayMin, lo);
  EXPECT_EQ(logic_->DisplayMax, hi);
  const std::vector<uint8_t> px = test::Pixels(logic_->ImaBitmap);
  const auto [mn, mx] = std::minmax_element(px.begin(), px.end());
  EXPECT_LT(*mn, *mx);  // not one flat colour
}

// Threshold 32800 on that image: only raw samples below 32 (physical below 32800) filter.
TEST_F(FilterDialog, ThresholdIsPhysical) {
  std::vector<int16_t> v(5 * 3, 0);
  v[1 * 5 + 1] = 31;
  v[1 * 5 + 2] = 32;
  v[1 * 5 + 3] = 40;
  Load16(5, 3, v, {test::Card("BZERO", "32768")});
  logic_->Edit5.Text = "32800";
  Select(kFocus2);
  logic_->SpeedButton7Click();
  EXPECT_EQ(store().Imai16.At(1, 1), 5 * 31 - 32);
  EXPECT_EQ(store().Imai16.At(1, 2), 32);
  EXPECT_EQ(store().Imai16.At(1, 3), 40);
  EXPECT_EQ(store().DataMax, 32768.0 + 5 * 31 - 32);
}

// No pixel enters the statistics: the image's own statistics stay, and the levels work.
TEST_F(FilterDialog, EmptyRunKeepsTheImageStatistics) {
  struct Row {
    const char* name;
    int32_t w, h;
    int bitpix;
    const char* threshold;
  };
  const Row rows[] = {{"2x2 plane", 2, 2, 16, "9E99"},
                      {"4x4 plane, 5x5 mask", 4, 4, 16, "9E99"},
                      {"8-bit, threshold 0", 6, 5, 8, "0"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::vector<uint8_t> v8;
    std::vector<int16_t> v16;
    for (int32_t i = 0; i < r.w * r.h; ++i) {
      v8.push_back(static_cast<uint8_t>(3 * i + 1));
      v16.push_back(static_cast<int16_t>(3 * i + 1));
    }
    if (r.bitpix == 8) {
      ClickFile(*logic_, files_, "e.fits", FitsImage<uint8_t>(8, r.w, r.h, v8));
    } else {
      Load16(r.w, r.h, v16);
    }
    ASSERT_TRUE(store().ImageLoaded);
    logic_->RadioGroup2Click(2);
    logic_->Edit5.Text = r.threshold;
    Select(r.w == 4 ? kLowPass3 : kLowPass1);
    logic_->SpeedButton7Click();
    EXPECT_EQ(store().DataMin, store().OrigDataMin);
    EXPECT_EQ(store().DataMax, store().OrigDataMax);
    EXPECT_EQ(store().DataMean, store().OrigDataMean);
    EXPECT_EQ(store().DataSigma, store().OrigDataSigma);
    EXPECT_TRUE(std::isfinite(logic_->DisplayMin));
    EXPECT_TRUE(std::isfinite(logic_->DisplayMax));
    EXPECT_LE(logic_->DisplayMax, store().OrigDataMax);
  }
}

// Equal non-integer physical values: the extended sums can leave the variance a hair below
// 0; sigma is then 0, not a NaN.
TEST_F(FilterDialog, VarianceBelowZeroGivesSigmaZero) {
  // The physical value of raw 7 under BSCALE 0.1, as the header reader scales it.
  Load16(3, 3, std::vector<int16_t>(9, 7), {test::Card("BSCALE", "0.1")});
  const Extended p = store().BScale * 7 + store().BZero;
  // A count of such values whose variance rounds below 0.
  int32_t n = 0;
  for (int32_t k = 1; k < 500 && n == 0; ++k) {
    Extended sum = 0;
    Extended sum_sq = 0;
    for (int32_t i = 0; i < k; ++i) {
      sum += p;
      sum_sq += p * p;
    }
    const Extended mean = sum / k;
    if (sum_sq / k - mean * mean < 0) n = k;
  }
  ASSERT_GT(n, 0);
  // One row of n visited pixels.
  Load16(n + 2, 3, std::vector<int16_t>(static_cast<std::size_t>(3 * (n + 2)), 7),
         {test::Card("BSCALE", "0.1")});
  Select(kLowPass2);
  logic_->SpeedButton7Click();
  EXPECT_EQ(store().DataSigma, 0);
  EXPECT_NEAR(static_cast<double>(store().DataMean), 0.7, 1e-15);
}

// After a failed load the planes are 1 x 1 and the image is gone: both buttons do nothing,
// even with a threshold that is not a number.
TEST_F(FilterDialog, ButtonsWaitForALoadedImage) {
  LoadRamp(9, 7);
  ClickFile(*logic_, files_, "bad.fits", test::Bytes(100, 'x'));
  ASSERT_FALSE(store().ImageLoaded);
  logic_->Edit5.Text = "oops";
  const Seen before = Look(*logic_);
  for (const int index : {kLowPass1, kNone}) {
    Select(index);
    EXPECT_NO_THROW(logic_->SpeedButton7Click());
    EXPECT_NO_THROW(logic_->SpeedButton8Click());
    EXPECT_TRUE(Look(*logic_) == before);
  }
}

// The restore copies the whole plane back, band and ring included, after two runs, and the
// statistics of the loaded image.
TEST_F(FilterDialog, RestoreCopiesEverythingBack) {
  LoadRamp(12, 9);
  const Seen loaded = Look(*logic_);
  Select(kLowPass1);
  logic_->SpeedButton7Click();
  Select(kLowPass3);
  logic_->SpeedButton7Click();
  EXPECT_NE(Look(*logic_).plane, loaded.plane);
  EXPECT_NE(store().DataMean, store().OrigDataMean);
  logic_->SpeedButton8Click();
  EXPECT_TRUE(Look(*logic_) == loaded);
}

}  // namespace
}  // namespace kivrel
