// The sky position of the shown window: the right ascension and declination of its centre
// and its width on the sky, brought to J2000, from the FITS header's world-coordinate keywords.
// Every projection is computed with the same flat formulas; its letter is only shown.
#pragma once

#include <cstdint>
#include <string>

#include "browser/store/world_keywords.h"
#include "browser/store/zoom_window.h"

namespace kivrel {

struct SkyPosition {
  char ProjCode = '-';    // T, S, A or C; '-' for an image without sky coordinates
  double FitsAR = 0;      // hours
  double FitsDE = 0;      // degrees
  double FieldWidth = 0;  // degrees; 0: no sky position to show
};

// The position of `zoom`'s centre on an image of `image_height` rows. Equatorial
// (RA--/DEC-) and galactic (GLON/GLAT) axes are understood, with a PC, CD or CDELT/CROTA2
// matrix; a position at another equinox than 2000 is precessed (FK4 or FK5 by RADECSYS).
// What is not computed keeps its value from `last` (FieldWidth starts from 0).
SkyPosition ComputeFitsPosition(const WorldKeywords& wcs, const ZoomWindow& zoom,
                                int32_t image_height, SkyPosition last);

// Galactic (l, b, degrees) to equatorial B1950: right ascension in hours (not reduced to
// 0..24, it can be negative), declination in degrees.
void GalToEq(double l, double b, double& ar_hours, double& de_degrees);

// The sky part of the status line: " T ar:  5h30m00.0s de:+12°30'00" l:+00°18'00"", or ""
// when there is no position to show.
std::string SkyText(const SkyPosition& sky);

}  // namespace kivrel
