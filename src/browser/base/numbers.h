// Strict conversions between texts and numbers, with "." as the decimal separator whatever the
// user's locale.
//
// Number grammar: optional blanks around; an optional sign; digits with at most one decimal
// point and at least one digit in all ("5.", ".5" and "+5" are numbers); an optional exponent
// E or e with an optional sign and digits. No comma, "inf", "nan", hexadecimal or Fortran "D".
// An integer is an optional sign and digits within the 32-bit range; a float beyond the 64-bit
// range is not a number either.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivrel {

// Floating-point work on samples and statistics is done in long double: the 80-bit extended
// type on x86-64.

// Exact wide integers for sums and size checks.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

std::optional<long double> TryParseFloat(std::string_view text);
std::optional<int32_t> TryParseInt(std::string_view text);

// Throw RunTimeError "'<text>' is not a valid floating point value" / "... integer value".
long double ParseFloat(std::string_view text);
int32_t ParseInt(std::string_view text);

// The integer in a text, 0 when it is not one (the layer edit).
int32_t ParseIntOrZero(std::string_view text);

// Nearest integer, a half to the even neighbour.
long double RoundHalfEven(long double value);

// Fixed notation with `decimals` digits after the point, no leading blanks, "-" for negatives.
std::string FormatFixed(long double value, int decimals);

// General format with 12 significant digits: fixed notation when the value has at most 12
// digits before the point and its magnitude is at least 1e-5 (or it is 0), otherwise
// scientific notation with the shortest exponent ("1.5E-6", "2E20"); trailing zeros of the
// fraction and a needless point are dropped. Non-finite values read "NAN", "INF", "-INF".
std::string FormatGeneral(long double value, int significant = 12);

// Shortest decimal text that reads back as the same double ("0.125", "8").
std::string FormatShortest(double value);

}  // namespace kivrel
