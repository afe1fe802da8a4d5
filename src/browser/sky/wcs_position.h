// The sky position of the shown field: right ascension and declination at J2000 of the centre
// of the zoom window, and the window's width on the sky, from the world coordinates of a FITS
// header.
//
// wcslib reads the header as a whole (every projection; CDi_j, PCi_j with CDELTi, CROTAi; SIP
// distortion; the celestial pair on any two axes, in either order); sky_frame.h names the
// frame and brings it to J2000. Only the primary coordinate description (no alternate letter)
// is used, and only when the two image axes are its celestial pair: helioprojective, spectral,
// linear and pixel axes give no position.
//
// The plane is the file's image turned upside down and cut to at most 4000 rows: plane row 0
// is the file's last row, so plane (column c, row r) is FITS pixel (c + 1, NAXIS2 - r). The
// centre of a window of w columns from c0 and h rows from r0 is FITS pixel
// (c0 + (w + 1) / 2, NAXIS2 - r0 - (h - 1) / 2): ((NAXIS1 + 1) / 2, (NAXIS2 + 1) / 2) for a
// full view.
//
// Thread safety: wcslib 7's header parser is re-entrant (older versions kept the scanner's
// state in globals, hence the version floor in the build), and every structure here belongs to
// its object, so distinct objects may be used on distinct threads. One object must not be used
// from two threads at once: wcslib keeps work space inside the structure it transforms with.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kivrel {

// Where the plane sits in the file's image.
struct SkyPlane {
  int64_t naxis1 = 0;               // NAXIS1 as in the file
  int64_t naxis2 = 0;               // NAXIS2 as in the file
  int64_t rows_kept = 0;            // the plane's rows (<= NAXIS2): the file's last rows
  std::vector<int64_t> other_axes;  // 1-based pixel index on axes 3, 4, ...; missing ones: 1
};

// The shown window in plane coordinates: columns from the left, rows from the top.
struct SkyWindow {
  int64_t first_column = 0;
  int64_t first_row = 0;
  int64_t width = 0;
  int64_t height = 0;
};

struct CelestialPosition {
  bool found = false;      // false: no celestial position (the fields below are left as is)
  char projection = '-';   // TAN 'T', SIN 'S', ARC 'A', CAR 'C', any other projection 'A'
  double ra_hours = 0;     // in [0, 24)
  double dec_degrees = 0;  // in [-90, 90]
  double field_width = 0;  // degrees, > 0 when found
};

// The world coordinates of one header, read once and asked for any number of windows.
class CelestialWcs {
 public:
  // `cards`: the header's cards (the effective ones of the shown HDU, inherited keywords
  // included), each cut or blank-padded to 80 columns; reading stops at END. Bad, hostile or
  // missing keywords never throw (only std::bad_alloc can): they leave no celestial axes.
  explicit CelestialWcs(std::span<const std::string> cards);
  ~CelestialWcs();
  CelestialWcs(CelestialWcs&&) noexcept;
  CelestialWcs& operator=(CelestialWcs&&) noexcept;
  CelestialWcs(const CelestialWcs&) = delete;
  CelestialWcs& operator=(const CelestialWcs&) = delete;

  // True when the image axes carry equatorial, galactic or ecliptic coordinates.
  bool HasCelestialAxes() const;

  // The letter shown for the projection ('T', 'S', 'A', 'C'), '-' without celestial axes.
  char Projection() const;

  // The position of the window's centre and the window's width: the sum of the angular
  // distances from the centre to the midpoints of the left and right edges (so a whole-sky
  // map is 360 degrees wide); twice the one distance when an edge is off the sky; the window's
  // width in columns times the angular size of the centre pixel when both are; at most 360.
  // Not found when there are no celestial axes, the window is empty or outside the plane, or
  // the centre is off the sky.
  CelestialPosition Locate(const SkyPlane& plane, const SkyWindow& window);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// CelestialWcs(cards).Locate(plane, window), for a single question.
CelestialPosition ComputeWcsPosition(std::span<const std::string> cards, const SkyPlane& plane,
                               const SkyWindow& window);

}  // namespace kivrel
