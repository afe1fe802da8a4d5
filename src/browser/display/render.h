// The preview picture: the zoom window of the image's plane through the display thresholds,
// the transfer table and the flips, at one pixel per sample, 8 bits per pixel with the colour
// table's palette. The window stretches it to the preview's size.
#pragma once

#include "browser/base/picture.h"
#include "browser/display/view.h"
#include "browser/store/image.h"

namespace kivrel {

// Renders into `out` (resized to the window). Without a plane the picture is black.
void RenderPreview(const Image& image, const View& view, const TransferTable& itt,
                   const Palette256& palette, Picture& out);

}  // namespace kivrel
