#include "skylib/skylib.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>

#include "skylib/run_time_error.h"

namespace kivrel {

namespace {

using Wide = long double;

constexpr Wide kDegToRad = std::numbers::pi_v<Wide> / 180;
constexpr Wide kRadToDeg = 180 / std::numbers::pi_v<Wide>;

// Number as a fixed-width field of `width` characters with `decimals` (0 or 1) decimals:
// rounded half away from zero, right-aligned with leading blanks, never cut. A negative value
// keeps its minus even when it rounds to zero (so -0.0 gives "-0").
std::string FixedField(double value, int width, int decimals) {
  // |value| * 10 is exact in the 64-bit mantissa of long double, so the rounding below
  // sees the exact binary value and a true half rounds up.
  Wide scaled = std::fabs(static_cast<Wide>(value));
  if (decimals == 1) scaled *= 10;
  const Wide rounded = std::round(scaled);  // ties away from zero
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0Lf", rounded);
  std::string digits = buffer;
  if (decimals == 1) {
    if (digits.size() < 2) digits.insert(0, 1, '0');
    digits.insert(digits.size() - 1, 1, '.');
  }
  if (std::signbit(value)) digits.insert(0, 1, '-');
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

// A field with its leading blanks replaced by a single "0".
std::string Padded(const std::string& field) {
  return "0" + field.substr(field.find_first_not_of(' '));
}

// Shared tail of both precession routines: rotation by zeta, theta and z (all in degrees).
void RotateEquator(double& ar, double& de, double zeta, double z, double theta) {
  const double a0 = static_cast<Wide>(ar) * 15;
  const double d0 = de;
  const Wide alpha = (a0 + static_cast<Wide>(zeta)) * kDegToRad;
  const Wide delta = d0 * kDegToRad;
  const Wide th = theta * kDegToRad;
  const double a = std::cos(delta) * std::sin(alpha);
  const double b =
      std::cos(th) * std::cos(delta) * std::cos(alpha) - std::sin(th) * std::sin(delta);
  const Wide c = std::sin(th) * std::cos(delta) * std::cos(alpha) + std::cos(th) * std::sin(delta);
  de = static_cast<double>(std::asin(c) * kRadToDeg);
  ar = static_cast<double>(std::atan2(static_cast<Wide>(a), static_cast<Wide>(b)) * kRadToDeg + z);
  ar = static_cast<double>(RealMod(static_cast<double>(ar + Wide{360}), 360) / Wide{15});
}

}  // namespace

double RealMod(double x, double y) {
  const Wide wx = x;
  const Wide wy = y;
  return static_cast<double>(wx - wy * std::trunc(wx / wy));
}

double Sgn(double x) {
  return x >= 0 ? 1.0 : -1.0;
}

std::string DeToStr(double x) {
  double d = std::trunc(x);
  double m = static_cast<double>(std::fabs(static_cast<Wide>(x) - d) * 60);
  // Carrying from 59.99 on means the seconds carry below can never lift the minutes to 60.
  if (m >= 59.99L) {
    d += Sgn(x);
    m = 0;
  }
  int mi = static_cast<int>(m);
  double s = static_cast<double>((static_cast<Wide>(m) - mi) * 60);
  if (s >= 59.5L) {
    ++mi;
    s = 0;
  }
  std::string deg = FixedField(std::fabs(d), 2, 0);
  if (std::fabs(d) < 10) deg = Padded(deg);
  // The sign comes from x, so -0.5 gives "-00".
  deg.insert(0, x >= 0 ? "+" : "-");
  std::string min = FixedField(mi, 2, 0);
  if (std::abs(mi) < 10) min = Padded(min);
  std::string sec = FixedField(s, 2, 0);
  if (std::fabs(s) < 9.5L) sec = Padded(sec);
  return deg + "\u00b0" + min + "'" + sec + "\"";
}

std::string ArToStr(double x) {
  double h = std::trunc(x);  // keeps the sign of x, also as -0
  double m = static_cast<double>(std::fabs(static_cast<Wide>(x) - h) * 60);
  if (m >= 59.999L) {
    h += Sgn(x);
    m = 0;
  }
  int mi = static_cast<int>(m);
  double s = static_cast<double>((static_cast<Wide>(m) - mi) * 60);
  if (s >= 59.95L) {
    ++mi;
    s = 0;
  }
  std::string min = FixedField(mi, 2, 0);
  if (std::abs(mi) < 10) min = Padded(min);
  std::string sec = FixedField(s, 4, 1);
  if (std::fabs(s) < 9.95L) sec = Padded(sec);
  return FixedField(h, 3, 0) + "h" + min + "m" + sec + "s";
}

double Jd(int32_t year, int32_t month, int32_t day, double hour) {
  int64_t y = year;
  int64_t mo = month;
  if (mo <= 2) {
    --y;
    mo += 12;
  }
  int64_t b = 0;
  if (y * 10000 + mo * 100 + day >= 15821015) {  // Gregorian from 1582-10-15
    const int64_t a = y / 100;
    b = 2 - a + a / 4;
  }
  const Wide days = std::trunc(365.25L * static_cast<Wide>(y + 4716)) +
                    std::trunc(30.6001L * static_cast<Wide>(mo + 1)) + day + b - 1524.5L +
                    static_cast<Wide>(hour) / 24;
  return static_cast<double>(days);
}

void PrecessionFK4(double& ar, double& de, double jd_from, double jd_to) {
  const double big_t = (jd_from - 2415020.3135L) / 36524.2199L;
  const double t = (static_cast<Wide>(jd_to) - jd_from) / 36524.2199L;
  const Wide t2 = static_cast<Wide>(t) * t;
  const Wide t3 = t2 * t;
  const double zeta = ((2304.25L + 1.396L * big_t) * t + 0.302L * t2 + 0.018L * t3) / 3600;
  const double z = zeta + t2 * (0.791L + t / 1000.0L) / 3600;
  const double theta = ((2004.682L - 0.853L * big_t) * t - 0.426L * t2 - 0.042L * t3) / 3600;
  RotateEquator(ar, de, zeta, z, theta);
}

void PrecessionFK5(double& ar, double& de, double jd_from, double jd_to) {
  const double big_t = (jd_from - 2451545.0L) / 36525;
  const double t = (static_cast<Wide>(jd_to) - jd_from) / 36525;
  const Wide bt = big_t;
  const Wide t2 = static_cast<Wide>(t) * t;
  const Wide t3 = t2 * t;
  const Wide linear = 2306.2181L + 1.39656L * bt - 0.000139L * bt * bt;
  const double zeta = (linear * t + (0.30188L - 0.000344L * bt) * t2 + 0.017998L * t3) / 3600;
  const double z = (linear * t + (1.09468L + 0.000066L * bt) * t2 + 0.018203L * t3) / 3600;
  const double theta = ((2004.3109L - 0.8533L * bt - 0.000217L * bt * bt) * t -
                        (0.42665L + 0.000217L * bt) * t2 - 0.041833L * t3) /
                       3600;
  RotateEquator(ar, de, zeta, z, theta);
}

SkyLibSettings& Settings() {
  static SkyLibSettings settings;
  return settings;
}

void ConfigureFromEnvironment() {
  SkyLibSettings& settings = Settings();
  if (const char* trace = std::getenv("KIVREL_TRACE"); trace != nullptr && *trace != '\0') {
    std::FILE* file = std::fopen(trace, "a");
    if (file == nullptr || std::fclose(file) != 0) ThrowCannotCreate(trace);
    settings.TraceFileName = trace;
    settings.TraceEnabled = true;
  }
  if (const char* language = std::getenv("KIVREL_LANGUAGE")) settings.LanguageCode = language;
  if (const char* dir = std::getenv("KIVREL_LANGDIR")) settings.BaseDir = dir;
}

void WriteTrace(const std::string& msg) {
  const std::string& name = Settings().TraceFileName;
  // No O_CREAT: the trace file has to be there already.
  const int fd = ::open(name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) ThrowCannotOpen(name);

  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%d/%m/%Y %H:%M:%S", &local);
  const std::string line = std::string(stamp) + "  " + msg + "\n";

  size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(fd, line.data() + written, line.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      ThrowCannotCreate(name);
    }
    written += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) ThrowCannotCreate(name);
}

}  // namespace kivrel
