#include "browser/base/numbers.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Checks the float grammar; on success returns the text without a leading "+".
std::optional<std::string_view> MatchFloat(std::string_view t) {
  std::size_t i = 0;
  const bool plus = i < t.size() && t[i] == '+';
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && IsDigit(t[i]))
    ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && IsDigit(t[i]))
      ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < t.size() && IsDigit(t[i]))
      ++i, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  if (plus) t.remove_prefix(1);
  return t;
}

// For a text of the float grammar (no leading "+") that is beyond the extended range: whether
// it is too large rather than too small, from the decimal power of its leading digit.
bool TooLarge(std::string_view t) {
  if (!t.empty() && t[0] == '-') t.remove_prefix(1);
  int64_t power = -1;  // decimal power of the leading significant digit, before the exponent
  bool seen_point = false;
  bool seen_digit = false;
  std::size_t i = 0;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      seen_point = true;
    } else if (!seen_digit && t[i] == '0') {
      if (seen_point) --power;
    } else {
      seen_digit = true;
      if (!seen_point) ++power;
    }
  }
  int64_t exponent = 0;
  bool negative = false;
  if (i < t.size()) {
    ++i;
    if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
    for (; i < t.size(); ++i)
      exponent = std::min<int64_t>(exponent * 10 + (t[i] - '0'), int64_t{1} << 40);
  }
  return power + (negative ? -exponent : exponent) > 0;
}

}  // namespace

std::optional<long double> TryParseFloat(std::string_view text) {
  auto matched = MatchFloat(TrimBlanks(text));
  if (!matched) return std::nullopt;
  std::string_view t = *matched;
  // from_chars does not take "5." or ".5" forms with a sign issue; it accepts both, but the
  // exponent of "5.e3" needs care: it is handled as well.
  long double value = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ptr != t.data() + t.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched then. Underflow is a number (zero); overflow is not.
    if (TooLarge(t)) return std::nullopt;
    value = 0;
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  if (std::fabs(value) > static_cast<long double>(DBL_MAX)) return std::nullopt;
  return value;
}

std::optional<int32_t> TryParseInt(std::string_view text) {
  std::string_view t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : t) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return std::nullopt;
  return static_cast<int32_t>(value);
}

long double ParseFloat(std::string_view text) {
  if (auto v = TryParseFloat(text)) return *v;
  throw RunTimeError("'" + std::string(text) + "' is not a valid floating point value");
}

int32_t ParseInt(std::string_view text) {
  if (auto v = TryParseInt(text)) return *v;
  throw RunTimeError("'" + std::string(text) + "' is not a valid integer value");
}

int32_t ParseIntOrZero(std::string_view text) {
  return TryParseInt(text).value_or(0);
}

long double RoundHalfEven(long double value) {
  return std::nearbyintl(value);
}

std::string FormatFixed(long double value, int decimals) {
  char buf[128];
  if (!std::isfinite(value)) return FormatGeneral(value);
  int n = std::snprintf(buf, sizeof buf, "%.*Lf", decimals, value);
  if (n < 0 || n >= static_cast<int>(sizeof buf)) {
    // Beyond 1e100 the fixed text is long; keep it whole.
    std::string big(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::snprintf(big.data(), big.size(), "%.*Lf", decimals, value);
    big.pop_back();
    return big;
  }
  std::string s(buf, static_cast<std::size_t>(n));
  if (s[0] == '-') {
    // A value that rounds to zero keeps no sign: "-0.000" reads "0.000".
    bool all_zero = true;
    for (char c : s.substr(1)) {
      if (c != '0' && c != '.') all_zero = false;
    }
    if (all_zero) s.erase(0, 1);
  }
  return s;
}

std::string FormatGeneral(long double value, int significant) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // Round to the significant digits first, then choose the notation from the rounded value.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*Le", significant - 1, value);
  std::string sci(buf);
  const std::size_t e_pos = sci.find('e');
  const int exponent = std::stoi(sci.substr(e_pos + 1));
  std::string mantissa = sci.substr(0, e_pos);
  const bool negative = mantissa[0] == '-';
  if (negative) mantissa.erase(0, 1);
  std::string digits;
  for (char c : mantissa) {
    if (c != '.') digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  std::string out;
  if (exponent >= significant || exponent < -5) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E";
    if (exponent < 0) out += "-";
    out += std::to_string(std::abs(exponent));
  } else if (exponent >= 0) {
    const std::size_t int_len = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= int_len) {
      out = digits + std::string(int_len - digits.size(), '0');
    } else {
      out = digits.substr(0, int_len) + "." + digits.substr(int_len);
    }
  } else {
    out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  return negative ? "-" + out : out;
}

std::string FormatShortest(double value) {
  char buf[64];
  auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  if (ec != std::errc()) return FormatGeneral(value);
  return std::string(buf, ptr);
}

}  // namespace kivrel
