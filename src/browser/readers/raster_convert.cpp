#include "browser/readers/raster_convert.h"

#include <array>
#include <bit>

namespace kivrel {
namespace {

constexpr std::array<uint32_t, 4> kMasks555 = {0x7C00, 0x03E0, 0x001F, 0};
constexpr std::array<uint32_t, 4> kMasksBgrx = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};

bool NoMasks(const Picture& p) {
  return p.masks[0] == 0 && p.masks[1] == 0 && p.masks[2] == 0;
}

// One masked channel widened to 8 bits.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint64_t max = (uint64_t{1} << std::bit_width(mask >> shift)) - 1;
  const uint64_t v = (pixel & mask) >> shift;
  return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

Rgb Masked(uint32_t pixel, const std::array<uint32_t, 4>& m) {
  return Rgb{Channel(pixel, m[0]), Channel(pixel, m[1]), Channel(pixel, m[2])};
}

Rgb PaletteColour(const Picture& p, unsigned index) {
  return index < p.palette.size() ? p.palette[index] : Rgb{};
}

}  // namespace

int BitDepth(const Picture& picture) {
  switch (picture.bits_per_pixel()) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
      return picture.bits_per_pixel();
    case 16:
      return NoMasks(picture) || picture.masks == kMasks555 ? 15 : 16;
    default:
      return 0;
  }
}

Rgb PixelColour(const Picture& picture, int32_t x, int32_t y) {
  const uint8_t* row = picture.Row(y);
  switch (picture.bits_per_pixel()) {
    case 1:
      return PaletteColour(picture, (row[x / 8] >> (7 - x % 8)) & 1u);
    case 4:
      return PaletteColour(picture, (row[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0Fu);
    case 8:
      return PaletteColour(picture, row[x]);
    case 16: {
      const uint8_t* p = row + 2 * static_cast<std::size_t>(x);
      const uint32_t v = p[0] | (p[1] << 8);
      return Masked(v, NoMasks(picture) ? kMasks555 : picture.masks);
    }
    case 24: {
      const uint8_t* p = row + 3 * static_cast<std::size_t>(x);
      return Rgb{p[2], p[1], p[0]};
    }
    case 32: {
      const uint8_t* p = row + 4 * static_cast<std::size_t>(x);
      const uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
      return Masked(v, NoMasks(picture) ? kMasksBgrx : picture.masks);
    }
    default:
      return Rgb{};
  }
}

void ConvertTo24(const Picture& in, Picture& out) {
  out.Reset(in.width(), in.height(), 24);
  out.palette.clear();
  out.masks = {};
  for (int32_t y = 0; y < in.height(); ++y) {
    uint8_t* o = out.Row(y);
    if (in.bits_per_pixel() == 24) {
      std::memcpy(o, in.Row(y), 3 * static_cast<std::size_t>(in.width()));
      continue;
    }
    for (int32_t x = 0; x < in.width(); ++x, o += 3) {
      const Rgb c = PixelColour(in, x, y);
      o[0] = c.b;
      o[1] = c.g;
      o[2] = c.r;
    }
  }
}

}  // namespace kivrel
