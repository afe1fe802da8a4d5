// FITS header reading: the cards of the primary header parsed into the image description, and
// the raw cards listed for the header view.
//
// A card is split at its first "=" (column e, 9 when there is none) and its first "/" (column
// s, 80 when there is none): keyword = columns 1..e-1, value = columns e+1..s-1, both trimmed
// of blanks and control characters. Keywords compare exactly and case-sensitively; only the
// keywords below are looked at. Numbers convert strictly (RunTimeError when they cannot).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/read_result.h"
#include "browser/store/world_keywords.h"

namespace kivrel {

inline constexpr std::size_t kFitsBlock = 2880;
inline constexpr std::size_t kFitsCard = 80;

struct FitsCard {
  std::string_view keyword;
  std::string_view value;  // quotes of string values kept
};
FitsCard SplitFitsCard(std::string_view card);  // card: exactly 80 bytes

struct FitsGeometry {
  int32_t height = 0;       // NAXIS2
  int32_t width = 0;        // NAXIS1
  int32_t sample_type = 0;  // BITPIX
  std::optional<double> blank;  // BLANK, when the header gives it
  // BLANK exactly, when its value is an integer literal within 64 bits (a double keeps only
  // 53 bits, which would blank the wrong sample of a 64-bit image).
  std::optional<int64_t> blank_integer;
};

// What the header says, as far as it was read.
struct FitsHeader {
  FitsGeometry geometry;
  int32_t LayerCount = 1;  // NAXIS3
  long double BZero = 0;
  long double BScale = 1;
  double HeaderMin = 0;  // DATAMIN or THRESL, whichever comes last
  double HeaderMax = 0;  // DATAMAX or THRESH
  WorldKeywords wcs;
  bool flip_x = false;  // CDELT1 > 0: east is to the right, mirror the picture
  bool flip_y = false;  // CDELT2 < 0: north is down
  ReadFailure failure;  // why the header is refused (geometry.height is then 0)
  // A value that is not a number ended the read at its card: the exact text of the run-time
  // error; what was read before it stands.
  std::optional<std::string> error;
};

// Parses the header from the start of `file`, block by block. On a normal end the file stands
// at the first data byte. Height 0 means failure, with the reason (possibly empty) in
// `failure`. A short block ends the read silently with what was read so far.
FitsHeader ReadFitsHeader(ByteSource& file);

// The same rules over a header given as its cards (END closes it; without END every card is
// read).
FitsHeader ParseFitsCards(const std::vector<std::string>& cards);

// The header's cards for the header view, one line each (Windows-1252 decoded). A file of one
// HDU lists its header's blocks up to the one holding END (or the last whole block); not ok
// when the first block holds no SIMPLE card (or there is no whole block). A file of several
// HDUs lists every HDU's header up to its END, each after a line that names the HDU
// (HduTitle). A gzip file is listed as it inflates. Throws RunTimeError "Cannot open file
// <name>".
HeaderListing ListFitsHeader(const std::string& file_name);
HeaderListing ListFitsHeader(ByteSource& file);

}  // namespace kivrel
