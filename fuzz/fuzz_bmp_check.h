// What every decoded bitmap must satisfy, shared by the bitmap fuzz targets.
#pragma once

#include <cstdint>

#include "browser/base/picture.h"
#include "browser/readers/raster_convert.h"

namespace kivrel::fuzz {

inline void CheckPicture(const Picture& picture) {
  const int bpp = picture.bits_per_pixel();
  const bool format = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  if (!format || picture.width() <= 0 || picture.height() <= 0) __builtin_trap();
  const std::size_t colours = bpp <= 8 ? std::size_t{1} << bpp : 0;
  if (picture.palette.size() != colours || BitDepth(picture) == 0) __builtin_trap();
  // Every pixel is readable: the conversion touches them all. Large pictures (only RLE files
  // can be much larger than their bytes) get their corners and diagonal read instead.
  const int64_t pixels = int64_t{picture.width()} * picture.height();
  if (pixels <= (int64_t{1} << 20)) {
    Picture converted;
    ConvertTo24(picture, converted);
    if (converted.width() != picture.width() || converted.height() != picture.height())
      __builtin_trap();
  } else {
    const int32_t w = picture.width();
    const int32_t h = picture.height();
    const int32_t steps = 1024;
    for (int32_t i = 0; i <= steps; ++i)
      (void)PixelColour(picture, int32_t(int64_t{w - 1} * i / steps),
                        int32_t(int64_t{h - 1} * i / steps));
    (void)PixelColour(picture, w - 1, 0);
    (void)PixelColour(picture, 0, h - 1);
  }
}

}  // namespace kivrel::fuzz
