// Helpers of the raster tests: a bitmap-file builder that spells out every header field, raw
// pixel access to a decoded Picture, GraphicsMagick as the independent decoder, corpus paths and
// a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/base/picture.h"

#if KIVREL_TEST_GM
#include <magick/api.h>
#endif

namespace kivrel::raster_test {

// ---- Building bitmap files ------------------------------------------------------------------

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Pixel rows as they lie in a file: `value(x, y)` of picture row y (0 = top), packed at `bpp`
// bits (most significant bits first below 8), little-endian above, each row padded to 4 bytes,
// bottom row first unless `top_down`. `drop_last_padding` leaves the padding off the last row.
inline std::vector<uint8_t> PackRows(int32_t width, int32_t height, int bpp,
                                     const std::function<uint32_t(int32_t, int32_t)>& value,
                                     bool top_down = false, bool drop_last_padding = false) {
  const std::size_t row_bytes = (static_cast<std::size_t>(width) * bpp + 7) / 8;
  const std::size_t stride = (row_bytes + 3) / 4 * 4;
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < height; ++i) {
    const int32_t y = top_down ? i : height - 1 - i;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t v = value(x, y);
      if (bpp < 8) {
        const int per_byte = 8 / bpp;
        const int shift = 8 - bpp * (x % per_byte + 1);
        row[static_cast<std::size_t>(x / per_byte)] |= static_cast<uint8_t>(v << shift);
      } else {
        for (int k = 0; k < bpp / 8; ++k)
          row[static_cast<std::size_t>(x) * (bpp / 8) + k] = static_cast<uint8_t>(v >> (8 * k));
      }
    }
    if (drop_last_padding && i == height - 1) row.resize(row_bytes);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;  // negative: top row first
  uint16_t bpp = 8;
  uint32_t compression = 0;
  uint32_t header_size = 40;    // 12, 40, 52, 56, 108, 124 (or anything, to test rejection)
  std::vector<uint32_t> masks;  // after a 40-byte header, or inside a larger one
  std::vector<Rgb> palette;
  uint32_t colours_used = 0;
  std::vector<uint8_t> pixels;           // exactly as in the file
  std::optional<uint32_t> pixel_offset;  // the file header's offset (default: computed)
};

// The info header, masks and palette of a packed bitmap (what follows the file header).
inline std::vector<uint8_t> InfoBytes(const BmpLayout& s) {
  std::vector<uint8_t> b;
  Put32(b, s.header_size);
  if (s.header_size == 12) {
    Put16(b, static_cast<uint32_t>(s.width));
    Put16(b, static_cast<uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, s.bpp);
  } else {
    Put32(b, static_cast<uint32_t>(s.width));
    Put32(b, static_cast<uint32_t>(s.height));
    Put16(b, 1);
    Put16(b, s.bpp);
    Put32(b, s.compression);
    Put32(b, static_cast<uint32_t>(s.pixels.size()));
    Put32(b, 2835);
    Put32(b, 2835);
    Put32(b, s.colours_used);
    Put32(b, 0);
    for (uint32_t m : s.masks)
      Put32(b, m);
    // Sizes beyond the largest known header are only written as numbers.
    const std::size_t body = std::min<uint32_t>(s.header_size, 124);
    b.resize(std::max<std::size_t>(body, 40 + 4 * s.masks.size()));
  }
  for (const Rgb& c : s.palette) {
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    if (s.header_size != 12) b.push_back(0);
  }
  return b;
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& s) {
  const std::vector<uint8_t> info = InfoBytes(s);
  std::vector<uint8_t> out = {'B', 'M'};
  const auto offset = static_cast<uint32_t>(14 + info.size());
  Put32(out, static_cast<uint32_t>(offset + s.pixels.size()));
  Put32(out, 0);
  Put32(out, s.pixel_offset.value_or(offset));
  out.insert(out.end(), info.begin(), info.end());
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  return out;
}

