// The filter row through the dialog: apply, restore, "None", the threshold text, the selected
// entry, the statistics after a run, the level modes of scaled images, and the buttons without
// an image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::ClickFile;
using test::FitsImage;
using test::NewDialog;
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
  long double data_mean, data_sigma;
  double display_min, display_max;
  std::string min_edit, max_edit, status_line;
  int32_t min_bar, max_bar;
  std::vector<uint8_t> bitmap;

  bool operator==(const Seen& o) const {
    return plane == o.plane && data_min == o.data_min && data_max == o.data_max &&
           data_mean == o.data_mean && data_sigma == o.data_sigma && display_min == o.display_min &&
           display_max == o.display_max && min_edit == o.min_edit && max_edit == o.max_edit &&
           status_line == o.status_line && min_bar == o.min_bar && max_bar == o.max_bar &&
           bitmap == o.bitmap;
  }
};

Seen Look(const BrowserController& b) {
  const Statistics& s = b.image.stats;
  Seen v;
  if (const Plane<int16_t>* p = b.image.plane.Get<int16_t>())
    v.plane.assign(p->data(), p->data() + p->size());
  v.data_min = s.DataMin;
  v.data_max = s.DataMax;
  v.data_mean = s.DataMean;
  v.data_sigma = s.DataSigma;
  v.display_min = b.view.DisplayMin;
  v.display_max = b.view.DisplayMax;
  v.min_edit = b.thresholds.min_edit.text;
  v.max_edit = b.thresholds.max_edit.text;
  v.status_line = b.texts.status_line.caption;
  v.min_bar = b.thresholds.min_bar.position;
  v.max_bar = b.thresholds.max_bar.position;
  v.bitmap = test::Pixels(b.preview_picture);
  return v;
}

class FilterDialog : public ::testing::Test {
 protected:
  FilterDialog() : dialog_(NewDialog(app_.path())) {}

  void Select(int index) {
    dialog_->filters.filter_list.index = index;
    dialog_->filters.filter_list.text =
        index >= 0 ? dialog_->filters.filter_list.items[static_cast<std::size_t>(index)] : "typed";
  }

  // A 16-bit image, samples top row first.
  void Load16(int32_t w, int32_t h, const std::vector<int16_t>& samples,
              const std::vector<std::string>& extra = {}) {
    ClickFile(*dialog_, files_, "img.fits", FitsImage<int16_t>(16, w, h, samples, extra));
    ASSERT_TRUE(dialog_->load.ImageLoaded);
  }

  // A w x h ramp: sample (y, x) = 10 x y + x.
  void LoadRamp(int32_t w, int32_t h, const std::vector<std::string>& extra = {}) {
    std::vector<int16_t> v;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        v.push_back(static_cast<int16_t>(10 * y + x + ((x * 7 + y * 3) % 5) * 20));
    Load16(w, h, v, extra);
  }

  const Image& image() const { return dialog_->image; }
  const Plane<int16_t>& plane() const { return test::PlaneOf<int16_t>(image()); }

  TempDir app_;
  TempDir files_;
  std::unique_ptr<BrowserController> dialog_;
};

// "None" and apply runs the restore: the same state as the restore button gives.
TEST_F(FilterDialog, NoneAndApplyIsTheRestore) {
  LoadRamp(9, 7);
  Select(kLowPass1);
  dialog_->ApplyFilter();
  dialog_->RestoreUnfiltered();
  const Seen by_restore = Look(*dialog_);
  Select(kLowPass1);
  dialog_->ApplyFilter();
  Select(kNone);
  dialog_->ApplyFilter();
  EXPECT_TRUE(Look(*dialog_) == by_restore);
}

// A threshold text that is not a number: the run-time error with the text, and nothing
// changed, for a filter and for "None" alike.
TEST_F(FilterDialog, BadThresholdChangesNothing) {
  LoadRamp(9, 7);
  Select(kLowPass1);
  dialog_->ApplyFilter();
  for (const int index : {kLowPass2, kNone, -1}) {
    SCOPED_TRACE(index);
    Select(index);
    dialog_->filters.threshold_edit.text = "1,5";
    const Seen before = Look(*dialog_);
    try {
      dialog_->ApplyFilter();
      ADD_FAILURE() << "no error";
    } catch (const RunTimeError& e) {
      EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
    }
    EXPECT_TRUE(Look(*dialog_) == before);
  }
}

// No entry selected (the user typed into the list): the identity mask applies.
TEST_F(FilterDialog, TypedListTextUsesTheIdentity) {
  LoadRamp(9, 7);
  Select(-1);
  dialog_->ApplyFilter();
  Plane<int16_t> orig;
  orig.CopyFrom(test::PlaneOf<int16_t>(image().unfiltered));
  ASSERT_EQ(plane().size(), orig.size());
  EXPECT_EQ(std::memcmp(orig.data(), plane().data(), orig.size() * 2), 0);
  // 16-bit: the statistics cover the visited pixels only (the band is out).
  double lo = 1e100;
  for (int32_t y = 1; y < 6; ++y)
    for (int32_t x = 1; x < 8; ++x)
      lo = std::min(lo, static_cast<double>(orig.At(y, x)));
  EXPECT_EQ(image().stats.DataMin, lo);
}

