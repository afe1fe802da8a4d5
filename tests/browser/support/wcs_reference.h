// The independent sky position of a FITS header: the HDU's cards as cfitsio reads them (with
// the primary's keywords an extension lacks, as INHERIT asks), wcslib's celestial coordinates
// at given FITS pixels, and ERFA's conversion of the frame the header states (read by hand) to
// J2000. Shared by the sky position's own tests and the dialog's.
#pragma once

#include <erfa.h>
#include <fitsio.h>
#include <gtest/gtest.h>
#include <wcslib/wcs.h>
#include <wcslib/wcsfix.h>
#include <wcslib/wcshdr.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

namespace kivrel::test {

inline constexpr double kDeg = std::numbers::pi / 180;

// The angle between two points of the sky, all in degrees.
inline double Separation(double ra1, double dec1, double ra2, double dec2) {
  return eraSeps(ra1 * kDeg, dec1 * kDeg, ra2 * kDeg, dec2 * kDeg) / kDeg;
}

// A right ascension in hours in [0, 24) and a declination within `tolerance` degrees of the
// reference (degrees).
inline ::testing::AssertionResult SkyNear(bool found, double ra_hours, double dec_degrees,
                                          double ra, double dec, double tolerance) {
  if (!found) return ::testing::AssertionFailure() << "no position";
  if (!(ra_hours >= 0 && ra_hours < 24)) {
    return ::testing::AssertionFailure() << "ra " << ra_hours << " h outside [0, 24)";
  }
  const double off = Separation(ra_hours * 15, dec_degrees, ra, dec);
  if (off <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << ra_hours * 15 << ", " << dec_degrees << ") is "
                                       << off * 3600 << "\" from (" << ra << ", " << dec << ")";
}

// The frame a header states, read by hand; kNone: no celestial image axes.
enum class SkyFrame { kJ2000, kFk4B1950, kFk4NoETerms, kGalactic, kNone };

// (lon, lat) in `frame` brought to J2000 by ERFA, degrees. FK4 without E-terms has no direct
// ERFA call: false, the position left as is.
inline bool ToJ2000(SkyFrame frame, double& lon, double& lat) {
  double ra = lon * kDeg;
  double dec = lat * kDeg;
  if (frame == SkyFrame::kFk4NoETerms || frame == SkyFrame::kNone) return false;
  if (frame == SkyFrame::kFk4B1950) eraFk45z(ra, dec, 1950, &ra, &dec);
  if (frame == SkyFrame::kGalactic) eraG2icrs(ra, dec, &ra, &dec);
  lon = ra / kDeg;
  lat = dec / kDeg;
  return true;
}

struct ReferenceHdu {
  std::vector<std::string> cards;
  int64_t naxis1 = 0;
  int64_t naxis2 = 0;
};

// HDU `hdu` (0: the primary) of a file through cfitsio (a compressed image's own header), with
// the primary's cards appended for the keywords an extension lacks, as INHERIT asks.
inline ReferenceHdu ReadReferenceHdu(const std::filesystem::path& path, int hdu) {
  using Cards = std::vector<std::string>;
  const auto cards_of = [](fitsfile* f, int& status) {
    char* text = nullptr;
    int count = 0;
    if (fits_is_compressed_image(f, &status)) {
      fits_convert_hdr2str(f, 0, nullptr, 0, &text, &count, &status);
    } else {
      fits_hdr2str(f, 0, nullptr, 0, &text, &count, &status);
    }
    Cards out;
    for (int i = 0; text != nullptr && i < count; ++i)
      out.emplace_back(text + 80 * i, 80);
    fits_free_memory(text, &status);
    return out;
  };
  fitsfile* f = nullptr;
  int status = 0;
  long size[2] = {0, 0};
  fits_open_file(&f, path.c_str(), READONLY, &status);
  const Cards primary = cards_of(f, status);
  fits_movabs_hdu(f, hdu + 1, nullptr, &status);
  ReferenceHdu out{cards_of(f, status)};
  fits_get_img_size(f, 2, size, &status);
  fits_close_file(f, &status);
  EXPECT_EQ(status, 0) << path;
  out.naxis1 = size[0];
  out.naxis2 = size[1];
  if (hdu == 0 || out.cards.empty()) return out;
  out.cards.pop_back();  // END
  for (const std::string& card : primary) {
    const std::string key = card.substr(0, 8);
    bool present = key == "        " || key == "COMMENT " || key == "HISTORY ";
    for (const std::string& own : out.cards)
      present = present || own.compare(0, 8, key) == 0;
    if (!present) out.cards.push_back(card);
  }
  return out;
}

// wcslib's celestial (lon, lat) at FITS pixels (x, y) for each x, pixel `others` on the axes
// after the second (1 when missing), the header read as astropy reads it. Empty when wcslib
// finds no coordinates.
inline std::vector<std::array<double, 2>> WcslibAt(const ReferenceHdu& hdu,
                                                   const std::vector<double>& xs, double y,
                                                   const std::vector<int64_t>& others = {}) {
  std::string header;
  for (const std::string& c : hdu.cards)
    header += c;
  int rejected = 0;
  int count = 0;
  wcsprm* wcs = nullptr;
  wcspih(header.data(), static_cast<int>(hdu.cards.size()), WCSHDR_all, 0, &rejected, &count, &wcs);
  const int naxis[4] = {static_cast<int>(hdu.naxis1), static_cast<int>(hdu.naxis2), 1, 1};
  int fixes[NWCSFIX];
  if (count > 0 && wcs->naxis <= 4) wcsfix(0, naxis, wcs, fixes);
  std::vector<std::array<double, 2>> out;
  if (count > 0 && wcsset(wcs) == 0) {
    for (const double x : xs) {
      std::vector<double> pixel(static_cast<std::size_t>(wcs->naxis), 1.0);
      pixel[0] = x;
      pixel[1] = y;
      for (std::size_t k = 0; k < others.size() && k + 2 < pixel.size(); ++k) {
        pixel[k + 2] = static_cast<double>(others[k]);
      }
      std::vector<double> image(pixel.size());
      std::vector<double> world(pixel.size());
      double phi = 0;
      double theta = 0;
      int stat = 0;
      wcsp2s(wcs, 1, wcs->naxis, pixel.data(), image.data(), &phi, &theta, world.data(), &stat);
      out.push_back(
          {world[static_cast<std::size_t>(wcs->lng)], world[static_cast<std::size_t>(wcs->lat)]});
    }
  }
  wcsvfree(&count, &wcs);
  return out;
}

}  // namespace kivrel::test
