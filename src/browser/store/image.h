// The image the browser shows: its samples and their unfiltered copy, its size, layers and
// scaling, the range its header proposes, and the statistics of its physical values.
//
// Statistics and thresholds are physical values (BScale x sample + BZero); planes hold raw
// samples. `height` and `width` are the plane's size (at most 4000 x 4000 for FITS and PIC);
// 0 means no image.
#pragma once

#include <cstdint>

#include "browser/store/blank_mask.h"
#include "browser/store/sample_plane.h"

namespace kivrel {

struct Statistics {
  double DataMin = 0;
  double DataMax = 0;
  long double DataMean = 0;
  long double DataSigma = 0;
};

struct Image {
  int32_t height = 0;
  int32_t width = 0;
  int32_t SampleType = 0;
  int32_t LayerCount = 1;
  int32_t CurrentLayer = 1;  // 1-based: the layer that was read
  long double BZero = 0;
  long double BScale = 1;
  double HeaderMin = 0;  // thresholds the file proposes; 0 and 0 when it proposes none
  double HeaderMax = 0;
  Statistics stats;             // of the working plane (after a filter, of the filtered one)
  Statistics unfiltered_stats;  // as they stood at the end of the load
  SamplePlane plane;            // what is shown; filters write it
  SamplePlane unfiltered;       // the plane as loaded; filters read it
  BlankMask blanks;
};

// Calls f(plane, unfiltered) with both planes in their element type; false (no call) when the
// image has no plane.
template <typename F>
bool VisitPlanes(Image& image, F&& f) {
  return image.plane.Visit([&](auto& plane) {
    using P = std::decay_t<decltype(plane)>;
    P* unfiltered = image.unfiltered.template Get<typename P::Element>();
    if (unfiltered == nullptr) {
      image.unfiltered.template Emplace<typename P::Element>(1, 1);
      unfiltered = image.unfiltered.template Get<typename P::Element>();
    }
    f(plane, *unfiltered);
  });
}

}  // namespace kivrel
