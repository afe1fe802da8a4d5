#include "browser/readers/fits_tiles.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <type_traits>

#include "browser/base/numbers.h"

// cfitsio's Rice decoders (exported, declared in its private header fitsio2.h).
extern "C" {
int fits_rdecomp(unsigned char* c, int clen, unsigned int array[], int nx, int nblock);
int fits_rdecomp_short(unsigned char* c, int clen, unsigned short array[], int nx, int nblock);
int fits_rdecomp_byte(unsigned char* c, int clen, unsigned char array[], int nx, int nblock);
}

namespace kivrel {
namespace {

// Bytes of 0xFF after a Rice tile: more than one block of the largest allowed size can take.
constexpr int kMaxRiceBlock = 64;
constexpr std::size_t kRicePad = 512;

std::string CfitsioFailure(int status) {
  char text[FLEN_STATUS] = {};
  fits_get_errstatus(status, text);
  fits_clear_errmsg();
  return "cfitsio : " + std::string(text) + " (" + std::to_string(status) + ")";
}

std::string TileFailure(const TileRef& tile) {
  return "cfitsio : tuile " + std::to_string(tile.row) + " illisible";
}

// The number n of a card "<prefix>n" (1 to 999), 0 for any other card.
int Numbered(std::string_view card, std::string_view prefix) {
  const std::string_view key = FitsCardKeyword(card);
  if (key.size() <= prefix.size() || key.substr(0, prefix.size()) != prefix) return 0;
  const auto n = TryParseInt(key.substr(prefix.size()));
  return n && *n >= 1 && *n <= 999 ? *n : 0;
}

// The table's column of that name, 0 when there is none (one pass over the cards).
int ColumnNamed(const FitsHdu& hdu, std::string_view name) {
  int column = 0;
  for (const std::string& card : hdu.cards) {
    const int n = Numbered(card, "TTYPE");
    if (n > 0 && FitsCardValueOf(card) == name) column = n;
  }
  return column;
}

// A compression parameter (ZNAMEi / ZVALi), `fallback` when the HDU does not give it, -1 when
// its value is no integer.
int64_t CompressionParameter(const FitsHdu& hdu, std::string_view name, int64_t fallback) {
  int index = 0;
  for (const std::string& card : hdu.cards) {
    const int n = Numbered(card, "ZNAME");
    if (n > 0 && FitsCardValueOf(card) == name) index = n;
  }
  if (index == 0) return fallback;
  const auto value = FitsCardValue(hdu.cards, "ZVAL" + std::to_string(index));
  const auto number = value ? TryParseInt(*value) : std::nullopt;
  return number ? *number : -1;
}

// A tile's bytes followed by kRicePad bytes 0xFF; false when cfitsio cannot read them.
bool ReadPadded(fitsfile* file, int column, const TileRef& tile, LONGLONG length,
                std::vector<unsigned char>& bytes, int& status) {
  bytes.resize(static_cast<std::size_t>(length) + kRicePad);
  std::fill(bytes.begin() + length, bytes.end(), 0xFF);
  int any_null = 0;
  if (length > 0)
    fits_read_col(file, TBYTE, column, tile.row, 1, length, nullptr, bytes.data(), &any_null,
                  &status);
  return status == 0;
}

// Decodes one Rice tile from its padded copy into `out` (tile.samples values of bytepix bytes);
// false when the code runs past the tile's bytes.
bool RiceDecode(std::vector<unsigned char>& bytes, LONGLONG length, const TileCodec& p,
                int64_t samples, void* out) {
  if (length > INT32_MAX || samples > INT32_MAX) return false;
  const int clen = static_cast<int>(length);
  const int nx = static_cast<int>(samples);
  switch (p.bytepix) {
    case 1:
      return fits_rdecomp_byte(bytes.data(), clen, static_cast<unsigned char*>(out), nx, p.block) ==
             0;
    case 2:
      return fits_rdecomp_short(bytes.data(), clen, static_cast<unsigned short*>(out), nx,
                                p.block) == 0;
    default:
      return fits_rdecomp(bytes.data(), clen, static_cast<unsigned int*>(out), nx, p.block) == 0;
  }
}

bool HcompressHeaderFits(fitsfile* file, int column, const TileRef& tile, LONGLONG length,
                         int& status) {
  if (length < 14) return false;
  unsigned char head[10] = {};
  int any_null = 0;
  fits_read_col(file, TBYTE, column, tile.row, 1, 10, nullptr, head, &any_null, &status);
  auto word = [&](int at) {
    return static_cast<int32_t>(uint32_t{head[at]} << 24 | uint32_t{head[at + 1]} << 16 |
                                uint32_t{head[at + 2]} << 8 | uint32_t{head[at + 3]});
  };
  const int64_t nx = word(2);
  const int64_t ny = word(6);
  return status != 0 ||
         (head[0] == 0xDD && head[1] == 0x99 && nx >= 0 && ny >= 0 && nx * ny == tile.samples);
}

// A PLIO line list (16-bit words) gives its length in its header; the decoder reads that many
// words without comparing them with the tile's.
bool PlioHeaderFits(fitsfile* file, int column, const TileRef& tile, LONGLONG length, int& status) {
  if (length < 5) return false;
  short head[5] = {};
  int any_null = 0;
  fits_read_col(file, TSHORT, column, tile.row, 1, 5, nullptr, head, &any_null, &status);
  const int64_t words = head[2] > 0 ? head[2] : (int64_t{head[4]} << 15) + head[3];
  const int64_t first = head[2] > 0 ? 4 : int64_t{head[1]} + 1;
  return status != 0 || (first >= 1 && words <= length);
}

// A gzip tile must inflate, whole and alone, to no more than its samples at 8 bytes each:
// cfitsio grows its buffer for as long as a damaged stream keeps it going.
bool GzipTileFits(fitsfile* file, int column, const TileRef& tile, LONGLONG length,
                  std::vector<unsigned char>& bytes, int& status) {
  if (!ReadPadded(file, column, tile, length, bytes, status)) return true;  // cfitsio's failure
  const std::size_t most = static_cast<std::size_t>(tile.samples) * 8;
  std::vector<unsigned char> out(std::min<std::size_t>(most + 1, std::size_t{1} << 20));
  z_stream z{};
  if (inflateInit2(&z, 32 + MAX_WBITS) != Z_OK) return false;
  z.next_in = bytes.data();
  z.avail_in = static_cast<uInt>(length);
  int result = Z_OK;
  while (result == Z_OK && z.total_out <= most) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_BUF_ERROR && z.avail_out == 0) result = Z_OK;  // more output to come
  }
  const bool whole = result == Z_STREAM_END && z.avail_in == 0 && z.total_out <= most;
  inflateEnd(&z);
  return whole;
}

}  // namespace

