// Celestial frames to J2000 with ERFA.
#include "browser/sky/sky_frame.h"

#include <erfa.h>

#include <cctype>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <utility>

#include "skylib/skylib.h"

namespace kivrel {
namespace {

constexpr double kDeg = std::numbers::pi / 180;
constexpr double kMjdZero = 2400000.5;  // JD of MJD 0

// The E-terms of aberration at B1950 (radians), the vector eraFk45z takes out.
constexpr double kETerms[3] = {-1.62557e-6, -0.31919e-6, -0.13843e-6};

std::string Upper(std::string_view text) {
  std::string out;
  for (const char c : text) {
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

std::optional<EquatorialFrame> KnownFrame(std::string_view name) {
  static constexpr std::pair<std::string_view, EquatorialFrame> kNames[] = {
      {"ICRS", EquatorialFrame::kIcrs},
      {"FK5", EquatorialFrame::kFk5},
      {"FK4", EquatorialFrame::kFk4},
      {"FK4-NO-E", EquatorialFrame::kFk4NoETerms}};
  const std::string upper = Upper(name);
  for (const auto& [text, frame] : kNames) {
    if (upper == text) return frame;
  }
  return std::nullopt;
}

bool IsFk4(EquatorialFrame frame) {
  return frame == EquatorialFrame::kFk4 || frame == EquatorialFrame::kFk4NoETerms;
}

// The date (two-part JD) of an equinox year: Besselian for FK4 frames, Julian otherwise.
void EquinoxDate(const CelestialFrame& frame, double& jd0, double& jd1) {
  if (IsFk4(frame.frame)) {
    eraEpb2jd(frame.equinox, &jd0, &jd1);
  } else {
    eraEpj2jd(frame.equinox, &jd0, &jd1);
  }
}

// FK4 at any equinox to FK5 J2000 (radians). Another equinox is first brought to B1950 with
// Newcomb's precession; the E-terms travel along, a change far below 0.01".
void Fk4ToJ2000(const CelestialFrame& frame, double& ra, double& dec) {
  if (frame.equinox != 1950) {
    double from0 = 0;
    double from1 = 0;
    double to0 = 0;
    double to1 = 0;
    eraEpb2jd(frame.equinox, &from0, &from1);
    eraEpb2jd(1950, &to0, &to1);
    double hours = ra / kDeg / 15;
    double degrees = dec / kDeg;
    PrecessionFK4(hours, degrees, from0 + from1, to0 + to1);
    ra = hours * 15 * kDeg;
    dec = degrees * kDeg;
  }
  if (frame.frame == EquatorialFrame::kFk4NoETerms) {
    // eraFk45z takes the E-terms out, so put them in first (to first order, as it removes them).
    double p[3];
    eraS2c(ra, dec, p);
    for (int i = 0; i < 3; ++i) {
      p[i] += kETerms[i];
    }
    eraC2s(p, &ra, &dec);
  }
  // The fictitious proper motion of FK4 makes the result depend on the epoch of observation;
  // without a date, that of the equinox.
  const double epoch =
      std::isfinite(frame.observed_mjd) ? eraEpb(kMjdZero, frame.observed_mjd) : frame.equinox;
  eraFk45z(ra, dec, epoch, &ra, &dec);
}

// FK5 at a Julian equinox to J2000 (radians), IAU 1976 precession.
void Fk5ToJ2000(double equinox, double& ra, double& dec) {
  if (equinox == 2000) return;
  double jd0 = 0;
  double jd1 = 0;
  eraEpj2jd(equinox, &jd0, &jd1);
  double to_date[3][3];
  eraPmat76(jd0, jd1, to_date);
  double p[3];
  double p2000[3];
  eraS2c(ra, dec, p);
  eraTrxp(to_date, p, p2000);
  eraC2s(p2000, &ra, &dec);
}

void EquatorialToJ2000(const CelestialFrame& frame, double& ra, double& dec) {
  switch (frame.frame) {
    case EquatorialFrame::kIcrs:
      break;
    case EquatorialFrame::kFk5:
      Fk5ToJ2000(frame.equinox, ra, dec);
      break;
    case EquatorialFrame::kFk4:
    case EquatorialFrame::kFk4NoETerms:
      Fk4ToJ2000(frame, ra, dec);
      break;
  }
}

}  // namespace

CelestialFrame ResolveFrame(SkySystem system, std::string_view radesys, double equinox,
                            double observed_mjd) {
  CelestialFrame out;
  out.system = system;
  out.observed_mjd = std::isfinite(observed_mjd) ? observed_mjd : out.observed_mjd;
  const bool has_equinox = std::isfinite(equinox) && equinox > 0;
  const std::optional<EquatorialFrame> named = KnownFrame(radesys);
  if (named) {
    out.frame = *named;
  } else {
    out.frame = !has_equinox     ? EquatorialFrame::kIcrs
                : equinox < 1984 ? EquatorialFrame::kFk4
                                 : EquatorialFrame::kFk5;
  }
  if (has_equinox) {
    out.equinox = equinox;
  } else {
    out.equinox = IsFk4(out.frame) ? 1950 : 2000;
  }
  return out;
}

SkyDirection ToJ2000(const CelestialFrame& frame, double lon_degrees, double lat_degrees) {
  double ra = lon_degrees * kDeg;
  double dec = lat_degrees * kDeg;
  switch (frame.system) {
    case SkySystem::kEquatorial:
      EquatorialToJ2000(frame, ra, dec);
      break;
    case SkySystem::kGalactic:
      eraG2icrs(ra, dec, &ra, &dec);
      break;
    case SkySystem::kEcliptic: {
      // Mean ecliptic and equinox of the frame's date; an ICRS ecliptic is that of J2000.
      double jd0 = 2451545.0;
      double jd1 = 0;
      if (frame.frame != EquatorialFrame::kIcrs) EquinoxDate(frame, jd0, jd1);
      eraEceq06(jd0, jd1, ra, dec, &ra, &dec);
      break;
    }
  }
  SkyDirection out;
  out.ra_degrees = eraAnp(ra) / kDeg;
  // eraAnp can round up to exactly 2 pi for a tiny negative angle.
  if (out.ra_degrees >= 360) out.ra_degrees -= 360;
  out.dec_degrees = dec / kDeg;
  return out;
}

}  // namespace kivrel
