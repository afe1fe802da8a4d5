// The tiles of a compressed FITS image, for fits_compressed.cpp: which tiles the kept part of a
// plane touches, the checks that make their bytes safe for cfitsio's decoders, and a decoder of
// integer Rice tiles that feeds cfitsio's Rice routine from a buffer of our own.
//
// cfitsio 4.2's decoders trust the compressed bytes: its Rice and PLIO decoders read past the
// end of a damaged tile (a fuzzed file makes them fault), and its HCOMPRESS decoder writes as
// many samples as the stream's own header says. So, before cfitsio decodes anything:
// - every tile descriptor must lie inside the heap;
// - an HCOMPRESS stream must declare the tile's own number of samples;
// - a PLIO line list must declare a length within its tile's bytes;
// - a gzip tile must inflate to its end within the tile's size (cfitsio grows its buffer for as
//   long as a damaged stream goes on, tens of gigabytes);
// - a Rice tile is decoded once from a copy followed by 0xFF bytes (which end every run of the
//   code within a few bytes, so the decoder stops at its end-of-block check) and refused when
//   it needs bytes past its own.
// Integer Rice images, the usual case, skip the second decoding: their tiles are decoded here
// from that padded copy straight into the plane, rows turned over.
#pragma once

#include <fitsio.h>

#include <cstdint>
#include <string>
#include <vector>

#include "browser/readers/fits_layout.h"
#include "browser/store/plane.h"

namespace kivrel {

// One tile that holds part of the kept region of a plane.
struct TileRef {
  int64_t row = 0;   // its row in the table, 1-based
  int64_t col0 = 0;  // its first image column and row, 0-based
  int64_t row0 = 0;
  int64_t width = 0;  // its size, smaller at the far edges of the image
  int64_t height = 0;
  int64_t samples = 0;  // width x height x its extent over the higher axes
  int64_t slice = 0;    // where the plane's samples start inside the tile
};

// What the tile checks and the Rice decoder need from the table's header, read once per plane.
struct TileCodec {
  int compressed = 0;  // the COMPRESSED_DATA column, 0 when absent
  int gzipped = 0;     // the GZIP_COMPRESSED_DATA column (tiles Rice could not take)
  bool rice = false;   // RICE_1 or RICE_ONE
  int bytepix = 0;     // Rice: 1, 2 or 4 (0: an unusable BYTEPIX or BLOCKSIZE)
  int block = 0;
};
TileCodec TileCodecOf(const FitsHdu& hdu);

// The tiles touched by file rows [first_row, end_row) and columns [0, cols) of the plane whose
// first sample has the 1-based coordinates `origin`, row of tiles by row of tiles.
std::vector<TileRef> TouchedTiles(const TileCompression& z, const std::vector<long>& origin,
                                  int64_t first_row, int64_t end_row, int64_t cols);

// The checks above for every tile of `tiles`; a failure text, or "" when cfitsio may decode
// them. `file` stands at the HDU. With `rice_decoded_here` the Rice trial decoding is left to
// DecodeRiceRows, which decodes from the padded copy anyway.
std::string CheckTileBytes(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                           const std::vector<TileRef>& tiles, bool rice_decoded_here);

// Whether the integer Rice decoder below takes this HDU: RICE_1 (or RICE_ONE) integer samples
// whose every touched tile lies in COMPRESSED_DATA, a byte column.
bool OwnRiceDecoding(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                     const std::vector<TileRef>& tiles);

// Decodes the tiles of file rows [r0, r1) into the plane (file row r into plane row
// height - 1 - r, columns [0, plane.cols())); a failure text, or "".
template <typename T>
std::string DecodeRiceRows(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                           const std::vector<long>& origin, int64_t r0, int64_t r1, int64_t height,
                           Plane<T>& plane);

}  // namespace kivrel
