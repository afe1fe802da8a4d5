// A device-independent picture: the preview bitmap (8 bits per pixel with a 256-entry
// palette in plane mode) or a decoded raster picture in its own pixel format.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "browser/base/large_buffer.h"

namespace kivrel {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour of each palette index.
using Palette256 = std::array<Rgb, 256>;

// The palette index of each display level (the intensity transfer table).
using TransferTable = std::array<uint8_t, 256>;

class Picture {
 public:
  Picture() { Reset(1, 1, 8); }

  // Sizes the picture; pixels are unspecified afterwards. Rows are top to bottom, `stride`
  // bytes apart (the row's bytes rounded up to 4 for formats below 8 bits per pixel and above).
  // Throws std::bad_alloc when the block is refused; the picture then keeps its old size and
  // pixels.
  void Reset(int32_t width, int32_t height, int bits_per_pixel) {
    const std::size_t row_bits = static_cast<std::size_t>(width) * bits_per_pixel;
    const std::size_t stride =
        bits_per_pixel == 8 ? static_cast<std::size_t>(width) : (row_bits + 31) / 32 * 4;
    pixels_.Reserve(std::max<std::size_t>(1, stride * static_cast<std::size_t>(height)));
    width_ = width;
    height_ = height;
    bits_per_pixel_ = bits_per_pixel;
    stride_ = stride;
  }
  void FillZero() { std::memset(pixels_.data(), 0, stride_ * static_cast<std::size_t>(height_)); }

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int bits_per_pixel() const { return bits_per_pixel_; }
  std::size_t stride() const { return stride_; }
  uint8_t* Row(int32_t y) { return static_cast<uint8_t*>(pixels_.data()) + stride_ * y; }
  const uint8_t* Row(int32_t y) const {
    return static_cast<const uint8_t*>(pixels_.data()) + stride_ * y;
  }

  // Colours of the palette entries (used for 1, 4 and 8 bits per pixel).
  std::vector<Rgb> palette;
  // Channel masks of 16- and 32-bit pictures (0 when the picture has none).
  std::array<uint32_t, 4> masks{};

  void CopyFrom(const Picture& other) {
    Reset(other.width_, other.height_, other.bits_per_pixel_);
    std::memcpy(pixels_.data(), other.pixels_.data(), stride_ * static_cast<std::size_t>(height_));
    palette = other.palette;
    masks = other.masks;
  }

 private:
  LargeBuffer pixels_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int bits_per_pixel_ = 8;
  std::size_t stride_ = 0;
};

}  // namespace kivrel
