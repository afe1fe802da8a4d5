#include "browser/readers/bmp_reader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

[[noreturn]] void Invalid() {
  throw RunTimeError("Bitmap image is not valid");
}

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void ReadExact(ByteSource& src, void* buffer, std::size_t size) {
  if (src.Read(buffer, size) != size) Invalid();
}

struct DibHeader {
  uint32_t header_size = 0;
  int64_t width = 0;
  int64_t height = 0;  // rows, always positive
  bool top_down = false;
  int bpp = 0;
  uint32_t compression = kBiRgb;
  uint32_t colours_used = 0;
  std::array<uint32_t, 4> masks{};
  bool core = false;  // 12-byte header: 3-byte palette entries
};

bool KnownHeaderSize(uint32_t size) {
  return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Reads the info header (and the masks that follow a 40-byte one) at the current position.
DibHeader ReadInfoHeader(ByteSource& src) {
  std::array<uint8_t, 124> b{};
  ReadExact(src, b.data(), 4);
  DibHeader h;
  h.header_size = U32(b.data());
  if (!KnownHeaderSize(h.header_size)) Invalid();
  ReadExact(src, b.data() + 4, h.header_size - 4);
  if (h.header_size == 12) {
    h.core = true;
    h.width = U16(b.data() + 4);
    h.height = U16(b.data() + 6);
    h.bpp = U16(b.data() + 10);
  } else {
    h.width = static_cast<int32_t>(U32(b.data() + 4));
    const int64_t height = static_cast<int32_t>(U32(b.data() + 8));
    h.top_down = height < 0;
    h.height = height < 0 ? -height : height;
    h.bpp = U16(b.data() + 14);
    h.compression = U32(b.data() + 16);
    h.colours_used = U32(b.data() + 32);
    const bool fields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (fields && h.header_size == 40) {
      // The masks follow the header: three, or four with the alpha mask.
      ReadExact(src, b.data() + 40, h.compression == kBiAlphaBitfields ? 16 : 12);
    }
    if (fields) {
      const bool alpha = h.header_size >= 56 || h.compression == kBiAlphaBitfields;
      for (int i = 0; i < (alpha ? 4 : 3); ++i)
        h.masks[static_cast<std::size_t>(i)] = U32(b.data() + 40 + 4 * i);
    }
  }
  if (h.width <= 0 || h.height <= 0 || h.height > INT32_MAX) Invalid();
  return h;
}

bool FormatAccepted(const DibHeader& h) {
  switch (h.compression) {
    case kBiRgb:
      if (h.core) return h.bpp == 1 || h.bpp == 4 || h.bpp == 8 || h.bpp == 24;
      return h.bpp == 1 || h.bpp == 4 || h.bpp == 8 || h.bpp == 16 || h.bpp == 24 || h.bpp == 32;
    case kBiRle8:
      return h.bpp == 8 && !h.core;
    case kBiRle4:
      return h.bpp == 4 && !h.core;
    case kBiBitfields:
    case kBiAlphaBitfields:
      return (h.bpp == 16 || h.bpp == 32) && !h.core;
    default:
      return false;
  }
}

// Declared palette entries: those the header announces (2^bpp for palette formats when it
// announces none).
uint64_t DeclaredColours(const DibHeader& h) {
  if (h.core) return h.bpp <= 8 ? (uint64_t{1} << h.bpp) : 0;
  if (h.colours_used != 0) return h.colours_used;
  return h.bpp <= 8 ? (uint64_t{1} << h.bpp) : 0;
}

// Reads up to `count` entries at the current position into a palette of 2^bpp colours.
void ReadPalette(ByteSource& src, const DibHeader& h, uint64_t count, Picture& picture) {
  picture.palette.clear();
  if (h.bpp > 8) return;
  const std::size_t full = std::size_t{1} << h.bpp;
  picture.palette.assign(full, Rgb{});
  const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(count, full));
  const std::size_t entry = h.core ? 3 : 4;
  std::vector<uint8_t> bytes(n * entry);
  ReadExact(src, bytes.data(), bytes.size());
  for (std::size_t i = 0; i < n; ++i) {
    const uint8_t* e = bytes.data() + i * entry;
    picture.palette[i] = Rgb{e[2], e[1], e[0]};
  }
}

