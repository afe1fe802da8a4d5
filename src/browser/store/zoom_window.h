// A window of an image's plane: the part the preview shows.
#pragma once

#include <cstdint>

namespace kivrel {

// A window of the plane, in samples; the end values are exclusive.
struct ZoomWindow {
  int32_t ZoomX1 = 0;  // first column shown
  int32_t ZoomX2 = 0;  // column end
  int32_t ZoomY1 = 0;  // first row shown
  int32_t ZoomY2 = 0;  // row end
  int32_t ZoomWidth() const { return ZoomX2 - ZoomX1; }
  int32_t ZoomHeight() const { return ZoomY2 - ZoomY1; }
  static ZoomWindow Whole(int32_t width, int32_t height) { return {0, width, 0, height}; }
};

}  // namespace kivrel
