// The preview: the redraw with its status line and colour bar, the flips, the zoom by
// rectangle, "Zoom 1:1", "Zoom prec.", and the readout under the pointer.
#include <utility>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_controller.h"
#include "browser/display/fitted_render.h"
#include "browser/display/render.h"
#include "browser/display/render_kernel.h"
#include "browser/display/zoom.h"
#include "skylib/skylib.h"

namespace kivrel {

void BrowserController::RefreshDisplay() {
  view.band.Dragging = false;
  LocateOnSky();
  WriteFileLine();
  texts.status_line.caption += SkyText(sky);
  if (draw_preview_) RenderPreview();
  const ZoomWindow& z = view.zoom;
  if (z.ZoomHeight() > 0)
    view_controls.preview.width = PreviewWidthFor(z.ZoomWidth(), z.ZoomHeight());
  BuildColourBar();
}

// The centre of the shown window on the sky, by the shown image's world coordinates. What is
// not found keeps its last value, but the width (no sky text).
void BrowserController::LocateOnSky() {
  sky.FieldWidth = 0;
  if (celestial_ == nullptr || !celestial_->HasCelestialAxes()) return;
  sky.ProjCode = celestial_->Projection();
  const ImageOrigin& o = load.origin;
  const SkyPlane plane{o.full_width, o.full_height, image.height, o.other_axes};
  const ZoomWindow& z = view.zoom;
  const SkyWindow window{z.ZoomX1, z.ZoomY1, z.ZoomWidth(), z.ZoomHeight()};
  const CelestialPosition p = celestial_->Locate(plane, window);
  if (!p.found) return;
  sky.FitsAR = p.ra_hours;
  sky.FitsDE = p.dec_degrees;
  sky.FieldWidth = p.field_width;
}

// The size part of the status line: the shown window, and what more the image is.
std::string BrowserController::SizeText() const {
  const ZoomWindow& z = view.zoom;
  std::string text = std::to_string(z.ZoomWidth()) + "x" + std::to_string(z.ZoomHeight());
  const ImageOrigin& o = load.origin;
  if (o.full_width > image.width || o.full_height > image.height) {
    text = std::to_string(o.full_width) + "x" + std::to_string(o.full_height) + ", " + text +
           " " + messages.shown;
  }
  if (o.truncated) text += ", " + messages.truncated;
  if (o.no_real_samples) text += ", " + messages.no_real_samples;
  return text;
}

void BrowserController::WriteFileLine() {
  std::string name = FileNameOf(load.file_name);
  if (!load.origin.hdu_name.empty()) name += "[" + load.origin.hdu_name + "]";
  texts.status_line.caption =
      name + "  " + SizeText() + "  " + std::to_string(image.SampleType) + " bits";
}

void BrowserController::RenderPreview() {
  // The colour table is read again on every redraw: an edit of its file shows at once.
  const Palette256 palette = LoadLutPalette();
  kivrel::RenderPreview(image, view, IttTable, palette, preview_picture);
  ++picture_revision;
}

Picture BrowserController::FittedPicture(int32_t size) const {
  if (load.BitmapShown) return FitOwnColours(preview_picture, size);
  Picture out;
  out.Reset(1, 1, 24);
  out.FillZero();
  if (!load.ImageLoaded) return out;
  const DisplayScale scale(image.BScale, image.BZero, view.DisplayMin, view.DisplayMax);
  image.plane.Visit([&](const auto& plane) {
    RenderFitted(plane, image.blanks, scale, IttTable, view.FlipX, view.FlipY, size, out);
  });
  out.palette = preview_picture.palette;
  return out;
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
    // A band dragged leftwards or upwards covers the same rectangle as one dragged the other way.
    if (band.DragX1 > band.DragX2) std::swap(band.DragX1, band.DragX2);
    if (band.DragY1 > band.DragY2) std::swap(band.DragY1, band.DragY2);
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

std::string BrowserController::SampleText(int32_t row, int32_t col) const {
  std::string text;
  image.plane.Visit([&](const auto& plane) {
    if (!plane.Contains(row, col)) return;
    const long double value =
        static_cast<long double>(plane.At(row, col)) * image.BScale + image.BZero;
    text = "X: " + PadLeft(std::to_string(col), 5) + "   Y: " + PadLeft(std::to_string(row), 5) +
           "   I: " + FormatGeneral(value);
  });
  if (text.empty() || celestial_ == nullptr || !celestial_->HasCelestialAxes()) return text;
  const ImageOrigin& o = load.origin;
  const CelestialPosition p = celestial_->Locate(
      SkyPlane{o.full_width, o.full_height, image.height, o.other_axes}, SkyWindow{col, row, 1, 1});
  if (p.found) text += "   ar:" + ArToStr(p.ra_hours) + " de:" + DeToStr(p.dec_degrees);
  return text;
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