uint64_t FileStride(const DibHeader& h) {
  return (static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.bpp) + 31) / 32 * 4;
}

void ReadUncompressed(ByteSource& src, const DibHeader& h, uint64_t pixel_offset,
                      Picture& picture) {
  const uint64_t stride = FileStride(h);
  const uint64_t row_bytes = (static_cast<uint64_t>(h.width) * h.bpp + 7) / 8;
  const uint64_t height = static_cast<uint64_t>(h.height);
  // The last row may lack its padding; everything else must be in the data.
  const uint64_t needed = stride * (height - 1) + row_bytes;
  const auto size = src.Size();
  if (size) {
    if (pixel_offset > *size || *size - pixel_offset < needed) Invalid();
  } else if (h.width > kMaxRleSide || h.height > kMaxRleSide || needed > kMaxRleBytes) {
    Invalid();
  }
  picture.Reset(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), h.bpp);
  src.Seek(pixel_offset);
  const uint64_t rows_per_chunk = std::max<uint64_t>(1, (uint64_t{1} << 20) / stride);
  std::vector<uint8_t> chunk;
  for (uint64_t row = 0; row < height;) {
    const uint64_t rows = std::min(rows_per_chunk, height - row);
    const uint64_t want = rows * stride;
    chunk.resize(static_cast<std::size_t>(want));
    const std::size_t got = src.Read(chunk.data(), chunk.size());
    if (got < (rows - 1) * stride + row_bytes) Invalid();
    for (uint64_t i = 0; i < rows; ++i, ++row) {
      const auto y = static_cast<int32_t>(h.top_down ? row : height - 1 - row);
      std::memcpy(picture.Row(y), chunk.data() + i * stride, static_cast<std::size_t>(row_bytes));
    }
  }
}

// Decodes a BI_RLE8 or BI_RLE4 stream into the zero-filled picture.
class RleDecoder {
 public:
  RleDecoder(const DibHeader& h, Picture& picture)
      : picture_(picture),
        width_(h.width),
        height_(h.height),
        top_down_(h.top_down),
        four_bits_(h.compression == kBiRle4) {}

  void Decode(const std::vector<uint8_t>& s) {
    const std::size_t n = s.size();
    std::size_t i = 0;
    while (i + 1 < n && y_ < height_) {
      const uint8_t count = s[i];
      const uint8_t value = s[i + 1];
      i += 2;
      if (count > 0) {
        for (int k = 0; k < count; ++k)
          Put(four_bits_ ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
        continue;
      }
      if (value == 0) {  // end of line
        x_ = 0;
        ++y_;
      } else if (value == 1) {  // end of bitmap
        return;
      } else if (value == 2) {  // delta
        if (i + 1 >= n) return;
        x_ += s[i];
        y_ += s[i + 1];
        i += 2;
      } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
        const std::size_t bytes = four_bits_ ? (value + 1u) / 2 : value;
        for (int k = 0; k < value; ++k) {
          const std::size_t at = i + (four_bits_ ? static_cast<std::size_t>(k / 2) : k);
          if (at >= n) return;
          Put(four_bits_ ? ((k & 1) ? (s[at] & 0x0F) : (s[at] >> 4)) : s[at]);
        }
        i += (bytes + 1) / 2 * 2;
      }
    }
  }

 private:
  void Put(uint8_t v) {
    if (x_ < width_ && y_ < height_) {
      const auto row = static_cast<int32_t>(top_down_ ? y_ : height_ - 1 - y_);
      uint8_t* p = picture_.Row(row);
      if (four_bits_) {
        uint8_t& byte = p[x_ / 2];
        byte = (x_ & 1) ? static_cast<uint8_t>((byte & 0xF0) | v)
                        : static_cast<uint8_t>((byte & 0x0F) | (v << 4));
      } else {
        p[x_] = v;
      }
    }
    ++x_;
  }

  Picture& picture_;
  int64_t width_;
  int64_t height_;
  bool top_down_;
  bool four_bits_;
  int64_t x_ = 0;
  int64_t y_ = 0;
};

