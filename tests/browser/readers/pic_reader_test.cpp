// ReadPic: samples into the planes (rows turned over, capped), rounding of floats, and the
// statistics over every sample of the file, on byte sources built by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "browser/readers/pic_reader.h"
#include "failure_checks.h"
#include "image_checks.h"
#include "pic_test_file.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using pic_test::CountingSource;
using pic_test::Pic16;
using pic_test::PicFields;
using pic_test::PicFloat;
using pic_test::PicHeaderBytes;

ReadResult Read(ByteSource& source, int32_t layer = 1,
                std::shared_ptr<LargeBuffer> reuse = nullptr) {
  ReadRequest request;
  request.layer = layer;
  request.reuse = std::move(reuse);
  return ReadPic(source, std::move(request));
}

ReadResult Read(const std::vector<uint8_t>& bytes, int32_t layer = 1,
                std::shared_ptr<LargeBuffer> reuse = nullptr) {
  MemoryByteSource source(bytes);
  return Read(source, layer, std::move(reuse));
}

PicFields Geometry(int16_t columns, int16_t rows, int16_t sample_size) {
  PicFields f;
  f.columns = columns;
  f.rows = rows;
  f.sample_size = sample_size;
  return f;
}

// Every element of `plane` equals expected(row, column) and the plane has the given size.
template <typename T>
::testing::AssertionResult PlaneIs(const Plane<T>& plane, int32_t rows, int32_t cols,
                                   const std::function<int64_t(int32_t, int32_t)>& expected) {
  if (plane.rows() != rows || plane.cols() != cols) {
    return ::testing::AssertionFailure() << "plane is " << plane.rows() << " x " << plane.cols()
                                         << ", expected " << rows << " x " << cols;
  }
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      if (plane.At(r, c) != expected(r, c)) {
        return ::testing::AssertionFailure() << "at row " << r << ", column " << c << ": "
                                             << plane.At(r, c) << ", expected " << expected(r, c);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Statistics of a list of values, as the format defines them: running extended sums.
struct Reference {
  double min = 1e100;
  double max = -1e100;
  long double mean = 0;
  long double sigma = 0;
};

Reference Stats(const std::vector<double>& values) {
  Reference r;
  long double sum = 0;
  long double sum_sq = 0;
  for (double v : values) {
    r.min = std::min(r.min, v);
    r.max = std::max(r.max, v);
    sum += v;
    sum_sq += static_cast<long double>(v) * v;
  }
  r.mean = sum / values.size();
  const long double variance = sum_sq / values.size() - r.mean * r.mean;
  r.sigma = variance < 0 ? 0 : std::sqrt(variance);
  return r;
}

// Extremes exact; the sums of 16-bit samples exact, those of floats (summed in blocks) within
// 1e-12 of the exact ones, relative.
void ExpectStats(const ReadResult& got, const Reference& want, bool exact_sums = true) {
  EXPECT_EQ(got.image.stats.DataMin, want.min);
  EXPECT_EQ(got.image.stats.DataMax, want.max);
  if (exact_sums) {
    EXPECT_EQ(got.image.stats.DataMean, want.mean);
    EXPECT_EQ(got.image.stats.DataSigma, want.sigma);
    return;
  }
  EXPECT_NEAR(static_cast<double>(got.image.stats.DataMean), static_cast<double>(want.mean),
              1e-12 * std::fabs(static_cast<double>(want.mean)));
  EXPECT_NEAR(static_cast<double>(got.image.stats.DataSigma), static_cast<double>(want.sigma),
              1e-12 * static_cast<double>(want.sigma));
}

TEST(ReadPic, Int16RowsTurnedOver) {
  // 100 columns x 50 rows; sample (file row f, column j) = 100 f + j, so 0 .. 4999 once each.
  std::vector<int16_t> samples;
  for (int f = 0; f < 50; ++f)
    for (int j = 0; j < 100; ++j)
      samples.push_back(static_cast<int16_t>(100 * f + j));
  // Layer 9 is asked for: a PIC file has one.
  const ReadResult got = Read(Pic16(Geometry(100, 50, 16), samples), 9);
  EXPECT_EQ(got.image.height, 50);
  EXPECT_EQ(got.image.width, 100);
  EXPECT_EQ(got.image.SampleType, 16);
  EXPECT_EQ(got.image.LayerCount, 1);
  EXPECT_EQ(got.image.CurrentLayer, 1);
  EXPECT_EQ(got.image.BScale, 1);
  EXPECT_EQ(got.image.BZero, 0);
  // The file's first 100 samples are the bottom row.
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got.image), 50, 100,
                      [](int32_t r, int32_t c) { return 100 * (49 - r) + c; }));
  // 0 .. N-1 once each: mean (N-1)/2, variance (N^2-1)/12.
  EXPECT_EQ(got.image.stats.DataMin, 0);
  EXPECT_EQ(got.image.stats.DataMax, 4999);
  EXPECT_EQ(got.image.stats.DataMean, 2499.5L);
  EXPECT_NEAR(static_cast<double>(got.image.stats.DataSigma), std::sqrt((5000.0 * 5000.0 - 1) / 12),
              1e-9);
}

