// Pixel-format helpers for decoded raster pictures (see bmp_reader.h for the formats).
#pragma once

#include <cstdint>

#include "browser/base/picture.h"

namespace kivrel {

// The bit depth shown for a decoded picture: 1, 4, 8, 24, 32; 15 for 16-bit pixels laid out
// 5-5-5 (no masks, or the masks 7C00/03E0/001F), 16 for any other 16-bit layout; 0 for
// anything else.
int BitDepth(const Picture& picture);

// The colour of one pixel: palette entry, masked channels widened to 8 bits (a channel of
// n bits scales v to round(v x 255 / (2^n - 1))), or the bytes of a 24-bit pixel. 16-bit
// pictures without masks are 5-5-5; 32-bit ones without masks are blue, green, red, unused.
Rgb PixelColour(const Picture& picture, int32_t x, int32_t y);

// The picture as 24 bits per pixel (blue, green, red bytes), same size; `out` may not be `in`.
void ConvertTo24(const Picture& in, Picture& out);

}  // namespace kivrel
