// The world-coordinate keywords of a FITS header as the header reader takes them: the values
// as written, the strings with the file's bytes and quotes (CTYPE1 = 'RA---TAN' gives
// "'RA---TAN'"). 0 when absent, except the PC matrix, which defaults to the identity.
#pragma once

#include <string>

namespace kivrel {

// CDi_j or PCi_j: m1_2 weighs the second pixel axis in the first world axis.
struct PixelMatrix {
  double m1_1 = 0;
  double m1_2 = 0;
  double m2_1 = 0;
  double m2_2 = 0;
  bool present = false;  // the header has at least one of the four cards
};

struct WorldKeywords {
  std::string Ctype1;
  std::string Ctype2;
  std::string RaDecSys;  // "'FK4'" when the header gives none
  double Equinox = 0;    // 1950 or 2000 when the header gives none
  double Crpix1 = 0;
  double Crpix2 = 0;
  double Crval1 = 0;
  double Crval2 = 0;
  double Cdelt1 = 0;
  double Cdelt2 = 0;
  double Crota1 = 0;
  double Crota2 = 0;
  bool HasCdelt = false;  // CDELT1, CDELT2 or CROTA2 present
  PixelMatrix cd;
  PixelMatrix pc{1, 0, 0, 1, false};
};

}  // namespace kivrel