TEST(ReadPic, FloatsRoundHalfToEvenWhileStatisticsSeeTheValue) {
  const std::vector<float> samples = {2.5f,        3.5f,        -0.5f,      -1.5f,
                                      0.49999997f, 1e6f + 0.5f, 8388607.5f, -4194304.5f,
                                      -0.7f,       16777218.0f, -99.5f,     1.5f};
  const std::vector<int64_t> stored = {2,       4,        0,  -2,       0,    1000000,
                                       8388608, -4194304, -1, 16777218, -100, 2};
  for (int16_t size : {4, 32}) {
    SCOPED_TRACE(size);
    const ReadResult got = Read(PicFloat(Geometry(12, 1, size), samples));
    EXPECT_EQ(got.image.SampleType, 32);
    EXPECT_TRUE(PlaneIs(test::PlaneOf<int32_t>(got.image), 1, 12,
                        [&](int32_t, int32_t c) { return stored[c]; }));
    ExpectStats(got, Stats(std::vector<double>(samples.begin(), samples.end())), false);
  }
}

// Non-finite samples and samples outside the 32-bit range: what the 32-bit plane holds and what the
// statistics take (NaN as 0, infinities clamped, finite values as they are).
struct FloatCase {
  const char* name;
  float sample;
  int32_t stored;
  double statistic;
};

void PrintTo(const FloatCase& c, std::ostream* os) {
  *os << c.name;
}

class PicFloatEdge : public ::testing::TestWithParam<FloatCase> {};

TEST_P(PicFloatEdge, StoredAndCounted) {
  const FloatCase& c = GetParam();
  const ReadResult got = Read(PicFloat(Geometry(1, 1, 4), {c.sample}));
  ASSERT_EQ(got.image.height, 1);
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(0, 0), c.stored);
  EXPECT_EQ(got.image.stats.DataMin, c.statistic);
  EXPECT_EQ(got.image.stats.DataMax, c.statistic);
  EXPECT_EQ(got.image.stats.DataMean, static_cast<long double>(c.statistic));
  EXPECT_EQ(got.image.stats.DataSigma, 0);
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();

const FloatCase kFloatCases[] = {
    {"QuietNaN", std::numeric_limits<float>::quiet_NaN(), 0, 0.0},
    {"NegativeNaN", -std::numeric_limits<float>::quiet_NaN(), 0, 0.0},
    {"PlusInfinity", kInf, kMax32, 2147483647.0},
    {"MinusInfinity", -kInf, kMin32, -2147483648.0},
    {"AboveRange", 3e9f, kMax32, 3e9},
    {"TwoToThe31", 2147483648.0f, kMax32, 2147483648.0},
    {"LargestBelowTwoToThe31", 2147483520.0f, 2147483520, 2147483520.0},
    {"MinusTwoToThe31", -2147483648.0f, kMin32, -2147483648.0},
    {"BelowRange", -1e20f, kMin32, static_cast<double>(-1e20f)},
    {"LargestFloat", std::numeric_limits<float>::max(), kMax32,
     static_cast<double>(std::numeric_limits<float>::max())},
    {"Subnormal", 1e-45f, 0, static_cast<double>(1e-45f)},
};

