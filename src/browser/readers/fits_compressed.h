// One plane of a tile-compressed FITS image (a binary table with ZIMAGE = T, compressed with
// RICE_1, GZIP_1, GZIP_2, HCOMPRESS_1 or PLIO_1), decoded by cfitsio under the rules of plain
// images: rows turned over (the file's first row is the picture's bottom row), at most 4000 x
// 4000 samples kept (the picture's top 4000 rows, which are the file's last ones, and its left
// 4000 columns), blank samples stored as 0 and marked in a BlankMask, statistics of the
// physical values (BSCALE x sample + BZERO) over the real samples only.
//
// Blank samples: integers equal to the HDU's BLANK (or, without it, ZBLANK) keyword, and NaN
// floats (cfitsio also gives NaN for a quantised float whose tile marks it undefined). Other
// floats keep the plain reader's rules without being blank: a float whose first big-endian byte
// is 0x7F or 0xFF (infinities and the largest magnitudes) and a float equal to a BLANK keyword
// are stored as 0 and counted as 0.
//
// Bounds: the Z keywords are checked by the layout scan (see TileCompression::problem) before
// cfitsio sees the file, and every tile's bytes are checked before cfitsio decodes them (see
// fits_tiles.h: cfitsio 4.2's decoders trust damaged tiles). Rows are decoded a few rows of
// tiles at a time straight into the plane. When the image is larger than the kept part, only
// the kept part is decoded and the statistics cover it alone (stats_of_kept_part), so a small
// file that declares a huge image costs no more than a 4000 x 4000 one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "browser/readers/fits_layout.h"
#include "browser/store/sample_stats.h"
#include "browser/store/blank_mask.h"
#include "browser/store/plane.h"

namespace kivrel {

// The decoded plane of one image layer, or a named failure.
struct DecodedPlane {
  int32_t sample_type = 0;  // the image's BITPIX: 8, 16, 32, -32 or -64
  std::variant<std::monostate, Plane<uint8_t>, Plane<int16_t>, Plane<int32_t>, Plane<float>,
               Plane<double>>
      plane;
  BlankMask blanks;
  int64_t height = 0;  // the image's NAXIS2 and NAXIS1; the plane holds at most 4000 x 4000
  int64_t width = 0;
  double bscale = 1;
  double bzero = 0;
  StatsResult stats;         // of the real samples' physical values
  int64_t real_samples = 0;  // how many samples the statistics cover
  bool stats_of_kept_part = false;
  // A failure named by a keyword, shown as  <keyword message> "<clause>" ?  ...
  std::string failure_clause;
  // ... or one that no keyword names (cfitsio's own message).
  std::string failure_text;

  bool Ok() const { return failure_clause.empty() && failure_text.empty(); }
};

// Decodes plane `plane` (0-based, see FitsLayerRef) of the compressed HDU `hdu` (from
// ScanFitsLayout of the same file) of the file at `path`, or of `size` bytes at `data` (which
// must stay valid during the call). A failure leaves no plane. Never throws for the file's
// contents; std::bad_alloc only if the plane itself cannot be had.
DecodedPlane ReadCompressedPlane(const std::string& path, const FitsHdu& hdu, int64_t plane);
DecodedPlane ReadCompressedPlane(const void* data, std::size_t size, const FitsHdu& hdu,
                                 int64_t plane);

}  // namespace kivrel
