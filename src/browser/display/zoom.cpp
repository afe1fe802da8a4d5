#include "browser/display/zoom.h"

#include <algorithm>
#include <utility>

#include "browser/base/numbers.h"

namespace kivrel {
namespace {

int32_t ScaleToSamples(int32_t preview, int32_t preview_size, int32_t samples, int32_t origin) {
  const long double v =
      static_cast<long double>(preview) / preview_size * samples + static_cast<long double>(origin);
  return static_cast<int32_t>(RoundHalfEven(v));
}

}  // namespace

int32_t PreviewWidthFor(int32_t w, int32_t h) {
  if (h <= 0) return 0;
  return static_cast<int32_t>(
      RoundHalfEven(static_cast<long double>(w) / static_cast<long double>(h) * kPreviewHeight));
}

RubberBand MirroredBand(RubberBand band, int32_t preview_width, int32_t preview_height, bool flip_x,
                        bool flip_y) {
  if (flip_x) {
    band.DragX2 = preview_width - band.DragX2;
    band.DragX1 = preview_width - band.DragX1;
  }
  if (flip_y) {
    band.DragY2 = preview_height - band.DragY2;
    band.DragY1 = preview_height - band.DragY1;
  }
  if (flip_x || flip_y) {
    if (band.DragX1 > band.DragX2) std::swap(band.DragX1, band.DragX2);
    if (band.DragY1 > band.DragY2) std::swap(band.DragY1, band.DragY2);
  }
  return band;
}

std::optional<ZoomWindow> ZoomFromBand(const RubberBand& band, int32_t pw, int32_t ph,
                                       const ZoomWindow& z, int32_t image_width,
                                       int32_t image_height) {
  const int32_t x1 =
      std::clamp(ScaleToSamples(band.DragX1, ph, z.ZoomHeight(), z.ZoomX1), 0, image_width);
  const int32_t x2 =
      std::clamp(ScaleToSamples(band.DragX2, ph, z.ZoomHeight(), z.ZoomX1), 0, image_width);
  const int32_t y1 =
      std::clamp(ScaleToSamples(band.DragY1, pw, z.ZoomWidth(), z.ZoomY1), 0, image_height);
  const int32_t y2 =
      std::clamp(ScaleToSamples(band.DragY2, pw, z.ZoomWidth(), z.ZoomY1), 0, image_height);
  if (x2 <= x1 || y2 <= y1) return std::nullopt;
  return ZoomWindow{x1, x2, y1, y2};
}

SampleIndex SampleUnderPointer(int32_t x, int32_t y, int32_t pw, int32_t ph, const View& view,
                               int32_t image_width, int32_t image_height) {
  if (view.FlipX) x = pw - x;
  if (view.FlipY) y = ph - y;
  const ZoomWindow& z = view.zoom;
  const long double row_f = static_cast<long double>(y) / pw * z.ZoomWidth() + z.ZoomY1;
  const long double col_f = static_cast<long double>(x) / ph * z.ZoomHeight() + z.ZoomX1;
  SampleIndex at;
  at.row = static_cast<int32_t>(
      RoundHalfEven(std::max<long double>(0, std::min<long double>(image_height - 1, row_f))));
  at.col = static_cast<int32_t>(
      RoundHalfEven(std::max<long double>(0, std::min<long double>(image_width - 1, col_f))));
  return at;
}

}  // namespace kivrel
