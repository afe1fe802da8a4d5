// The per-sample display formula and the plane renderers behind RenderPreview.
//
// Level of a physical value v = BScale x sample + BZero (long double):
//   t = (v - DisplayMin) x k rounded to a double, k = 255 / (DisplayMax - DisplayMin) as a
//   double; t clamped to 0..255 and truncated. NaN gives 0. Equal thresholds make a step:
//   values at or above the threshold give 255, the others 0.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "browser/base/numbers.h"
#include "browser/base/picture.h"
#include "browser/store/plane.h"

namespace kivrel {

struct DisplayScale {
  long double bscale = 1;
  long double bzero = 0;
  double display_min = 0;
  double display_max = 0;
  double k = 0;       // 255 / (display_max - display_min)
  bool step = false;  // equal thresholds

  DisplayScale(long double bscale_in, long double bzero_in, double min, double max)
      : bscale(bscale_in), bzero(bzero_in), display_min(min), display_max(max) {
    step = max == min;
    if (!step) k = static_cast<double>(255 / (static_cast<long double>(max) - min));
  }

  int LevelOfValue(long double v) const {
    if (step) return v >= display_min ? 255 : 0;
    const double t = static_cast<double>((v - display_min) * k);
    if (!(t > 0)) return 0;
    if (t >= 255) return 255;
    return static_cast<int>(t);
  }

  template <typename T>
  int LevelOfSample(T sample) const {
    return LevelOfValue(bscale * static_cast<long double>(sample) + bzero);
  }
};

// The part of a plane that is rendered, in plane coordinates (end exclusive), and the flips.
struct RenderWindow {
  int32_t x1 = 0;
  int32_t y1 = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool flip_x = false;
  bool flip_y = false;
};

// Renders `window` of `plane` into `out` (already sized width x height, 8 bits per pixel):
// pixel = itt[level]. Window cells outside the plane's real size get palette index 0.
template <typename T>
void RenderPlane(const Plane<T>& plane, const RenderWindow& window, const DisplayScale& scale,
                 const std::array<uint8_t, 256>& itt, Picture& out);

}  // namespace kivrel
