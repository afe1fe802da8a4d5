// A whole plane rendered to fit an N x N square: the picture of a thumbnail or of a
// `--size N` render, with every display setting of the preview (thresholds and scaling
// through DisplayScale, the 256-byte transfer table, the two flips).
//
// Size rule (FitSize): the aspect ratio is kept. A plane larger than N on either side shrinks
// until its longer side is N (the shorter side rounded, at least 1). A plane whose longer side
// is at most N / 2 grows by the largest whole factor that keeps it within N, so that a tiny
// image still makes a thumbnail one can see; anything between stays at its own size.
//
// Shrinking averages boxes: output column x covers plane columns floor(x W / w) up to
// floor((x + 1) W / w) (end excluded), rows likewise, so the boxes tile the plane without
// overlap. A box's level is that of the mean physical value of its samples (BScale x mean
// sample + BZero, in extended precision), leaving out the samples the BlankMask marks and NaN
// samples; a box with no sample left gets level 0. Growing repeats each sample's level over a
// factor x factor block (nearest neighbour). At the plane's own size every box is one sample,
// and the picture equals the preview renderer's picture of the whole plane (blanks aside: the
// preview shows a blank at the level of its stored 0).
//
// The output is an 8-bit Picture of the fitted size whose pixels are itt[level]; its palette is
// left as it was, for the caller to set.
#pragma once

#include <array>
#include <cstdint>

#include "browser/base/picture.h"
#include "browser/display/render_kernel.h"
#include "browser/store/blank_mask.h"
#include "browser/store/plane.h"

namespace kivrel {

// The largest side a fitted picture may have; larger requests are taken as this.
inline constexpr int32_t kMaxFittedSide = 8192;

struct FittedSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const FittedSize&, const FittedSize&) = default;
};

// The picture size for a width x height plane fitted to size x size (size clamped to
// 1..kMaxFittedSide). A plane with a side below 1 gives 0 x 0.
FittedSize FitSize(int32_t width, int32_t height, int32_t size);

// Renders `plane` fitted to size x size into `out` (resized to FitSize of the plane). A mask
// of another size than the plane is read only where it overlaps the plane. An empty plane
// gives a 1 x 1 picture at level 0.
template <typename T>
void RenderFitted(const Plane<T>& plane, const BlankMask& blanks, const DisplayScale& scale,
                  const std::array<uint8_t, 256>& itt, bool flip_x, bool flip_y, int32_t size,
                  Picture& out);

// A picture in its own colours (8 bits with a palette, or 24 bits) fitted to size x size by the
// same size rule: a 24-bit picture whose every box is the mean colour of its pixels (each
// channel averaged and rounded), or whose pixels are repeated when it grows. An 8-bit picture's
// indices are taken through its palette first (a missing entry is black). Any other depth, or
// an empty picture, gives a 1 x 1 black picture.
Picture FitOwnColours(const Picture& picture, int32_t size);

}  // namespace kivrel
