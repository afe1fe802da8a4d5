// The sky position of the shown window as the dialog holds and shows it: the projection letter,
// the right ascension and declination of the window's centre at J2000 and its width on the
// sky (computed by wcs_position.h), and the sky part of the status line.
#pragma once

#include <string>

namespace kivrel {

struct SkyPosition {
  char ProjCode = '-';    // T, S, A or C; '-' for an image without sky coordinates
  double FitsAR = 0;      // hours, in [0, 24)
  double FitsDE = 0;      // degrees
  double FieldWidth = 0;  // degrees; 0: no sky position to show
};

// The sky part of the status line: " T ar:  5h30m00.0s de:+12°30'00" l:+00°18'00"", or ""
// when there is no position to show.
std::string SkyText(const SkyPosition& sky);

}  // namespace kivrel