inline std::vector<uint8_t> PackedDib(const BmpLayout& s) {
  std::vector<uint8_t> out = InfoBytes(s);
  out.insert(out.end(), s.pixels.begin(), s.pixels.end());
  return out;
}

inline std::vector<Rgb> GreyRamp(std::size_t n) {
  std::vector<Rgb> p(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(n > 1 ? i * 255 / (n - 1) : 0);
    p[i] = Rgb{v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(i * 37)};
  }
  return p;
}

// ---- Reading a decoded picture -------------------------------------------------------------

// The raw value of pixel (x, y): palette index, or the pixel's bytes as a little-endian number.
inline uint32_t RawPixel(const Picture& p, int32_t x, int32_t y) {
  const uint8_t* row = p.Row(y);
  const int bpp = p.bits_per_pixel();
  if (bpp < 8) {
    const int per_byte = 8 / bpp;
    const int shift = 8 - bpp * (x % per_byte + 1);
    return (row[x / per_byte] >> shift) & ((1u << bpp) - 1);
  }
  uint32_t v = 0;
  for (int k = bpp / 8 - 1; k >= 0; --k)
    v = (v << 8) | row[static_cast<std::size_t>(x) * (bpp / 8) + k];
  return v;
}

// ---- Files -----------------------------------------------------------------------------------

inline std::string CorpusRaster(const std::string& name) {
  return std::string(KIVREL_CORPUS_DIR) + "/raster/" + name;
}

inline bool CorpusPresent() {
  return std::filesystem::is_directory(std::string(KIVREL_CORPUS_DIR) + "/raster");
}

#define KIVREL_NEED_CORPUS() \
  if (!::kivrel::raster_test::CorpusPresent()) GTEST_SKIP() << "corpus absent"

class ScratchDir {
 public:
  ScratchDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "kivrel-raster-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = templ;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string p = File(name);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }

 private:
  std::filesystem::path path_;
};

// ---- GraphicsMagick, the independent decoder --------------------------------------------------

struct RgbImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Rgb> pixels;  // row 0 at the top
  std::vector<uint8_t> alpha;
  Rgb At(int32_t x, int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x];
  }
};

inline bool GmAvailable() {
  return KIVREL_TEST_GM != 0;
}

#define KIVREL_NEED_GM() \
  if (!::kivrel::raster_test::GmAvailable()) GTEST_SKIP() << "GraphicsMagick absent"

// The picture in a file as GraphicsMagick decodes it (nullopt when it cannot).
inline std::optional<RgbImage> GmRead(const std::string& path) {
#if KIVREL_TEST_GM
  static const bool initialised = [] {
    ExceptionInfo e;
    GetExceptionInfo(&e);
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &e);
    DestroyExceptionInfo(&e);
    return true;
  }();
  (void)initialised;
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  ImageInfo* info = CloneImageInfo(nullptr);
  std::snprintf(info->filename, sizeof info->filename, "%s", path.c_str());
  // GraphicsMagick's own image type, not the engine's.
  ::Image* image = ReadImage(info, &exception);
  std::optional<RgbImage> out;
  if (image != nullptr) {
    RgbImage r;
    r.width = static_cast<int32_t>(image->columns);
    r.height = static_cast<int32_t>(image->rows);
    std::vector<uint8_t> rgba(static_cast<std::size_t>(r.width) * r.height * 4);
    TransformColorspace(image, RGBColorspace);
    if (DispatchImage(image, 0, 0, image->columns, image->rows, "RGBA", CharPixel, rgba.data(),
                      &exception)) {
      for (std::size_t i = 0; i < rgba.size(); i += 4) {
        r.pixels.push_back(Rgb{rgba[i], rgba[i + 1], rgba[i + 2]});
        r.alpha.push_back(rgba[i + 3]);
      }
      out = std::move(r);
    }
    DestroyImageList(image);
  }
  DestroyImageInfo(info);
  DestroyExceptionInfo(&exception);
  return out;
#else
  (void)path;
  return std::nullopt;
#endif
}

}  // namespace kivrel::raster_test
