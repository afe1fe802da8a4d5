// Display thresholds: the automatic level modes, the two threshold edits and bars, and the
// delayed redraw after a bar move.
//
// Bar scale: position p stands for the threshold (p - 10000) x ScrollStep, so positions
// 0..30000 span -ScrollRange..2 x ScrollRange whatever the offset of the data.
#include <algorithm>
#include <cmath>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_logic.h"

namespace kivrel {
namespace {

constexpr int32_t kBarMax = 30000;
constexpr int32_t kBarZero = 10000;

// The bar position of threshold t: the nearest integer to t / step (ties to even) plus 10000,
// clamped to the bar's range. Values beyond any 32-bit position clamp the same way.
int32_t BarPositionFor(double t, double step, const ScrollBarControl& bar) {
  const Extended n = RoundHalfEven(static_cast<Extended>(t) / step);
  if (std::isnan(n)) return std::clamp(kBarZero, bar.Min, bar.Max);
  const Extended p = std::clamp<Extended>(n + kBarZero, bar.Min, bar.Max);
  return static_cast<int32_t>(p);
}

// Thresholds of level mode `mode` from the current statistics; false for no mode.
bool LevelModeThresholds(const ImageStore& s, double header_min, double header_max, int32_t mode,
                         double& lo_out, double& hi_out) {
  const Extended m = s.DataMean;
  const Extended sd = s.DataSigma;
  const Extended lo = s.DataMin;
  const Extended hi = s.DataMax;
  const Extended a = 2 * (m - lo) / (hi - lo);
  const Extended b = 2 * (hi - m) / (hi - lo);
  switch (mode) {
    case 0:
      lo_out = header_min;
      hi_out = header_max;
      return true;
    case 1:
      lo_out = s.DataMin;
      hi_out = s.DataMax;
      return true;
    case 2:
    case 3: {
      const Extended k = mode == 2 ? 1 : 2;
      lo_out = static_cast<double>(std::max(lo, m - k * sd * a));
      hi_out = static_cast<double>(std::min(hi, m + k * sd * b));
      return true;
    }
    case 4:
      lo_out = static_cast<double>(lo + (m - lo) * 0.3L);
      hi_out = static_cast<double>(hi - (hi - m) * 0.3L);
      return true;
    default:
      return false;
  }
}

void SetRange(ScrollBarControl& bar, int32_t min, int32_t max) {
  bar.Min = min;
  bar.Max = max;
}

}  // namespace

void BrowserLogic::SetIntensityRange() {
  ImageStore& s = Store;
  ScrollUpdating = true;
  if (s.DataMax == s.DataMin) s.DataMax = static_cast<double>(static_cast<Extended>(s.DataMax) + 1);
  if (s.HeaderMax == 0 && s.HeaderMin == 0) {
    s.HeaderMax = s.DataMax;
    s.HeaderMin = s.DataMin;
  }
  if (s.HeaderMax == s.HeaderMin) {
    s.HeaderMax = static_cast<double>(static_cast<Extended>(s.HeaderMax) + 1);
  }
  DisplayMax = s.HeaderMax;
  DisplayMin = s.HeaderMin;
  ScrollRange =
      static_cast<double>(std::max(std::fabs(static_cast<Extended>(s.DataMax) - s.DataMin),
                                   std::fabs(static_cast<Extended>(s.HeaderMax) - s.HeaderMin)));
  ScrollStep = static_cast<double>(static_cast<Extended>(ScrollRange) / 10000);
  for (ScrollBarControl* bar : {&ScrollBar1, &ScrollBar2}) {
    bar->LargeChange = 3000;
    bar->SmallChange = 100;
  }
  // Narrowing a bar's range may move its thumb; the change handlers see ScrollUpdating.
  SetRange(ScrollBar1, 0, kBarMax);
  SetRange(ScrollBar2, 0, kBarMax);
  SetScrollBar1Position(ScrollBar1.Position);
  SetScrollBar2Position(ScrollBar2.Position);
  if (LevelModeThresholds(s, s.HeaderMin, s.HeaderMax, RadioGroup2.ItemIndex, DisplayMin,
                          DisplayMax)) {
    PlaceThresholdsOnBars();
  }
  Edit1.Text = FormatFixed(DisplayMin, 3);
  Edit2.Text = FormatFixed(DisplayMax, 3);
  ScrollUpdating = false;
}

void BrowserLogic::PlaceThresholdsOnBars() {
  SetScrollBar1Position(BarPositionFor(DisplayMin, ScrollStep, ScrollBar1));
  SetScrollBar2Position(BarPositionFor(DisplayMax, ScrollStep, ScrollBar2));
}

void BrowserLogic::RadioGroup2Click(int32_t item) {
  RadioGroup2.ItemIndex = item;
  if (!Store.ImageLoaded) return;
  if (!LevelModeThresholds(Store, Store.HeaderMin, Store.HeaderMax, item, DisplayMin, DisplayMax)) {
    return;
  }
  // Each bar that moves takes the threshold of its new position and restarts the timer.
  PlaceThresholdsOnBars();
}

void BrowserLogic::Edit1KeyPress(char key) {
  if (key == '\r' && Store.ImageLoaded) ApplyTypedThresholds();
}

void BrowserLogic::Edit2KeyPress(char key) {
  if (key == '\r' && Store.ImageLoaded) ApplyTypedThresholds();
}

void BrowserLogic::ApplyTypedThresholds() {
  struct UpdatingGuard {
    bool& flag;
    ~UpdatingGuard() { flag = false; }
  } guard{ScrollUpdating};
  ScrollUpdating = true;
  DisplayMin = static_cast<double>(StrToFloat(Edit1.Text));
  SetScrollBar1Position(BarPositionFor(DisplayMin, ScrollStep, ScrollBar1));
  DisplayMax = static_cast<double>(StrToFloat(Edit2.Text));
  SetScrollBar2Position(BarPositionFor(DisplayMax, ScrollStep, ScrollBar2));
  ScrollUpdating = false;
  RefreshDisplay();
}

void BrowserLogic::SetScrollBar1Position(int32_t position) {
  position = std::clamp(position, ScrollBar1.Min, std::max(ScrollBar1.Min, ScrollBar1.Max));
  if (position == ScrollBar1.Position) return;
  ScrollBar1.Position = position;
  ScrollBar1Change();
}

void BrowserLogic::SetScrollBar2Position(int32_t position) {
  position = std::clamp(position, ScrollBar2.Min, std::max(ScrollBar2.Min, ScrollBar2.Max));
  if (position == ScrollBar2.Position) return;
  ScrollBar2.Position = position;
  ScrollBar2Change();
}

void BrowserLogic::ScrollBar1Change() {
  if (ScrollUpdating) return;
  // The bars never rest on the same position: the minimum bar steps one above.
  if (ScrollBar1.Position == ScrollBar2.Position && ScrollBar1.Position < ScrollBar1.Max) {
    SetScrollBar1Position(ScrollBar1.Position + 1);
  }
  DisplayMin =
      static_cast<double>(static_cast<Extended>(ScrollBar1.Position - kBarZero) * ScrollStep);
  Edit1.Text = FormatFixed(DisplayMin, 1);
  Timer1.Enabled = false;
  Timer1.Enabled = true;
  ++Timer1.RestartCount;
}

void BrowserLogic::ScrollBar2Change() {
  if (ScrollUpdating) return;
  if (ScrollBar2.Position == ScrollBar1.Position && ScrollBar2.Position > ScrollBar2.Min) {
    SetScrollBar2Position(ScrollBar2.Position - 1);
  }
  DisplayMax =
      static_cast<double>(static_cast<Extended>(ScrollBar2.Position - kBarZero) * ScrollStep);
  Edit2.Text = FormatFixed(DisplayMax, 1);
  Timer1.Enabled = false;
  Timer1.Enabled = true;
  ++Timer1.RestartCount;
}

void BrowserLogic::Timer1Timer() {
  Timer1.Enabled = false;
  if (Store.ImageLoaded) RefreshDisplay();
}

}  // namespace kivrel
