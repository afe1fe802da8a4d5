// FITS images through the dialog against cfitsio: blank samples (integers equal to BLANK, NaN
// floats) out of the statistics and the level modes, the status line's notes and extension
// names, the layer walk over the image extensions of a file, 64-bit integers, and gzip and
// tile-compressed files (written here by zlib and cfitsio) opening like the plain file.
#include <fitsio.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "browser/display/levels.h"
#include "display_fixture.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;

std::string CorpusFile(const std::string& name) {
  return std::string(KIVREL_CORPUS_DIR) + "/fits/" + name;
}

#define SKIP_WITHOUT(path) \
  if (!fs::exists(path)) GTEST_SKIP() << "no " << (path)

// One plane of an HDU as cfitsio reads it: physical values (its scaling applied) in file order,
// and its null flags (integers equal to BLANK, NaN floats).
struct CfitsioPlane {
  int64_t width = 0;
  int64_t height = 0;
  std::vector<double> values;
  std::vector<char> null;
};

CfitsioPlane ReadPlane(const std::string& path, int hdu, int64_t plane = 1) {
  CfitsioPlane out;
  fitsfile* f = nullptr;
  int status = 0;
  int naxis = 0;
  long size[3] = {0, 0, 0};
  fits_open_file(&f, path.c_str(), READONLY, &status);
  fits_movabs_hdu(f, hdu + 1, nullptr, &status);
  fits_get_img_dim(f, &naxis, &status);
  fits_get_img_size(f, 3, size, &status);
  out.width = size[0];
  out.height = size[1];
  const int64_t n = out.width * out.height;
  out.values.resize(static_cast<std::size_t>(n));
  out.null.resize(static_cast<std::size_t>(n));
  int any = 0;
  fits_read_imgnull(f, TDOUBLE, 1 + n * (plane - 1), n, out.values.data(), out.null.data(), &any,
                    &status);
  fits_close_file(f, &status);
  EXPECT_EQ(status, 0) << path;
  return out;
}

// The plane's real samples against the shown image: same values bit for bit (blank ones 0 in the
// plane, marked in the mask), and their statistics.
void ExpectShows(const Image& image, const CfitsioPlane& ref) {
  ASSERT_EQ(image.width, ref.width);
  ASSERT_EQ(image.height, ref.height);
  test::ReferenceStats stats;
  int64_t blanks = 0;
  int64_t mismatches = 0;
  image.plane.Visit([&](const auto& plane) {
    for (int64_t i = 0; i < ref.width * ref.height; ++i) {
      const auto r = static_cast<int32_t>(ref.height - 1 - i / ref.width);
      const auto c = static_cast<int32_t>(i % ref.width);
      const bool null = ref.null[static_cast<std::size_t>(i)] != 0;
      const double v = ref.values[static_cast<std::size_t>(i)];
      const auto shown = static_cast<double>(
          static_cast<long double>(plane.At(r, c)) * image.BScale + image.BZero);
      blanks += null;
      if (!null) stats.Add(1, 0, v);
      if ((image.blanks.IsBlank(r, c) != null || (!null && shown != v)) && mismatches++ < 5)
        ADD_FAILURE() << "row " << r << " column " << c << ": " << shown << " vs " << v;
    }
  });
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(image.blanks.Count(), blanks);
  EXPECT_TRUE(stats.count > 0 ? test::StatsAgree(image.stats, stats, false)
                              : test::AllZero(image.stats));
}

// ---- Blanks out of the statistics and the level modes ---------------------------------------

class DialogBlanks : public ::testing::TestWithParam<const char*> {};

// hi_20110910_114721_s7h2A.fts: 32-bit, BLANK = 0, half of its samples blank; nrao/image.imfits:
// floats, 2827 NaN (and a BLANK card, which floats ignore).
TEST_P(DialogBlanks, StayOutOfTheStatisticsAndTheLevels) {
  const std::string path = CorpusFile(GetParam());
  SKIP_WITHOUT(path);
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->ChooseFile(path);
  ASSERT_TRUE(dialog->load.ImageLoaded);
  const CfitsioPlane ref = ReadPlane(path, 0);
  ASSERT_GT(std::count(ref.null.begin(), ref.null.end(), 1), 1000);
  ExpectShows(dialog->image, ref);

  // "data" spans the real samples; "99,5 %" cuts them as numpy.percentile does.
  std::vector<double> real;
  for (std::size_t i = 0; i < ref.values.size(); ++i)
    if (ref.null[i] == 0) real.push_back(ref.values[i]);
  std::sort(real.begin(), real.end());
  const auto percentile = [&](double q) {
    const double at = q * static_cast<double>(real.size() - 1);
    const auto k = static_cast<std::size_t>(at);
    const double next = real[std::min(k + 1, real.size() - 1)];
    return real[k] + (at - static_cast<double>(k)) * (next - real[k]);
  };
  const auto data = ImageLevelThresholds(dialog->image, kLevelData);
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(data->low, real.front());
  EXPECT_EQ(data->high, real.back());
  const auto cut = ImageLevelThresholds(dialog->image, kLevelPercentile);
  ASSERT_TRUE(cut.has_value());
  EXPECT_NEAR(cut->low, percentile(0.0025), 1e-9 * std::fabs(percentile(0.0025)));
  EXPECT_NEAR(cut->high, percentile(0.9975), 1e-9 * std::fabs(percentile(0.9975)));
}

