// The filter row of the dialog: apply the selected convolution filter to the current plane,
// or restore the unfiltered plane. The convolution itself is in convolve.cpp.
#include "browser/base/numbers.h"
#include "browser/dialog/browser_logic.h"
#include "browser/display/convolve.h"
#include "browser/display/filter_table.h"
#include "browser/readers/sample_stats.h"

namespace kivrel {
namespace {

// The filter of a list index: the table's entry, or the identity mask when no entry (or an
// index outside the table) is selected.
const FilterSpec& FilterForIndex(int32_t index) {
  if (index >= 1 && index < kFilterCount) return FilterTable()[static_cast<std::size_t>(index)];
  return IdentityFilter();
}

void RestoreStatistics(ImageStore& s) {
  s.DataMax = s.OrigDataMax;
  s.DataMin = s.OrigDataMin;
  s.DataMean = s.OrigDataMean;
  s.DataSigma = s.OrigDataSigma;
}

// Statistics of a run. No pixel entered them (a plane smaller than the mask, or every pixel
// at or above the threshold): the image's own statistics, so that the level modes keep
// working on sensible values.
void StoreRunStatistics(ImageStore& s, const FilterRunStats& r) {
  if (r.count == 0) {
    RestoreStatistics(s);
    return;
  }
  const StatsResult stats = FinishStats(static_cast<double>(r.min), static_cast<double>(r.max),
                                        r.sum, r.sum_sq, static_cast<Extended>(r.count));
  s.DataMin = stats.min;
  s.DataMax = stats.max;
  s.DataMean = stats.mean;
  s.DataSigma = stats.sigma;
}

// The unfiltered plane back into the working plane, border included, with its statistics.
void RestorePlane(BrowserLogic& b) {
  ImageStore& s = b.Store;
  VisitPlanes(s, s.SampleType, [](auto& plane, const auto& orig) { plane.CopyFrom(orig); });
  RestoreStatistics(s);
  b.SetIntensityRange();
  b.RefreshDisplay();
}

}  // namespace

void BrowserLogic::ApplyFilter() {
  // A threshold that is not a number stops everything before any change, "None" included.
  const Extended threshold = StrToFloat(Edit5.Text);
  const int32_t index = ComboBox3.ItemIndex;
  if (index == 0) {
    RestorePlane(*this);
    return;
  }
  const FilterSpec& filter = FilterForIndex(index);
  ImageStore& s = Store;
  FilterRunStats run;
  VisitPlanes(s, s.SampleType, [&](auto& plane, const auto& orig) {
    run = ConvolvePlane(orig, plane, filter, threshold, s.BScale, s.BZero);
  });
  StoreRunStatistics(s, run);
  SetIntensityRange();
  RefreshDisplay();
}

// After a failed load the planes are 1 x 1 while the zoom window may still describe the
// previous image: both buttons wait for a loaded image.
void BrowserLogic::SpeedButton7Click() {
  if (!Store.ImageLoaded) return;
  ApplyFilter();
}

void BrowserLogic::SpeedButton8Click() {
  if (!Store.ImageLoaded) return;
  RestorePlane(*this);
}

}  // namespace kivrel
