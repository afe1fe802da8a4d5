// Strict number conversions: the grammar every header value and typed text goes through, the
// exact error texts, rounding and the documented output forms.
#include "browser/base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

struct FloatRow {
  const char* name;
  const char* text;
  long double value;
};

void PrintTo(const FloatRow& row, std::ostream* os) {
  *os << "'" << row.text << "'";
}

class NumbersValidFloat : public ::testing::TestWithParam<FloatRow> {};

TEST_P(NumbersValidFloat, ConvertsToItsValue) {
  const FloatRow& row = GetParam();
  const auto v = TryParseFloat(row.text);
  ASSERT_TRUE(v.has_value()) << row.text;
  EXPECT_EQ(*v, row.value);
  EXPECT_EQ(ParseFloat(row.text), row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, NumbersValidFloat,
    ::testing::Values(FloatRow{"Integer", "5", 5.0L}, FloatRow{"TrailingPoint", "5.", 5.0L},
                      FloatRow{"LeadingPoint", ".5", 0.5L}, FloatRow{"PlusSign", "+5", 5.0L},
                      FloatRow{"MinusSign", "-5", -5.0L},
                      FloatRow{"SpacesAround", "   12.25  ", 12.25L},
                      FloatRow{"Exponent", "1e3", 1000.0L},
                      FloatRow{"UpperExponent", "1E3", 1000.0L},
                      FloatRow{"SignedExponent", "2.5e-3", 2.5e-3L},
                      FloatRow{"PointThenExponent", "5.e3", 5000.0L},
                      FloatRow{"SignedLeadingPoint", "-.5E+2", -50.0L},
                      FloatRow{"LeadingZeros", "000120.500", 120.5L},
                      FloatRow{"FitsStyle", "0.19500000000000E+04", 1950.0L},
                      FloatRow{"LongMantissa", "3.14159265358979323846264338327950288",
                               3.14159265358979323846264338327950288L},
                      FloatRow{"LargestDouble", "1.7976931348623157e308", 1.7976931348623157e308L},
                      FloatRow{"Tiny", "1e-300", 1e-300L}, FloatRow{"Zero", "0", 0.0L}),
    [](const auto& row) { return std::string(row.param.name); });

struct BadRow {
  const char* name;
  const char* text;
};

void PrintTo(const BadRow& row, std::ostream* os) {
  *os << "'" << row.text << "'";
}

class NumbersInvalidFloat : public ::testing::TestWithParam<BadRow> {};

TEST_P(NumbersInvalidFloat, IsRejectedWithTheExactText) {
  const BadRow& row = GetParam();
  EXPECT_FALSE(TryParseFloat(row.text).has_value()) << row.text;
  try {
    ParseFloat(row.text);
    ADD_FAILURE() << "no error for '" << row.text << "'";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()),
              "'" + std::string(row.text) + "' is not a valid floating point value");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, NumbersInvalidFloat,
    ::testing::Values(
        BadRow{"Empty", ""}, BadRow{"Blank", "   "}, BadRow{"SignOnly", "+"},
        BadRow{"MinusOnly", "-"}, BadRow{"PointOnly", "."}, BadRow{"SignAndPoint", "-."},
        BadRow{"ExponentOnly", "e5"}, BadRow{"ExponentWithoutDigits", "1e"},
        BadRow{"ExponentSignWithoutDigits", "1e+"}, BadRow{"TwoPoints", "1.2.3"},
        BadRow{"Comma", "1,5"}, BadRow{"Inf", "inf"}, BadRow{"UpperInf", "INF"},
        BadRow{"Infinity", "Infinity"}, BadRow{"Nan", "nan"}, BadRow{"Hexadecimal", "0x10"},
        BadRow{"HexFloat", "0x1p3"}, BadRow{"FortranD", "1.0D+00"},
        BadRow{"FortranLowerD", "6.62606957d-34"}, BadRow{"InnerSpace", "1 2"},
        BadRow{"DoubleSign", "--1"}, BadRow{"MixedSigns", "+-1"},
        BadRow{"FractionalExponent", "1e5.0"}, BadRow{"Quoted", "'2000'"}, BadRow{"Logical", "T"},
        BadRow{"Underscore", "1_000"}, BadRow{"TrailingText", "12abc"},
        BadRow{"BeyondDouble", "1.8e308"}, BadRow{"NegativeBeyond", "-2e308"},
        BadRow{"BeyondExtendedToo", "1e5000"}, BadRow{"NegativeBeyondExtended", "-1e5000"},
        BadRow{"HugeExponent", "1e99999999999999999999"},
        BadRow{"ManyDigitsBeyond", "123456789012345678901234567890e300"}),
    [](const auto& row) { return std::string(row.param.name); });

