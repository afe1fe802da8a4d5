// The filter controls: the filter list, its threshold, apply and restore.
#include "browser/base/numbers.h"
#include "browser/dialog/browser_controller.h"
#include "browser/display/filters.h"

namespace kivrel {

void BrowserController::ChooseFilter(int32_t index) {
  ListControl& list = filters.filter_list;
  list.index = index;
  list.text = index >= 0 && index < static_cast<int32_t>(list.items.size())
                  ? list.items[static_cast<std::size_t>(index)]
                  : "";
}

// After a failed load the planes are gone while the zoom window may still describe the
// previous image: both buttons wait for a loaded image.
void BrowserController::ApplyFilter() {
  if (!load.ImageLoaded) return;
  RunFilter();
}

void BrowserController::RestoreUnfiltered() {
  if (!load.ImageLoaded) return;
  RestoreAndRedraw();
}

void BrowserController::RunFilter() {
  // A threshold that is not a number stops everything before any change, "None" included.
  const long double threshold = ParseFloat(filters.threshold_edit.text);
  const int32_t index = filters.filter_list.index;
  if (index == 0) {
    RestoreAndRedraw();
    return;
  }
  FilterImage(image, FilterForIndex(index), threshold);
  SetIntensityRange();
  RefreshDisplay();
}

void BrowserController::RestoreAndRedraw() {
  RestoreUnfilteredPlane(image);
  SetIntensityRange();
  RefreshDisplay();
}

}  // namespace kivrel