TileCodec TileCodecOf(const FitsHdu& hdu) {
  TileCodec codec;
  codec.compressed = ColumnNamed(hdu, "COMPRESSED_DATA");
  codec.gzipped = ColumnNamed(hdu, "GZIP_COMPRESSED_DATA");
  const std::string& type = hdu.compressed->zcmptype;
  codec.rice = type == "RICE_1" || type == "RICE_ONE";
  if (codec.rice) {
    // Without BYTEPIX the samples were coded as 32-bit integers, as quantised floats always
    // are.
    const int64_t bytepix = CompressionParameter(hdu, "BYTEPIX", 4);
    const int64_t block = CompressionParameter(hdu, "BLOCKSIZE", 32);
    if ((bytepix == 1 || bytepix == 2 || bytepix == 4) && block >= 1 && block <= kMaxRiceBlock) {
      codec.bytepix = static_cast<int>(bytepix);
      codec.block = static_cast<int>(block);
    }
  }
  return codec;
}

std::vector<TileRef> TouchedTiles(const TileCompression& z, const std::vector<long>& origin,
                                  int64_t first_row, int64_t end_row, int64_t cols) {
  const std::size_t naxes = z.znaxis.size();
  auto extent = [&](std::size_t axis, int64_t tile) {
    return std::min(z.ztile[axis], z.znaxis[axis] - tile * z.ztile[axis]);
  };
  std::vector<int64_t> along(naxes);
  for (std::size_t i = 0; i < naxes; ++i)
    along[i] = (z.znaxis[i] - 1) / z.ztile[i] + 1;
  int64_t base = 0;   // the tile offset of the plane on the higher axes
  int64_t depth = 1;  // the tile's extent over the higher axes
  int64_t slice = 0;  // the plane's place among the tile's planes
  int64_t stride = along[0] * along[1];
  int64_t planes_below = 1;
  for (std::size_t i = 2; i < naxes; ++i) {
    const int64_t tile = (origin[i] - 1) / z.ztile[i];
    base += tile * stride;
    stride *= along[i];
    slice += (origin[i] - 1 - tile * z.ztile[i]) * planes_below;
    planes_below *= extent(i, tile);
    depth *= extent(i, tile);
  }
  std::vector<TileRef> tiles;
  for (int64_t ty = first_row / z.ztile[1]; ty <= (end_row - 1) / z.ztile[1]; ++ty) {
    for (int64_t tx = 0; tx <= (cols - 1) / z.ztile[0]; ++tx) {
      TileRef t;
      t.row = base + ty * along[0] + tx + 1;
      t.col0 = tx * z.ztile[0];
      t.row0 = ty * z.ztile[1];
      t.width = extent(0, tx);
      t.height = extent(1, ty);
      t.samples = t.width * t.height * depth;
      t.slice = slice * t.width * t.height;
      tiles.push_back(t);
    }
  }
  return tiles;
}

