// Real FITS files written by other software: each one loads with the expected geometry and
// header facts, or fails with its reason, through the reader, the dialog and the header
// listing (every HDU's header, read at the offsets cfitsio finds, for a file of several). Where
// cfitsio also reads the shown image (in the primary HDU or an extension, tile-compressed or
// not), its raw values give the same plane bit for bit, the same blank samples (integers equal
// to BLANK, NaN floats) and the statistics of the other samples.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "browser/dialog/texts.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_reader.h"
#include "fits_fixture.h"
#include "image_checks.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;
using test::ReferenceStats;
using test::SameBits;

constexpr double kAny = std::numeric_limits<double>::quiet_NaN();

enum class Outcome { kLoads, kFails };

struct CorpusRow {
  const char* path;  // under fits/
  Outcome outcome;
  const char* reason;  // why it fails, as the status line words it
  int32_t height = 0;
  int32_t width = 0;
  int32_t sample_type = 0;
  int32_t layer_count = 1;
  double equinox = 1950;
  bool flip_x = false;
  bool flip_y = false;
  int header_blocks = 0;   // blocks listed by the header view (0: the listing fails)
  bool cfitsio = false;    // cfitsio reads the primary image too
  int32_t layer = 1;       // the layer compared
  int hdu = 0;             // the HDU that holds it (0: the primary), as astropy lists them
  double data_min = kAny;  // range stated by the corpus notes, when they give one
  double data_max = kAny;
  const char* radecsys = "'FK4'";
};

void PrintTo(const CorpusRow& row, std::ostream* os) {
  *os << row.path;
}

CorpusRow Loads(const char* path, int32_t h, int32_t w, int32_t type, int blocks) {
  CorpusRow r{path, Outcome::kLoads, ""};
  r.height = h;
  r.width = w;
  r.sample_type = type;
  r.header_blocks = blocks;
  r.cfitsio = true;
  return r;
}

CorpusRow Fails(const char* path, const char* reason, int blocks) {
  CorpusRow r{path, Outcome::kFails, reason};
  r.header_blocks = blocks;
  return r;
}

// Small modifiers to keep the table readable.
CorpusRow Equinox(CorpusRow r, double e) {
  r.equinox = e;
  return r;
}
CorpusRow Flips(CorpusRow r, bool x, bool y) {
  r.flip_x = x;
  r.flip_y = y;
  return r;
}
CorpusRow Layers(CorpusRow r, int32_t count, int32_t compared) {
  r.layer_count = count;
  r.layer = compared;
  return r;
}
CorpusRow Range(CorpusRow r, double lo, double hi) {
  r.data_min = lo;
  r.data_max = hi;
  return r;
}
CorpusRow Truncated(CorpusRow r) {
  r.cfitsio = false;
  return r;
}
CorpusRow InHdu(CorpusRow r, int hdu) {
  r.hdu = hdu;
  return r;
}

const char* const kSimple = "Mot clé \"SIMPLE = T\" manquant";
const char* const kNaxis = "Mot clé \"NAXIS < 2\"";