struct IntRow {
  const char* name;
  const char* text;
  int32_t value;
};

void PrintTo(const IntRow& row, std::ostream* os) {
  *os << "'" << row.text << "'";
}

class NumbersValidInt : public ::testing::TestWithParam<IntRow> {};

TEST_P(NumbersValidInt, ConvertsToItsValue) {
  const IntRow& row = GetParam();
  const auto v = TryParseInt(row.text);
  ASSERT_TRUE(v.has_value()) << row.text;
  EXPECT_EQ(*v, row.value);
  EXPECT_EQ(ParseInt(row.text), row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, NumbersValidInt,
    ::testing::Values(IntRow{"Plain", "16", 16}, IntRow{"Negative", "-32", -32},
                      IntRow{"Plus", "+5", 5}, IntRow{"SpacesAround", "   7  ", 7},
                      IntRow{"LeadingZeros", "0007", 7}, IntRow{"Largest", "2147483647", INT32_MAX},
                      IntRow{"Smallest", "-2147483648", INT32_MIN}, IntRow{"Zero", "-0", 0}),
    [](const auto& row) { return std::string(row.param.name); });

class NumbersInvalidInt : public ::testing::TestWithParam<BadRow> {};

TEST_P(NumbersInvalidInt, IsRejectedWithTheExactText) {
  const BadRow& row = GetParam();
  EXPECT_FALSE(TryParseInt(row.text).has_value()) << row.text;
  EXPECT_EQ(ParseIntOrZero(row.text), 0);
  try {
    ParseInt(row.text);
    ADD_FAILURE() << "no error for '" << row.text << "'";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()),
              "'" + std::string(row.text) + "' is not a valid integer value");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, NumbersInvalidInt,
    ::testing::Values(BadRow{"Empty", ""}, BadRow{"SignOnly", "-"}, BadRow{"Decimal", "16.0"},
                      BadRow{"DecimalWithSpaces", " 16.0 "}, BadRow{"Exponent", "1e3"},
                      BadRow{"AboveRange", "2147483648"}, BadRow{"BelowRange", "-2147483649"},
                      BadRow{"FarAboveRange", "99999999999999999999999999999999999999999"},
                      BadRow{"Hexadecimal", "0x10"}, BadRow{"PascalHex", "$10"},
                      BadRow{"InnerSpace", "1 0"}, BadRow{"Logical", "T"},
                      BadRow{"Quoted", "'16'"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(NumbersParseIntOrZero, GivesTheIntegerOrZero) {
  EXPECT_EQ(ParseIntOrZero("3"), 3);
  EXPECT_EQ(ParseIntOrZero("99"), 99);
  EXPECT_EQ(ParseIntOrZero(""), 0);
  EXPECT_EQ(ParseIntOrZero("x"), 0);
}

TEST(NumbersRoundHalfEven, TiesGoToTheEvenNeighbour) {
  struct Row {
    long double in;
    long double out;
  };
  for (const Row& r : {Row{0.5L, 0.0L}, Row{1.5L, 2.0L}, Row{2.5L, 2.0L}, Row{3.5L, 4.0L},
                       Row{-0.5L, 0.0L}, Row{-1.5L, -2.0L}, Row{-2.5L, -2.0L}, Row{2.4999L, 2.0L},
                       Row{2.5001L, 3.0L}, Row{-7.0L, -7.0L}}) {
    EXPECT_EQ(RoundHalfEven(r.in), r.out) << static_cast<double>(r.in);
  }
}

TEST(NumbersFormatShortest, ReadsBackAsTheSameDouble) {
  EXPECT_EQ(FormatShortest(0.125), "0.125");
  EXPECT_EQ(FormatShortest(8.0), "8");
  for (const double v : {0.1, 1.0 / 3.0, -2.5e-300, 6.02214076e23}) {
    EXPECT_EQ(static_cast<double>(ParseFloat(FormatShortest(v))), v) << v;
  }
}

TEST(NumbersFormatGeneral, ShortScientificFormBeyondTwelveDigitsOrBelowOneE5) {
  EXPECT_EQ(FormatGeneral(1.5e-6L), "1.5E-6");
  EXPECT_EQ(FormatGeneral(2e20L), "2E20");
  EXPECT_EQ(FormatGeneral(0.0L), "0");
  EXPECT_EQ(FormatGeneral(1950.0L), "1950");
  EXPECT_EQ(FormatGeneral(-0.25L), "-0.25");
}

}  // namespace
}  // namespace kivrel
