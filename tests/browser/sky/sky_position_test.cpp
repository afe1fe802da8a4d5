// The sky position of the shown window: matrix modes, projection letters, galactic input,
// precession to J2000, the sky text of the status line, and the poles.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include <utility>
#include <vector>

#include "browser/sky/sky_position.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

constexpr double kDeg = std::numbers::pi / 180;

// A 300 x 200 image shown whole, an equatorial header set by hand, and the position computed
// from them as the preview's redraw does, each time from the one before.
class SkyTest : public ::testing::Test {
 protected:
  static constexpr int32_t kImageHeight = 200;
  WorldKeywords s;
  ZoomWindow zoom = ZoomWindow::Whole(300, kImageHeight);
  SkyPosition sky;

  void SetUp() override {
    s.Ctype1 = "'RA---TAN'";
    s.Ctype2 = "'DEC--TAN'";
    s.Crpix1 = 150;
    s.Crpix2 = 100;
    s.Crval1 = 150;
    s.Crval2 = 30;
    s.Equinox = 2000;
    s.RaDecSys = "'FK5'";
  }
  void UseCdelt(double c1, double c2, double rot = 0) {
    s.HasCdelt = true;
    s.Cdelt1 = c1;
    s.Cdelt2 = c2;
    s.Crota2 = rot;
  }
  void Compute() { sky = ComputeFitsPosition(s, zoom, kImageHeight, sky); }
  // The sky part of the status line.
  std::string Text() const { return SkyText(sky); }
};

TEST_F(SkyTest, CdeltExampleAtTheReferencePixel) {
  UseCdelt(-0.001, 0.001);
  Compute();
  EXPECT_EQ(sky.ProjCode, 'T');
  EXPECT_DOUBLE_EQ(sky.FitsAR, 10);
  EXPECT_DOUBLE_EQ(sky.FitsDE, 30);
  EXPECT_DOUBLE_EQ(sky.FieldWidth, 0.3);
  EXPECT_EQ(Text(), " T ar: 10h00m00.0s de:+30°00'00\" l:+00°18'00\"");
}

TEST_F(SkyTest, CdeltOffsetsUseTheWindowCentreWithRowsFromTheBottom) {
  UseCdelt(-0.001, 0.002);
  s.Crpix1 = 100.5;
  s.Crpix2 = 50.25;
  // Window columns 10..110, rows 20..70: x = 10 + 50 - 100.5, y = (200 - 20) - 25 - 50.25.
  zoom = ZoomWindow{10, 110, 20, 70};
  Compute();
  const double x = -40.5;
  const double y = 104.75;
  const double de = 30 + 0.002 * y;
  EXPECT_NEAR(sky.FitsDE, de, 1e-12);
  EXPECT_NEAR(sky.FitsAR, (150 + -0.001 * x / std::cos(de * kDeg)) / 15, 1e-12);
  EXPECT_DOUBLE_EQ(sky.FieldWidth, 0.1);
}

TEST_F(SkyTest, CdeltRotation) {
  UseCdelt(-0.001, 0.001, 30);
  s.Crpix1 = 140;  // x = 10
  s.Crpix2 = 80;   // y = 20
  Compute();
  const double r = -30 * kDeg;
  const double u = -0.001 * 10 * std::cos(r) + 0.001 * 20 * std::sin(r);
  const double v = 0.001 * 20 * std::cos(r) - -0.001 * 10 * std::sin(r);
  EXPECT_NEAR(sky.FitsDE, 30 + v, 1e-12);
  EXPECT_NEAR(sky.FitsAR, (150 + u / std::cos((30 + v) * kDeg)) / 15, 1e-12);
}