// Layers: the third axis of a lone primary image; otherwise every plane of every image HDU
// (the HDUs as astropy lists them). Header facts of an extension include the primary's
// keywords it inherits (ukidss: EQUINOX; o4sp040b0 says INHERIT = F).
std::vector<CorpusRow> Table() {
  CorpusRow scuba = Layers(Equinox(Loads("scuba850_AFGL2591.fits", 69, 63, -32, 4), 2000), 3, 1);
  scuba.radecsys = "'FK5     '";
  // RADESYS is not among the header reader's keywords (only RADECSYS is; the sky position
  // reads both through wcslib): the inherited EQUINOX shows, the frame stays at its default.
  const CorpusRow ukidss = InHdu(Equinox(Loads("ukidss/image.fits", 300, 300, 32, 1), 2000), 1);
  return {
      Equinox(Loads("1904-66_AZP.fits", 192, 192, -32, 4), 2000),
      Flips(Loads("20181209_180305_kcor_l1.5_rebinned.fits", 128, 128, -64, 4), true, false),
      Range(Flips(Loads("BIR_20110922_050000_01.fit", 200, 3600, 8, 2), true, true), 125, 233),
      Loads("HinodeSOT.fits", 384, 112, 16, 5),
      Layers(Flips(Loads("SXI_20170201_000400155_BA_13.FTS", 100, 100, -32, 2), true, false), 2, 1),
      Loads("blank.fits", 1, 1, 64, 1),  // its one sample is BLANK
      Range(Loads("checksum.fits", 40, 30, 16, 3), 4, 342),
      Loads("example1test.fits", 500, 500, 16, 1),
      Range(Flips(Loads("fixed-1890.fits", 100, 100, 16, 4), true, false), 1890, 1890),
      Fails("header_with_time.fits", kSimple, 3),
      Flips(Loads("hi_20110910_114721_s7h2A.fts", 256, 256, 32, 7), true, false),
      Layers(Flips(Loads("iris_l2_20130801_074720_4040000014_SJI_1400_t000.fits", 219, 212, 16, 5),
                   true, false),
             3, 2),
      Range(Equinox(Loads("m101.fits", 530, 530, 16, 4), 2000), 1507, 15752),
      Range(Equinox(Loads("m13.fits", 300, 300, 16, 1), 2000), 109, 3618),
      InHdu(Range(Equinox(Loads("m13_rice.fits", 300, 300, 16, 1), 2000), 109, 3618), 1),
      Layers(Flips(Loads("manyaxes.fits", 50, 10, 32, 2), true, true), 50, 25),
      Truncated(Loads("mq130812.084253.fits", 1340, 1500, 16, 1)),
      Loads("msx.fits", 149, 149, -64, 1),
      Truncated(Flips(Loads("na120701.091058.fits", 256, 256, -32, 2), true, false)),
      Layers(Equinox(Loads("ngc6946.fits", 100, 100, 16, 6), 2000), 101, 51),
      Fails("norh_tca_120101.fits", kNaxis, 1),
      Fails("not_actually_fits.fits", "", 0),
      InHdu(Layers(Loads("o4sp040b0_raw.fits", 44, 62, 16, 6), 2, 1), 1),
      Fails("random_groups.fits", "Mot clé \"NAXIS1 = 0\"", 5),
      Flips(Loads("resampled_hmi.fits", 100, 100, -64, 3), true, false),
      scuba,
      Range(Equinox(Flips(Loads("sip-wcs.fits", 50, 100, 16, 4), true, false), 2000), 3132, 5045),
      Flips(Loads("swap_lv1_20120101_001607.fits", 1024, 1024, 16, 4), true, false),
      Range(Equinox(Truncated(Loads("tan.fits", 2832, 4000, 8, 1)), 2000), 0, 0),
      InHdu(Layers(Loads("test0.fits", 40, 40, 16, 4), 4, 1), 1),
      Fails("zerowidth.fits", "Mot clé \"NAXIS2 = 0\"", 2),
      Equinox(Loads("first/image.fits", 33, 33, -32, 3), 2000),
      Loads("magpis/image.fits", 300, 300, -32, 2),
      Equinox(Loads("nrao/image.imfits", 124, 114, -32, 3), 2000),  // read for its first bytes
      ukidss,
  };
}

std::string CorpusDir() {
  return std::string(KIVREL_CORPUS_DIR) + "/fits";
}

#define SKIP_WITHOUT_CORPUS()                                                           \
  do {                                                                                  \
    if (!fs::is_directory(CorpusDir())) GTEST_SKIP() << "no corpus at " << CorpusDir(); \
  } while (false)

// ---- The reader ---------------------------------------------------------------------------

class CorpusFits : public ::testing::TestWithParam<CorpusRow> {
 protected:
  std::string Path() const { return CorpusDir() + "/" + GetParam().path; }
};

// The chosen layer of the file as the FITS reader gives it.
ReadResult ReadLayer(const std::string& path, int32_t layer) {
  ReadRequest request;
  request.layer = layer;
  return ReadFits(path, std::move(request));
}

