// The preview and the plane: the preview's width for a window, the zoom window a rubber band
// selects, and the sample under the pointer.
//
// Preview pixels and samples: columns scale by ZoomHeight / preview height, rows by
// ZoomWidth / preview width (the preview keeps the window's proportions, its height is 240).
#pragma once

#include <cstdint>
#include <optional>

#include "browser/display/view.h"

namespace kivrel {

inline constexpr int32_t kPreviewHeight = 240;

// The preview's width for a window of w x h shown at the preview's height.
int32_t PreviewWidthFor(int32_t w, int32_t h);

// The band's corners mirrored by the flips (the preview shows the plane mirrored) and put in
// order, top-left first, when either flip is on.
RubberBand MirroredBand(RubberBand band, int32_t preview_width, int32_t preview_height, bool flip_x,
                        bool flip_y);

// The window that the band's rectangle covers, kept on the image (image_width x image_height);
// none when it is too thin to hold a sample.
std::optional<ZoomWindow> ZoomFromBand(const RubberBand& band, int32_t preview_width,
                                       int32_t preview_height, const ZoomWindow& current,
                                       int32_t image_width, int32_t image_height);

// The sample under preview pixel (x, y), held on the image.
struct SampleIndex {
  int32_t row = 0;
  int32_t col = 0;
};
SampleIndex SampleUnderPointer(int32_t x, int32_t y, int32_t preview_width, int32_t preview_height,
                               const View& view, int32_t image_width, int32_t image_height);

}  // namespace kivrel
