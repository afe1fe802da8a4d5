// Zoom by rectangle on the preview, "Zoom 1:1", "Zoom prec.", and the mouse over the preview.
//
// Preview pixels and samples: columns scale by ZoomHeight / preview height, rows by
// ZoomWidth / preview width (the preview keeps the window's proportions).
#include <algorithm>
#include <utility>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"

namespace kivrel {
namespace {

int32_t ScaleToSamples(int32_t preview, int32_t preview_size, int32_t samples, int32_t origin) {
  const Extended v =
      static_cast<Extended>(preview) / preview_size * samples + static_cast<Extended>(origin);
  return static_cast<int32_t>(RoundHalfEven(v));
}

}  // namespace

void BrowserLogic::Image1MouseDown(MouseButton button, ShiftState, int32_t x, int32_t y) {
  if (button != MouseButton::Left || !Store.ImageLoaded) return;
  ImageStore& s = Store;
  if (Dragging) {
    Dragging = false;
    const bool inside = DragX1 <= x && x <= DragX2 && DragY1 <= y && y <= DragY2;
    if (inside && DragX1 != DragX2 && DragY1 != DragY2) {
      const int32_t pw = Image1.Width;
      const int32_t ph = Image1.Height;
      if (s.FlipX) {
        DragX2 = pw - DragX2;
        DragX1 = pw - DragX1;
      }
      if (s.FlipY) {
        DragY2 = ph - DragY2;
        DragY1 = ph - DragY1;
      }
      if (s.FlipX || s.FlipY) {
        if (DragX1 > DragX2) std::swap(DragX1, DragX2);
        if (DragY1 > DragY2) std::swap(DragY1, DragY2);
      }
      // The new window stays on the image, and a rectangle too thin to hold a sample
      // zooms nothing.
      const int32_t x1 =
          std::clamp(ScaleToSamples(DragX1, ph, s.ZoomHeight, s.ZoomX1), 0, s.ImaWidth);
      const int32_t x2 =
          std::clamp(ScaleToSamples(DragX2, ph, s.ZoomHeight, s.ZoomX1), 0, s.ImaWidth);
      const int32_t y1 =
          std::clamp(ScaleToSamples(DragY1, pw, s.ZoomWidth, s.ZoomY1), 0, s.ImaHeight);
      const int32_t y2 =
          std::clamp(ScaleToSamples(DragY2, pw, s.ZoomWidth, s.ZoomY1), 0, s.ImaHeight);
      if (x2 > x1 && y2 > y1) {
        s.PrevZoomX1 = s.ZoomX1;
        s.PrevZoomX2 = s.ZoomX2;
        s.PrevZoomY1 = s.ZoomY1;
        s.PrevZoomY2 = s.ZoomY2;
        s.ZoomX1 = x1;
        s.ZoomX2 = x2;
        s.ZoomY1 = y1;
        s.ZoomY2 = y2;
        s.ZoomWidth = x2 - x1;
        s.ZoomHeight = y2 - y1;
        RefreshDisplay();
      }
    }
  }
  DragX1 = x;
  DragY1 = y;
}

void BrowserLogic::Image1MouseMove(ShiftState shift, int32_t x, int32_t y) {
  const ImageStore& s = Store;
  if (!s.ImageLoaded || s.BitmapShown) return;
  const int32_t pw = Image1.Width;
  const int32_t ph = Image1.Height;
  if (!(0 < x && x < pw && 0 < y && y < ph)) return;
  if (shift.OnlyLeft()) {
    DragX2 = x;
    DragY2 = y;
    Dragging = true;
  }
  if (s.FlipX) x = pw - x;
  if (s.FlipY) y = ph - y;
  const Extended row_f = static_cast<Extended>(y) / pw * s.ZoomWidth + s.ZoomY1;
  const Extended col_f = static_cast<Extended>(x) / ph * s.ZoomHeight + s.ZoomX1;
  const auto row = static_cast<int32_t>(
      RoundHalfEven(std::max<Extended>(0, std::min<Extended>(s.ImaHeight - 1, row_f))));
  const auto col = static_cast<int32_t>(
      RoundHalfEven(std::max<Extended>(0, std::min<Extended>(s.ImaWidth - 1, col_f))));
  Extended value = 0;
  VisitPlanes(Store, s.SampleType, [&](const auto& plane, const auto&) {
    if (plane.Contains(row, col))
      value = static_cast<Extended>(plane.At(row, col)) * s.BScale + s.BZero;
  });
  Label1.Caption = "X: " + PadLeft(std::to_string(col), 5);
  Label1.Caption += "   Y: " + PadLeft(std::to_string(row), 5);
  Label1.Caption += "   I: " + FormatGeneral(value);
}

void BrowserLogic::SpeedButton4Click() {
  if (!Store.ImageLoaded) return;
  ImageStore& s = Store;
  s.ZoomX1 = 0;
  s.ZoomX2 = s.ImaWidth;
  s.ZoomY1 = 0;
  s.ZoomY2 = s.ImaHeight;
  s.ZoomWidth = s.ImaWidth;
  s.ZoomHeight = s.ImaHeight;
  RefreshDisplay();
}

void BrowserLogic::SpeedButton5Click() {
  if (!Store.ImageLoaded) return;
  ImageStore& s = Store;
  s.ZoomX1 = s.PrevZoomX1;
  s.ZoomX2 = s.PrevZoomX2;
  s.ZoomY1 = s.PrevZoomY1;
  s.ZoomY2 = s.PrevZoomY2;
  s.ZoomWidth = s.ZoomX2 - s.ZoomX1;
  s.ZoomHeight = s.ZoomY2 - s.ZoomY1;
  RefreshDisplay();
}

}  // namespace kivrel
