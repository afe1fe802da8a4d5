// The sky position of the shown field. References: wcslib and ERFA called directly on the
// same corpus headers at the window's centre pixel; astropy (numbers printed by
// wcs_reference.py) for some corpus files and for the frames; worked cases for the right
// ascension's range, the width and the plane's rows; hostile headers give no position.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "browser/sky/wcs_position.h"
#include "wcs_reference.h"

namespace kivrel {
namespace {

namespace fs = std::filesystem;
using Cards = std::vector<std::string>;
using Frame = test::SkyFrame;
using test::kDeg;
using test::Separation;
using test::WcslibAt;
constexpr double kTolerance = 0.1 / 3600;  // degrees
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

::testing::AssertionResult Near(const CelestialPosition& got, double ra, double dec) {
  return test::SkyNear(got.found, got.ra_hours, got.dec_degrees, ra, dec, kTolerance);
}

// --- Corpus files ---------------------------------------------------------------------------

struct CorpusCase {
  const char* path;          // under fits/
  int hdu;                   // 0: primary
  Frame frame;               // as the header states it, read by hand
  double astropy_ra = kNaN;  // full view, printed by wcs_reference.py
  double astropy_dec = kNaN;
  std::vector<int64_t> other_axes = {};
};
void PrintTo(const CorpusCase& c, std::ostream* os) {
  *os << c.path << " HDU " << c.hdu;
}

class SkyCorpusTest : public ::testing::TestWithParam<CorpusCase> {};

// The full view, and a window of half the size a quarter in from the top left: FITS columns
// c+1..c+a and rows NAXIS2-r-b+1..NAXIS2-r. Width reference: the distances from the centre to
// the midpoints of the left and right edges.
TEST_P(SkyCorpusTest, MatchesWcslibAndErfaAtTheWindowCentre) {
  const CorpusCase& c = GetParam();
  const fs::path path = fs::path(KIVREL_CORPUS_DIR) / "fits" / c.path;
  if (!fs::exists(path)) GTEST_SKIP() << "corpus absent";
  const test::ReferenceHdu hdu = test::ReadReferenceHdu(path, c.hdu);
  CelestialWcs sky(hdu.cards);
  ASSERT_EQ(sky.HasCelestialAxes(), c.frame != Frame::kNone);
  if (c.frame == Frame::kNone) return;
  const int64_t n1 = hdu.naxis1;
  const int64_t n2 = hdu.naxis2;
  const int64_t rows = std::min<int64_t>(n2, 4000);
  for (const SkyWindow& w :
       {SkyWindow{0, 0, n1, rows}, SkyWindow{n1 / 4, rows / 4, (n1 + 1) / 2, (rows + 1) / 2}}) {
    const CelestialPosition got = sky.Locate({n1, n2, rows, c.other_axes}, w);
    const double c0 = static_cast<double>(w.first_column);
    const double a = static_cast<double>(w.width);
    const double top = static_cast<double>(n2 - w.first_row);
    const auto ref = WcslibAt(hdu, {(c0 + 1 + c0 + a) / 2, c0 + 0.5, c0 + a + 0.5},
                              (top - static_cast<double>(w.height) + 1 + top) / 2, c.other_axes);
    ASSERT_EQ(ref.size(), 3u);
    const double width = Separation(ref[0][0], ref[0][1], ref[1][0], ref[1][1]) +
                         Separation(ref[0][0], ref[0][1], ref[2][0], ref[2][1]);
    EXPECT_NEAR(got.field_width, width, kTolerance) << w.width << " x " << w.height;
    double ra = ref[0][0];
    double dec = ref[0][1];
    if (test::ToJ2000(c.frame, ra, dec)) {
      EXPECT_TRUE(Near(got, ra, dec)) << w.width;
    }
    if (w.width == n1 && !std::isnan(c.astropy_ra)) {
      EXPECT_TRUE(Near(got, c.astropy_ra, c.astropy_dec)) << "astropy";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, SkyCorpusTest,
    ::testing::Values(
        CorpusCase{"m101.fits", 0, Frame::kJ2000}, CorpusCase{"m13.fits", 0, Frame::kJ2000},
        CorpusCase{"m13_rice.fits", 1, Frame::kJ2000},
        CorpusCase{"checksum.fits", 0, Frame::kFk4B1950, 51.187927082, -37.455025086},
        CorpusCase{"example1test.fits", 0, Frame::kFk4NoETerms, 192.803208850, 27.178180492},
        CorpusCase{"ngc6946.fits", 0, Frame::kJ2000, 308.725113937, 60.150304697, {51}},
        CorpusCase{"sip-wcs.fits", 0, Frame::kJ2000, 280.546108160, 0.112592726},
        CorpusCase{"test0.fits", 2, Frame::kJ2000},  // no frame keywords: ICRS
        CorpusCase{"ukidss/image.fits", 1, Frame::kJ2000, 83.633071948, 22.014512493},
        CorpusCase{"first/image.fits", 0, Frame::kJ2000},
        CorpusCase{"nrao/image.imfits", 0, Frame::kJ2000},
        CorpusCase{"1904-66_AZP.fits", 0, Frame::kJ2000, 284.916826335, -66.302446681},
        CorpusCase{"scuba850_AFGL2591.fits", 0, Frame::kJ2000},
        CorpusCase{"msx.fits", 0, Frame::kGalactic, 266.407603002, -28.930490433},
        CorpusCase{"magpis/image.fits", 0, Frame::kGalactic, 272.198765193, -19.853053909},
        CorpusCase{"tan.fits", 0, Frame::kJ2000},
        CorpusCase{"o4sp040b0_raw.fits", 1, Frame::kNone},            // LAMBDA / ANGLE
        CorpusCase{"test0.fits", 1, Frame::kNone},                    // UNITLESS / LINE
        CorpusCase{"hi_20110910_114721_s7h2A.fts", 0, Frame::kNone},  // only WCS 'A' is RA/DEC
        CorpusCase{"manyaxes.fits", 0, Frame::kNone},                 // FREQ x DEC
        CorpusCase{"swap_lv1_20120101_001607.fits", 0, Frame::kNone},
        CorpusCase{"BIR_20110922_050000_01.fit", 0, Frame::kNone},
        CorpusCase{"fixed-1890.fits", 0, Frame::kNone}));

// --- Worked cases -----------------------------------------------------------------------------

// A 3 x 3 image centred on its reference pixel (so the centre's coordinates are CRVAL), then
// `extra`: card texts separated by '|'.
Cards Header(const std::string& lon, const std::string& lat, double crval1, double crval2,
             const std::string& extra = "") {
  Cards cards = {"NAXIS   = 2",
                 "NAXIS1  = 3",
                 "NAXIS2  = 3",
                 "CTYPE1  = '" + lon + "'",
                 "CTYPE2  = '" + lat + "'",
                 "CRPIX1  = 2",
                 "CRPIX2  = 2",
                 "CDELT1  = -0.001",
                 "CDELT2  = 0.001",
                 "CRVAL1  = " + std::to_string(crval1),
                 "CRVAL2  = " + std::to_string(crval2)};
  for (std::size_t at = 0; at < extra.size();) {
    const std::size_t bar = std::min(extra.find('|', at), extra.size());
    cards.push_back(extra.substr(at, bar - at));
    at = bar + 1;
  }
  cards.push_back("END");
  return cards;
}

CelestialPosition Centre(const Cards& cards, int64_t n1 = 3, int64_t n2 = 3) {
  const int64_t rows = std::min<int64_t>(n2, 4000);
  return ComputeWcsPosition(cards, {n1, n2, rows, {}}, {0, 0, n1, rows});
}

struct FrameCase {
  const char* name;
  const char* extra;  // cards added to a RA---TAN header centred on (150, 20) degrees
  double ra;          // expected at J2000, degrees
  double dec;
};
void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.name;
}

class SkyFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(SkyFrameTest, GivesTheStandardPosition) {
  const FrameCase& c = GetParam();
  EXPECT_TRUE(Near(Centre(Header("RA---TAN", "DEC--TAN", 150, 20, c.extra)), c.ra, c.dec));
}

// Where the frame moves the point, wcs_reference.py (astropy) printed the answer.
INSTANTIATE_TEST_SUITE_P(
    Worked, SkyFrameTest,
    ::testing::Values(
        FrameCase{"no frame keywords: ICRS", "", 150, 20},
        FrameCase{"EQUINOX before EPOCH", "EQUINOX = 2000.0|EPOCH   = 1950.0", 150, 20},
        FrameCase{"EQUINOX after EPOCH", "EPOCH   = 1950.0|EQUINOX = 2000.0", 150, 20},
        FrameCase{"RADESYS ICRS", "RADESYS = 'ICRS'|EQUINOX = 1950.0", 150, 20},
        FrameCase{"RADESYS over RADECSYS", "RADESYS = 'ICRS'|RADECSYS= 'FK4'", 150, 20},
        FrameCase{"below 1984: FK4", "EQUINOX = 1950.0", 150.690409659, 19.758090895},
        FrameCase{"EPOCH alone", "EPOCH   = 1950.0", 150.690409659, 19.758090895},
        FrameCase{"quoted 'B1950'", "EQUINOX = 'B1950'", 150.690409659, 19.758090895},
        FrameCase{"FK4 at B1900", "RADECSYS= 'FK4'|EQUINOX = 1900.0", 151.378662116, 19.514465868},
        FrameCase{"FK4 observed", "RADESYS = 'fk4'|MJD-OBS = 44239.0", 150.690422956, 19.758122290},
        FrameCase{"FK4-NO-E at B1900", "RADESYS = 'FK4-NO-E'|EQUINOX = 1900.0", 151.378727209,
                  19.514433816},
        FrameCase{"from 1984: FK5", "EQUINOX = 1984.0", 150.221097527, 19.922769649}));

TEST(CelestialPosition, RightAscensionIsInZeroTo24Hours) {
  EXPECT_NEAR(Centre(Header("RA---TAN", "DEC--TAN", -15, 20)).ra_hours, 23, 1e-9);
  EXPECT_NEAR(Centre(Header("RA---TAN", "DEC--TAN", 375, 20)).ra_hours, 1, 1e-9);
}

TEST(CelestialPosition, AxesInEitherOrderOtherSystemsAndTheLetter) {
  EXPECT_TRUE(Near(Centre(Header("DEC--SIN", "RA---SIN", 20, 150)), 150, 20));
  // A third axis wcslib rejects (CDELT3 = 0 makes the matrix singular) leaves the image axes.
  EXPECT_TRUE(Near(Centre(Header("RA---TAN", "DEC--TAN", 150, 20, "CTYPE3  = 'FREQ'|CDELT3  = 0")),
                   150, 20));
  // The ecliptic pole of J2000 lies at 18 h and 90 degrees less the obliquity, 84381.406".
  EXPECT_TRUE(Near(Centre(Header("ELON-TAN", "ELAT-TAN", 0, 90)), 270, 90 - 84381.406 / 3600));
  const std::pair<std::string, char> letters[] = {{"TAN", 'T'}, {"SIN", 'S'}, {"ARC", 'A'},
                                                  {"CAR", 'C'}, {"ZEA", 'A'}, {"NCP", 'A'}};
  for (const auto& [code, letter] : letters) {
    EXPECT_EQ(Centre(Header("RA---" + code, "DEC--" + code, 150, 20)).projection, letter) << code;
  }
}

TEST(CelestialPosition, WidthIsTheAngularLengthOfTheMiddleRow) {
  // TAN rows are great circles: 3 pixels of 0.001 degrees around the tangent point.
  EXPECT_NEAR(Centre(Header("RA---TAN", "DEC--TAN", 150, 20)).field_width,
              2 * std::atan(1.5e-3 * kDeg) / kDeg, 1e-9);
  // One row of n1 pixels of 1 degree, the reference pixel at crpix1.
  const auto row = [](const std::string& type, int64_t n1, double crpix1) {
    Cards h = Header("RA---" + type, "DEC--" + type, 0, 0);
    h[1] = "NAXIS1  = " + std::to_string(n1);
    h[5] = "CRPIX1  = " + std::to_string(crpix1);
    h[7] = "CDELT1  = -1";
    h[8] = "CDELT2  = 1";
    return Centre(h, n1).field_width;
  };
  EXPECT_NEAR(row("CAR", 360, 180.5), 360, 1e-9);  // the whole sky
  // SIN reaches 57.3 pixels from the tangent point. Both edges off the sky: 200 times the
  // centre pixel; the right edge off: twice the distance to the left one.
  EXPECT_NEAR(row("SIN", 200, 100.5), 200 * 2 * std::asin(0.5 * kDeg) / kDeg, 1e-9);
  EXPECT_NEAR(row("SIN", 100, 20.5), 2 * (std::asin(30 * kDeg) + std::asin(20 * kDeg)) / kDeg,
              1e-9);
}

TEST(CelestialPosition, PlaneRowsAreTheFilesLastRows) {
  // 5000 rows cut to the last 4000: the plane's middle is FITS row 5000 - 1999.5 = 3000.5.
  Cards h = Header("RA---TAN", "DEC--TAN", 150, 20);
  h[6] = "CRPIX2  = 3000.5";
  EXPECT_TRUE(Near(Centre(h, 3, 5000), 150, 20));
  // Plane row 0 is FITS row NAXIS2, here one pixel north of the reference.
  EXPECT_TRUE(
      Near(ComputeWcsPosition(Header("RA---TAN", "DEC--TAN", 150, 0), {3, 3, 3, {}}, {1, 0, 1, 1}),
           150, 0.001));
}

TEST(CelestialPosition, BadWindowsAndHostileHeadersGiveNone) {
  const Cards good = Header("RA---TAN", "DEC--TAN", 150, 20);
  for (const SkyWindow& w : {SkyWindow{0, 0, 0, 3}, SkyWindow{1, 0, 3, 3}, SkyWindow{0, 1, 3, 3},
                             SkyWindow{-1, 0, 2, 2}, SkyWindow{0, 0, int64_t{1} << 62, 3}}) {
    EXPECT_FALSE(ComputeWcsPosition(good, {3, 3, 3, {}}, w).found) << w.first_column;
  }
  EXPECT_FALSE(ComputeWcsPosition(good, {3, 3, 4, {}}, {0, 0, 3, 3}).found);  // rows > NAXIS2
  std::string binary(800, '\0');
  for (std::size_t i = 0; i < binary.size(); ++i)
    binary[i] = static_cast<char>(i * 37);
  for (const Cards& cards :
       {Cards{}, Cards{binary}, Header("HPLN-TAN", "HPLT-TAN", 0, 0),
        Header("FREQ", "DEC--TAN", 0, 0), Header("PIXEL", "PIXEL", 0, 0),
        Header("RA---TAN", "GLAT-TAN", 0, 0), Header("RA---XYZ", "DEC--XYZ", 0, 0),
        Header("RA---TAN", "DEC--TAN", 0, 0, "PC1_1   = 0"),
        Header("FREQ", "STOKES", 0, 0, "CTYPE3  = 'RA---TAN'|CTYPE4  = 'DEC--TAN'")}) {
    EXPECT_FALSE(Centre(cards).found) << (cards.size() > 3 ? cards[3] : "");
  }
  // Extreme values: a position in range, or none. An axis count of 999999999 would have wcslib
  // allocate exabytes; an unclosed quote, overflow a buffer in its scanner.
  for (const Cards& cards :
       {Header("RA---AZP", "DEC--AZP", 0, 90, "PV2_1   = 1E300|PV2_2   = 89.9"),
        Header("RA---TAN-SIP", "DEC--TAN-SIP", 0, 0, "A_ORDER = 2|A_2_0   = 1E308"),
        Header("RA---TAN", "DEC--TAN", 0, 0, "WCSAXES = 99|NAXIS   = 999999999"),
        Header("RA---TAN", "DEC--TAN", 0, 0, "WCSAXES = 999999999"),
        Header("RA---TAN", "DEC--TAN", 0, 0, "RADESYS = '|CUNIT1  = '" + std::string(69, 'x'))}) {
    const CelestialPosition p = ComputeWcsPosition(cards, {3, 3, 3, {}}, {0, 0, 1, 1});
    EXPECT_TRUE(!p.found || (p.ra_hours < 24 && std::fabs(p.dec_degrees) <= 90 &&
                             p.field_width > 0 && p.field_width <= 360));
  }
}

}  // namespace
}  // namespace kivrel