std::string CheckTileBytes(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                           const std::vector<TileRef>& tiles, bool rice_decoded_here) {
  const TileCompression& z = *hdu.compressed;
  const int compressed = codec.compressed;
  const int gzipped = codec.gzipped;
  if (codec.rice && codec.bytepix == 0) return "cfitsio : BYTEPIX / BLOCKSIZE ?";
  int status = 0;
  int columns = 0;
  fits_get_num_cols(file, &columns, &status);
  std::vector<unsigned char> bytes;
  std::vector<uint32_t> scratch;
  for (int c = 1; c <= columns && status == 0; ++c) {
    int type = 0;
    LONGLONG repeat = 0;
    LONGLONG width = 0;
    fits_get_coltypell(file, c, &type, &repeat, &width, &status);
    if (status != 0 || type >= 0) continue;  // a fixed-width column lies in the table
    for (const TileRef& tile : tiles) {
      LONGLONG length = 0;
      LONGLONG offset = 0;
      fits_read_descriptll(file, c, tile.row, &length, &offset, &status);
      if (status != 0) break;
      const UInt128 end = static_cast<UInt128>(std::max<LONGLONG>(offset, 0)) +
                          static_cast<UInt128>(std::max<LONGLONG>(length, 0)) *
                              static_cast<UInt128>(std::max<LONGLONG>(width, 1));
      if (length < 0 || offset < 0 || end > static_cast<UInt128>(hdu.pcount))
        return CfitsioFailure(BAD_HEAP_PTR);
      if (length == 0) continue;
      bool fits = true;
      if (c == gzipped || (c == compressed && z.zcmptype.substr(0, 5) == "GZIP_")) {
        fits = width == 1 && GzipTileFits(file, c, tile, length, bytes, status);
      } else if (c != compressed) {
        continue;
      } else if (z.zcmptype == "HCOMPRESS_1") {
        fits = HcompressHeaderFits(file, c, tile, length, status);
      } else if (z.zcmptype == "PLIO_1") {
        fits = width == 2 && PlioHeaderFits(file, c, tile, length, status);
      } else if (codec.rice && !rice_decoded_here) {
        scratch.resize(static_cast<std::size_t>(tile.samples));
        fits = width == 1 && ReadPadded(file, c, tile, length, bytes, status) &&
               RiceDecode(bytes, length, codec, tile.samples, scratch.data());
      }
      if (status == 0 && !fits) return TileFailure(tile);
    }
  }
  return status == 0 ? std::string() : CfitsioFailure(status);
}

