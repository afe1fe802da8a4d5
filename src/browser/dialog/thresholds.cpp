// The threshold controls: the level modes, the two threshold edits and bars, and the delayed
// redraw after a bar move.
#include <algorithm>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_controller.h"
#include "browser/display/levels.h"

namespace kivrel {
namespace {

void SetRange(ScrollBarControl& bar, int32_t min, int32_t max) {
  bar.min = min;
  bar.max = max;
}

// Moves a bar as the user would, clamped to its range; true when its position really changed.
bool MoveBar(ScrollBarControl& bar, int32_t position) {
  position = std::clamp(position, bar.min, std::max(bar.min, bar.max));
  if (position == bar.position) return false;
  bar.position = position;
  return true;
}

void RestartTimer(TimerControl& timer) {
  timer.armed = false;
  timer.armed = true;
  ++timer.restarts;
}

}  // namespace

void BrowserController::SetIntensityRange() {
  scroll_updating_ = true;
  const BarScale scale = AdjustRanges(image);
  view.DisplayMax = image.HeaderMax;
  view.DisplayMin = image.HeaderMin;
  view.ScrollRange = scale.ScrollRange;
  view.ScrollStep = scale.ScrollStep;
  for (ScrollBarControl* bar : {&thresholds.min_bar, &thresholds.max_bar}) {
    bar->page_step = 3000;
    bar->step = 100;
  }
  // Narrowing a bar's range may move its thumb; the change handlers see scroll_updating_.
  SetRange(thresholds.min_bar, 0, kBarMax);
  SetRange(thresholds.max_bar, 0, kBarMax);
  MoveMinBar(thresholds.min_bar.position);
  MoveMaxBar(thresholds.max_bar.position);
  if (const auto t = ImageLevelThresholds(image, thresholds.level_mode.index)) {
    view.DisplayMin = t->low;
    view.DisplayMax = t->high;
    PlaceThresholdsOnBars();
  }
  thresholds.min_edit.text = FormatFixed(view.DisplayMin, 3);
  thresholds.max_edit.text = FormatFixed(view.DisplayMax, 3);
  scroll_updating_ = false;
}

void BrowserController::PlaceThresholdsOnBars() {
  const ScrollBarControl& lo = thresholds.min_bar;
  const ScrollBarControl& hi = thresholds.max_bar;
  MoveMinBar(BarPositionFor(view.DisplayMin, view.ScrollStep, lo.min, lo.max));
  MoveMaxBar(BarPositionFor(view.DisplayMax, view.ScrollStep, hi.min, hi.max));
}

void BrowserController::ChooseLevelMode(int32_t item) {
  thresholds.level_mode.index = item;
  if (!load.ImageLoaded) return;
  const auto t = ImageLevelThresholds(image, item);
  if (!t) return;
  view.DisplayMin = t->low;
  view.DisplayMax = t->high;
  // Each bar that moves takes the threshold of its new position and restarts the timer.
  PlaceThresholdsOnBars();
}

void BrowserController::ThresholdEditKeyPress(char key) {
  if (key == '\r' && load.ImageLoaded) ApplyTypedThresholds();
}

void BrowserController::ApplyTypedThresholds() {
  struct UpdatingGuard {
    bool& flag;
    ~UpdatingGuard() { flag = false; }
  } guard{scroll_updating_};
  scroll_updating_ = true;
  const ScrollBarControl& lo = thresholds.min_bar;
  const ScrollBarControl& hi = thresholds.max_bar;
  view.DisplayMin = static_cast<double>(ParseFloat(thresholds.min_edit.text));
  MoveMinBar(BarPositionFor(view.DisplayMin, view.ScrollStep, lo.min, lo.max));
  view.DisplayMax = static_cast<double>(ParseFloat(thresholds.max_edit.text));
  MoveMaxBar(BarPositionFor(view.DisplayMax, view.ScrollStep, hi.min, hi.max));
  scroll_updating_ = false;
  RefreshDisplay();
}

void BrowserController::MoveMinBar(int32_t position) {
  if (MoveBar(thresholds.min_bar, position)) OnMinBarChange();
}

void BrowserController::MoveMaxBar(int32_t position) {
  if (MoveBar(thresholds.max_bar, position)) OnMaxBarChange();
}

void BrowserController::OnMinBarChange() {
  if (scroll_updating_) return;
  ScrollBarControl& bar = thresholds.min_bar;
  // The bars never rest on the same position: the minimum bar steps one above.
  if (bar.position == thresholds.max_bar.position && bar.position < bar.max) {
    MoveMinBar(bar.position + 1);
  }
  view.DisplayMin = ThresholdAtBar(bar.position, view.ScrollStep);
  thresholds.min_edit.text = FormatFixed(view.DisplayMin, 1);
  RestartTimer(thresholds.redraw_timer);
}

void BrowserController::OnMaxBarChange() {
  if (scroll_updating_) return;
  ScrollBarControl& bar = thresholds.max_bar;
  if (bar.position == thresholds.min_bar.position && bar.position > bar.min) {
    MoveMaxBar(bar.position - 1);
  }
  view.DisplayMax = ThresholdAtBar(bar.position, view.ScrollStep);
  thresholds.max_edit.text = FormatFixed(view.DisplayMax, 1);
  RestartTimer(thresholds.redraw_timer);
}

void BrowserController::RedrawTimerElapsed() {
  thresholds.redraw_timer.armed = false;
  if (load.ImageLoaded) RefreshDisplay();
}

}  // namespace kivrel
