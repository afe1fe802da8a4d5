// FITS header reading: the cards of the primary header parsed into the image description, and
// the raw cards listed for the header view.
//
// A card is split at its first "=" (column e, 9 when there is none) and its first "/" (column
// s, 80 when there is none): keyword = columns 1..e-1, value = columns e+1..s-1, both trimmed
// of blanks and control characters. Keywords compare exactly and case-sensitively; only the
// keywords below are looked at. Numbers convert strictly (RunTimeError when they cannot).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/store/image_store.h"

namespace kivrel {

inline constexpr std::size_t kFitsBlock = 2880;
inline constexpr std::size_t kFitsCard = 80;

struct FitsCard {
  std::string_view keyword;
  std::string_view value;  // quotes of string values kept
};
FitsCard SplitFitsCard(std::string_view card);  // card: exactly 80 bytes

// Out-values of ReadFitsHeader.
struct FitsGeometry {
  int32_t height = 0;       // NAXIS2
  int32_t width = 0;        // NAXIS1
  int32_t sample_type = 0;  // BITPIX
  double blank = 0;         // BLANK
};

// Parses the header from the start of `file`, block by block, into `geometry` and the store
// (LayerCount, BZero, BScale, HeaderMin, HeaderMax, world-coordinate values, FlipX, FlipY).
// On a normal end the file stands at the first data byte. Height 0 on return means failure,
// with the reason (possibly empty) in store.LoadErrorText.
// Throws RunTimeError when a number cannot be converted.
void ReadFitsHeader(ByteSource& file, ImageStore& store, FitsGeometry& geometry);

// The header's cards, one line each (Windows-1252 decoded), up to the block holding END or the
// last whole block. Returns false, with the reason in store.LoadErrorText, when the first block
// holds no SIMPLE card (or there is no whole block). Throws "Cannot open file <name>".
bool ListFitsHeader(const std::string& file_name, ImageStore& store,
                    std::vector<std::string>& lines);
bool ListFitsHeader(ByteSource& file, ImageStore& store, std::vector<std::string>& lines);

}  // namespace kivrel