INSTANTIATE_TEST_SUITE_P(Cases, PicFloatEdge, ::testing::ValuesIn(kFloatCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ReadPic, NaNCountsAsZeroAmongOtherSamples) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const ReadResult got = Read(PicFloat(Geometry(4, 1, 4), {4.0f, nan, 8.0f, nan}));
  ExpectStats(got, Stats({4.0, 0.0, 8.0, 0.0}), false);
}

TEST(ReadPic, CapKeepsFirstColumnsButCountsEverySample) {
  // 4100 columns x 2 rows: columns 4000 and above are read for the statistics only.
  std::vector<int16_t> samples(2 * 4100);
  for (int f = 0; f < 2; ++f)
    for (int j = 0; j < 4100; ++j)
      samples[f * 4100 + j] = static_cast<int16_t>(j % 1000 + f);
  samples[0 * 4100 + 4050] = 30000;
  samples[1 * 4100 + 4099] = -30000;
  const ReadResult got = Read(Pic16(Geometry(4100, 2, 16), samples));
  EXPECT_EQ(got.image.height, 2);
  EXPECT_EQ(got.image.width, 4000);
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got.image), 2, 4000,
                      [](int32_t r, int32_t c) { return c % 1000 + (1 - r); }));
  ExpectStats(got, Stats(std::vector<double>(samples.begin(), samples.end())));
  EXPECT_EQ(got.image.stats.DataMin, -30000);
  EXPECT_EQ(got.image.stats.DataMax, 30000);
}

TEST(ReadPic, CapDropsTheFilesFirstRows) {
  // 2 columns x 4100 rows: the plane holds the file's last 4000 rows, the top one first.
  std::vector<float> samples;
  for (int f = 0; f < 4100; ++f) {
    samples.push_back(static_cast<float>(f));
    samples.push_back(f == 7 ? -123.25f : 0.5f);
  }
  const ReadResult got = Read(PicFloat(Geometry(2, 4100, 4), samples));
  EXPECT_EQ(got.image.height, 4000);
  EXPECT_EQ(got.image.width, 2);
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int32_t>(got.image), 4000, 2,
                      [](int32_t r, int32_t c) { return c == 0 ? 4099 - r : 0; }));
  EXPECT_EQ(got.image.stats.DataMin, -123.25);  // from a row that is not held
  ExpectStats(got, Stats(std::vector<double>(samples.begin(), samples.end())), false);
}

TEST(ReadPic, BlocksDoNotCutRowsOrSamples) {
  // More samples than one read block, rows of an odd length.
  const int16_t cols = 333;
  const int16_t rows = 500;
  std::vector<float> samples;
  uint32_t x = 12345;
  for (int i = 0; i < cols * rows; ++i) {
    x = x * 1664525u + 1013904223u;
    samples.push_back(static_cast<float>(static_cast<int32_t>(x >> 8) % 200000) / 8.0f);
  }
  const ReadResult got = Read(PicFloat(Geometry(cols, rows, 32), samples));
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int32_t>(got.image), rows, cols, [&](int32_t r, int32_t c) {
    return static_cast<int64_t>(std::nearbyint(samples[(rows - 1 - r) * cols + c]));
  }));
  ExpectStats(got, Stats(std::vector<double>(samples.begin(), samples.end())), false);

  std::vector<int16_t> ints(samples.size());
  for (std::size_t i = 0; i < ints.size(); ++i)
    ints[i] = static_cast<int16_t>((static_cast<int32_t>(samples[i] * 8) % 65536 + 65536) % 65536 -
                                   32768);
  const ReadResult got16 = Read(Pic16(Geometry(cols, rows, 2), ints));
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got16.image), rows, cols,
                      [&](int32_t r, int32_t c) { return ints[(rows - 1 - r) * cols + c]; }));
  ExpectStats(got16, Stats(std::vector<double>(ints.begin(), ints.end())));
}