TEST_P(CorpusFits, ReaderGivesTheExpectedOutcome) {
  SKIP_WITHOUT_CORPUS();
  const CorpusRow& row = GetParam();
  const ReadResult got = ReadLayer(Path(), row.layer);
  const Image& s = got.image;
  const std::string reason = FailureText(got.failure, MessageTexts{});
  if (row.outcome == Outcome::kFails) {
    EXPECT_LE(std::min(s.height, s.width), 0);
    EXPECT_EQ(reason, row.reason);
    return;
  }
  ASSERT_EQ(s.height, row.height) << reason;
  ASSERT_EQ(s.width, row.width);
  EXPECT_EQ(s.SampleType, row.sample_type);
  EXPECT_EQ(s.LayerCount, row.layer_count);
  EXPECT_EQ(s.CurrentLayer, row.layer);
  EXPECT_EQ(got.wcs.Equinox, row.equinox);
  EXPECT_EQ(got.wcs.RaDecSys, row.radecsys);
  EXPECT_EQ(got.flip_x, row.flip_x);
  EXPECT_EQ(got.flip_y, row.flip_y);
  if (!std::isnan(row.data_min)) {
    EXPECT_EQ(s.stats.DataMin, row.data_min);
    EXPECT_EQ(s.stats.DataMax, row.data_max);
  }
  EXPECT_LE(s.stats.DataMin, s.stats.DataMax);
  EXPECT_TRUE(std::isfinite(static_cast<double>(s.stats.DataMean)));
  EXPECT_GE(s.stats.DataSigma, 0);
}

TEST_P(CorpusFits, DialogShowsItOrItsReason) {
  SKIP_WITHOUT_CORPUS();
  const CorpusRow& row = GetParam();
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  auto dialog = std::make_unique<BrowserController>(options);
  dialog->ChooseFile(Path());
  if (row.outcome == Outcome::kLoads) {
    EXPECT_TRUE(dialog->load.ImageLoaded) << dialog->texts.status_line.caption;
    EXPECT_EQ(dialog->image.height, row.height);
    EXPECT_EQ(dialog->image.width, row.width);
    EXPECT_EQ(dialog->image.LayerCount, row.layer_count);
  } else {
    EXPECT_FALSE(dialog->load.ImageLoaded);
    EXPECT_EQ(dialog->texts.status_line.caption, std::string("Format non supporté.") + row.reason);
  }
}

// Each HDU's header cards up to its END card, read from the file at the offsets cfitsio finds
// (an HDU cfitsio cannot reach ends the list).
std::vector<std::vector<std::string>> HeadersByCfitsio(const std::string& path) {
  std::vector<std::vector<std::string>> headers;
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  fitsfile* f = nullptr;
  int status = 0;
  int count = 0;
  if (fits_open_file(&f, path.c_str(), READONLY, &status) != 0) return headers;
  fits_get_num_hdus(f, &count, &status);
  for (int k = 1; k <= count && status == 0; ++k) {
    LONGLONG head = 0;
    LONGLONG data = 0;
    LONGLONG end = 0;
    if (fits_movabs_hdu(f, k, nullptr, &status) != 0) break;
    fits_get_hduaddrll(f, &head, &data, &end, &status);
    std::vector<std::string>& cards = headers.emplace_back();
    for (auto at = static_cast<std::size_t>(head);
         at + 80 <= static_cast<std::size_t>(data) && at + 80 <= bytes.size(); at += 80) {
      cards.emplace_back(reinterpret_cast<const char*>(bytes.data()) + at, 80);
      if (cards.back().compare(0, 8, "END     ") == 0) break;
    }
  }
  status = 0;
  fits_close_file(f, &status);
  return headers;
}

