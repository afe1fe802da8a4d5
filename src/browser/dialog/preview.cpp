// The preview: the redraw with its status line and colour bar, the flips, the zoom by
// rectangle, "Zoom 1:1", "Zoom prec.", and the readout under the pointer.
#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_controller.h"
#include "browser/display/render.h"
#include "browser/display/zoom.h"

namespace kivrel {

void BrowserController::RefreshDisplay() {
  view.band.Dragging = false;
  sky = ComputeFitsPosition(wcs, view.zoom, image.height, sky);
  WriteFileLine();
  texts.status_line.caption += SkyText(sky);
  RenderPreview();
  const ZoomWindow& z = view.zoom;
  if (z.ZoomHeight() > 0)
    view_controls.preview.width = PreviewWidthFor(z.ZoomWidth(), z.ZoomHeight());
  BuildColourBar();
}

void BrowserController::WriteFileLine() {
  texts.status_line.caption =
      FileNameOf(load.file_name) + "  " + std::to_string(view.zoom.ZoomWidth()) + "x" +
      std::to_string(view.zoom.ZoomHeight()) + "  " + std::to_string(image.SampleType) + " bits";
}

void BrowserController::RenderPreview() {
  // The colour table is read again on every redraw: an edit of its file shows at once.
  const Palette256 palette = LoadLutPalette();
  kivrel::RenderPreview(image, view, IttTable, palette, preview_picture);
  ++picture_revision;
}

void BrowserController::ToggleFlipX() {
  view.FlipX = !view.FlipX;
  view_controls.flip_x.pressed = view.FlipX;
  if (load.ImageLoaded) RefreshDisplay();
}

void BrowserController::ToggleFlipY() {
  view.FlipY = !view.FlipY;
  view_controls.flip_y.pressed = view.FlipY;
  if (load.ImageLoaded) RefreshDisplay();
}

void BrowserController::OrientAsOnSky() {
  view.FlipX = false;
  view.FlipY = false;
  view_controls.flip_x.pressed = false;
  view_controls.flip_y.pressed = false;
  if (!load.ImageLoaded) return;
  if (sky.ProjCode != '-') {
    // East to the left and north up, as the header reader first showed it.
    view.FlipX = wcs.HasCdelt && wcs.Cdelt1 > 0;
    view.FlipY = wcs.HasCdelt && wcs.Cdelt2 < 0;
  }
  view_controls.flip_x.pressed = view.FlipX;
  view_controls.flip_y.pressed = view.FlipY;
  RefreshDisplay();
}

void BrowserController::PreviewMouseDown(MouseButton button, ShiftState, int32_t x, int32_t y) {
  if (button != MouseButton::kLeft || !load.ImageLoaded) return;
  RubberBand& band = view.band;
  if (band.Dragging) {
    band.Dragging = false;
    const bool inside =
        band.DragX1 <= x && x <= band.DragX2 && band.DragY1 <= y && y <= band.DragY2;
    if (inside && band.DragX1 != band.DragX2 && band.DragY1 != band.DragY2) {
      const int32_t pw = view_controls.preview.width;
      const int32_t ph = view_controls.preview.height;
      band = MirroredBand(band, pw, ph, view.FlipX, view.FlipY);
      // The new window stays on the image, and a rectangle too thin to hold a sample
      // zooms nothing.
      if (const auto zoom = ZoomFromBand(band, pw, ph, view.zoom, image.width, image.height)) {
        view.previous_zoom = view.zoom;
        view.zoom = *zoom;
        RefreshDisplay();
      }
    }
  }
  band.DragX1 = x;
  band.DragY1 = y;
}

void BrowserController::PreviewMouseMove(ShiftState shift, int32_t x, int32_t y) {
  if (!load.ImageLoaded || load.BitmapShown) return;
  const int32_t pw = view_controls.preview.width;
  const int32_t ph = view_controls.preview.height;
  if (!(0 < x && x < pw && 0 < y && y < ph)) return;
  if (shift.OnlyLeft()) {
    view.band.DragX2 = x;
    view.band.DragY2 = y;
    view.band.Dragging = true;
  }
  const SampleIndex at = SampleUnderPointer(x, y, pw, ph, view, image.width, image.height);
  long double value = 0;
  image.plane.Visit([&](const auto& plane) {
    if (plane.Contains(at.row, at.col))
      value = static_cast<long double>(plane.At(at.row, at.col)) * image.BScale + image.BZero;
  });
  texts.readout.caption = "X: " + PadLeft(std::to_string(at.col), 5);
  texts.readout.caption += "   Y: " + PadLeft(std::to_string(at.row), 5);
  texts.readout.caption += "   I: " + FormatGeneral(value);
}

void BrowserController::ZoomToWholeImage() {
  if (!load.ImageLoaded) return;
  view.zoom = ZoomWindow::Whole(image.width, image.height);
  RefreshDisplay();
}

void BrowserController::RestorePreviousZoom() {
  if (!load.ImageLoaded) return;
  view.zoom = view.previous_zoom;
  RefreshDisplay();
}

}  // namespace kivrel
