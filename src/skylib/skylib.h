// Astronomical helpers: sexagesimal texts, Julian day, precession, and the trace writer.
//
// Angles: right ascension in hours, declination and other angles in degrees, 64-bit floats.
// Intermediate arithmetic is done in long double (the 80-bit type on x86-64); every returned
// value is a 64-bit float. Texts are UTF-8 (the degree sign is U+00B0).
#pragma once

#include <cstdint>
#include <string>

namespace kivrel {

// Julian day of the J2000.0 epoch.
inline constexpr double Jd2000 = 2451545.0;

// X - Y * Int(X / Y), Int dropping the fraction toward zero: the result has the sign of X.
// Y must not be 0.
double RealMod(double x, double y);

// +1 when x >= 0 (zero included), else -1.
double Sgn(double x);

// Signed degrees, minutes, seconds: "+12°30'00\"". Also formats any non-negative angle.
std::string DeToStr(double x);

// Hours, minutes, seconds with one decimal: "  5h30m00.0s" (hours right-aligned in 3).
std::string ArToStr(double x);

// Julian day of a calendar date (Gregorian from 1582-10-15, Julian before); hour with fraction.
double Jd(int32_t year, int32_t month, int32_t day, double hour);

// Precession of (ar hours, de degrees) from the equinox of jd_from to that of jd_to: Newcomb's
// angles in the 1900 system (FK4) or the 1976 angles referred to J2000 (FK5). ar comes back in
// [0, 24) for any input above -24 hours.
void PrecessionFK4(double& ar, double& de, double jd_from, double jd_to);
void PrecessionFK5(double& ar, double& de, double jd_from, double jd_to);

// Process-wide settings of the helper unit. Nothing in the program changes them except
// ConfigureFromEnvironment at start-up.
struct SkyLibSettings {
  bool TraceEnabled = false;
  std::string TraceFileName;
  std::string LanguageCode;  // language file code; empty keeps the built-in French texts
  std::string BaseDir;       // folder of the language files
};
SkyLibSettings& Settings();

// Reads KIVREL_TRACE (a trace file, created when missing; turns tracing on), KIVREL_LANGUAGE and
// KIVREL_LANGDIR into Settings(). Unset variables leave the defaults.
void ConfigureFromEnvironment();

// Appends "<local date and time>  <msg>" to the trace file, which must exist. The caller tests
// TraceEnabled. Throws RunTimeError "Cannot open file <name>" when the file cannot be opened.
void WriteTrace(const std::string& msg);

}  // namespace kivrel