// A file of one HDU lists its header blocks; a file of several lists each HDU's cards up to
// END after a line naming it ("HDU 2 : ...").
TEST_P(CorpusFits, HeaderListsEveryHduUpToItsEnd) {
  SKIP_WITHOUT_CORPUS();
  const HeaderListing listing = ListFitsHeader(Path());
  const std::string reason = FailureText(listing.failure, MessageTexts{});
  if (GetParam().header_blocks == 0) {
    EXPECT_FALSE(listing.ok);
    EXPECT_EQ(reason, kSimple);
    return;
  }
  ASSERT_TRUE(listing.ok) << reason;
  const auto headers = HeadersByCfitsio(Path());
  if (headers.size() <= 1) {
    EXPECT_EQ(listing.lines.size(), 36u * GetParam().header_blocks);
    EXPECT_EQ(listing.lines[0].substr(0, 6), "SIMPLE");
    return;
  }
  std::vector<std::string> want;
  for (std::size_t k = 0; k < headers.size(); ++k) {
    want.push_back("HDU " + std::to_string(k + 1) + " : ");
    want.insert(want.end(), headers[k].begin(), headers[k].end());
  }
  ASSERT_EQ(listing.lines.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    // Titles by their start; cards as they are (the corpus headers are plain ASCII).
    const bool title = want[i].size() < 80;
    EXPECT_EQ(title ? listing.lines[i].substr(0, want[i].size()) : listing.lines[i], want[i])
        << "line " << i;
  }
}

// ---- Against cfitsio ------------------------------------------------------------------------

// The chosen plane as cfitsio reads it raw (scaling off, no null checks), converted to doubles
// in file order with the rules applied here: integers equal to BLANK and NaN floats are blank
// (stored as 0); other floats whose first byte is 0x7F or 0xFF, or equal to BLANK, are 0.
struct CfitsioLayer {
  int64_t width = 0;
  int64_t height = 0;
  int bitpix = 0;
  std::vector<double> samples;
  std::vector<bool> blank;
  long double bscale = 1;
  long double bzero = 0;
};

// A numeric keyword as cfitsio finds it, converted in extended precision like the image's
// BZero and BScale (a double would differ in the last bits of a cancelling scale).
long double KeyOr(fitsfile* f, const char* key, long double fallback) {
  int status = 0;
  char value[FLEN_VALUE] = {0};
  if (fits_read_keyword(f, key, value, nullptr, &status) != 0) return fallback;
  char* end = nullptr;
  const long double v = std::strtold(value, &end);
  return end == value ? fallback : v;
}

template <typename T>
bool ReadRaw(fitsfile* f, int datatype, int64_t first, int64_t n, CfitsioLayer& out) {
  std::vector<T> raw(static_cast<std::size_t>(n));
  int status = 0;
  int anynul = 0;
  fits_read_img(f, datatype, first, n, nullptr, raw.data(), &anynul, &status);
  if (status != 0) return false;
  for (const T& v : raw) {
    double d = static_cast<double>(v);
    out.blank.push_back(false);
    if constexpr (std::is_floating_point_v<T>) {
      out.blank.back() = std::isnan(v);
      // The first byte in the file is the top byte of the value: 0x7F or 0xFF gives 0.
      unsigned char bytes[sizeof(T)];
      std::memcpy(bytes, &v, sizeof(T));
      const unsigned char top = bytes[sizeof(T) - 1];
      if (top == 0x7F || top == 0xFF) d = 0.0;
    }
    out.samples.push_back(d);
  }
  return true;
}