// PC, CD and CDELT all present, each giving another position: the first present one wins.
TEST_F(SkyTest, PcBeatsCdBeatsCdelt) {
  s.Crpix1 = 140;  // x = 10
  s.Crpix2 = 90;   // y = 10
  UseCdelt(-0.001, 0.001);
  s.cd = PixelMatrix{-0.002, 0, 0, 0.002, true};
  s.pc = PixelMatrix{2, 1, -1, 3, true};
  Compute();
  // PC: u = (2 x 10 + 1 x 10) x -0.001 = -0.03, v = (-10 + 30) x 0.001 = 0.02.
  EXPECT_NEAR(sky.FitsDE, 30.02, 1e-12);
  EXPECT_NEAR(sky.FitsAR, (150 - 0.03 / std::cos(30.02 * kDeg)) / 15, 1e-12);
  EXPECT_DOUBLE_EQ(sky.FieldWidth, 0.3);
  s.pc.present = false;
  Compute();
  EXPECT_NEAR(sky.FitsDE, 30.02, 1e-12);
  EXPECT_NEAR(sky.FitsAR, (150 - 0.02 / std::cos(30.02 * kDeg)) / 15, 1e-12);
  EXPECT_DOUBLE_EQ(sky.FieldWidth, 0.6);
  s.cd.present = false;
  Compute();
  EXPECT_NEAR(sky.FitsDE, 30.01, 1e-12);
  EXPECT_NEAR(sky.FitsAR, (150 - 0.01 / std::cos(30.01 * kDeg)) / 15, 1e-12);
  EXPECT_DOUBLE_EQ(sky.FieldWidth, 0.3);
  s.HasCdelt = false;
  Compute();
  EXPECT_EQ(sky.FieldWidth, 0);
  EXPECT_EQ(Text(), "");
}

TEST_F(SkyTest, CdMatrixTurnedByNinetyDegreesShowsNoSkyText) {
  s.cd = PixelMatrix{0, -0.001, -0.001, 0, true};
  s.Crpix1 = 140;  // x = 10
  Compute();
  EXPECT_EQ(sky.FieldWidth, 0);
  EXPECT_NEAR(sky.FitsDE, 29.99, 1e-12);  // the position was computed
  EXPECT_EQ(Text(), "");
}

TEST_F(SkyTest, ZeroCdelt1ShowsNoSkyText) {
  UseCdelt(0, 0.001);
  Compute();
  EXPECT_EQ(Text(), "");
}

TEST_F(SkyTest, CtypesOfAnotherKindGiveNoPosition) {
  UseCdelt(-0.001, 0.001);
  for (const auto& [c1, c2] : std::vector<std::pair<std::string, std::string>>{
           {"'HPLN-TAN'", "'HPLT-TAN'"}, {"'RA---TAN'", "'GLAT-TAN'"}, {"", ""}, {"'RA", "'DE"}}) {
    s.Ctype1 = c1;
    s.Ctype2 = c2;
    sky.ProjCode = '-';
    Compute();
    EXPECT_EQ(sky.FieldWidth, 0) << c1;
    EXPECT_EQ(sky.ProjCode, '-') << c1;
  }
}

struct LetterCase {
  const char* ctype1;
  char letter;
};

void PrintTo(const LetterCase& c, std::ostream* os) {
  *os << c.ctype1;
}

class ProjectionLetterTest : public SkyTest, public ::testing::WithParamInterface<LetterCase> {};

TEST_P(ProjectionLetterTest, LetterOnlyShows) {
  UseCdelt(-0.001, 0.001);
  s.Ctype1 = GetParam().ctype1;
  Compute();
  EXPECT_EQ(sky.ProjCode, GetParam().letter);
  // Every projection uses the same flat formulas.
  EXPECT_DOUBLE_EQ(sky.FitsAR, 10);
  EXPECT_EQ(Text().substr(0, 3), std::string(" ") + GetParam().letter + " ");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ProjectionLetterTest,
    ::testing::Values(LetterCase{"'RA---TAN'", 'T'}, LetterCase{"'RA---SIN'", 'S'},
                      LetterCase{"'RA---ARC'", 'A'}, LetterCase{"'RA---CAR'", 'C'},
                      LetterCase{"'RA---STG'", 'A'}, LetterCase{"'RA---NCP'", 'A'},
                      LetterCase{"'RA---TAN-SIP'", 'T'}, LetterCase{"'RA--'", 'A'}),
    [](const auto& row) {
      std::string n;
      for (char c : std::string(row.param.ctype1))
        if (std::isalnum(static_cast<unsigned char>(c))) n += c;
      return n;
    });

