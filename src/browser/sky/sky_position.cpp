#include "browser/sky/sky_position.h"

#include <cmath>
#include <numbers>
#include <string>
#include <string_view>

#include "browser/base/numbers.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

constexpr long double kDeg = std::numbers::pi_v<long double> / 180;

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
  const long double dl = (static_cast<long double>(l) - 123) * kDeg;
  const long double pole = 27.4L * kDeg;
  const long double lat = b * kDeg;
  const long double alpha =
      std::atan2(std::sin(dl), std::cos(dl) * std::sin(pole) - std::tan(lat) * std::cos(pole)) /
          kDeg +
      12.25L;
  const long double delta =
      std::asin(std::sin(lat) * std::sin(pole) + std::cos(lat) * std::cos(pole) * std::cos(dl));
  ar_hours = static_cast<double>(alpha / 15);
  de_degrees = static_cast<double>(delta / kDeg);
}

SkyPosition ComputeFitsPosition(const WorldKeywords& w, const ZoomWindow& zoom,
                                int32_t image_height, SkyPosition s) {
  s.FieldWidth = 0;
  const bool equatorial = Chars(w.Ctype1, 2, 4) == "RA--" && Chars(w.Ctype2, 2, 4) == "DEC-";
  const bool galactic = Chars(w.Ctype1, 2, 4) == "GLON" && Chars(w.Ctype2, 2, 4) == "GLAT";
  if (!equatorial && !galactic) return s;

  s.ProjCode = ProjectionLetter(Chars(w.Ctype1, 6, 4));
  const MatrixMode mode = w.pc.present   ? MatrixMode::kPc
                          : w.cd.present ? MatrixMode::kCd
                          : w.HasCdelt   ? MatrixMode::kCdelt
                                         : MatrixMode::kNone;
  if (mode == MatrixMode::kNone) return s;
  // Offsets of the window centre from the reference pixel; rows count from the bottom.
  const long double x = zoom.ZoomX1 + static_cast<long double>(zoom.ZoomWidth()) / 2 - w.Crpix1;
  const long double y =
      (image_height - zoom.ZoomY1) - static_cast<long double>(zoom.ZoomHeight()) / 2 - w.Crpix2;
  long double u = 0;
  long double v = 0;
  switch (mode) {
    case MatrixMode::kPc:
      u = (w.pc.m1_1 * x + w.pc.m1_2 * y) * w.Cdelt1;
      v = (w.pc.m2_1 * x + w.pc.m2_2 * y) * w.Cdelt2;
      break;
    case MatrixMode::kCd:
      u = w.cd.m1_1 * x + w.cd.m1_2 * y;
      v = w.cd.m2_1 * x + w.cd.m2_2 * y;
      break;
    default: {
      const long double r = -static_cast<long double>(w.Crota2) * kDeg;
      u = w.Cdelt1 * x * std::cos(r) + w.Cdelt2 * y * std::sin(r);
      v = w.Cdelt2 * y * std::cos(r) - w.Cdelt1 * x * std::sin(r);
      break;
    }
  }
  const double lat = static_cast<double>(w.Crval2 + v);
  const double cos_lat = static_cast<double>(std::cos(lat * kDeg));
  // At a pole the right ascension of the centre is undefined: the reference value stands.
  // (The cosine of 90 degrees in floating point is about 1e-17, not 0: test the latitude.)
  const bool pole = std::fabs(lat) == 90 || cos_lat == 0;
  const double lon = pole ? w.Crval1 : static_cast<double>(w.Crval1 + u / cos_lat);
  if (equatorial) {
    s.FitsDE = lat;
    s.FitsAR = static_cast<double>(static_cast<long double>(lon) / 15);
  } else {
    GalToEq(lon, lat, s.FitsAR, s.FitsDE);
  }
  s.FieldWidth = static_cast<double>(std::fabs(
      zoom.ZoomWidth() * static_cast<long double>(mode == MatrixMode::kCd ? w.cd.m1_1 : w.Cdelt1)));

  if (w.Equinox != 2000.0 && std::isfinite(w.Equinox) && std::fabs(w.Equinox) < 1e6) {
    const double year = std::trunc(w.Equinox);
    const double month = RoundHalfEven((static_cast<long double>(w.Equinox) - year) * 12) + 1;
    const double from = Jd(static_cast<int32_t>(year), static_cast<int32_t>(month), 1, 0);
    if (Chars(w.RaDecSys, 2, 3) == "FK4") {
      PrecessionFK4(s.FitsAR, s.FitsDE, from, Jd2000);
    } else {
      PrecessionFK5(s.FitsAR, s.FitsDE, from, Jd2000);
    }
  }
  // Values no formula can show leave the sky text out.
  if (!std::isfinite(s.FitsAR) || !std::isfinite(s.FitsDE) || !std::isfinite(s.FieldWidth)) {
    s.FieldWidth = 0;
  }
  return s;
}

std::string SkyText(const SkyPosition& sky) {
  if (sky.FieldWidth == 0) return "";
  return std::string(" ") + sky.ProjCode + " ar:" + ArToStr(sky.FitsAR) +
         " de:" + DeToStr(sky.FitsDE) + " l:" + DeToStr(sky.FieldWidth);
}

}  // namespace kivrel
