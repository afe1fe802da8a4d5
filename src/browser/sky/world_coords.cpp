// The sky position of the shown window: its centre's right ascension and declination and its
// width on the sky, from the FITS header's linear world coordinates, brought to J2000.
// Every projection is computed with the same flat formulas; its letter is only shown.
#include "browser/sky/world_coords.h"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_logic.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

constexpr Extended kDeg = std::numbers::pi_v<Extended> / 180;

// Characters first..first+count-1 (1-based) of a header value text.
std::string_view Chars(std::string_view text, std::size_t first, std::size_t count) {
  if (text.size() < first) return {};
  return text.substr(first - 1, count);
}

char ProjectionLetter(std::string_view code) {
  if (code == "-TAN") return 'T';
  if (code == "-SIN") return 'S';
  if (code == "-ARC") return 'A';
  if (code == "-CAR") return 'C';
  return 'A';
}

enum class MatrixMode { kPc, kCd, kCdelt, kNone };

}  // namespace

void GalToEq(double l, double b, double& ar_hours, double& de_degrees) {
  const Extended dl = (static_cast<Extended>(l) - 123) * kDeg;
  const Extended pole = 27.4L * kDeg;
  const Extended lat = b * kDeg;
  const Extended alpha =
      std::atan2(std::sin(dl), std::cos(dl) * std::sin(pole) - std::tan(lat) * std::cos(pole)) /
          kDeg +
      12.25L;
  const Extended delta =
      std::asin(std::sin(lat) * std::sin(pole) + std::cos(lat) * std::cos(pole) * std::cos(dl));
  ar_hours = static_cast<double>(alpha / 15);
  de_degrees = static_cast<double>(delta / kDeg);
}

void BrowserLogic::ComputeFitsPosition() {
  ImageStore& s = Store;
  s.FieldWidth = 0;
  const bool equatorial = Chars(s.Ctype1, 2, 4) == "RA--" && Chars(s.Ctype2, 2, 4) == "DEC-";
  const bool galactic = Chars(s.Ctype1, 2, 4) == "GLON" && Chars(s.Ctype2, 2, 4) == "GLAT";
  if (!equatorial && !galactic) return;

  s.ProjCode = ProjectionLetter(Chars(s.Ctype1, 6, 4));
  const MatrixMode mode = s.HasPc      ? MatrixMode::kPc
                          : s.HasCd    ? MatrixMode::kCd
                          : s.HasCdelt ? MatrixMode::kCdelt
                                       : MatrixMode::kNone;
  if (mode == MatrixMode::kNone) return;
  // Offsets of the window centre from the reference pixel; rows count from the bottom.
  const Extended x = s.ZoomX1 + static_cast<Extended>(s.ZoomWidth) / 2 - s.Crpix1;
  const Extended y = (s.ImaHeight - s.ZoomY1) - static_cast<Extended>(s.ZoomHeight) / 2 - s.Crpix2;
  Extended u = 0;
  Extended v = 0;
  switch (mode) {
    case MatrixMode::kPc:
      u = (s.Pc1_1 * x + s.Pc1_2 * y) * s.Cdelt1;
      v = (s.Pc2_1 * x + s.Pc2_2 * y) * s.Cdelt2;
      break;
    case MatrixMode::kCd:
      u = s.Cd1_1 * x + s.Cd1_2 * y;
      v = s.Cd2_1 * x + s.Cd2_2 * y;
      break;
    default: {
      const Extended r = -static_cast<Extended>(s.Crota2) * kDeg;
      u = s.Cdelt1 * x * std::cos(r) + s.Cdelt2 * y * std::sin(r);
      v = s.Cdelt2 * y * std::cos(r) - s.Cdelt1 * x * std::sin(r);
      break;
    }
  }
  const double lat = static_cast<double>(s.Crval2 + v);
  const double cos_lat = static_cast<double>(std::cos(lat * kDeg));
  // At a pole the right ascension of the centre is undefined: the reference value stands.
  // (The cosine of 90 degrees in floating point is about 1e-17, not 0: test the latitude.)
  const bool pole = std::fabs(lat) == 90 || cos_lat == 0;
  const double lon = pole ? s.Crval1 : static_cast<double>(s.Crval1 + u / cos_lat);
  if (equatorial) {
    s.FitsDE = lat;
    s.FitsAR = static_cast<double>(static_cast<Extended>(lon) / 15);
  } else {
    GalToEq(lon, lat, s.FitsAR, s.FitsDE);
  }
  s.FieldWidth = static_cast<double>(
      std::fabs(s.ZoomWidth * static_cast<Extended>(mode == MatrixMode::kCd ? s.Cd1_1 : s.Cdelt1)));

  if (s.Equinox != 2000.0 && std::isfinite(s.Equinox) && std::fabs(s.Equinox) < 1e6) {
    const double year = std::trunc(s.Equinox);
    const double month = RoundHalfEven((static_cast<Extended>(s.Equinox) - year) * 12) + 1;
    const double from = Jd(static_cast<int32_t>(year), static_cast<int32_t>(month), 1, 0);
    if (Chars(s.RaDecSys, 2, 3) == "FK4") {
      PrecessionFK4(s.FitsAR, s.FitsDE, from, Jd2000);
    } else {
      PrecessionFK5(s.FitsAR, s.FitsDE, from, Jd2000);
    }
  }
  // Values no formula can show leave the sky text out.
  if (!std::isfinite(s.FitsAR) || !std::isfinite(s.FitsDE) || !std::isfinite(s.FieldWidth)) {
    s.FieldWidth = 0;
  }
}

}  // namespace kivrel