TEST(GalToEq, GalacticCentre) {
  double ar = 0;
  double de = 0;
  GalToEq(0, 0, ar, de);
  EXPECT_NEAR(ar, -6.292610, 5e-7);
  EXPECT_NEAR(de, -28.916790, 5e-7);
  // Reduced, 17 h 42 min 26.6 s.
  EXPECT_EQ(ArToStr(ar + 24), " 17h42m26.6s");
}

TEST(GalToEq, NorthGalacticPoleIsTheConstantPole) {
  double ar = 0;
  double de = 0;
  // Just short of the pole: tan B is infinite at B = 90.
  GalToEq(33, 89.999999, ar, de);
  EXPECT_NEAR(de, 27.4, 1e-5);
  EXPECT_NEAR(std::fmod(ar * 15 + 720, 360), 192.25, 1e-4);
}

TEST_F(SkyTest, GalacticCentreWithEquinox2000KeepsTheNegativeHours) {
  UseCdelt(-0.001, 0.001);
  s.Ctype1 = "'GLON-CAR'";
  s.Ctype2 = "'GLAT-CAR'";
  s.Crval1 = 0;
  s.Crval2 = 0;
  Compute();
  EXPECT_EQ(sky.ProjCode, 'C');
  EXPECT_NEAR(sky.FitsAR, -6.292610, 5e-7);
  EXPECT_NEAR(sky.FitsDE, -28.916790, 5e-7);
  EXPECT_EQ(Text().substr(0, 9), " C ar: -6");
}

TEST_F(SkyTest, GalacticCentreWithEquinox1950IsPrecessedToJ2000) {
  UseCdelt(-0.001, 0.001);
  s.Ctype1 = "'GLON-CAR'";
  s.Ctype2 = "'GLAT-CAR'";
  s.Crval1 = 0;
  s.Crval2 = 0;
  s.Equinox = 1950;
  s.RaDecSys = "'FK4'";
  Compute();
  // The galactic centre in J2000 is near 17 h 45 min 37 s, -28 deg 56 min 10 s; the 1950 pole
  // constants are rounded, so a few arc-seconds apart.
  EXPECT_NEAR(sky.FitsAR, 17 + 45 / 60.0 + 37.2 / 3600, 5.0 / 3600);
  EXPECT_NEAR(sky.FitsDE, -(28 + 56 / 60.0 + 10 / 3600.0), 20.0 / 3600);
}

struct PrecessionCase {
  const char* name;
  double equinox;
  const char* radecsys;
  double ar, de;
};

void PrintTo(const PrecessionCase& c, std::ostream* os) {
  *os << c.name;
}

class PrecessionTest : public SkyTest, public ::testing::WithParamInterface<PrecessionCase> {};

TEST_P(PrecessionTest, OriginFrom) {
  const PrecessionCase& c = GetParam();
  UseCdelt(-0.001, 0.001);
  s.Crval1 = 0;
  s.Crval2 = 0;
  s.Equinox = c.equinox;
  s.RaDecSys = c.radecsys;
  Compute();
  EXPECT_NEAR(sky.FitsAR, c.ar, 5e-7);
  EXPECT_NEAR(sky.FitsDE, c.de, 5e-7);
}