bool OwnRiceDecoding(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                     const std::vector<TileRef>& tiles) {
  const int column = codec.compressed;
  if (!codec.rice || codec.bytepix == 0 || hdu.compressed->zbitpix < 0 || column == 0) return false;
  int status = 0;
  int type = 0;
  LONGLONG repeat = 0;
  LONGLONG width = 0;
  fits_get_coltypell(file, column, &type, &repeat, &width, &status);
  if (status != 0 || type >= 0 || width != 1) return false;
  for (const TileRef& tile : tiles) {
    LONGLONG length = 0;
    LONGLONG offset = 0;
    fits_read_descriptll(file, column, tile.row, &length, &offset, &status);
    if (status != 0 || length <= 0) return false;  // kept in another column: cfitsio reads it
  }
  return true;
}

template <typename T>
std::string DecodeRiceRows(fitsfile* file, const FitsHdu& hdu, const TileCodec& codec,
                           const std::vector<long>& origin, int64_t r0, int64_t r1, int64_t height,
                           Plane<T>& plane) {
  const TileCodec& rice = codec;
  const int column = codec.compressed;
  const int64_t cols = plane.cols();
  std::vector<unsigned char> bytes;
  std::vector<uint32_t> scratch;
  int status = 0;
  for (const TileRef& tile : TouchedTiles(*hdu.compressed, origin, r0, r1, cols)) {
    LONGLONG length = 0;
    LONGLONG offset = 0;
    fits_read_descriptll(file, column, tile.row, &length, &offset, &status);
    if (status != 0 || !ReadPadded(file, column, tile, length, bytes, status))
      return CfitsioFailure(status);
    // A tile that is one whole kept row of samples of the plane's own size decodes in place.
    const bool in_place = rice.bytepix == static_cast<int>(sizeof(T)) && tile.height == 1 &&
                          tile.width == cols && tile.samples == cols;
    if (in_place) {
      T* row = plane.Row(static_cast<int32_t>(height - 1 - tile.row0));
      if (!RiceDecode(bytes, length, rice, tile.samples, row)) return TileFailure(tile);
      continue;
    }
    scratch.resize(static_cast<std::size_t>(tile.samples));
    if (!RiceDecode(bytes, length, rice, tile.samples, scratch.data())) return TileFailure(tile);
    const int64_t first = std::max(r0, tile.row0);
    const int64_t last = std::min(r1, tile.row0 + tile.height);
    const int64_t kept = std::min(tile.width, cols - tile.col0);
    for (int64_t r = first; r < last; ++r) {
      T* dst = plane.Row(static_cast<int32_t>(height - 1 - r)) + tile.col0;
      const int64_t at = tile.slice + (r - tile.row0) * tile.width;
      for (int64_t i = 0; i < kept; ++i) {
        // The decoder's unsigned words hold the samples' bits (two's complement).
        const auto k = static_cast<std::size_t>(at + i);
        if (rice.bytepix == 1) {
          dst[i] = static_cast<T>(reinterpret_cast<const uint8_t*>(scratch.data())[k]);
        } else if (rice.bytepix == 2) {
          dst[i] = static_cast<T>(
              static_cast<int16_t>(reinterpret_cast<const uint16_t*>(scratch.data())[k]));
        } else {
          dst[i] = static_cast<T>(static_cast<int32_t>(scratch[k]));
        }
      }
    }
  }
  return {};
}

template std::string DecodeRiceRows<uint8_t>(fitsfile*, const FitsHdu&, const TileCodec&,
                                             const std::vector<long>&, int64_t, int64_t, int64_t,
                                             Plane<uint8_t>&);
template std::string DecodeRiceRows<int16_t>(fitsfile*, const FitsHdu&, const TileCodec&,
                                             const std::vector<long>&, int64_t, int64_t, int64_t,
                                             Plane<int16_t>&);
template std::string DecodeRiceRows<int32_t>(fitsfile*, const FitsHdu&, const TileCodec&,
                                             const std::vector<long>&, int64_t, int64_t, int64_t,
                                             Plane<int32_t>&);

}  // namespace kivrel
