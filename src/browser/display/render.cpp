// The redraw: the zoom window of the current plane through the thresholds, the transfer table,
// the colour table and the flips into the 8-bit preview bitmap, with the status line and the
// colour bar. Also the flip buttons.
#include "browser/base/text.h"
#include "browser/dialog/browser_logic.h"
#include "browser/display/render_kernel.h"
#include "skylib/skylib.h"

namespace kivrel {

void BrowserLogic::RefreshDisplay() {
  Dragging = false;
  ComputeFitsPosition();
  WriteFileLine();
  if (Store.FieldWidth != 0) {
    Label2.Caption += std::string(" ") + Store.ProjCode + " ar:" + ArToStr(Store.FitsAR) +
                      " de:" + DeToStr(Store.FitsDE) + " l:" + DeToStr(Store.FieldWidth);
  }
  RenderPreview();
  if (Store.ZoomHeight > 0) Image1.Width = PreviewWidthFor(Store.ZoomWidth, Store.ZoomHeight);
  BuildColourBar();
}

void BrowserLogic::WriteFileLine() {
  Label2.Caption = ExtractFileName(Store.ImaFileName) + "  " + std::to_string(Store.ZoomWidth) +
                   "x" + std::to_string(Store.ZoomHeight) + "  " +
                   std::to_string(Store.SampleType) + " bits";
}

void BrowserLogic::RenderPreview() {
  const ImageStore& s = Store;
  ImaBitmap.Reset(std::max(s.ZoomWidth, 0), std::max(s.ZoomHeight, 0), 8);
  const Palette256 palette = LoadLutPalette();
  ImaBitmap.palette.assign(palette.begin(), palette.end());
  const DisplayScale scale(s.BScale, s.BZero, DisplayMin, DisplayMax);
  RenderWindow window;
  window.x1 = s.ZoomX1;
  window.y1 = s.ZoomY1;
  window.width = std::max(s.ZoomWidth, 0);
  window.height = std::max(s.ZoomHeight, 0);
  window.flip_x = s.FlipX;
  window.flip_y = s.FlipY;
  const bool known = VisitPlanes(Store, s.SampleType, [&](const auto& plane, const auto&) {
    RenderPlane(plane, window, scale, IttTable, ImaBitmap);
  });
  if (!known) ImaBitmap.FillZero();
}

void BrowserLogic::SpeedButton3Click() {
  Store.FlipX = !Store.FlipX;
  SpeedButton3.Down = Store.FlipX;
  if (Store.ImageLoaded) RefreshDisplay();
}

void BrowserLogic::SpeedButton2Click() {
  Store.FlipY = !Store.FlipY;
  SpeedButton2.Down = Store.FlipY;
  if (Store.ImageLoaded) RefreshDisplay();
}

void BrowserLogic::SpeedButton6Click() {
  ImageStore& s = Store;
  s.FlipX = false;
  s.FlipY = false;
  SpeedButton3.Down = false;
  SpeedButton2.Down = false;
  if (!s.ImageLoaded) return;
  if (s.ProjCode != '-') {
    // East to the left and north up, as the header reader first showed it.
    s.FlipX = s.HasCdelt && s.Cdelt1 > 0;
    s.FlipY = s.HasCdelt && s.Cdelt2 < 0;
  }
  SpeedButton3.Down = s.FlipX;
  SpeedButton2.Down = s.FlipY;
  RefreshDisplay();
}

}  // namespace kivrel