INSTANTIATE_TEST_SUITE_P(
    Equinoxes, PrecessionTest,
    ::testing::Values(PrecessionCase{"FK4From1950", 1950, "'FK4'", 0.042692, 0.278339},
                      PrecessionCase{"FK4NoEFrom1950", 1950, "'FK4-NO-E'", 0.042692, 0.278339},
                      PrecessionCase{"FK5From1950", 1950, "'FK5'", 0.042702, 0.278400},
                      PrecessionCase{"ICRSFrom1950", 1950, "'ICRS'", 0.042702, 0.278400},
                      PrecessionCase{"NoneAt2000", 2000, "'FK4'", 0, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PrecessionTest, FractionOfTheYearPicksTheMonthHalfToEven) {
  UseCdelt(-0.001, 0.001);
  s.Crval1 = 0;
  s.Crval2 = 0;
  s.RaDecSys = "'FK5'";
  // 1950.375: 0.375 x 12 = 4.5 -> 4 (even) -> month 5.
  s.Equinox = 1950.375;
  Compute();
  double ar = 0;
  double de = 0;
  PrecessionFK5(ar, de, Jd(1950, 5, 1, 0), Jd2000);
  EXPECT_DOUBLE_EQ(sky.FitsAR, ar);
  EXPECT_DOUBLE_EQ(sky.FitsDE, de);
  double ar6 = 0;
  double de6 = 0;
  PrecessionFK5(ar6, de6, Jd(1950, 6, 1, 0), Jd2000);
  EXPECT_NE(sky.FitsDE, de6);
}

TEST_F(SkyTest, WestOfZeroHoursAtEquinox2000IsNotReduced) {
  UseCdelt(-0.001, 0.001);
  s.Crval1 = 0;
  s.Crpix1 = 140;  // x = 10: u = -0.01 degrees
  Compute();
  EXPECT_LT(sky.FitsAR, 0);
  EXPECT_EQ(Text().substr(0, 9), " T ar: -0");
}

// At a pole the right ascension of the centre is undefined: the reference value stands, and
// the sky text stays finite.
struct PoleCase {
  const char* name;
  double crval2, cdelt2;
  double equinox;
  const char* radecsys;
};

void PrintTo(const PoleCase& c, std::ostream* os) {
  *os << c.name;
}

class PoleTest : public SkyTest, public ::testing::WithParamInterface<PoleCase> {};

TEST_P(PoleTest, KeepsTheReferenceRightAscension) {
  const PoleCase& c = GetParam();
  UseCdelt(-0.001, c.cdelt2);
  s.Crval1 = 150;
  s.Crval2 = c.crval2;
  s.Crpix1 = 140;  // x = 10: an offset in right ascension that no cosine can divide at the pole
  s.Crpix2 = 99;   // y = 1
  s.Equinox = c.equinox;
  s.RaDecSys = c.radecsys;
  Compute();
  ASSERT_EQ(std::fabs(c.crval2 + c.cdelt2), 90);
  EXPECT_NE(sky.FieldWidth, 0);
  EXPECT_TRUE(std::isfinite(sky.FitsAR));
  EXPECT_TRUE(std::isfinite(sky.FitsDE));
  if (c.equinox == 2000) {
    EXPECT_DOUBLE_EQ(sky.FitsAR, 10);
    EXPECT_EQ(sky.FitsDE, c.crval2 + c.cdelt2);
  } else {
    double ar = 10;
    double de = c.crval2 + c.cdelt2;
    PrecessionFK4(ar, de, Jd(1950, 1, 1, 0), Jd2000);
    EXPECT_NEAR(sky.FitsAR, ar, 1e-9);
    EXPECT_NEAR(sky.FitsDE, de, 1e-9);
  }
  const std::string text = Text();
  EXPECT_EQ(text.find("nan"), std::string::npos) << text;
  EXPECT_EQ(text.find("inf"), std::string::npos) << text;
  EXPECT_EQ(text.find("NAN"), std::string::npos) << text;
  EXPECT_EQ(text.find("INF"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Poles, PoleTest,
                         ::testing::Values(PoleCase{"North", 89.5, 0.5, 2000, "'FK5'"},
                                           PoleCase{"South", -89.5, -0.5, 2000, "'FK5'"},
                                           PoleCase{"NorthExact", 90, 0, 2000, "'FK5'"},
                                           PoleCase{"NorthFK4", 89.5, 0.5, 1950, "'FK4'"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kivrel
