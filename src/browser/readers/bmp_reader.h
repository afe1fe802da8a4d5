// Windows bitmap reading into a Picture that keeps the file's pixel format: 1, 4 and 8 bits
// with their palette (padded with black to 2^bits entries), 16 and 32 bits with their channel
// masks (all 0 for BI_RGB, whose layout is fixed), 24 bits as blue, green, red bytes. Rows come
// out top to bottom whatever the file's order. BI_RLE8 and BI_RLE4 are decoded into 8 and 4
// bits per pixel (pixels the stream skips or never reaches are index 0).
//
// Headers: the 12-byte core header (3-byte palette entries), the 40-byte info header with or
// without the three or four masks that follow it, and its 52, 56, 108 (V4) and 124-byte (V5)
// extensions.
//
// Errors: anything that is not a bitmap these rules describe throws RunTimeError "Bitmap image
// is not valid", among them uncompressed pixel data shorter than the header promises (the
// padding of the last row may be missing) and RLE pictures wider or taller than 30000 pixels
// or larger than 64 MiB decoded. Nothing is allocated before the sizes are checked against
// the data that is there or against those caps. A source that cannot be read throws its own
// error ("Cannot open file <name>").
#pragma once

#include <cstddef>
#include <cstdint>

#include "browser/base/byte_source.h"
#include "browser/base/picture.h"

namespace kivrel {

inline constexpr int32_t kMaxRleSide = 30000;
inline constexpr uint64_t kMaxRleBytes = uint64_t{64} << 20;

// A .bmp file: the 14-byte file header, then the info header, palette and pixels; the pixels
// start at the file header's offset (right after the palette when that offset is 0).
void ReadBmp(ByteSource& file, Picture& picture);

// A packed bitmap in memory: info header, masks, palette, pixels, nothing between them.
void ReadPackedDib(const void* data, std::size_t size, Picture& picture);

// The byte length of the packed bitmap that starts at `dib`, read from its info header (at
// least 40 bytes must be readable there), using biSizeImage when it is set; 0 when the header
// is not an info header or the length does not fit in memory.
std::size_t PackedDibSize(const void* dib);

}  // namespace kivrel