TEST(ReadPic, ConstantImageWhoseVarianceRoundsBelowZeroHasSigmaZero) {
  const int16_t cols = 256;
  const int16_t rows = 300;
  const std::vector<float> samples(cols * rows, 3.7f);
  // The fixture must really take the variance below 0 with running extended sums.
  long double sum = 0;
  long double sum_sq = 0;
  for (float v : samples) {
    sum += v;
    sum_sq += static_cast<long double>(v) * v;
  }
  const long double mean = sum / samples.size();
  ASSERT_LT(sum_sq / samples.size() - mean * mean, 0);

  const ReadResult got = Read(PicFloat(Geometry(cols, rows, 4), samples));
  EXPECT_EQ(got.image.stats.DataMin, static_cast<double>(3.7f));
  EXPECT_EQ(got.image.stats.DataMax, static_cast<double>(3.7f));
  EXPECT_EQ(got.image.stats.DataSigma, 0);
}

// ---- Files shorter than their header promises ---------------------------------------------

TEST(ReadPicShort, MissingSamplesAreZeroAndACutSampleKeepsItsByte) {
  // 10 columns x 4 rows promised; 13 samples and the low byte of a 14th are there.
  std::vector<int16_t> present;
  for (int i = 0; i < 13; ++i)
    present.push_back(static_cast<int16_t>(-100 * (i + 1)));
  std::vector<uint8_t> bytes = Pic16(Geometry(10, 4, 16), present);
  bytes.push_back(0x34);  // the next sample's low byte; its high byte is missing
  // The memory of an earlier plane: nothing of what it held may survive.
  Plane<int16_t> earlier(4, 10);
  earlier.Fill(555);
  std::shared_ptr<LargeBuffer> reuse = earlier.TakeBlock();
  ASSERT_NE(reuse, nullptr);
  CountingSource source(bytes);
  const ReadResult got = Read(source, 1, reuse);
  ASSERT_EQ(got.image.height, 4);
  ASSERT_EQ(got.image.width, 10);

  std::vector<int16_t> file_order(40, 0);
  std::copy(present.begin(), present.end(), file_order.begin());
  file_order[13] = 0x34;
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got.image), 4, 10,
                      [&](int32_t r, int32_t c) { return file_order[(3 - r) * 10 + c]; }));
  ExpectStats(got, Stats(std::vector<double>(file_order.begin(), file_order.end())));
  EXPECT_EQ(source.bytes_read(), bytes.size());
  EXPECT_EQ(source.reads_after_end(), 0);
}

TEST(ReadPicShort, HugePromiseStopsAtTheEndOfTheFile) {
  for (int16_t size : {16, 4}) {
    SCOPED_TRACE(size);
    const bool is_float = size == 4;
    const std::vector<uint8_t> bytes =
        is_float ? PicFloat(Geometry(32767, 32767, size), {5.5f, -2.0f, 9.0f})
                 : Pic16(Geometry(32767, 32767, size), {5, -2, 9});
    CountingSource source(bytes);
    const ReadResult got = Read(source);
    EXPECT_EQ(got.image.height, 4000);
    EXPECT_EQ(got.image.width, 4000);
    EXPECT_EQ(source.bytes_read(), bytes.size());
    EXPECT_EQ(source.reads_after_end(), 0);
    EXPECT_LE(source.reads(), 2);  // the header, then one block

    // 32767^2 samples: the three in the file, the rest 0.
    const long double n = 32767.0L * 32767.0L;
    const long double s1 = is_float ? 5.5L - 2 + 9 : 5 - 2 + 9;
    const long double s2 = is_float ? 5.5L * 5.5L + 4 + 81 : 25 + 4 + 81;
    EXPECT_EQ(got.image.stats.DataMin, -2);
    EXPECT_EQ(got.image.stats.DataMax, 9);
    EXPECT_NEAR(static_cast<double>(got.image.stats.DataMean), static_cast<double>(s1 / n), 1e-18);
    EXPECT_NEAR(static_cast<double>(got.image.stats.DataSigma),
                static_cast<double>(std::sqrt(s2 / n - (s1 / n) * (s1 / n))), 1e-15);
    // The file's first row is the plane's bottom row, far below the cap: all held samples 0.
    const bool all_zero = [&] {
      if (is_float)
        return std::all_of(test::PlaneOf<int32_t>(got.image).data(),
                           test::PlaneOf<int32_t>(got.image).data() + 16000000,
                           [](int32_t v) { return v == 0; });
      return std::all_of(test::PlaneOf<int16_t>(got.image).data(),
                         test::PlaneOf<int16_t>(got.image).data() + 16000000,
                         [](int16_t v) { return v == 0; });
    }();
    EXPECT_TRUE(all_zero);
  }
}

