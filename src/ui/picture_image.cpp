#include "ui/picture_image.h"

#include <array>
#include <bit>
#include <cstring>
#include <new>

namespace kivrel::ui {
namespace {

// A QImage whose memory was refused is null: nothing may be written into it. `reuse` serves
// when it fits and is not shared (writing into a shared one would copy it first).
QImage Allocated(int width, int height, QImage::Format format, QImage&& reuse) {
  if (reuse.width() == width && reuse.height() == height && reuse.format() == format &&
      reuse.isDetached())
    return std::move(reuse);
  reuse = QImage();  // its memory goes before the new block is asked for
  QImage image(width, height, format);
  if (image.isNull()) throw std::bad_alloc();
  return image;
}

QList<QRgb> ColourTable(const Picture& p, int entries) {
  QList<QRgb> table(entries, qRgb(0, 0, 0));
  for (int i = 0; i < entries && i < static_cast<int>(p.palette.size()); ++i) {
    const Rgb& c = p.palette[static_cast<std::size_t>(i)];
    table[i] = qRgb(c.r, c.g, c.b);
  }
  return table;
}

// A masked channel widened to 8 bits: v x 255 / (2^n - 1), rounded.
int Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask >> shift);
  const uint64_t top = (uint64_t{1} << bits) - 1;
  const uint64_t v = (pixel & mask) >> shift;
  return static_cast<int>((v * 255 + top / 2) / top);
}

QImage Unpacked(const Picture& p, QImage&& reuse) {
  const int bpp = p.bits_per_pixel();
  QImage image = Allocated(p.width(), p.height(), QImage::Format_Indexed8, std::move(reuse));
  image.setColorTable(ColourTable(p, 1 << bpp));
  for (int32_t y = 0; y < p.height(); ++y) {
    const uint8_t* in = p.Row(y);
    uchar* out = image.scanLine(y);
    for (int32_t x = 0; x < p.width(); ++x) {
      const int bit = x * bpp;
      out[x] = static_cast<uchar>((in[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1));
    }
  }
  return image;
}

QImage TrueColour(const Picture& p, QImage&& reuse) {
  const int bpp = p.bits_per_pixel();
  std::array<uint32_t, 3> masks = {p.masks[0], p.masks[1], p.masks[2]};
  if ((masks[0] | masks[1] | masks[2]) == 0) {
    masks = bpp == 16 ? std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                      : std::array<uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
  }
  QImage image = Allocated(p.width(), p.height(), QImage::Format_RGB32, std::move(reuse));
  for (int32_t y = 0; y < p.height(); ++y) {
    const uint8_t* in = p.Row(y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < p.width(); ++x) {
      if (bpp == 24) {
        const uint8_t* px = in + 3 * x;
        out[x] = qRgb(px[2], px[1], px[0]);
        continue;
      }
      uint32_t pixel = 0;
      if (bpp == 16) {
        pixel = in[2 * x] | (uint32_t{in[2 * x + 1]} << 8);
      } else {
        std::memcpy(&pixel, in + 4 * x, 4);  // little-endian file order
      }
      out[x] = qRgb(Channel(pixel, masks[0]), Channel(pixel, masks[1]), Channel(pixel, masks[2]));
    }
  }
  return image;
}

}  // namespace

QImage ToQImage(const Picture& p, QImage reuse) {
  if (p.width() <= 0 || p.height() <= 0) return QImage();
  switch (p.bits_per_pixel()) {
    case 8: {
      QImage image = Allocated(p.width(), p.height(), QImage::Format_Indexed8, std::move(reuse));
      image.setColorTable(ColourTable(p, 256));
      for (int32_t y = 0; y < p.height(); ++y)
        std::memcpy(image.scanLine(y), p.Row(y), static_cast<std::size_t>(p.width()));
      return image;
    }
    case 1:
    case 4:
      return Unpacked(p, std::move(reuse));
    case 16:
    case 24:
    case 32:
      return TrueColour(p, std::move(reuse));
    default: {
      QImage image = Allocated(p.width(), p.height(), QImage::Format_RGB32, std::move(reuse));
      image.fill(Qt::black);
      return image;
    }
  }
}

}  // namespace kivrel::ui
