// The FITS data reader on small images: byte order and the float rule, the six sample types
// with their rows turned over, scaling, blank samples (integers equal to BLANK, NaN floats) left
// out of the statistics, and the statistics against their definition.
#include "browser/readers/fits_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "failure_checks.h"
#include "fits_fixture.h"
#include "image_checks.h"

namespace kivrel {
namespace {

using test::BigEndian;
using test::Bytes;
using test::Card;
using test::FitsFile;
using test::ImageCards;
using test::Load;
using test::ReferenceStats;
using test::SameBits;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- Byte order ---------------------------------------------------------------------------

TEST(FitsSwap, IntegersAreBigEndianAndSigned) {
  const uint8_t a[] = {0x12, 0x34}, b[] = {0xFF, 0xFE}, c[] = {0x80, 0x00};
  EXPECT_EQ(Swap16(a), 0x1234);
  EXPECT_EQ(Swap16(b), -2);
  EXPECT_EQ(Swap16(c), -32768);
  const uint8_t d[] = {0x80, 0, 0, 0}, e[] = {0, 0, 1, 0}, f[] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(Swap32(d), INT32_MIN);
  EXPECT_EQ(Swap32(e), 256);
  EXPECT_EQ(Swap32(f), -1);
}

struct SingleRow {
  const char* name;
  std::array<uint8_t, 4> bytes;
  float value;
};

void PrintTo(const SingleRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsSingleRule : public ::testing::TestWithParam<SingleRow> {};

TEST_P(FitsSingleRule, DecodesOrGivesZero) {
  EXPECT_TRUE(SameBits(SwapSingle(GetParam().bytes.data()), GetParam().value))
      << SwapSingle(GetParam().bytes.data());
}

INSTANTIATE_TEST_SUITE_P(
    Floats, FitsSingleRule,
    ::testing::Values(SingleRow{"One", {0x3F, 0x80, 0, 0}, 1.0f},
                      SingleRow{"MinusTwo", {0xC0, 0, 0, 0}, -2.0f},
                      SingleRow{"NegativeZeroKept", {0x80, 0, 0, 0}, -0.0f},
                      SingleRow{"Denormal", {0, 0, 0, 1}, std::numeric_limits<float>::denorm_min()},
                      SingleRow{"BelowTwoTo127", {0x7E, 0xFF, 0xFF, 0xFF}, 0x1.fffffep126f},
                      SingleRow{"TwoTo127", {0x7F, 0x00, 0, 0}, 0.0f},
                      SingleRow{"ThreeE38", {0x7F, 0x61, 0xB1, 0xE6}, 0.0f},
                      SingleRow{"Infinity", {0x7F, 0x80, 0, 0}, 0.0f},
                      SingleRow{"NaN", {0x7F, 0xC0, 0, 0}, 0.0f},
                      SingleRow{"MinusInfinity", {0xFF, 0x80, 0, 0}, 0.0f},
                      SingleRow{"MinusTwoTo127", {0xFF, 0x00, 0, 0}, 0.0f},
                      SingleRow{"NegativeNaN", {0xFF, 0xFF, 0xFF, 0xFF}, 0.0f}),
    [](const auto& row) { return std::string(row.param.name); });

struct DoubleRow {
  const char* name;
  std::array<uint8_t, 8> bytes;
  double value;
};

void PrintTo(const DoubleRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsDoubleRule : public ::testing::TestWithParam<DoubleRow> {};

TEST_P(FitsDoubleRule, DecodesOrGivesZero) {
  EXPECT_TRUE(SameBits(SwapDouble(GetParam().bytes.data()), GetParam().value))
      << SwapDouble(GetParam().bytes.data());
}

INSTANTIATE_TEST_SUITE_P(
    Floats, FitsDoubleRule,
    ::testing::Values(DoubleRow{"One", {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, 1.0},
                      DoubleRow{"MinusTwo", {0xC0, 0, 0, 0, 0, 0, 0, 0}, -2.0},
                      DoubleRow{"Tenth", {0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}, 0.1},
                      DoubleRow{"BelowTwoTo1009",
                                {0x7E, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                0x1.fffffffffffffp1008},
                      DoubleRow{"TwoTo1009", {0x7F, 0x00, 0, 0, 0, 0, 0, 0}, 0.0},
                      DoubleRow{"Largest", {0x7F, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0.0},
                      DoubleRow{"Infinity", {0x7F, 0xF0, 0, 0, 0, 0, 0, 0}, 0.0},
                      DoubleRow{"NaN", {0x7F, 0xF8, 0, 0, 0, 0, 0, 0}, 0.0},
                      DoubleRow{
                          "MinusLargest", {0xFF, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0.0}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Sample types ---------------------------------------------------------------------------

// The bytes of `samples` written as BITPIX `bitpix` (NaN and infinities through their bits).
Bytes Encode(int bitpix, const std::vector<double>& samples) {
  Bytes out;
  for (double v : samples) {
    switch (bitpix) {
      case 8:
        out.push_back(static_cast<uint8_t>(v));
        break;
      case 16:
        test::AppendBigEndian(out, static_cast<int16_t>(v));
        break;
      case 32:
        test::AppendBigEndian(out, static_cast<int32_t>(v));
        break;
      case 64:  // 2^63 stands for the largest 64-bit integer, 2^63 - 1
        test::AppendBigEndian(out, v >= 0x1p63 ? INT64_MAX : static_cast<int64_t>(v));
        break;
      case -32:
        test::AppendBigEndian(out, static_cast<float>(v));
        break;
      default:
        test::AppendBigEndian(out, v);
    }
  }
  return out;
}

// The plane of `bitpix` as doubles, row 0 first (nothing when the image holds another type).
// 64-bit integers are held in a plane of doubles.
std::vector<double> PlaneValues(const Image& image, int bitpix) {
  std::vector<double> out;
  image.plane.Visit([&](const auto& plane) {
    const int held = test::SampleTypeOf<typename std::decay_t<decltype(plane)>::Element>();
    if (held != (bitpix == 64 ? kSampleF64 : bitpix)) return;
    for (int32_t r = 0; r < plane.rows(); ++r)
      for (int32_t c = 0; c < plane.cols(); ++c)
        out.push_back(static_cast<double>(plane.At(r, c)));
  });
  return out;
}

::testing::AssertionResult SamePlane(const std::vector<double>& got,
                                     const std::vector<double>& want) {
  if (got.size() != want.size())
    return ::testing::AssertionFailure() << got.size() << " samples instead of " << want.size();
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (!SameBits(got[i], want[i]))
      return ::testing::AssertionFailure()
             << "sample " << i << " is " << got[i] << ", expected " << want[i];
  }
  return ::testing::AssertionSuccess();
}

struct TypeRow {
  const char* name;
  int bitpix;
  int width;
  int height;
  std::vector<std::string> cards;
  std::vector<double> file;   // samples in file order
  std::vector<double> plane;  // expected plane, row 0 (the file's last row) first
  long double bscale = 1;
  long double bzero = 0;
  std::optional<double> blank = std::nullopt;  // the BLANK card's value, when the row gives one
};

void PrintTo(const TypeRow& row, std::ostream* os) {
  *os << row.name;
}

// A big-endian 64-bit integer.
int64_t Int64At(const uint8_t* b) {
  uint64_t bits = 0;
  for (int k = 0; k < 8; ++k)
    bits = bits << 8 | b[k];
  return static_cast<int64_t>(bits);
}

// The statistics as defined, in file order, over the real samples only: integers equal to the
// BLANK value and NaN floats are blank (left out); other floats follow the float rule (0 for
// the first byte 0x7F or 0xFF) and a float equal to BLANK (to 0 without it) counts as 0.
// `blanks` receives how many samples were left out.
ReferenceStats StatsOf(const TypeRow& row, int64_t* blanks = nullptr) {
  ReferenceStats ref;
  int64_t left_out = 0;
  const Bytes bytes = Encode(row.bitpix, row.file);
  const int size = row.bitpix == 8 ? 1 : std::abs(row.bitpix) / 8;
  for (std::size_t i = 0; i < row.file.size(); ++i) {
    const uint8_t* b = bytes.data() + i * size;
    if (row.bitpix < 0) {
      if (std::isnan(row.file[i])) {
        ++left_out;
        continue;
      }
      double v = row.bitpix == -32 ? double(SwapSingle(b)) : SwapDouble(b);
      if (v == row.blank.value_or(0)) v = 0;
      ref.Add(row.bscale, row.bzero, v);
      continue;
    }
    const double v = row.bitpix == 8    ? b[0]
                     : row.bitpix == 16 ? Swap16(b)
                     : row.bitpix == 32 ? Swap32(b)
                                        : static_cast<double>(Int64At(b));
    if (row.blank && v == *row.blank) {
      ++left_out;
      continue;
    }
    ref.Add(row.bscale, row.bzero, v);
  }
  if (blanks != nullptr) *blanks = left_out;
  return ref;
}

class FitsSampleType : public ::testing::TestWithParam<TypeRow> {};

TEST_P(FitsSampleType, FillsThePlaneRowsTurnedAndCountsEveryRealSample) {
  const TypeRow& row = GetParam();
  const auto got = Load(FitsFile(ImageCards(row.bitpix, row.width, row.height, row.cards),
                                 Encode(row.bitpix, row.file)));
  ASSERT_EQ(got.image.height, row.height) << ::testing::PrintToString(got.failure);
  ASSERT_EQ(got.image.width, row.width);
  EXPECT_EQ(got.image.SampleType, row.bitpix);
  EXPECT_EQ(got.image.LayerCount, 1);
  EXPECT_EQ(got.image.CurrentLayer, 1);
  EXPECT_TRUE(SamePlane(PlaneValues(got.image, row.bitpix), row.plane));
  int64_t blanks = 0;
  const ReferenceStats ref = StatsOf(row, &blanks);
  EXPECT_EQ(got.image.blanks.Count(), blanks);
  EXPECT_TRUE(
      test::StatsAgree(got.image.stats, ref, test::ExactSums(row.bitpix, row.bscale, row.bzero)));
}

const double kMinus0 = -0.0;

INSTANTIATE_TEST_SUITE_P(
    Types, FitsSampleType,
    ::testing::Values(
        TypeRow{"Unsigned8", 8, 3, 2, {}, {0, 1, 255, 128, 7, 9}, {128, 7, 9, 0, 1, 255}},
        TypeRow{"Signed8Convention",
                8,
                3,
                2,
                {Card("BZERO", "-128")},
                {0, 1, 255, 128, 7, 9},
                {128, 7, 9, 0, 1, 255},
                1,
                -128},
        TypeRow{
            "Signed16", 16, 2, 3, {}, {-32768, 32767, 0, -1, 5, 6}, {5, 6, 0, -1, -32768, 32767}},
        TypeRow{"Unsigned16",
                16,
                2,
                3,
                {Card("BZERO", "32768"), Card("BSCALE", "1")},
                {-32768, 32767, 0, -1, 5, 6},
                {5, 6, 0, -1, -32768, 32767},
                1,
                32768},
        TypeRow{"Scaled16",
                16,
                3,
                1,
                {Card("BSCALE", "0.25"), Card("BZERO", "7992")},
                {-3, 0, 1001},
                {-3, 0, 1001},
                0.25L,
                7992},
        TypeRow{"NegativeScale16",
                16,
                2,
                2,
                {Card("BSCALE", "-2"), Card("BZERO", "10")},
                {-5, 100, 7, -32768},
                {7, -32768, -5, 100},
                -2,
                10},
        TypeRow{"FractionalBzero16",
                16,
                2,
                1,
                {Card("BSCALE", "0.00625000"), Card("BZERO", "204.800")},
                {-32768, 32767},
                {-32768, 32767},
                0.00625L,
                204.8L},
        TypeRow{"Signed32",
                32,
                3,
                2,
                {},
                {INT32_MIN, INT32_MAX, 0, -7, 100000, 3},
                {-7, 100000, 3, INT32_MIN, INT32_MAX, 0}},
        TypeRow{"Scaled32",
                32,
                2,
                1,
                {Card("BSCALE", "1.757184E-11"), Card("BZERO", "5.062539E-04")},
                {INT32_MAX, -12345},
                {INT32_MAX, -12345},
                1.757184E-11L,
                5.062539E-04L},
        TypeRow{"Float32",
                -32,
                3,
                2,
                {},
                {1.5, -2.25, 3.0e38, kNaN, kMinus0, 1e-40},
                {0, 0, 1e-40f, 1.5, -2.25, 0}},
        TypeRow{"Float64",
                -64,
                3,
                2,
                {},
                {1e300, -1e-300, DBL_MAX, kInf, 0x1p1009, 0.1},
                {0, 0, 0.1, 1e300, -1e-300, 0}},
        // Held as doubles: the largest 64-bit integer, 2^63 - 1, reads as 2^63.
        TypeRow{"Signed64",
                64,
                3,
                2,
                {},
                {-0x1p63, 0x1p63, 0, 0x1p53 + 2, -7, 123456789012},
                {0x1p53 + 2, -7, 123456789012, -0x1p63, 0x1p63, 0}},
        TypeRow{"Scaled64",
                64,
                2,
                1,
                {Card("BSCALE", "0.5"), Card("BZERO", "-3")},
                {-5, 1e15},
                {-5, 1e15},
                0.5L,
                -3},
        TypeRow{"ScaledFloat64",
                -64,
                2,
                1,
                {Card("BSCALE", "2.0"), Card("BZERO", "-1.5")},
                {0.25, -kInf},
                {0.25, 0},
                2,
                -1.5}),
    [](const auto& row) { return std::string(row.param.name); });

// The 8- and 16-bit readers may take integer sums for speed; they must equal the running
// extended sums exactly, whatever the scale.
// Enough samples to cross the readers' internal chunk and lane-flush boundaries, with runs of
// the extreme values.
std::vector<double> ManySamples(int bitpix, int count) {
  std::vector<double> file;
  uint32_t x = 12345;
  for (int i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    const bool extreme = (i / 16) % 97 == 5;
    if (bitpix == 8) {
      file.push_back(extreme ? ((i & 1) != 0 ? 255 : 0) : (x >> 24));
    } else {
      file.push_back(extreme ? ((i & 1) != 0 ? 32767 : -32768) : static_cast<int16_t>(x >> 16));
    }
  }
  return file;
}

// The 8- and 16-bit readers may take integer sums for speed; they must equal the running
// extended sums exactly, whatever the scale.
TEST(FitsSampleType, SmallIntegerStatisticsEqualTheRunningSums) {
  struct Scale {
    const char* bscale;
    const char* bzero;
    long double s;
    long double z;
  };
  for (const int bitpix : {8, 16}) {
    for (const Scale& k :
         {Scale{"1", "0", 1, 0}, Scale{"1", "32768", 1, 32768}, Scale{"-3", "-100000", -3, -100000},
          Scale{"0", "5", 0, 5}, Scale{"65536", "0", 65536, 0}, Scale{"0.1", "0.3", 0.1L, 0.3L}}) {
      const int w = 400;
      const int h = 700;
      TypeRow row{"",
                  bitpix,
                  w,
                  h,
                  {Card("BSCALE", k.bscale), Card("BZERO", k.bzero)},
                  ManySamples(bitpix, w * h),
                  {},
                  k.s,
                  k.z};
      const auto got =
          Load(FitsFile(ImageCards(bitpix, w, h, row.cards), Encode(bitpix, row.file)));
      const ReferenceStats ref = StatsOf(row);
      const std::string what = std::to_string(bitpix) + " " + k.bscale + " " + k.bzero;
      EXPECT_EQ(got.image.stats.DataMin, ref.min) << what;
      EXPECT_EQ(got.image.stats.DataMax, ref.max) << what;
      EXPECT_EQ(got.image.stats.DataMean, ref.Mean()) << what;
      EXPECT_EQ(got.image.stats.DataSigma, ref.Sigma()) << what;
    }
  }
}

// Floats read many at a time: rows of an odd width cross the vector steps and the sum blocks,
// with samples the float rule zeroes, a float BLANK, negative zeros, huge values and rows that
// hold a NaN (read sample by sample). The plane is the decoded file and the statistics agree
// with the running extended sums, with the extremes exact, at unit scale and scaled.
TEST(FitsSampleType, ManyFloatsAgreeWithTheRunningSums) {
  const int w = 1037;
  const int h = 6;
  std::vector<double> file;
  uint32_t x = 777;
  for (int i = 0; i < w * h; ++i) {
    x = x * 1103515245u + 12345u;
    double v = (static_cast<double>(x >> 8) - 8388608.0) / 4096.0;
    if (i % 211 == 3) v = 3.0e38;
    if (i % 307 == 5) v = kMinus0;
    if (i % 401 == 7) v = 2.5;  // the BLANK value below
    if (i % 503 == 9) v = kInf;  // first byte 0x7F: 0
    if (i == 2 * w + 517 || i == 5 * w + 1030) v = kNaN;
    file.push_back(v);
  }
  for (const bool scaled : {false, true}) {
    TypeRow row{"", -32, w, h, {Card("BLANK", "2.5")}, file, {}, 1, 0, 2.5};
    if (scaled) {
      row.cards.push_back(Card("BSCALE", "0.5"));
      row.cards.push_back(Card("BZERO", "-3"));
      row.bscale = 0.5L;
      row.bzero = -3;
    }
    const auto got = Load(FitsFile(ImageCards(-32, w, h, row.cards), Encode(-32, row.file)));
    ASSERT_EQ(got.image.height, h);
    const Plane<float>& plane = test::PlaneOf<float>(got.image);
    const Bytes bytes = Encode(-32, row.file);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        const double v = row.file[static_cast<std::size_t>(r * w + c)];
        float want = SwapSingle(bytes.data() + 4 * (r * w + c));
        if (std::isnan(v) || std::isinf(v) || v == 2.5) want = 0;
        ASSERT_EQ(plane.At(h - 1 - r, c), want) << r << "," << c;
      }
    }
    int64_t blanks = 0;
    const ReferenceStats ref = StatsOf(row, &blanks);
    EXPECT_EQ(blanks, 2);
    EXPECT_EQ(got.image.blanks.Count(), 2);
    EXPECT_TRUE(test::StatsAgree(got.image.stats, ref, false)) << (scaled ? "scaled" : "unit");
  }
}

// A 16-bit image wider than the cap, with an odd width and blank samples: every run alignment
// of the rows, the kept and the dropped columns; the blank samples of the dropped columns are
// left out of the statistics too.
TEST(FitsSampleType, WideBlanked16) {
  const int w = 4099;
  const int h = 9;
  std::vector<double> file = ManySamples(16, w * h);
  for (std::size_t i = 0; i < file.size(); i += 13)
    file[i] = -32768;
  TypeRow row{"",   16, w, h,     {Card("BLANK", "-32768"), Card("BZERO", "32768")},
              file, {}, 1, 32768, -32768};
  const auto got = Load(FitsFile(ImageCards(16, w, h, row.cards), Encode(16, file)));
  ASSERT_EQ(got.image.height, h);
  ASSERT_EQ(got.image.width, 4000);
  for (int r = 0; r < h; ++r) {
    for (int j = 0; j < 4000; ++j) {
      const double v = file[static_cast<std::size_t>(r) * w + j];
      ASSERT_EQ(test::PlaneOf<int16_t>(got.image).At(h - 1 - r, j), v == -32768 ? 0 : v)
          << r << " " << j;
    }
  }
  EXPECT_TRUE(test::StatsAgree(got.image.stats, StatsOf(row), true));
}

// ---- BLANK --------------------------------------------------------------------------------

struct BlankRow {
  const char* name;
  int bitpix;
  std::string blank_card;
  double blank;
  std::vector<double> file;   // 4 samples, one row
  std::vector<double> plane;  // expected row
};

void PrintTo(const BlankRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsBlank : public ::testing::TestWithParam<BlankRow> {};

// Integer samples equal to BLANK are stored as 0, marked and left out of the statistics; floats
// equal to BLANK are stored as 0 and counted as 0.
TEST_P(FitsBlank, EqualSamplesBecomeZero) {
  const BlankRow& b = GetParam();
  TypeRow row{"",     b.bitpix, 4, 1,   {Card("BLANK", b.blank_card), Card("BZERO", "100")},
              b.file, b.plane,  1, 100, b.blank};
  const auto got =
      Load(FitsFile(ImageCards(row.bitpix, 4, 1, row.cards), Encode(b.bitpix, b.file)));
  ASSERT_EQ(got.image.height, 1);
  EXPECT_TRUE(SamePlane(PlaneValues(got.image, b.bitpix), b.plane));
  int64_t blanks = 0;
  const ReferenceStats ref = StatsOf(row, &blanks);
  EXPECT_EQ(got.image.blanks.Count(), blanks);
  for (int32_t c = 0; c < 4; ++c) {
    EXPECT_EQ(got.image.blanks.IsBlank(0, c), b.bitpix > 0 && b.file[c] == b.blank) << c;
  }
  EXPECT_TRUE(test::StatsAgree(got.image.stats, ref, true));
}

INSTANTIATE_TEST_SUITE_P(
    Values, FitsBlank,
    ::testing::Values(
        BlankRow{"Int16", 16, "-32768", -32768, {-32768, 5, -32768, 7}, {0, 5, 0, 7}},
        BlankRow{"Int8", 8, "255", 255, {255, 5, 0, 255}, {0, 5, 0, 0}},
        BlankRow{"Int32", 32, "-2147483648", INT32_MIN, {INT32_MIN, 1, 2, 3}, {0, 1, 2, 3}},
        BlankRow{"Int64", 64, "-9007199254740992", -0x1p53, {-0x1p53, 1, -0x1p53, 3}, {0, 1, 0, 3}},
        // 2^63 stands for the largest 64-bit integer in the file (see Encode).
        BlankRow{"Int64Largest",
                 64,
                 "9223372036854775807",
                 0x1p63,
                 {0x1p63, -0x1p63, 1, 2},
                 {0, -0x1p63, 1, 2}},
        BlankRow{"ZeroIsABlankValueToo", 16, "0", 0, {0, 9, 0, 0}, {0, 9, 0, 0}},
        BlankRow{"NotAnInteger", 16, "1.5", 1.5, {1, 2, 1, 2}, {1, 2, 1, 2}},
        BlankRow{"OutOfRange16", 16, "40000", 40000, {-25536, 1, 2, 3}, {-25536, 1, 2, 3}},
        BlankRow{"NegativeFor8", 8, "-1", -1, {255, 1, 2, 3}, {255, 1, 2, 3}},
        BlankRow{"FloatDataToo", -32, "-1", -1, {-1, 2, -1, 0.5}, {0, 2, 0, 0.5}},
        BlankRow{
            "FloatComparedAsDouble", -32, "0.1", 0.1, {0.1, 0.2, 0.1, 1}, {0.1f, 0.2f, 0.1f, 1}},
        BlankRow{"FloatExactValue",
                 -32,
                 "0.100000001490116119384765625",
                 0.1f,
                 {0.1, 0.2, 0.1, 1},
                 {0, 0.2f, 0, 1}},
        BlankRow{"Double", -64, "-32768", -32768, {-32768, 1e-3, 5, -32768}, {0, 1e-3, 5, 0}},
        BlankRow{"NegativeZeroMatchesZero", -64, "0", 0, {kMinus0, 1, 2, 3}, {0, 1, 2, 3}}),
    [](const auto& row) { return std::string(row.param.name); });

// Random bit patterns, rich in the special first bytes and in zeros of both signs, decoded
// by the reader and one by one through SwapSingle / SwapDouble and the literal blank test.
template <typename F>
void CheckDecodedBits(const char* blank_card) {
  constexpr int kSize = sizeof(F);
  const int bitpix = kSize == 4 ? -32 : -64;
  const int w = 37;
  const int h = 29;
  Bytes data;
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < w * h; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    uint8_t b[8];
    for (int k = 0; k < 8; ++k)
      b[k] = static_cast<uint8_t>(x >> (8 * k));
    switch (i % 7) {
      case 0:
        b[0] = 0x7F;
        break;
      case 1:
        b[0] = 0xFF;
        break;
      case 2:
        std::fill(b + 1, b + 8, 0);
        b[0] &= 0x80;
        break;  // +0 or -0
      case 3:
        b[0] = 0x3F;
        b[1] = kSize == 4 ? 0x80 : 0xF0;
        std::fill(b + 2, b + 8, 0);
        break;
      default:
        break;
    }
    data.insert(data.end(), b, b + kSize);
  }
  std::vector<std::string> extra;
  double blank = 0;
  if (blank_card != nullptr) {
    extra.push_back(Card("BLANK", blank_card));
    blank = static_cast<double>(ParseFloat(blank_card));
  }
  const auto got = Load(FitsFile(ImageCards(bitpix, w, h, extra), data));
  ASSERT_EQ(got.image.height, h);
  for (int r = 0; r < h; ++r) {
    for (int j = 0; j < w; ++j) {
      const uint8_t* b = data.data() + (static_cast<std::size_t>(r) * w + j) * kSize;
      double v = kSize == 4 ? static_cast<double>(SwapSingle(b)) : SwapDouble(b);
      if (v == blank) v = 0;
      double stored = 0;
      got.image.plane.Visit([&](const auto& plane) {
        ASSERT_EQ(test::SampleTypeOf<typename std::decay_t<decltype(plane)>::Element>(), bitpix);
        stored = static_cast<double>(plane.At(h - 1 - r, j));
      });
      ASSERT_TRUE(SameBits(stored, v)) << r << " " << j << ": " << stored << " vs " << v;
    }
  }
}

TEST(FitsDecode, FloatBitsWithoutBlank) {
  CheckDecodedBits<float>(nullptr);
}
TEST(FitsDecode, FloatBitsWithBlankOne) {
  CheckDecodedBits<float>("1");
}
TEST(FitsDecode, FloatBitsWithBlankNotAFloat) {
  CheckDecodedBits<float>("0.1");
}
TEST(FitsDecode, DoubleBitsWithoutBlank) {
  CheckDecodedBits<double>(nullptr);
}
TEST(FitsDecode, DoubleBitsWithBlankOne) {
  CheckDecodedBits<double>("1");
}

// ---- Small cases ----------------------------------------------------------------------------

TEST(FitsStatistics, OneSampleHasNoSpread) {
  const auto got =
      Load(FitsFile(ImageCards(-32, 1, 1, {Card("BZERO", "3")}), BigEndian<float>({1.25f})));
  ASSERT_EQ(got.image.height, 1);
  EXPECT_EQ(got.image.stats.DataMin, 4.25);
  EXPECT_EQ(got.image.stats.DataMax, 4.25);
  EXPECT_EQ(got.image.stats.DataMean, 4.25L);
  EXPECT_EQ(got.image.stats.DataSigma, 0);
}

// Under a scale the sums run sample by sample in extended precision, as the reference does.
TEST(FitsStatistics, RoundingBelowZeroVarianceGivesSigmaZero) {
  const std::vector<double> file(10, 0.15);
  ReferenceStats literal;
  for (double v : file)
    literal.Add(2, 0, v);
  // The running sums of ten 0.3 end with a variance just below 0.
  ASSERT_LT(literal.sum_sq / literal.count - literal.Mean() * literal.Mean(), 0);
  const auto got =
      Load(FitsFile(ImageCards(-64, 5, 2, {Card("BSCALE", "2")}), BigEndian<double>(file)));
  ASSERT_EQ(got.image.height, 2);
  EXPECT_EQ(got.image.stats.DataSigma, 0);
  EXPECT_EQ(got.image.stats.DataMean, literal.Mean());
}

TEST(FitsStatistics, ValuesBeyond1e100KeepTheStartingExtremes) {
  // Minimum and maximum start at +1e100 and -1e100.
  const auto got = Load(FitsFile(ImageCards(-64, 2, 1), BigEndian<double>({1e200, 2e200})));
  ASSERT_EQ(got.image.height, 1);
  EXPECT_EQ(got.image.stats.DataMin, 1e100);
  EXPECT_EQ(got.image.stats.DataMax, 2e200);
}

}  // namespace
}  // namespace kivrel