INSTANTIATE_TEST_SUITE_P(Corpus, DialogBlanks,
                         ::testing::Values("hi_20110910_114721_s7h2A.fts", "nrao/image.imfits"),
                         [](const auto& row) { return std::string(row.param).substr(0, 2); });

// ---- Status line ------------------------------------------------------------------------------

struct StatusRow {
  const char* name;
  const char* path;  // under fits/
  int layer;
  // The file line before the sky text: sizes as cfitsio reads them, EXTNAME and EXTVER as the
  // headers state them.
  const char* line;
};

void PrintTo(const StatusRow& row, std::ostream* os) {
  *os << row.name;
}

class DialogStatus : public ::testing::TestWithParam<StatusRow> {};

TEST_P(DialogStatus, SaysWhatIsShown) {
  const StatusRow& row = GetParam();
  const std::string path = CorpusFile(row.path);
  SKIP_WITHOUT(path);
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->file.layer_edit.text = std::to_string(row.layer);
  dialog->ChooseFile(path);
  ASSERT_TRUE(dialog->load.ImageLoaded);
  const std::string& caption = dialog->texts.status_line.caption;
  EXPECT_EQ(caption.substr(0, std::string(row.line).size()), row.line);
  EXPECT_EQ(caption, row.line + SkyText(dialog->sky));
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, DialogStatus,
    ::testing::Values(
        StatusRow{"CappedTruncatedNoRealSample", "tan.fits", 1,
                  "tan.fits  4256x2832, 4000x2832 affichés, fichier tronqué, aucun pixel valide  "
                  "8 bits"},
        StatusRow{"Truncated", "mq130812.084253.fits", 1,
                  "mq130812.084253.fits  1500x1340, fichier tronqué  16 bits"},
        StatusRow{"NoRealSample64", "blank.fits", 1,
                  "blank.fits  1x1, aucun pixel valide  64 bits"},
        StatusRow{"ExtensionNameAndVersion", "o4sp040b0_raw.fits", 2,
                  "o4sp040b0_raw.fits[SCI,2]  62x44  16 bits"},
        StatusRow{"ExtensionName", "ukidss/image.fits", 1,
                  "image.fits[WSAIMAGE]  300x300  32 bits"},
        StatusRow{"CompressedExtension", "m13_rice.fits", 1,
                  "m13_rice.fits[COMPRESSED_IMAGE]  300x300  16 bits"},
        StatusRow{"PrimaryBesideExtensions", "scuba850_AFGL2591.fits", 1,
                  "scuba850_AFGL2591.fits  63x69  -32 bits"},
        StatusRow{"ExtensionAfterAPrimaryImage", "scuba850_AFGL2591.fits", 3,
                  "scuba850_AFGL2591.fits[QUALITY]  63x69  8 bits"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DialogStatus, CappedImageSaysWhatIsShown) {
  test::TempDir dir;
  const std::vector<uint8_t> samples(4100 * 3, 7);
  const std::string path =
      dir.Write("wide.fits", test::FitsFile(test::ImageCards(8, 4100, 3), samples));
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->ChooseFile(path);
  EXPECT_EQ(dialog->texts.status_line.caption, "wide.fits  4100x3, 4000x3 affichés  8 bits");
}

// ---- Layers over the image extensions ---------------------------------------------------------

// test0.fits: an empty primary and four SCI extensions of 40 x 40, one layer each.
TEST(DialogLayers, WalkEveryImageExtension) {
  const std::string path = CorpusFile("test0.fits");
  SKIP_WITHOUT(path);
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->ChooseFile(path);
  for (int layer = 1; layer <= 4; ++layer) {
    SCOPED_TRACE(layer);
    dialog->ChangeLayer(std::to_string(layer));
    ASSERT_TRUE(dialog->load.ImageLoaded);
    EXPECT_EQ(dialog->image.LayerCount, 4);
    EXPECT_EQ(dialog->file.layer_count.caption, "/4");
    EXPECT_EQ(dialog->texts.status_line.caption.substr(0, 33),
              "test0.fits[SCI," + std::to_string(layer) + "]  40x40  16 bits");
    ExpectShows(dialog->image, ReadPlane(path, layer));
  }
  dialog->ChangeLayer("9");  // past the last: the last
  EXPECT_EQ(dialog->image.CurrentLayer, 4);
}

// ---- Files written here -----------------------------------------------------------------------

// A 2-D image written by cfitsio: samples in file order, a BLANK card, BZERO; compressed with
// Rice when `rice`.
void WriteImage(const std::string& path, int bitpix, long width, long height,
                std::vector<LONGLONG> samples, LONGLONG blank, double bzero, bool rice = false) {
  fitsfile* f = nullptr;
  int status = 0;
  long size[2] = {width, height};
  fits_create_file(&f, ("!" + path).c_str(), &status);
  if (rice) fits_set_compression_type(f, RICE_1, &status);
  fits_create_img(f, bitpix, 2, size, &status);
  fits_write_key(f, TLONGLONG, "BLANK", &blank, "", &status);
  fits_write_key(f, TDOUBLE, "BZERO", &bzero, "", &status);
  fits_set_bscale(f, 1, 0, &status);  // the samples are written raw
  if (bitpix == SHORT_IMG) {
    // cfitsio compresses 16-bit images from 16-bit samples only.
    std::vector<short> shorts(samples.begin(), samples.end());
    fits_write_img(f, TSHORT, 1, width * height, shorts.data(), &status);
  } else {
    fits_write_img(f, TLONGLONG, 1, width * height, samples.data(), &status);
  }
  fits_close_file(f, &status);
  ASSERT_EQ(status, 0) << path;
}

// blank.fits holds nothing but a blank sample (covered in the status table); a 64-bit image
// written by cfitsio shows its samples as doubles, with its blank left out.
TEST(Dialog64Bits, ShowsTheSamplesAndLeavesBlanksOut) {
  test::TempDir dir;
  const std::string path = dir.path() + "/wide.fits";
  const LONGLONG big = LONGLONG{1} << 52;
  WriteImage(path, LONGLONG_IMG, 3, 2, {-big, 5, -1, big, 0, 7}, -1, 10);
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->ChooseFile(path);
  ASSERT_TRUE(dialog->load.ImageLoaded);
  EXPECT_EQ(dialog->image.SampleType, 64);
  EXPECT_EQ(dialog->texts.status_line.caption, "wide.fits  3x2  64 bits");
  EXPECT_EQ(test::PlaneOf<double>(dialog->image).At(0, 0), static_cast<double>(big));
  ExpectShows(dialog->image, ReadPlane(path, 0));
}

// The same 16-bit image with blanks, plain, gzipped by zlib and tile-compressed by cfitsio.
TEST(DialogCompressed, GzipAndFzFilesOpenLikeThePlainFile) {
  test::TempDir dir;
  std::vector<LONGLONG> samples;
  for (int i = 0; i < 90 * 70; ++i)
    samples.push_back(i % 17 == 0 ? -32768 : (i * 37) % 4001 - 2000);
  const std::string plain = dir.path() + "/plain.fits";
  WriteImage(plain, SHORT_IMG, 90, 70, samples, -32768, 32768);
  const std::string fz = dir.path() + "/rice.fz";
  WriteImage(fz, SHORT_IMG, 90, 70, samples, -32768, 32768, true);
  const std::string gz = dir.path() + "/zipped.fits.gz";
  {
    std::ifstream in(plain, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    gzFile out = gzopen(gz.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())),
              static_cast<int>(bytes.size()));
    gzclose(out);
  }
  const CfitsioPlane ref = ReadPlane(plain, 0);
  for (const auto& [path, line] :
       {std::pair{plain, "plain.fits  90x70  16 bits"},
        std::pair{gz, "zipped.fits.gz  90x70  16 bits"},
        // cfitsio gives the compressed HDU no EXTNAME: its number names it.
        std::pair{fz, "rice.fz[HDU 2]  90x70  16 bits"}}) {
    SCOPED_TRACE(path);
    auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
    dialog->ChooseFile(path);
    ASSERT_TRUE(dialog->load.ImageLoaded) << dialog->texts.status_line.caption;
    EXPECT_EQ(dialog->texts.status_line.caption, line);
    EXPECT_EQ(dialog->image.LayerCount, 1);
    ExpectShows(dialog->image, ref);
  }
}

}  // namespace
}  // namespace kivrel
