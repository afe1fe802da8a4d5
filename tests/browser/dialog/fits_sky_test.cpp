// The sky position the dialog shows for the corpus files: every file with celestial axes gives,
// for its full view, the position of the field's centre within 1" of wcslib + ERFA called here on
// the shown HDU's header (astropy's answer, printed by sky/wcs_reference.py, for the FK4 frame
// without E-terms, which ERFA does not convert directly), and the field's angular width; files
// without celestial axes show none.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"
#include "wcs_reference.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;
using test::SkyFrame;
constexpr double kArcsecond = 1.0 / 3600;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct SkyRow {
  const char* path;          // under fits/
  int layer;                 // the layer shown
  int hdu;                   // the HDU that holds it, as astropy lists them (0: the primary)
  SkyFrame frame;            // as the header states it, read by hand; kNone: no celestial axes
  double astropy_ra = kNaN;  // for kFk4NoETerms: astropy's J2000 answer, degrees
  double astropy_dec = kNaN;
};

void PrintTo(const SkyRow& row, std::ostream* os) {
  *os << row.path << " layer " << row.layer;
}

class DialogSky : public ::testing::TestWithParam<SkyRow> {};

TEST_P(DialogSky, ShowsTheFieldCentreOfTheShownHdu) {
  const SkyRow& row = GetParam();
  const fs::path path = fs::path(KIVREL_CORPUS_DIR) / "fits" / row.path;
  if (!fs::exists(path)) GTEST_SKIP() << "corpus absent";
  auto dialog = test::NewDialog(KIVREL_SOURCE_DIR);
  dialog->file.layer_edit.text = std::to_string(row.layer);
  dialog->ChooseFile(path.string());
  ASSERT_TRUE(dialog->load.ImageLoaded) << dialog->texts.status_line.caption;
  const SkyPosition& sky = dialog->sky;
  const std::string& caption = dialog->texts.status_line.caption;
  if (row.frame == SkyFrame::kNone) {
    EXPECT_EQ(sky.FieldWidth, 0);
    EXPECT_EQ(caption.find(" ar:"), std::string::npos) << caption;
    return;
  }
  EXPECT_NE(caption.find(SkyText(sky)), std::string::npos) << caption;

  // The plane keeps the left 4000 columns and the file's last 4000 rows: its centre is FITS
  // pixel ((cols + 1) / 2, NAXIS2 - (rows - 1) / 2).
  const test::ReferenceHdu hdu = test::ReadReferenceHdu(path, row.hdu);
  const double cols = static_cast<double>(std::min<int64_t>(hdu.naxis1, 4000));
  const double rows = static_cast<double>(std::min<int64_t>(hdu.naxis2, 4000));
  ASSERT_EQ(dialog->image.width, cols);
  ASSERT_EQ(dialog->image.height, rows);
  const double y = static_cast<double>(hdu.naxis2) - (rows - 1) / 2;
  const auto ref = test::WcslibAt(hdu, {(cols + 1) / 2, 0.5, cols + 0.5}, y, {1});
  ASSERT_EQ(ref.size(), 3u);
  double ra = ref[0][0];
  double dec = ref[0][1];
  if (!test::ToJ2000(row.frame, ra, dec)) {
    ra = row.astropy_ra;
    dec = row.astropy_dec;
  }
  EXPECT_TRUE(test::SkyNear(true, sky.FitsAR, sky.FitsDE, ra, dec, kArcsecond));
  const double width = test::Separation(ref[0][0], ref[0][1], ref[1][0], ref[1][1]) +
                       test::Separation(ref[0][0], ref[0][1], ref[2][0], ref[2][1]);
  EXPECT_NEAR(sky.FieldWidth, width, kArcsecond);
}

std::string RowName(const ::testing::TestParamInfo<SkyRow>& row) {
  std::string name;
  for (const char* p = row.param.path; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name + "_" + std::to_string(row.param.layer);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, DialogSky,
    ::testing::Values(
        SkyRow{"1904-66_AZP.fits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"checksum.fits", 1, 0, SkyFrame::kFk4B1950},  // EQUINOX 1950, no RADESYS
        SkyRow{"example1test.fits", 1, 0, SkyFrame::kFk4NoETerms, 192.803208850, 27.178180492},
        SkyRow{"first/image.fits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"m101.fits", 1, 0, SkyFrame::kJ2000}, SkyRow{"m13.fits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"m13_rice.fits", 1, 1, SkyFrame::kJ2000},
        SkyRow{"magpis/image.fits", 1, 0, SkyFrame::kGalactic},
        SkyRow{"msx.fits", 1, 0, SkyFrame::kGalactic},
        SkyRow{"ngc6946.fits", 1, 0, SkyFrame::kJ2000},  // EPOCH 2000, no EQUINOX
        SkyRow{"nrao/image.imfits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"scuba850_AFGL2591.fits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"sip-wcs.fits", 1, 0, SkyFrame::kJ2000},
        SkyRow{"tan.fits", 1, 0, SkyFrame::kJ2000},           // 4256 columns, the left 4000 shown
        SkyRow{"test0.fits", 2, 2, SkyFrame::kJ2000},         // no frame keywords: ICRS
        SkyRow{"ukidss/image.fits", 1, 1, SkyFrame::kJ2000},  // EQUINOX, RADESYS inherited
        // No celestial image axes.
        SkyRow{"test0.fits", 1, 1, SkyFrame::kNone},                    // UNITLESS / LINE
        SkyRow{"o4sp040b0_raw.fits", 1, 1, SkyFrame::kNone},            // LAMBDA / ANGLE
        SkyRow{"hi_20110910_114721_s7h2A.fts", 1, 0, SkyFrame::kNone},  // only WCS 'A' is RA/DEC
        SkyRow{"manyaxes.fits", 1, 0, SkyFrame::kNone},                 // FREQ x DEC
        SkyRow{"BIR_20110922_050000_01.fit", 1, 0, SkyFrame::kNone}),
    RowName);

}  // namespace
}  // namespace kivrel
