#include "browser/readers/fits_compressed.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "browser/base/numbers.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_tiles.h"

namespace kivrel {
namespace {

constexpr int64_t kChunkSamples = int64_t{1} << 18;  // samples decoded per cfitsio call

struct FitsCloser {
  void operator()(fitsfile* file) const {
    int status = 0;
    fits_close_file(file, &status);
  }
};
using FitsFile = std::unique_ptr<fitsfile, FitsCloser>;

std::string CfitsioText(int status) {
  char text[FLEN_STATUS] = {};
  fits_get_errstatus(status, text);
  fits_clear_errmsg();
  return "cfitsio : " + std::string(text) + " (" + std::to_string(status) + ")";
}

template <typename T>
constexpr int CfitsioType() {
  if constexpr (std::is_same_v<T, uint8_t>) return TBYTE;
  if constexpr (std::is_same_v<T, int16_t>) return TSHORT;
  if constexpr (std::is_same_v<T, int32_t>) return TINT;
  if constexpr (std::is_same_v<T, float>) return TFLOAT;
  return TDOUBLE;
}

// The keywords that decide how samples become values.
struct Scaling {
  double bscale = 1;
  double bzero = 0;
  std::optional<double> blank;
};

// A numeric keyword of the HDU; false with a clause when it is present but no number.
bool NumberKeyword(const FitsHdu& hdu, std::string_view keyword, std::optional<double>& value,
                   std::string& clause) {
  const auto text = FitsCardValue(hdu.cards, keyword);
  if (!text) return true;
  const auto number = TryParseFloat(*text);
  if (!number) {
    clause = std::string(keyword) + " = " + *text;
    return false;
  }
  value = static_cast<double>(*number);
  return true;
}

bool ReadScaling(const FitsHdu& hdu, Scaling& s, std::string& clause) {
  std::optional<double> bscale;
  std::optional<double> bzero;
  std::optional<double> zblank;
  if (!NumberKeyword(hdu, "BSCALE", bscale, clause) ||
      !NumberKeyword(hdu, "BZERO", bzero, clause) ||
      !NumberKeyword(hdu, "BLANK", s.blank, clause) ||
      !NumberKeyword(hdu, "ZBLANK", zblank, clause))
    return false;
  s.bscale = bscale.value_or(1);
  s.bzero = bzero.value_or(0);
  if (!s.blank && hdu.compressed->zbitpix > 0) s.blank = zblank;
  return true;
}

// Which samples become 0, and which of those are blank (kept out of the statistics).
template <typename T>
class SampleRule {
 public:
  explicit SampleRule(const std::optional<double>& blank) {
    if (!blank) {
      blank_ = 0;  // floats: -0 reads as +0, as in the plain reader
      return;
    }
    if constexpr (std::is_integral_v<T>) {
      active_ = std::floor(*blank) == *blank &&
                *blank >= static_cast<double>(std::numeric_limits<T>::min()) &&
                *blank <= static_cast<double>(std::numeric_limits<T>::max());
    }
    blank_ = *blank;
  }

  // Applies the rules to one row; marks the blank samples; returns whether any was blank.
  bool Apply(T* row, int64_t n, int32_t plane_row, BlankMask& mask) const {
    bool any = false;
    if constexpr (std::is_integral_v<T>) {
      if (!active_) return false;
      const auto b = static_cast<T>(blank_);
      for (int64_t i = 0; i < n; ++i) {
        if (row[i] == b) {
          row[i] = 0;
          mask.Set(plane_row, static_cast<int32_t>(i));
          any = true;
        }
      }
    } else {
      for (int64_t i = 0; i < n; ++i) {
        const T v = row[i];
        if (std::isnan(v)) {
          row[i] = 0;
          mask.Set(plane_row, static_cast<int32_t>(i));
          any = true;
        } else if (Huge(v) || static_cast<double>(v) == blank_) {
          row[i] = 0;
        }
      }
    }
    return any;
  }

 private:
  // The first big-endian byte is 0x7F or 0xFF: exponent bits from the second-highest bit set.
  static bool Huge(T v) {
    if constexpr (std::is_same_v<T, float>) {
      uint32_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      return ((bits >> 24) & 0x7F) == 0x7F;
    } else {
      uint64_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      return ((bits >> 56) & 0x7F) == 0x7F;
    }
  }