// Plane `plane` (1-based) of HDU `hdu` (0: the primary).
bool ReadWithCfitsio(const std::string& path, int hdu, int32_t plane, CfitsioLayer& out) {
  fitsfile* f = nullptr;
  int status = 0;
  if (fits_open_file(&f, path.c_str(), READONLY, &status) != 0) return false;
  fits_movabs_hdu(f, hdu + 1, nullptr, &status);
  int bitpix = 0;
  int naxis = 0;
  long naxes[9] = {0};
  fits_get_img_param(f, 9, &bitpix, &naxis, naxes, &status);
  fits_set_bscale(f, 1.0, 0.0, &status);
  bool ok = status == 0 && naxis >= 2;
  if (ok) {
    out.width = naxes[0];
    out.height = naxes[1];
    const int64_t n = out.width * out.height;
    const int64_t first = 1 + n * (plane - 1);
    out.bitpix = bitpix;
    switch (bitpix) {
      case BYTE_IMG:
        ok = ReadRaw<unsigned char>(f, TBYTE, first, n, out);
        break;
      case SHORT_IMG:
        ok = ReadRaw<short>(f, TSHORT, first, n, out);
        break;
      case LONG_IMG:
        ok = ReadRaw<int>(f, TINT, first, n, out);
        break;
      case LONGLONG_IMG:
        ok = ReadRaw<LONGLONG>(f, TLONGLONG, first, n, out);
        break;
      case FLOAT_IMG:
        ok = ReadRaw<float>(f, TFLOAT, first, n, out);
        break;
      case DOUBLE_IMG:
        ok = ReadRaw<double>(f, TDOUBLE, first, n, out);
        break;
      default:
        ok = false;
    }
    const long double no_blank = std::numeric_limits<long double>::quiet_NaN();
    const auto blank = static_cast<double>(KeyOr(f, "BLANK", no_blank));
    for (std::size_t i = 0; i < out.samples.size(); ++i) {
      if (out.samples[i] != blank) continue;
      if (bitpix > 0) out.blank[i] = true;
      out.samples[i] = 0;
    }
    out.bscale = KeyOr(f, "BSCALE", 1);
    out.bzero = KeyOr(f, "BZERO", 0);
  }
  status = 0;
  fits_close_file(f, &status);
  return ok;
}

::testing::AssertionResult Close(const char* what, long double got, long double want) {
  const long double scale = std::max(std::fabs(want), static_cast<long double>(1e-300));
  if (got == want || std::fabs(got - want) / scale <= 1e-12L) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << what << " " << static_cast<double>(got) << " vs " << static_cast<double>(want);
}

class CorpusFitsCfitsio : public CorpusFits {};

TEST_P(CorpusFitsCfitsio, PlaneAndStatisticsAgree) {
  SKIP_WITHOUT_CORPUS();
  const CorpusRow& row = GetParam();
  CfitsioLayer ref;
  const int32_t plane_in_hdu = row.hdu == 0 ? row.layer : 1;
  ASSERT_TRUE(ReadWithCfitsio(Path(), row.hdu, plane_in_hdu, ref));
  const ReadResult got = ReadLayer(Path(), row.layer);
  ASSERT_EQ(got.image.height, std::min<int64_t>(ref.height, 4000));
  ASSERT_EQ(got.image.width, std::min<int64_t>(ref.width, 4000));
  EXPECT_EQ(got.image.SampleType, ref.bitpix);

  ReferenceStats stats;
  int64_t mismatches = 0;
  int64_t blanks = 0;
  got.image.plane.Visit([&](const auto& plane) {
    using T = typename std::decay_t<decltype(plane)>::Element;
    // 64-bit integers are held as doubles.
    if (test::SampleTypeOf<T>() != (row.sample_type == 64 ? kSampleF64 : row.sample_type)) return;
    for (int64_t r = 0; r < ref.height; ++r) {
      const int64_t d = ref.height - 1 - r;
      for (int64_t j = 0; j < ref.width; ++j) {
        const auto i = static_cast<std::size_t>(r * ref.width + j);
        const double v = ref.samples[i];
        if (!ref.blank[i]) stats.Add(ref.bscale, ref.bzero, v);
        if (d >= 4000 || j >= 4000) continue;
        const auto pd = static_cast<int32_t>(d);
        const auto pj = static_cast<int32_t>(j);
        blanks += ref.blank[i];
        if ((!SameBits(plane.At(pd, pj), static_cast<T>(v)) ||
             got.image.blanks.IsBlank(pd, pj) != ref.blank[i]) &&
            mismatches++ < 5) {
          ADD_FAILURE() << "row " << d << " column " << j << ": " << +plane.At(pd, pj) << " vs "
                        << v << (ref.blank[i] ? " (blank)" : "");
        }
      }
    }
  });
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(got.image.blanks.Count(), blanks);
  EXPECT_EQ(got.origin.no_real_samples, stats.count == 0);
  if (stats.count == 0) {
    EXPECT_TRUE(test::AllZero(got.image.stats));
    return;
  }
  EXPECT_TRUE(Close("minimum", got.image.stats.DataMin, stats.min));
  EXPECT_TRUE(Close("maximum", got.image.stats.DataMax, stats.max));
  EXPECT_TRUE(Close("mean", got.image.stats.DataMean, stats.Mean()));
  EXPECT_TRUE(Close("sigma", got.image.stats.DataSigma, stats.Sigma()));
}