// A load filters every image it loads while an entry above 0 is selected.
TEST_F(FilterDialog, LoadRunsTheSelectedFilter) {
  Select(kFocus2);
  std::vector<int16_t> v(5 * 4, 10);
  v[1 * 5 + 2] = 20;  // (1, 2)
  Load16(5, 4, v);
  EXPECT_EQ(plane().At(1, 2), 5 * 20 - 4 * 10);
  EXPECT_EQ(plane().At(1, 1), 5 * 10 - 3 * 10 - 20);
  EXPECT_EQ(test::PlaneOf<int16_t>(image().unfiltered).At(1, 2), 20);
  EXPECT_EQ(image().stats.DataMax, 60);
  EXPECT_EQ(image().unfiltered_stats.DataMax, 20);
}

// Statistics and threshold are physical values. With BZERO 32768 a raw 0 reads 32768: after
// a run in level mode "data" the thresholds bracket the filtered physical values, so the
// picture shows levels between black and white.
TEST_F(FilterDialog, ScaledImageKeepsPhysicalStatistics) {
  LoadRamp(9, 7, {test::Card("BZERO", "32768"), test::Card("BSCALE", "1")});
  dialog_->ChooseLevelMode(1);  // "data": DataMin .. DataMax
  test::IdentityItt(*dialog_);
  Select(kFocus2);
  dialog_->ApplyFilter();
  const Plane<int16_t>& p = plane();
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
  EXPECT_EQ(image().stats.DataMin, lo);
  EXPECT_EQ(image().stats.DataMax, hi);
  EXPECT_NEAR(static_cast<double>(image().stats.DataMean), sum / 35, 1e-9);
  EXPECT_EQ(dialog_->view.DisplayMin, lo);
  EXPECT_EQ(dialog_->view.DisplayMax, hi);
  const std::vector<uint8_t> px = test::Pixels(dialog_->preview_picture);
  const auto [mn, mx] = std::minmax_element(px.begin(), px.end());
  EXPECT_LT(*mn, *mx);  // not one flat colour
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
      ClickFile(*dialog_, files_, "e.fits", FitsImage<uint8_t>(8, r.w, r.h, v8));
    } else {
      Load16(r.w, r.h, v16);
    }
    ASSERT_TRUE(dialog_->load.ImageLoaded);
    dialog_->ChooseLevelMode(2);
    dialog_->filters.threshold_edit.text = r.threshold;
    Select(r.w == 4 ? kLowPass3 : kLowPass1);
    dialog_->ApplyFilter();
    EXPECT_EQ(image().stats.DataMin, image().unfiltered_stats.DataMin);
    EXPECT_EQ(image().stats.DataMax, image().unfiltered_stats.DataMax);
    EXPECT_EQ(image().stats.DataMean, image().unfiltered_stats.DataMean);
    EXPECT_EQ(image().stats.DataSigma, image().unfiltered_stats.DataSigma);
    EXPECT_TRUE(std::isfinite(dialog_->view.DisplayMin));
    EXPECT_TRUE(std::isfinite(dialog_->view.DisplayMax));
    EXPECT_LE(dialog_->view.DisplayMax, image().unfiltered_stats.DataMax);
  }
}

// After a failed load the planes and the image are gone: both buttons do nothing,
// even with a threshold that is not a number.
TEST_F(FilterDialog, ButtonsWaitForALoadedImage) {
  LoadRamp(9, 7);
  ClickFile(*dialog_, files_, "bad.fits", test::Bytes(100, 'x'));
  ASSERT_FALSE(dialog_->load.ImageLoaded);
  dialog_->filters.threshold_edit.text = "oops";
  const Seen before = Look(*dialog_);
  for (const int index : {kLowPass1, kNone}) {
    Select(index);
    EXPECT_NO_THROW(dialog_->ApplyFilter());
    EXPECT_NO_THROW(dialog_->RestoreUnfiltered());
    EXPECT_TRUE(Look(*dialog_) == before);
  }
}

// The restore copies the whole plane back, band and ring included, after two runs, and the
// statistics of the loaded image.
TEST_F(FilterDialog, RestoreCopiesEverythingBack) {
  LoadRamp(12, 9);
  const Seen loaded = Look(*dialog_);
  Select(kLowPass1);
  dialog_->ApplyFilter();
  Select(kLowPass3);
  dialog_->ApplyFilter();
  EXPECT_NE(Look(*dialog_).plane, loaded.plane);
  EXPECT_NE(image().stats.DataMean, image().unfiltered_stats.DataMean);
  dialog_->RestoreUnfiltered();
  EXPECT_TRUE(Look(*dialog_) == loaded);
}

}  // namespace
}  // namespace kivrel
