#include "browser/display/render.h"

#include <algorithm>

#include "browser/display/render_kernel.h"

namespace kivrel {

void RenderPreview(const Image& image, const View& view, const TransferTable& itt,
                   const Palette256& palette, Picture& out) {
  const ZoomWindow& zoom = view.zoom;
  out.Reset(std::max(zoom.ZoomWidth(), 0), std::max(zoom.ZoomHeight(), 0), 8);
  out.palette.assign(palette.begin(), palette.end());
  const DisplayScale scale(image.BScale, image.BZero, view.DisplayMin, view.DisplayMax);
  RenderWindow window;
  window.x1 = zoom.ZoomX1;
  window.y1 = zoom.ZoomY1;
  window.width = std::max(zoom.ZoomWidth(), 0);
  window.height = std::max(zoom.ZoomHeight(), 0);
  window.flip_x = view.FlipX;
  window.flip_y = view.FlipY;
  const bool drawn =
      image.plane.Visit([&](const auto& plane) { RenderPlane(plane, window, scale, itt, out); });
  if (!drawn) out.FillZero();
}

}  // namespace kivrel