// Truncated files: the samples that are there, then blank zeros; the statistics are those of
// the samples present (none in tan.fits).
class CorpusFitsTruncated : public CorpusFits {};

TEST_P(CorpusFitsTruncated, KeepsWhatIsThere) {
  SKIP_WITHOUT_CORPUS();
  const CorpusRow& row = GetParam();
  const std::vector<uint8_t> bytes = ReadWholeFile(Path());
  const std::size_t data = static_cast<std::size_t>(row.header_blocks) * 2880;
  const int size = std::abs(row.sample_type) / 8;
  const ReadResult got = ReadLayer(Path(), 1);
  ASSERT_EQ(got.image.height, row.height);
  const std::size_t present = (bytes.size() - data) / static_cast<std::size_t>(size);
  ASSERT_LT(present, static_cast<std::size_t>(row.width));  // all in the file's first row
  EXPECT_TRUE(got.origin.truncated);
  ASSERT_EQ(got.image.BScale, 1);  // none of these files scales its samples
  ASSERT_EQ(got.image.BZero, 0);
  ReferenceStats stats;
  got.image.plane.Visit([&](const auto& plane) {
    if (test::SampleTypeOf<typename std::decay_t<decltype(plane)>::Element>() != row.sample_type)
      return;
    for (int32_t j = 0; j < plane.cols(); ++j) {
      const auto v = plane.At(plane.rows() - 1, j);
      if (static_cast<std::size_t>(j) >= present) {
        ASSERT_EQ(v, 0) << j;
        continue;
      }
      const uint8_t* b = bytes.data() + data + static_cast<std::size_t>(j) * size;
      const double want = size == 1 ? b[0] : size == 2 ? Swap16(b) : double(SwapSingle(b));
      ASSERT_EQ(static_cast<double>(v), want) << j;
      stats.Add(1, 0, want);
    }
    for (int32_t r = 0; r + 1 < plane.rows(); r += 97)
      ASSERT_EQ(plane.At(r, plane.cols() / 2), 0) << r;
  });
  const int64_t kept = int64_t{got.image.height} * got.image.width;
  EXPECT_EQ(got.image.blanks.Count(), kept - static_cast<int64_t>(stats.count));
  EXPECT_EQ(got.origin.no_real_samples, present == 0);
  EXPECT_TRUE(present > 0 ? test::StatsAgree(got.image.stats, stats, size <= 2)
                          : test::AllZero(got.image.stats));
}

std::string RowName(const ::testing::TestParamInfo<CorpusRow>& row) {
  std::string name;
  for (const char* p = row.param.path; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

std::vector<CorpusRow> Rows(bool (*keep)(const CorpusRow&)) {
  std::vector<CorpusRow> rows;
  for (const CorpusRow& row : Table())
    if (keep(row)) rows.push_back(row);
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusFits, ::testing::ValuesIn(Table()), RowName);
INSTANTIATE_TEST_SUITE_P(Files, CorpusFitsCfitsio,
                         ::testing::ValuesIn(Rows([](const CorpusRow& r) { return r.cfitsio; })),
                         RowName);
INSTANTIATE_TEST_SUITE_P(Files, CorpusFitsTruncated,
                         ::testing::ValuesIn(Rows([](const CorpusRow& r) {
                           return r.outcome == Outcome::kLoads && !r.cfitsio;
                         })),
                         RowName);

TEST(CorpusFitsTable, CoversEveryFileOfTheCorpus) {
  SKIP_WITHOUT_CORPUS();
  std::set<std::string> on_disk;
  for (const auto& entry : fs::recursive_directory_iterator(CorpusDir()))
    if (entry.is_regular_file()) on_disk.insert(fs::relative(entry.path(), CorpusDir()).string());
  std::set<std::string> in_table;
  for (const CorpusRow& row : Table())
    in_table.insert(row.path);
  EXPECT_EQ(on_disk, in_table);
}

}  // namespace
}  // namespace kivrel