  bool active_ = false;
  double blank_ = 0;
};

// Adds the samples of a row that are not blank to the statistics.
template <typename T>
void CountRow(const T* row, int64_t n, const uint64_t* blank_words, SampleStats<T>& stats,
              int64_t& counted) {
  if (blank_words == nullptr) {
    stats.Add(row, static_cast<std::size_t>(n));
    counted += n;
    return;
  }
  int64_t i = 0;
  while (i < n) {
    auto blank = [&](int64_t k) { return (blank_words[k / 64] >> (k % 64)) & 1; };
    while (i < n && blank(i))
      ++i;
    int64_t j = i;
    while (j < n && !blank(j))
      ++j;
    if (j > i) stats.Add(row + i, static_cast<std::size_t>(j - i));
    counted += j - i;
    i = j;
  }
}

// Decodes file rows [r, next) into plane rows [h - next, h - r) through cfitsio: its rows
// come bottom-up and are turned over in place.
template <typename T>
std::string CfitsioRows(fitsfile* file, std::vector<long> fpixel, int64_t r, int64_t next,
                        int64_t h, Plane<T>& plane) {
  const int64_t cols = plane.cols();
  std::vector<long> lpixel = fpixel;
  std::vector<long> step(fpixel.size(), 1);
  fpixel[1] = static_cast<long>(r + 1);
  lpixel[0] = static_cast<long>(cols);
  lpixel[1] = static_cast<long>(next);
  const auto top = static_cast<int32_t>(h - next);
  T null_value = std::numeric_limits<T>::quiet_NaN();  // integers: no null check at all
  int any_null = 0;
  int status = 0;
  fits_read_subset(file, CfitsioType<T>(), fpixel.data(), lpixel.data(), step.data(),
                   std::is_integral_v<T> ? nullptr : &null_value, plane.Row(top), &any_null,
                   &status);
  if (status != 0) return CfitsioText(status);
  const int64_t k = next - r;
  std::vector<T> spare(static_cast<std::size_t>(cols));
  const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(cols);
  for (int64_t i = 0; i < k / 2; ++i) {
    T* a = plane.Row(top + static_cast<int32_t>(i));
    T* b = plane.Row(top + static_cast<int32_t>(k - 1 - i));
    std::memcpy(spare.data(), a, bytes);
    std::memcpy(a, b, bytes);
    std::memcpy(b, spare.data(), bytes);
  }
  return {};
}

// Decodes the kept rows of the plane a few whole rows of tiles at a time, straight into the
// plane: the tiles' bytes are checked first, integer Rice tiles are decoded here, the others by
// cfitsio. Then the blank rules and the statistics, row by row.
template <typename T>
std::string DecodeRows(fitsfile* file, const FitsHdu& hdu, const std::vector<long>& origin,
                       const Scaling& scaling, DecodedPlane& out) {
  const TileCompression& z = *hdu.compressed;
  const int64_t h = out.height;
  const int64_t rows = std::min(h, kMaxKeptSide);
  const int64_t cols = std::min(out.width, kMaxKeptSide);
  Plane<T>& plane = out.plane.template emplace<Plane<T>>();
  plane.Resize(static_cast<int32_t>(rows), static_cast<int32_t>(cols));
  out.blanks.Reset(static_cast<int32_t>(rows), static_cast<int32_t>(cols));
  const SampleRule<T> rule(scaling.blank);
  SampleStats<T> stats(scaling.bscale, scaling.bzero,
                       static_cast<long double>(rows) * static_cast<long double>(cols));
  const int64_t tile_rows = z.ztile[1];
  const int64_t chunk = ((kChunkSamples / cols + tile_rows - 1) / tile_rows) * tile_rows;
  const TileCodec codec = TileCodecOf(hdu);
  for (int64_t r = h - rows; r < h;) {
    const int64_t next = std::min(h, (r / chunk + 1) * chunk);
    const std::vector<TileRef> tiles = TouchedTiles(z, origin, r, next, cols);
    bool own = false;
    if constexpr (std::is_integral_v<T>) own = OwnRiceDecoding(file, hdu, codec, tiles);
    std::string failure = CheckTileBytes(file, hdu, codec, tiles, own);
    if (failure.empty()) {
      if constexpr (std::is_integral_v<T>) {
        failure = own ? DecodeRiceRows(file, hdu, codec, origin, r, next, h, plane)
                      : CfitsioRows(file, origin, r, next, h, plane);
      } else {
        failure = CfitsioRows(file, origin, r, next, h, plane);
      }
    }
    if (!failure.empty()) return failure;
    for (auto d = static_cast<int32_t>(h - next); d < static_cast<int32_t>(h - r); ++d) {
      T* row = plane.Row(d);
      const bool blanks = rule.Apply(row, cols, d, out.blanks);
      CountRow(row, cols, blanks ? out.blanks.RowWords(d) : nullptr, stats, out.real_samples);
    }
    r = next;
  }
  out.stats = stats.Finish();
  return {};
}

// The pixel coordinates (1-based) of the first sample of plane `plane`, on every axis.
std::vector<long> PlaneOrigin(const TileCompression& z, int64_t plane) {
  std::vector<long> pixel(z.znaxis.size(), 1);
  for (std::size_t i = 2; i < z.znaxis.size(); ++i) {
    pixel[i] = static_cast<long>(plane % z.znaxis[i] + 1);
    plane /= z.znaxis[i];
  }
  return pixel;
}

DecodedPlane Decode(fitsfile* file, const FitsHdu& hdu, int64_t plane_index) {
  DecodedPlane out;
  const TileCompression& z = *hdu.compressed;
  out.sample_type = static_cast<int32_t>(z.zbitpix);
  out.width = z.znaxis[0];
  out.height = z.znaxis[1];
  Scaling scaling;
  if (!ReadScaling(hdu, scaling, out.failure_clause)) return out;
  out.bscale = scaling.bscale;
  out.bzero = scaling.bzero;
  out.stats_of_kept_part = out.height > kMaxKeptSide || out.width > kMaxKeptSide;

  int status = 0;
  int type = 0;
  fits_movabs_hdu(file, hdu.index + 1, &type, &status);
  if (status == 0 && !fits_is_compressed_image(file, &status)) status = NOT_IMAGE;
  // Raw samples: the scaling is applied by the users of the plane.
  fits_set_bscale(file, 1.0, 0.0, &status);
  if (status != 0) {
    out.failure_text = CfitsioText(status);
    return out;
  }
  const std::vector<long> origin = PlaneOrigin(z, plane_index);

  switch (z.zbitpix) {
    case 8:
      out.failure_text = DecodeRows<uint8_t>(file, hdu, origin, scaling, out);
      break;
    case 16:
      out.failure_text = DecodeRows<int16_t>(file, hdu, origin, scaling, out);
      break;
    case 32:
      out.failure_text = DecodeRows<int32_t>(file, hdu, origin, scaling, out);
      break;
    case -32:
      out.failure_text = DecodeRows<float>(file, hdu, origin, scaling, out);
      break;
    default:
      out.failure_text = DecodeRows<double>(file, hdu, origin, scaling, out);
      break;
  }
  if (!out.Ok()) {
    out.plane = std::monostate{};
    out.blanks.Reset(0, 0);
  }
  return out;
}

// The checks that need no file: a compressed image whose Z keywords passed the scan, and a
// plane that exists.
bool Decodable(const FitsHdu& hdu, int64_t plane, DecodedPlane& out) {
  if (!hdu.compressed) {
    out.failure_clause = "ZIMAGE = T";
    return false;
  }
  if (!hdu.compressed->problem.empty()) {
    out.failure_clause = hdu.compressed->problem;
    return false;
  }
  if (plane < 0 || plane >= hdu.planes) {
    out.failure_clause = "NAXIS3 = " + std::to_string(hdu.planes);
    return false;
  }
  return true;
}

}  // namespace

DecodedPlane ReadCompressedPlane(const std::string& path, const FitsHdu& hdu, int64_t plane) {
  DecodedPlane out;
  if (!Decodable(hdu, plane, out)) return out;
  fitsfile* raw = nullptr;
  int status = 0;
  fits_open_diskfile(&raw, path.c_str(), READONLY, &status);
  FitsFile file(raw);
  if (status != 0) {
    out.failure_text = CfitsioText(status);
    return out;
  }
  return Decode(file.get(), hdu, plane);
}

DecodedPlane ReadCompressedPlane(const void* data, std::size_t size, const FitsHdu& hdu,
                                 int64_t plane) {
  DecodedPlane out;
  if (!Decodable(hdu, plane, out)) return out;
  // cfitsio reads a memory file a whole 2880-byte record at a time, and reads past the end of
  // one whose size is not a multiple of that: such a file is read from a copy padded with
  // zeros, as a FITS file is padded. The padding must not stand for tiles: a file cut short
  // before the end of its table and heap ends there, as cfitsio ends a file on disk.
  if (size < hdu.data_offset || size - hdu.data_offset < hdu.data_bytes) {
    out.failure_text = CfitsioText(END_OF_FILE);
    return out;
  }
  std::vector<uint8_t> padded;
  if (size % kFitsBlock != 0) {
    padded.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    padded.resize((size / kFitsBlock + 1) * kFitsBlock, 0);
    data = padded.data();
    size = padded.size();
  }
  fitsfile* raw = nullptr;
  int status = 0;
  // cfitsio only reads a READONLY memory file, so the const cast never leads to a write.
  void* buffer = const_cast<void*>(data);
  std::size_t buffer_size = size;
  fits_open_memfile(&raw, "kivrel", READONLY, &buffer, &buffer_size, 0, nullptr, &status);
  FitsFile file(raw);
  if (status != 0) {
    out.failure_text = CfitsioText(status);
    return out;
  }
  return Decode(file.get(), hdu, plane);
}

}  // namespace kivrel