TEST(ReadPicShort, HeaderShorterThan290BytesReadsZeros) {
  // Only the first 100 bytes: the thresholds (offsets 118, 120) and every sample are missing.
  PicFields f = Geometry(3, 2, 16);
  f.high_threshold = 900;
  f.low_threshold = 100;
  std::vector<uint8_t> bytes = PicHeaderBytes(f);
  bytes.resize(100);
  const ReadResult got = Read(bytes);
  EXPECT_EQ(got.image.height, 2);
  EXPECT_EQ(got.image.width, 3);
  EXPECT_EQ(got.image.HeaderMin, 0);
  EXPECT_EQ(got.image.HeaderMax, 0);
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got.image), 2, 3, [](int32_t, int32_t) { return 0; }));
  EXPECT_EQ(got.image.stats.DataMin, 0);
  EXPECT_EQ(got.image.stats.DataMax, 0);
  EXPECT_EQ(got.image.stats.DataMean, 0);
  EXPECT_EQ(got.image.stats.DataSigma, 0);

  // Cut before the data type: it reads 0.
  bytes.resize(74);
  const ReadResult cut = Read(bytes);
  EXPECT_EQ(cut.image.height, 0);
  EXPECT_TRUE(test::FailureIs(cut.failure, ReadFailure::Form::kText, "PIC data type =0"));
}

TEST(ReadPicShort, NothingIsLeftOverFromThePreviousFile) {
  PicFields full = Geometry(2, 2, 16);
  full.high_threshold = 4000;
  full.low_threshold = 300;
  ReadResult first = Read(Pic16(full, {1, 2, 3, 4}));
  ASSERT_EQ(first.image.HeaderMax, 4000);
  std::vector<uint8_t> short_header = PicHeaderBytes(Geometry(2, 2, 16));
  short_header.resize(110);
  const ReadResult got = Read(short_header, 1, first.image.plane.TakeBlock());
  EXPECT_EQ(got.image.height, 2);
  EXPECT_EQ(got.image.HeaderMax, 0);
  EXPECT_EQ(got.image.HeaderMin, 0);
  EXPECT_TRUE(PlaneIs(test::PlaneOf<int16_t>(got.image), 2, 2, [](int32_t, int32_t) { return 0; }));
}

// ---- Failures ------------------------------------------------------------------------------

TEST(ReadPicFailure, HeightAndWidthZeroWithTheReason) {
  PicFields f = Geometry(8, 8, 16);
  f.data_type = 5;
  const ReadResult got = Read(Pic16(f, std::vector<int16_t>(64, 1)));
  EXPECT_EQ(got.image.height, 0);
  EXPECT_EQ(got.image.width, 0);
  EXPECT_TRUE(test::FailureIs(got.failure, ReadFailure::Form::kText, "PIC data type =5"));
  // Untouched: no plane was filled.
  EXPECT_EQ(got.image.SampleType, 0);
  EXPECT_TRUE(got.image.plane.Empty());

  const ReadResult neg = Read(Pic16(Geometry(8, -5, 16), {}));
  EXPECT_EQ(neg.image.height, 0);
  EXPECT_EQ(neg.image.width, 0);
  EXPECT_TRUE(test::FailureIs(neg.failure, ReadFailure::Form::kText, "PIC nombre de lignes =-5"));
}

TEST(ReadPicFailure, MissingFileThrows) {
  EXPECT_THROW(ReadPic("/nonexistent/kivrel/none.pic", ReadRequest{}), RunTimeError);
}

}  // namespace
}  // namespace kivrel
