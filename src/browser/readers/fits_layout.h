// The HDUs of a FITS file, found from their headers alone: where each header and its data lie,
// the sizes that the mandatory keywords declare, which HDUs hold an image (a plain one, or a
// tile-compressed one stored in a binary table with ZIMAGE = T), and the image layers across the
// file (every plane of every image HDU, in file order) for the layer control.
//
// The scan reads header blocks and seeks over the data; it never sizes an allocation from a
// declared size. It stops at the first HDU it cannot follow (a truncated header or data, a
// malformed mandatory keyword, an extension type outside the standard ones, a SIMPLE = F
// primary), keeping the HDUs before it (and the header of that HDU when it was read whole); the
// reason is in FitsLayout::stop_reason. At most kMaxFitsHdus HDUs and kMaxFitsCards cards are
// read from one file.
//
// Keywords are the first 8 columns of a card, compared exactly; a value follows "= " in
// columns 9-10. A keyword given twice takes the later card.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/store/sample_plane.h"

namespace kivrel {

inline constexpr int kMaxFitsHdus = 1000;
inline constexpr int64_t kMaxFitsCards = 250000;  // 20 MB of card text

// Bounds on a tile-compressed image, so that a small file cannot make the decoder allocate
// without end or work for minutes. One tile decodes at most the samples of a full 4000 x 4000
// plane; reading the kept part of one plane (its top 4000 rows and left 4000 columns) decodes
// at most kMaxDecodedSamples samples in at most kMaxDecodedTiles tiles.
inline constexpr int64_t kMaxKeptSide = kMaxPlaneSize;
inline constexpr int64_t kMaxTileSamples = kMaxKeptSide * kMaxKeptSide;
inline constexpr int64_t kMaxDecodedSamples = int64_t{1} << 28;
inline constexpr int64_t kMaxDecodedTiles = int64_t{1} << 20;

// The Z keywords of a tile-compressed image.
struct TileCompression {
  int64_t zbitpix = 0;
  std::vector<int64_t> znaxis;  // ZNAXIS1..ZNAXISn
  std::vector<int64_t> ztile;   // ZTILE1..ZTILEn; absent ones default to ZNAXIS1, 1, 1, ...
  std::string zcmptype;         // e.g. "RICE_1"
  // Why the image cannot be decoded, as a keyword clause such as "ZNAXIS1 = abc",
  // "ZTILE1 x ZTILE2 = 100000 x 100000" or "ZCMPTYPE = 'LZW'"; empty when it can. Set for a
  // missing or non-numeric Z keyword, a value out of range (ZBITPIX other than 8, 16, 32, -32,
  // -64; ZNAXIS outside 2..999; ZNAXISn or ZTILEn below 1; an unknown ZCMPTYPE), a tile count
  // that differs from the table's rows, and sizes past the bounds above.
  std::string problem;
};

struct FitsHdu {
  int index = 0;  // 0 for the primary
  uint64_t header_offset = 0;
  uint64_t data_offset = 0;
  uint64_t data_bytes = 0;         // as declared, without the padding to whole blocks
  bool data_complete = false;      // the file holds every declared data byte
  std::vector<std::string> cards;  // the raw 80-byte cards, END included
  std::string xtension;            // "" for the primary, else the value ("IMAGE", "BINTABLE")
  bool standard = true;            // false for SIMPLE = F or an unknown XTENSION
  int32_t bitpix = 0;
  std::vector<int64_t> naxis;  // NAXIS1..NAXISn
  int64_t pcount = 0;
  int64_t gcount = 1;
  bool groups = false;  // a random-groups primary
  std::string extname;  // trailing blanks removed
  int64_t extver = 0;   // 0 when absent
  std::optional<bool> inherit;
  bool image = false;  // a plain image holding data: NAXIS >= 2 and every NAXISn > 0
  std::optional<TileCompression> compressed;  // a BINTABLE with ZIMAGE = T
  // Layers this HDU gives: the product of the axes after the second (1 for a 2-D image), 1 for
  // a compressed image whose Z keywords could not be read (so that its failure is shown), 0
  // for an HDU without image.
  int64_t planes = 0;

  bool HasImage() const { return planes > 0; }
  // The image's NAXIS1 and NAXIS2 (ZNAXISn for a compressed image); 0 when there is none.
  int64_t Width() const;
  int64_t Height() const;
};

// One image layer of the file: the HDU (index into FitsLayout::hdus) and the plane within it
// (0-based, the axes after the second taken with the third varying fastest).
struct FitsLayerRef {
  int hdu = -1;
  int64_t plane = 0;
};

struct FitsLayout {
  std::vector<FitsHdu> hdus;
  std::string stop_reason;  // why the scan ended before the end of the file; "" when it did not

  int64_t LayerCount() const;
  // Layer k (0-based) of the file; hdu = -1 when k is out of range.
  FitsLayerRef Layer(int64_t k) const;
  // The file's first layer that lies in HDU `hdu`; -1 when that HDU has no image.
  int64_t FirstLayerOf(int hdu) const;
  // The first HDU with an image, -1 when there is none.
  int FirstImageHdu() const;
};

// Scans every HDU of `file` from offset 0. A file whose first card is not SIMPLE gives no HDU
// and a stop reason. Throws only what `file` throws.
FitsLayout ScanFitsLayout(ByteSource& file);

// The keyword of one card (its first 8 columns without trailing blanks), and its value as
// below (nullopt when column 9 holds no "=").
std::string_view FitsCardKeyword(std::string_view card);
std::optional<std::string> FitsCardValueOf(std::string_view card);

// The value of the last card with this keyword: a string without its quotes and trailing
// blanks ('' inside read as '), or the value text up to the comment, trimmed.
std::optional<std::string> FitsCardValue(const std::vector<std::string>& cards,
                                         std::string_view keyword);

// The cards a header parser should read for HDU `hdu`:
// - a tile-compressed image is given as the image it holds: XTENSION = 'IMAGE' (or SIMPLE when
//   ZSIMPLE is there), BITPIX, NAXIS and NAXISn from the Z keywords, the table's own keywords
//   (TFORMn, ZTILEn, ZCMPTYPE, ...) left out;
// - an extension inherits the primary's keywords it lacks, placed before its own cards, when it
//   says INHERIT = T, or when it does not say INHERIT at all and the primary holds no data.
//   Files such as a UKIDSS cut-out keep EQUINOX and RADESYS in an empty primary without saying
//   INHERIT, while an extension that says INHERIT = F is taken at its word. Keywords that
//   describe a structure or its data (BITPIX, NAXISn, BSCALE, BZERO, BLANK, DATAMIN, CHECKSUM,
//   EXTNAME, ...) and commentary cards are never inherited.
// END closes the list. An index out of range gives no card.
std::vector<std::string> EffectiveCards(const FitsLayout& layout, int hdu);

// A line naming the HDU for the header view, e.g. "HDU 2 : IMAGE 'SCI' 62x44 16 bits",
// "HDU 1 : primaire, sans données", "HDU 2 : IMAGE RICE_1 300x300 16 bits",
// "HDU 3 : BINTABLE 'RATE'". HDUs are numbered from 1.
std::string HduTitle(const FitsHdu& hdu);

// The name of the HDU for the status line: EXTNAME (with ",EXTVER" when EXTVER is given), or
// "HDU n" when it has none.
std::string HduName(const FitsHdu& hdu);

}  // namespace kivrel
