// libFuzzer target for the number parser and formats: any text through TryParseFloat,
// TryParseInt, ParseIntOrZero, ParseFloat and ParseInt, and every number found through the
// formats and back. Invariants:
// - an integer text is a float text of the same value; ParseIntOrZero is TryParseInt or 0;
// - ParseFloat and ParseInt throw exactly when the Try forms find no number;
// - FormatGeneral keeps 12 significant digits, FormatFixed rounds to its decimals, and
//   FormatShortest gives back the same double: each reads back within those bounds.
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "browser/base/numbers.h"
#include "skylib/run_time_error.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The message as far as what() can carry it: up to the first zero byte.
bool SameMessage(const std::exception& e, const std::string& expected) {
  return e.what() == expected.substr(0, expected.find('\0'));
}

long double ReadBack(const std::string& text) {
  const auto v = kivrel::TryParseFloat(text);
  Check(v.has_value());
  return *v;
}

void CheckFormats(long double v) {
  using namespace kivrel;
  // 12 significant digits: half a unit of the 12th digit, relative to the value.
  const long double general = ReadBack(FormatGeneral(v));
  Check(std::fabs(general - v) <= 5.1e-12L * std::fabs(v) + LDBL_MIN);
  if (std::fabs(v) < 1e30L) {
    for (int decimals : {0, 3, 6}) {
      const long double fixed = ReadBack(FormatFixed(v, decimals));
      const long double half_unit = 0.5L * std::pow(10.0L, -decimals);
      Check(std::fabs(fixed - v) <= half_unit * (1 + 1e-15L) + std::fabs(v) * LDBL_EPSILON);
    }
  }
  const double d = static_cast<double>(v);
  const std::string shortest = FormatShortest(d);
  double back = 0;
  const auto [end, ec] = std::from_chars(shortest.data(), shortest.data() + shortest.size(), back);
  Check(ec == std::errc() && end == shortest.data() + shortest.size() && back == d);
  Check(TryParseFloat(shortest).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  if (size > 512) return 0;  // the edits hold short texts; long ones only slow the search
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto f = TryParseFloat(text);
  const auto i = TryParseInt(text);
  if (i) Check(f && *f == static_cast<long double>(*i));
  Check(ParseIntOrZero(text) == i.value_or(0));
  try {
    const long double x = ParseFloat(text);
    Check(f && x == *f);
  } catch (const RunTimeError& e) {
    Check(!f && SameMessage(e, "'" + text + "' is not a valid floating point value"));
  }
  try {
    const int32_t n = ParseInt(text);
    Check(i && n == *i);
  } catch (const RunTimeError& e) {
    Check(!i && SameMessage(e, "'" + text + "' is not a valid integer value"));
  }
  if (f) {
    Check(std::isfinite(*f) && std::fabs(*f) <= static_cast<long double>(DBL_MAX));
    CheckFormats(*f);
  }
  return 0;
}
