// Celestial reference frames: which frame a FITS header's keywords name, and the way from that
// frame to the J2000 equator (ICRS, which FK5 J2000 matches to some 0.02").
//
// The keywords follow the FITS standard: RADESYS (or the older RADECSYS) names the equatorial
// frame; EQUINOX (or EPOCH when EQUINOX is absent) its equinox, a Besselian year for FK4 and a
// Julian year otherwise. Defaults: no RADESYS gives FK4 when EQUINOX < 1984, FK5 when
// EQUINOX >= 1984, ICRS when neither is given; no EQUINOX gives 1950 for FK4 and 2000 for FK5.
// The conversions are ERFA's: FK4 through eraFk45z (E-terms removed, zero proper motion in FK5
// at the epoch of observation, or at the equinox when the date is unknown), FK5 precessed with
// the IAU 1976 model, galactic through eraG2icrs, ecliptic through eraEceq06. Geocentric
// apparent places (GAPPT) are not converted: the name counts as unknown.
#pragma once

#include <limits>
#include <string_view>

namespace kivrel {

// The kind of celestial coordinates a header's CTYPE pair gives.
enum class SkySystem { kEquatorial, kGalactic, kEcliptic };

// The equatorial frame (also the frame an ecliptic system is referred to).
enum class EquatorialFrame { kIcrs, kFk5, kFk4, kFk4NoETerms };

struct CelestialFrame {
  SkySystem system = SkySystem::kEquatorial;
  EquatorialFrame frame = EquatorialFrame::kIcrs;
  double equinox = 2000;  // Besselian year for FK4 frames, Julian year otherwise
  double observed_mjd = std::numeric_limits<double>::quiet_NaN();  // NaN when unknown
};

// The frame named by a header. `radesys`: the RADESYS (or RADECSYS) value without quotes, in
// any case, empty when absent; an unknown value counts as absent. `equinox`: the EQUINOX (or
// EPOCH) value, NaN when absent; a value <= 0 or not finite counts as absent too (no catalogue
// has such an equinox; writers use 0 for "unknown"). `observed_mjd`: MJD-OBS, NaN when unknown.
CelestialFrame ResolveFrame(SkySystem system, std::string_view radesys, double equinox,
                            double observed_mjd);

struct SkyDirection {
  double ra_degrees = 0;   // in [0, 360)
  double dec_degrees = 0;  // in [-90, 90]
};

// (lon, lat) in degrees in `frame` to right ascension and declination at J2000.
// Non-finite input gives non-finite output; nothing throws.
SkyDirection ToJ2000(const CelestialFrame& frame, double lon_degrees, double lat_degrees);

}  // namespace kivrel
