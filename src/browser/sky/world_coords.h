// Sky coordinates from the FITS world coordinate system.
#pragma once

namespace kivrel {

// Galactic (l, b, degrees) to equatorial B1950: right ascension in hours (not reduced to
// 0..24, it can be negative), declination in degrees.
void GalToEq(double l, double b, double& ar_hours, double& de_degrees);

}  // namespace kivrel