void ReadRle(ByteSource& src, const DibHeader& h, uint64_t pixel_offset, Picture& picture) {
  if (h.width > kMaxRleSide || h.height > kMaxRleSide) Invalid();
  if (FileStride(h) * static_cast<uint64_t>(h.height) > kMaxRleBytes) Invalid();
  // No stream needs more than 2 bytes per pixel plus 2 per row; more is never read.
  const uint64_t pixels = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height);
  uint64_t limit = 2 * pixels + 2 * static_cast<uint64_t>(h.height) + 2;
  if (const auto size = src.Size()) {
    if (pixel_offset > *size) Invalid();
    limit = std::min(limit, *size - pixel_offset);
  }
  std::vector<uint8_t> stream;
  src.Seek(pixel_offset);
  while (stream.size() < limit) {
    const std::size_t old = stream.size();
    const auto want = static_cast<std::size_t>(std::min<uint64_t>(limit - old, 1 << 20));
    stream.resize(old + want);
    const std::size_t got = src.Read(stream.data() + old, want);
    stream.resize(old + got);
    if (got < want) break;
  }
  if (stream.empty()) Invalid();
  picture.Reset(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height), h.bpp);
  picture.FillZero();
  RleDecoder(h, picture).Decode(stream);
}

// Header, palette and pixels of a bitmap whose info header starts at the current position.
// `file_offset` is the file header's pixel offset (0: right after the palette).
void ReadDib(ByteSource& src, uint64_t file_offset, Picture& picture) {
  const DibHeader h = ReadInfoHeader(src);
  if (!FormatAccepted(h)) Invalid();
  const uint64_t palette_start = src.Position();
  const uint64_t entry = h.core ? 3 : 4;
  uint64_t colours = DeclaredColours(h);
  uint64_t pixel_offset = palette_start + colours * entry;
  if (file_offset != 0) {
    if (file_offset < palette_start) Invalid();
    // The offset wins over a colour count that would run into the pixels.
    colours = std::min(colours, (file_offset - palette_start) / entry);
    pixel_offset = file_offset;
  }
  ReadPalette(src, h, colours, picture);
  if (h.compression == kBiRle8 || h.compression == kBiRle4) {
    ReadRle(src, h, pixel_offset, picture);
  } else {
    ReadUncompressed(src, h, pixel_offset, picture);
  }
  picture.masks = h.masks;
}

}  // namespace

void ReadBmp(ByteSource& file, Picture& picture) {
  std::array<uint8_t, 14> b{};
  ReadExact(file, b.data(), b.size());
  if (b[0] != 'B' || b[1] != 'M') Invalid();
  ReadDib(file, U32(b.data() + 10), picture);
}

void ReadPackedDib(const void* data, std::size_t size, Picture& picture) {
  MemoryByteSource src(data, size);
  ReadDib(src, 0, picture);
}

std::size_t PackedDibSize(const void* dib) {
  const auto* b = static_cast<const uint8_t*>(dib);
  const uint32_t header_size = U32(b);
  if (header_size < 40 || !KnownHeaderSize(header_size)) return 0;
  const auto width = static_cast<int32_t>(U32(b + 4));
  const int64_t height = std::abs(static_cast<int64_t>(static_cast<int32_t>(U32(b + 8))));
  const uint16_t bpp = U16(b + 14);
  const uint32_t compression = U32(b + 16);
  const uint32_t image_size = U32(b + 20);
  const uint32_t colours_used = U32(b + 32);
  if (width <= 0 || height == 0 || bpp == 0 || bpp > 32) return 0;
  uint64_t total = header_size;
  if (header_size == 40 && compression == kBiBitfields) total += 12;
  if (header_size == 40 && compression == kBiAlphaBitfields) total += 16;
  total += 4 * (colours_used != 0 ? uint64_t{colours_used} : bpp <= 8 ? uint64_t{1} << bpp : 0);
  if (image_size != 0) {
    total += image_size;
  } else {
    total += (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4 * static_cast<uint64_t>(height);
  }
  if (total > SIZE_MAX / 2) return 0;
  return static_cast<std::size_t>(total);
}

}  // namespace kivrel
