// Tile-compressed planes against cfitsio's own read of the same file: files written here by
// cfitsio with each compression, sample type and tiling, and the corpus's m13_rice.fits against
// its uncompressed twin; hostile Z keywords and tile descriptors that must fail with a reason.
// Whole-file gzip against the bytes it was made from with zlib.
#include <fitsio.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "browser/base/gzip_byte_source.h"
#include "browser/readers/fits_compressed.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_layout.h"
#include "browser/readers/fits_reader.h"
#include "fits_fixture.h"

namespace kivrel {
namespace {

using test::Bytes;
using test::Card;

// cfitsio's raw samples of one plane, in file order, floats with NaN where undefined.
template <typename T>
std::vector<T> CfitsioPlane(const std::string& path, int hdu, int64_t plane, int datatype,
                            double& bscale, double& bzero, std::optional<double>& blank) {
  fitsfile* f = nullptr;
  int status = 0;
  int type = 0;
  fits_open_diskfile(&f, path.c_str(), READONLY, &status);
  fits_movabs_hdu(f, hdu, &type, &status);
  int bitpix = 0;
  int naxis = 0;
  long axes[3] = {1, 1, 1};
  fits_get_img_param(f, 3, &bitpix, &naxis, axes, &status);
  bscale = 1;
  bzero = 0;
  fits_read_key(f, TDOUBLE, "BSCALE", &bscale, nullptr, &status);
  if (status == KEY_NO_EXIST) status = 0;
  fits_read_key(f, TDOUBLE, "BZERO", &bzero, nullptr, &status);
  if (status == KEY_NO_EXIST) status = 0;
  double b = 0;
  fits_read_key(f, TDOUBLE, "BLANK", &b, nullptr, &status);
  blank = status == 0 ? std::optional<double>(b) : std::nullopt;
  status = 0;
  fits_set_bscale(f, 1.0, 0.0, &status);
  const LONGLONG n = static_cast<LONGLONG>(axes[0]) * axes[1];
  std::vector<T> values(static_cast<std::size_t>(n));
  T nan = std::numeric_limits<T>::quiet_NaN();
  int any = 0;
  fits_read_img(f, datatype, plane * n + 1, n, std::is_integral_v<T> ? nullptr : &nan,
                values.data(), &any, &status);
  fits_close_file(f, &status);
  EXPECT_EQ(status, 0);
  return values;
}

// The plane, mask and statistics that cfitsio's samples give under the blank rules.
template <typename T>
::testing::AssertionResult SameAsCfitsio(const DecodedPlane& got, const std::string& path, int hdu,
                                         int64_t plane, int datatype) {
  double bscale = 1;
  double bzero = 0;
  std::optional<double> blank;
  const std::vector<T> ref = CfitsioPlane<T>(path, hdu, plane, datatype, bscale, bzero, blank);
  if (!got.Ok()) return ::testing::AssertionFailure() << got.failure_text << got.failure_clause;
  const auto& p = std::get<Plane<T>>(got.plane);
  const int64_t h = got.height;
  const int64_t w = got.width;
  if (p.rows() != std::min<int64_t>(h, 4000) || p.cols() != std::min<int64_t>(w, 4000))
    return ::testing::AssertionFailure() << "plane " << p.rows() << " x " << p.cols();
  test::ReferenceStats stats;
  for (int32_t d = 0; d < p.rows(); ++d) {
    for (int32_t c = 0; c < p.cols(); ++c) {
      const T v = ref[static_cast<std::size_t>((h - 1 - d) * w + c)];
      bool is_blank = false;
      if constexpr (std::is_integral_v<T>) {
        is_blank = blank && static_cast<double>(v) == *blank;
      } else {
        is_blank = std::isnan(v);
      }
      const T expected = is_blank ? T{0} : v;
      if (!test::SameBits(p.At(d, c), expected) || got.blanks.IsBlank(d, c) != is_blank)
        return ::testing::AssertionFailure() << "sample at row " << d << ", column " << c;
      if (!is_blank) stats.Add(bscale, bzero, v);
    }
  }
  auto near = [](long double a, long double b) { return std::fabs(a - b) <= 1e-12 * std::fabs(b); };
  if (got.real_samples != static_cast<int64_t>(stats.count) || got.stats.min != stats.min ||
      got.stats.max != stats.max || !near(got.stats.mean, stats.Mean()) ||
      !near(got.stats.sigma, stats.Sigma()))
    return ::testing::AssertionFailure() << "statistics";
  return ::testing::AssertionSuccess();
}

struct CompressRow {
  const char* name;
  int compression;  // cfitsio's RICE_1, GZIP_1, ...
  int img_type;     // cfitsio's BYTE_IMG, SHORT_IMG, USHORT_IMG, LONG_IMG, FLOAT_IMG, DOUBLE_IMG
  long width;
  long height;
  long planes = 1;
  long tile_w = 0;  // 0: cfitsio's default tiling
  long tile_h = 0;
  bool blanks = true;
};

void PrintTo(const CompressRow& row, std::ostream* os) {
  *os << row.name;
}

// A star-field-like pattern with blanks: BLANK = -99 for integers, NaN for floats.
double Sample(long x, long y, long z, bool blanks, bool integral) {
  if (blanks && (x * 7 + y * 13 + z) % 29 == 0) return integral ? -99 : std::nan("");
  const double star = ((x * 31 + y * 17) % 97 == 0) ? 90 : 0;
  return 20 + (x * 3 + y * 5 + z * 11) % 23 + star;
}

std::string WriteCompressed(const std::string& dir, const CompressRow& row) {
  const std::string path = dir + "/" + row.name + ".fits";
  fitsfile* f = nullptr;
  int status = 0;
  fits_create_file(&f, ("!" + path).c_str(), &status);
  fits_set_compression_type(f, row.compression, &status);
  if (row.tile_w > 0) {
    long tile[3] = {row.tile_w, row.tile_h, 1};
    fits_set_tile_dim(f, 3, tile, &status);
  }
  long axes[3] = {row.width, row.height, row.planes};
  fits_create_img(f, row.img_type, row.planes > 1 ? 3 : 2, axes, &status);
  const bool integral = row.img_type > 0;
  if (integral && row.blanks) {
    long blank = -99;
    fits_write_key(f, TLONG, "BLANK", &blank, "", &status);
  }
  // cfitsio compresses only samples given in the image's own type.
  auto write = [&](auto zero, int datatype) {
    std::vector<decltype(zero)> v;
    for (long z = 0; z < row.planes; ++z)
      for (long y = 0; y < row.height; ++y)
        for (long x = 0; x < row.width; ++x)
          v.push_back(static_cast<decltype(zero)>(Sample(x, y, z, row.blanks, integral)));
    fits_write_img(f, datatype, 1, static_cast<LONGLONG>(v.size()), v.data(), &status);
  };
  switch (row.img_type) {
    case BYTE_IMG:
      write(uint8_t{}, TBYTE);
      break;
    case SHORT_IMG:
      write(int16_t{}, TSHORT);
      break;
    case USHORT_IMG:
      write(uint16_t{}, TUSHORT);
      break;
    case LONG_IMG:
      write(int32_t{}, TINT);
      break;
    case FLOAT_IMG:
      write(float{}, TFLOAT);
      break;
    default:
      write(double{}, TDOUBLE);
  }
  fits_close_file(f, &status);
  EXPECT_EQ(status, 0) << row.name;
  return path;
}

class CompressedPlanes : public ::testing::TestWithParam<CompressRow> {};

TEST_P(CompressedPlanes, MatchCfitsioReadOfTheSameFile) {
  const CompressRow& row = GetParam();
  const test::TempFile dir("unused", {});
  const std::string path =
      WriteCompressed(std::filesystem::path(dir.path()).parent_path().string(), row);
  auto source = FileByteSource::Open(path);
  const FitsLayout layout = ScanFitsLayout(*source);
  ASSERT_EQ(layout.FirstImageHdu(), 1);
  const FitsHdu& hdu = layout.hdus[1];
  ASSERT_TRUE(hdu.compressed.has_value());
  ASSERT_EQ(hdu.compressed->problem, "");
  EXPECT_EQ(layout.LayerCount(), row.planes);
  const int64_t plane = row.planes - 1;
  const DecodedPlane got = ReadCompressedPlane(path, hdu, plane);
  EXPECT_EQ(got.stats_of_kept_part, row.width > 4000 || row.height > 4000);
  EXPECT_EQ(got.blanks.Count() > 0, row.blanks);
  switch (got.sample_type) {
    case 8:
      EXPECT_TRUE(SameAsCfitsio<uint8_t>(got, path, 2, plane, TBYTE));
      break;
    case 16:
      EXPECT_TRUE(SameAsCfitsio<int16_t>(got, path, 2, plane, TSHORT));
      break;
    case 32:
      EXPECT_TRUE(SameAsCfitsio<int32_t>(got, path, 2, plane, TINT));
      break;
    case -32:
      EXPECT_TRUE(SameAsCfitsio<float>(got, path, 2, plane, TFLOAT));
      break;
    default:
      EXPECT_TRUE(SameAsCfitsio<double>(got, path, 2, plane, TDOUBLE));
  }
  // The same bytes from memory give the same plane.
  const Bytes bytes = ReadWholeFile(path);
  const DecodedPlane mem = ReadCompressedPlane(bytes.data(), bytes.size(), hdu, plane);
  EXPECT_TRUE(mem.Ok());
  EXPECT_EQ(mem.real_samples, got.real_samples);
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, CompressedPlanes,
    ::testing::Values(CompressRow{"rice16", RICE_1, SHORT_IMG, 37, 23},
                      CompressRow{"rice16_unsigned", RICE_1, USHORT_IMG, 37, 23, 1, 0, 0, false},
                      CompressRow{"rice8", RICE_1, BYTE_IMG, 41, 19, 1, 0, 0, false},
                      CompressRow{"rice32_tiles", RICE_1, LONG_IMG, 37, 23, 1, 8, 5},
                      CompressRow{"gzip1_float", GZIP_1, FLOAT_IMG, 37, 23},
                      CompressRow{"gzip2_double", GZIP_2, DOUBLE_IMG, 37, 23},
                      CompressRow{"gzip2_int32", GZIP_2, LONG_IMG, 37, 23},
                      CompressRow{"hcompress16", HCOMPRESS_1, SHORT_IMG, 40, 33},
                      CompressRow{"hcompress32", HCOMPRESS_1, LONG_IMG, 40, 33},
                      CompressRow{"plio16", PLIO_1, SHORT_IMG, 37, 23, 1, 0, 0, false},
                      CompressRow{"rice_cube", RICE_1, SHORT_IMG, 21, 17, 3},
                      CompressRow{"rice_tall", RICE_1, SHORT_IMG, 9, 4100},
                      CompressRow{"gzip_wide_tiles", GZIP_1, SHORT_IMG, 4100, 7, 1, 1000, 3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CompressedCorpus, RiceM13HasThePixelsOfM13) {
  const std::string dir = std::string(KIVREL_CORPUS_DIR) + "/fits";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus at " << dir;
  auto source = FileByteSource::Open(dir + "/m13_rice.fits");
  const FitsLayout layout = ScanFitsLayout(*source);
  ASSERT_EQ(layout.FirstImageHdu(), 1);
  const DecodedPlane got = ReadCompressedPlane(dir + "/m13_rice.fits", layout.hdus[1], 0);
  EXPECT_TRUE(SameAsCfitsio<int16_t>(got, dir + "/m13.fits", 1, 0, TSHORT));
  EXPECT_TRUE(SameAsCfitsio<int16_t>(got, dir + "/m13_rice.fits", 2, 0, TSHORT));
}

// An empty primary and a compressed-image table header with the given Z cards; each edit
// replaces the table card at its index (an empty card removes it).
Bytes CompressedHeader(const std::vector<std::string>& z_cards, int64_t rows,
                       const std::vector<std::pair<std::size_t, std::string>>& edits = {},
                       const std::vector<std::string>& primary_cards = {}) {
  std::vector<std::string> cards = {Card("XTENSION", "'BINTABLE'"),
                                    Card("BITPIX", "8"),
                                    Card("NAXIS", "2"),
                                    Card("NAXIS1", "8"),
                                    Card("NAXIS2", std::to_string(rows)),
                                    Card("PCOUNT", "0"),
                                    Card("GCOUNT", "1"),
                                    Card("TFIELDS", "1"),
                                    Card("TTYPE1", "'COMPRESSED_DATA'"),
                                    Card("TFORM1", "'1PB(0)'"),
                                    Card("ZIMAGE", "T")};
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    if (it->second.empty()) {
      cards.erase(cards.begin() + static_cast<std::ptrdiff_t>(it->first));
    } else {
      cards[it->first] = it->second;
    }
  }
  cards.insert(cards.end(), z_cards.begin(), z_cards.end());
  cards.push_back("END");
  std::vector<std::string> primary = {Card("SIMPLE", "T"), Card("BITPIX", "8"),
                                      Card("NAXIS", "0"), Card("EXTEND", "T")};
  primary.insert(primary.end(), primary_cards.begin(), primary_cards.end());
  primary.push_back("END");
  Bytes file = test::HeaderBlocks(primary);
  Bytes table = test::FitsFile(cards, Bytes(static_cast<std::size_t>(rows) * 8, 0));
  file.insert(file.end(), table.begin(), table.end());
  return file;
}

TEST(CompressedHostile, ZKeywordsFailWithTheirReasonBeforeDecoding) {
  struct Row {
    std::vector<std::string> z;
    int64_t rows;
    const char* clause;
  };
  auto z = [](const char* bitpix, const char* w, const char* h, const char* tile_w,
              const char* tile_h, const char* type = "'RICE_1'") {
    std::vector<std::string> cards = {Card("ZBITPIX", bitpix), Card("ZNAXIS", "2"),
                                      Card("ZCMPTYPE", type)};
    if (w) cards.push_back(Card("ZNAXIS1", w));
    if (h) cards.push_back(Card("ZNAXIS2", h));
    if (tile_w) cards.push_back(Card("ZTILE1", tile_w));
    if (tile_h) cards.push_back(Card("ZTILE2", tile_h));
    return cards;
  };
  const Row rows[] = {
      {z("16", "1000000000000", "1000000000000", nullptr, nullptr), 1,
       "ZTILE1 x ZTILE2 = 1000000000000 x 1"},
      {z("16", "100000", "100000", "100000", "100000"), 1, "ZTILE1 x ZTILE2 = 100000 x 100000"},
      {z("16", "100", "-5", "100", "1"), 1, "ZNAXIS2 = -5"},
      {z("16", "100", "100", "-3", "1"), 1, "ZTILE1 = -3"},
      {z("'abc'", "100", "100", "100", "1"), 100, "ZBITPIX = abc"},
      {z("12", "100", "100", "100", "1"), 100, "ZBITPIX = 12"},
      {z("16", "100", "100", "100", "1", "'LZW_9'"), 100, "ZCMPTYPE = 'LZW_9'"},
      {z("16", "100", "100", "100", "1"), 1, "NAXIS2 = 1"},
      {z("16", "100", nullptr, "100", "1"), 100, "ZNAXIS2"},
      {z("16", "16000000", "100", "16000000", "1"), 100, "ZTILE1 x ZTILE2 = 16000000 x 1"},
      {{Card("ZBITPIX", "16"), Card("ZNAXIS", "1"), Card("ZCMPTYPE", "'RICE_1'")}, 1, "ZNAXIS = 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.clause);
    const Bytes file = CompressedHeader(row.z, row.rows);
    MemoryByteSource source(file.data(), file.size());
    const FitsLayout layout = ScanFitsLayout(source);
    ASSERT_EQ(layout.hdus.size(), 2u) << layout.stop_reason;
    EXPECT_EQ(layout.LayerCount(), 1);  // shown, so that its failure is
    const DecodedPlane got = ReadCompressedPlane(file.data(), file.size(), layout.hdus[1], 0);
    EXPECT_EQ(got.failure_clause, row.clause);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(got.plane));
  }
}

// The table's keywords are checked before cfitsio opens it. It trusts the mandatory ones (a
// table without GCOUNT made it ask for petabytes), takes the first card of a name where the
// scan takes the last, and aborts on a number it cannot read (its error message overruns).
TEST(CompressedHostile, TableKeywordsFailWithTheirReasonBeforeCfitsio) {
  const std::vector<std::string> z = {Card("ZBITPIX", "16"), Card("ZNAXIS", "2"),
                                      Card("ZCMPTYPE", "'RICE_1'"), Card("ZNAXIS1", "10"),
                                      Card("ZNAXIS2", "4"), Card("ZTILE1", "10"),
                                      Card("ZTILE2", "1")};
  const struct {
    std::vector<std::pair<std::size_t, std::string>> edits;
    std::vector<std::string> more_z;
    const char* clause;
  } rows[] = {
      {{{6, "GCOUN`\xe0  =                    1"}}, {}, "GCOUNT"},
      {{{6, Card("GCOUNT", "2")}}, {}, "GCOUNT = 2"},
      {{{7, Card("TFIELDS", "0")}}, {}, "TFIELDS = 0"},
      {{{7, Card("TFIELDS", "100000")}}, {}, "TFIELDS = 100000"},
      {{{1, Card("BITPIX", "16")}}, {}, "BITPIX = 16"},
      {{{5, Card("GCOUNT", "1")}, {6, Card("PCOUNT", "0")}}, {}, "PCOUNT"},
      {{{9, ""}}, {}, "TFORM1"},
      {{}, {Card("ZVAL1", "'BLOCKSIZE'"), Card("ZVAL2", "(  4")}, "ZVAL1 = BLOCKSIZE"},
      {{}, {Card("ZVAL2", "(  4")}, "ZVAL2 = (  4"},
      {{}, {Card("ZDITHER0", "1e")}, "ZDITHER0 = 1e"},
      {{}, {Card("ZTILE1", "5")}, "ZTILE1 (deux fois)"},
      {{}, {Card("ZCMPTYPE", "'GZIP_1'")}, "ZCMPTYPE (deux fois)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.clause);
    std::vector<std::string> cards = z;
    cards.insert(cards.end(), row.more_z.begin(), row.more_z.end());
    const Bytes file = CompressedHeader(cards, 4, row.edits);
    MemoryByteSource source(file.data(), file.size());
    const FitsLayout layout = ScanFitsLayout(source);
    ASSERT_GE(layout.hdus.size(), 2u) << layout.stop_reason;
    ASSERT_TRUE(layout.hdus[1].compressed.has_value());
    EXPECT_EQ(layout.hdus[1].compressed->problem, row.clause);
    const DecodedPlane got = ReadCompressedPlane(file.data(), file.size(), layout.hdus[1], 0);
    EXPECT_EQ(got.failure_clause, row.clause);
  }
  // cfitsio reads the headers before the image on its way to it: their numbers count too.
  {
    const Bytes file = CompressedHeader(z, 4, {}, {Card("BSCALE", "(4")});
    MemoryByteSource source(file.data(), file.size());
    EXPECT_EQ(ScanFitsLayout(source).hdus[1].compressed->problem, "BSCALE = (4");
  }
  // Numbers as the standard writes them pass: signs, points, exponents with E or D.
  std::vector<std::string> cards = z;
  for (const char* v : {"32", "+32", "32.", "3.2E1", "0.32d+2", "'32'"})
    cards.push_back(Card("ZVAL" + std::to_string(cards.size()), v));
  const Bytes file = CompressedHeader(cards, 4);
  MemoryByteSource source(file.data(), file.size());
  EXPECT_EQ(ScanFitsLayout(source).hdus[1].compressed->problem, "");
}

// Damaged tiles that cfitsio's own decoders would follow out of their buffers (or, for gzip,
// grow a buffer without end): each must fail with a reason instead.
enum class Damage { kLength, kNoise, kHeader };
struct DamageRow {
  const char* name;
  int compression;
  int img_type;
  Damage damage;
};

void PrintTo(const DamageRow& row, std::ostream* os) {
  *os << row.name;
}

// A compressed file cut short anywhere in its table or heap, read from memory (as an inflated
// .fits.gz is): cfitsio reads whole 2880-byte blocks, so the reader must never let it read
// past the bytes it has (the sanitizer build sees any such read). With the layout scanned from
// the whole file, a cut into the table or heap fails with a reason; a cut into the padding
// after them reads the whole plane.
TEST(CompressedHostile, CutShortInMemoryNeverReadsPastItsBytes) {
  const test::TempFile dir("unused", {});
  const std::string folder = std::filesystem::path(dir.path()).parent_path().string();
  for (const int compression : {GZIP_2, RICE_1}) {
    const Bytes bytes = ReadWholeFile(WriteCompressed(
        folder, CompressRow{"cut", compression, SHORT_IMG, 16, 12, 1, 0, 0, false}));
    MemoryByteSource source(bytes.data(), bytes.size());
    const FitsLayout layout = ScanFitsLayout(source);
    const FitsHdu& hdu = layout.hdus[1];
    ASSERT_TRUE(hdu.compressed.has_value());
    const std::size_t data_end = hdu.data_offset + static_cast<std::size_t>(hdu.data_bytes);
    const DecodedPlane whole = ReadCompressedPlane(bytes.data(), bytes.size(), hdu, 0);
    ASSERT_TRUE(whole.Ok());
    for (std::size_t size = hdu.data_offset + 1; size < bytes.size(); size += 37) {
      const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
      const DecodedPlane got = ReadCompressedPlane(cut.data(), cut.size(), hdu, 0);
      if (size < data_end) {
        EXPECT_FALSE(got.Ok()) << size << " of " << data_end;
      } else {  // only the padding is cut
        EXPECT_TRUE(got.Ok()) << size;
        EXPECT_EQ(got.real_samples, whole.real_samples);
      }
    }
  }
}

class DamagedTiles : public ::testing::TestWithParam<DamageRow> {};

TEST_P(DamagedTiles, FailWithAReason) {
  const DamageRow& row = GetParam();
  const test::TempFile dir("unused", {});
  const std::string folder = std::filesystem::path(dir.path()).parent_path().string();
  Bytes bytes = ReadWholeFile(WriteCompressed(
      folder, CompressRow{row.name, row.compression, row.img_type, 64, 64, 1, 0, 0, false}));
  MemoryByteSource source(bytes.data(), bytes.size());
  const FitsLayout layout = ScanFitsLayout(source);
  const FitsHdu& hdu = layout.hdus[1];
  ASSERT_EQ(FitsCardValue(hdu.cards, "TFORM1").value_or("").substr(0, 2), "1P");
  // Row 1 of the table: the big-endian length and heap offset of tile 1's bytes.
  uint8_t* descriptor = bytes.data() + hdu.data_offset;
  const std::size_t heap = hdu.data_offset + static_cast<std::size_t>(hdu.naxis[0] * hdu.naxis[1]);
  const std::size_t tile = heap + (std::size_t{descriptor[4]} << 24 | descriptor[5] << 16 |
                                   descriptor[6] << 8 | descriptor[7]);
  switch (row.damage) {
    case Damage::kLength:  // 2^31 - 1 bytes
      descriptor[0] = 0x7F;
      descriptor[1] = descriptor[2] = descriptor[3] = 0xFF;
      break;
    case Damage::kNoise:
      for (std::size_t i = heap; i < hdu.data_offset + hdu.data_bytes; ++i)
        bytes[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
      break;
    case Damage::kHeader: {
      // HCOMPRESS: after the magic 0xDD 0x99, a 30000 x 30000 stream; PLIO: a line list of
      // 32767 words (its third 16-bit word).
      const std::vector<uint8_t> patch =
          row.compression == HCOMPRESS_1 ? std::vector<uint8_t>{0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30}
                                         : std::vector<uint8_t>{0x7F, 0xFF};
      const std::size_t at = row.compression == HCOMPRESS_1 ? 2 : 4;
      std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<std::ptrdiff_t>(tile + at));
      break;
    }
  }
  const DecodedPlane got = ReadCompressedPlane(bytes.data(), bytes.size(), hdu, 0);
  EXPECT_FALSE(got.Ok());
  EXPECT_EQ(got.failure_text.rfind("cfitsio : ", 0), 0u) << got.failure_text;
  EXPECT_TRUE(std::holds_alternative<std::monostate>(got.plane));
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, DamagedTiles,
    ::testing::Values(DamageRow{"rice_length", RICE_1, SHORT_IMG, Damage::kLength},
                      DamageRow{"rice_noise", RICE_1, SHORT_IMG, Damage::kNoise},
                      DamageRow{"rice_float_noise", RICE_1, FLOAT_IMG, Damage::kNoise},
                      DamageRow{"gzip1_noise", GZIP_1, SHORT_IMG, Damage::kNoise},
                      DamageRow{"gzip2_noise", GZIP_2, LONG_IMG, Damage::kNoise},
                      DamageRow{"hcompress_size", HCOMPRESS_1, SHORT_IMG, Damage::kHeader},
                      DamageRow{"plio_length", PLIO_1, SHORT_IMG, Damage::kHeader}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Whole-file gzip ----------------------------------------------------------------------

Bytes Gzip(const Bytes& raw, int members = 1) {
  Bytes out;
  const std::size_t part = raw.size() / static_cast<std::size_t>(members) + 1;
  for (std::size_t start = 0; start < raw.size(); start += part) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const std::size_t n = std::min(part, raw.size() - start);
    Bytes chunk(deflateBound(&z, n));
    z.next_in = const_cast<Bytef*>(raw.data() + start);
    z.avail_in = static_cast<uInt>(n);
    z.next_out = chunk.data();
    z.avail_out = static_cast<uInt>(chunk.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(z.total_out));
    deflateEnd(&z);
  }
  return out;
}

// A .fits.gz holding a compressed image: whole, it reads; cut short inside the last block of
// its heap (the padding cfitsio needs must not stand for the missing tile bytes), it fails.
TEST(GzipSource, ACompressedImageCutShortInsideItsLastBlockFails) {
  const test::TempFile dir("unused", {});
  const std::string folder = std::filesystem::path(dir.path()).parent_path().string();
  const Bytes bytes = ReadWholeFile(WriteCompressed(
      folder, CompressRow{"gz_cut", GZIP_2, SHORT_IMG, 16, 12, 1, 0, 0, false}));
  MemoryByteSource source(bytes.data(), bytes.size());
  const FitsHdu hdu = ScanFitsLayout(source).hdus[1];
  const std::size_t data_end = hdu.data_offset + static_cast<std::size_t>(hdu.data_bytes);
  ASSERT_NE(data_end % kFitsBlock, 0u);  // the heap ends inside its last block
  const Bytes cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(data_end - 10));
  const test::TempFile whole_gz("whole.fits.gz", Gzip(bytes));
  const test::TempFile cut_gz("cut.fits.gz", Gzip(cut));
  EXPECT_TRUE(ReadFits(whole_gz.path(), ReadRequest{1, nullptr}).Succeeded());
  EXPECT_FALSE(ReadFits(cut_gz.path(), ReadRequest{1, nullptr}).Succeeded());
}

Bytes Pattern(std::size_t n) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>((i * 7 + i / 3000) & 0xFF);
  return out;
}

TEST(GzipSource, ReadsTheBytesItWasMadeFromWhereverItSeeks) {
  const Bytes raw = Pattern(300000);
  for (int members : {1, 3}) {
    SCOPED_TRACE(members);
    GzipByteSource gz(std::make_unique<MemoryByteSource>(Gzip(raw, members)));
    EXPECT_TRUE(LooksGzipped(Gzip(raw).data(), 2));
    // Forward, backward and past the end.
    for (uint64_t at : {0ul, 123456ul, 5ul, 299990ul, 299999ul, 200000ul}) {
      gz.Seek(at);
      uint8_t buf[40];
      const std::size_t got = gz.Read(buf, sizeof buf);
      ASSERT_EQ(got, std::min<std::size_t>(sizeof buf, raw.size() - at));
      EXPECT_EQ(std::memcmp(buf, raw.data() + at, got), 0);
    }
    gz.Seek(400000);
    uint8_t byte;
    EXPECT_EQ(gz.Read(&byte, 1), 0u);
    EXPECT_EQ(gz.Size(), raw.size());
    EXPECT_FALSE(gz.Damaged());
    EXPECT_FALSE(gz.CapReached());
  }
}

TEST(GzipSource, AFitsGzFileScansLikeTheFileItHolds) {
  Bytes plain = test::FitsFile(test::ImageCards(16, 30, 20), Bytes(1200, 1));
  const Bytes ext =
      test::FitsFile({Card("XTENSION", "'IMAGE   '"), Card("BITPIX", "-32"), Card("NAXIS", "2"),
                      Card("NAXIS1", "5"), Card("NAXIS2", "4"), Card("EXTNAME", "'SCI'"), "END"},
                     Bytes(80, 0));
  plain.insert(plain.end(), ext.begin(), ext.end());
  const test::TempFile file("image.fits.gz", Gzip(plain));
  auto gz = GzipByteSource::Open(file.path());
  MemoryByteSource mem(plain.data(), plain.size());
  const FitsLayout a = ScanFitsLayout(*gz);
  const FitsLayout b = ScanFitsLayout(mem);
  ASSERT_EQ(a.hdus.size(), 2u);
  ASSERT_EQ(b.hdus.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(a.hdus[i].data_offset, b.hdus[i].data_offset);
    EXPECT_EQ(a.hdus[i].cards, b.hdus[i].cards);
    EXPECT_TRUE(a.hdus[i].data_complete);
  }
  EXPECT_EQ(a.stop_reason, "");
  EXPECT_EQ(a.LayerCount(), 2);
}

TEST(GzipSource, BombsAndDamageEndTheStream) {
  const Bytes zeros(std::size_t{24} << 20, 0);  // 24 MiB of zeros: about 24 KiB compressed
  const uint64_t cap = uint64_t{4} << 20;
  GzipByteSource bomb(std::make_unique<MemoryByteSource>(Gzip(zeros)), cap);
  Bytes buf(1 << 20);
  uint64_t total = 0;
  for (std::size_t n; (n = bomb.Read(buf.data(), buf.size())) > 0;)
    total += n;
  EXPECT_EQ(total, cap);
  EXPECT_TRUE(bomb.CapReached());

  const Bytes raw = Pattern(100000);
  Bytes cut = Gzip(raw);
  cut.resize(cut.size() / 2);
  GzipByteSource damaged(std::make_unique<MemoryByteSource>(cut));
  Bytes out(raw.size());
  const std::size_t got = damaged.Read(out.data(), out.size());
  EXPECT_LT(got, raw.size());
  EXPECT_EQ(std::memcmp(out.data(), raw.data(), got), 0);
  EXPECT_TRUE(damaged.Damaged());
}

}  // namespace
}  // namespace kivrel
