// How the image is shown: the display thresholds and the bar scale, the zoom window and the one
// before it, the flips, and the rubber band being dragged over the preview.
#pragma once

#include <cstdint>

#include "browser/store/zoom_window.h"

namespace kivrel {

// The rectangle dragged over the preview, in preview pixels: anchored at (DragX1, DragY1) by the
// last left press, its other corner where the pointer was last dragged.
struct RubberBand {
  int32_t DragX1 = 0;
  int32_t DragY1 = 0;
  int32_t DragX2 = 0;
  int32_t DragY2 = 0;
  bool Dragging = false;  // a rectangle is drawn
};

struct View {
  double DisplayMin = 0;   // the physical value shown as level 0
  double DisplayMax = 0;   // the physical value shown as level 255
  double ScrollRange = 0;  // the thresholds the bars reach: -ScrollRange .. 2 x ScrollRange
  double ScrollStep = 0;   // the threshold step of one bar position
  ZoomWindow zoom;
  ZoomWindow previous_zoom;  // the window before the last rubber-band zoom
  bool FlipX = false;        // mirrored left-right
  bool FlipY = false;        // mirrored top-bottom
  RubberBand band;
};

}  // namespace kivrel
