// The FITS data reader at its limits: layers and their clamping, the 4000 x 4000 cap with
// statistics over every sample, files shorter than their header (the missing samples blank),
// hostile sizes, and the failures it names.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "browser/readers/fits_reader.h"
#include "failure_checks.h"
#include "fits_fixture.h"
#include "image_checks.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::BigEndian;
using test::Bytes;
using test::Card;
using test::CountingSource;
using test::FitsFile;
using test::ImageCards;
using test::Load;
using test::ReferenceStats;

// ---- Layers ---------------------------------------------------------------------------------

// A 4 x 3 cube of 16-bit samples: layer k holds 100 k + the sample's index in the layer.
Bytes Cube(int layers, const std::string& naxis3) {
  std::vector<int16_t> samples;
  for (int k = 1; k <= layers; ++k)
    for (int i = 0; i < 12; ++i)
      samples.push_back(static_cast<int16_t>(100 * k + i));
  std::vector<std::string> cards = {Card("SIMPLE", "T"),
                                    Card("BITPIX", "16"),
                                    Card("NAXIS", "3"),
                                    Card("NAXIS1", "4"),
                                    Card("NAXIS2", "3"),
                                    Card("NAXIS3", naxis3),
                                    "END"};
  return FitsFile(cards, BigEndian(samples));
}

struct LayerRow {
  const char* name;
  std::string naxis3;
  int32_t asked;
  int32_t read;
  int32_t layer_count;
};

void PrintTo(const LayerRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsLayer : public ::testing::TestWithParam<LayerRow> {};

TEST_P(FitsLayer, IsClampedAndReadFromItsOffset) {
  const LayerRow& row = GetParam();
  CountingSource source(Cube(3, row.naxis3));
  const ReadResult got = test::LoadFrom(source, row.asked);
  ASSERT_EQ(got.image.height, 3);
  EXPECT_EQ(got.image.CurrentLayer, row.read);
  EXPECT_EQ(got.image.LayerCount, row.layer_count);
  // The first sample of the file's layer lands at the bottom-left corner.
  EXPECT_EQ(test::PlaneOf<int16_t>(got.image).At(2, 0), 100 * row.read);
  EXPECT_EQ(test::PlaneOf<int16_t>(got.image).At(0, 3), 100 * row.read + 11);
  EXPECT_EQ(got.image.stats.DataMin, 100 * row.read);
  EXPECT_EQ(got.image.stats.DataMax, 100 * row.read + 11);
  if (row.read > 1) {
    EXPECT_EQ(source.last_seek, 2880u + 24u * (row.read - 1));
  }
}

INSTANTIATE_TEST_SUITE_P(Cube, FitsLayer,
                         ::testing::Values(LayerRow{"Second", "3", 2, 2, 3},
                                           LayerRow{"ZeroReadsTheFirst", "3", 0, 1, 3},
                                           LayerRow{"NineReadsTheLast", "3", 9, 3, 3},
                                           LayerRow{"NegativeReadsTheFirst", "3", -4, 1, 3},
                                           LayerRow{"NoLayersStillReadsTheFirst", "0", 2, 1, 0},
                                           LayerRow{"NegativeCount", "-2", 3, 1, -2}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FitsLayer, StatisticsCoverOnlyTheChosenLayer) {
  const auto got = Load(Cube(3, "3"), 2);
  ReferenceStats ref;
  for (int i = 0; i < 12; ++i)
    ref.Add(1, 0, 200 + i);
  EXPECT_EQ(got.image.stats.DataMean, ref.Mean());
  EXPECT_EQ(got.image.stats.DataSigma, ref.Sigma());
}

// A file far larger than memory, made up on the fly: a header block, then bytes that depend on
// all bits of their offset, up to `size`.
class PatternSource final : public ByteSource {
 public:
  PatternSource(Bytes header, uint64_t size) : header_(std::move(header)), size_(size) {}
  static uint8_t At(uint64_t offset) {
    return static_cast<uint8_t>((offset * 0x9E3779B97F4A7C15ull) >> 56);
  }
  std::size_t Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<uint8_t*>(buffer);
    std::size_t n = 0;
    for (; n < size && position_ < size_; ++n, ++position_)
      out[n] = position_ < header_.size() ? header_[position_] : At(position_);
    return n;
  }
  void Seek(uint64_t offset) override {
    seeks.push_back(offset);
    position_ = offset;
  }
  uint64_t Position() const override { return position_; }
  std::optional<uint64_t> Size() const override { return size_; }
  std::vector<uint64_t> seeks;

 private:
  Bytes header_;
  uint64_t size_;
  uint64_t position_ = 0;
};

TEST(FitsLayer, EarlierLayersBeyond4GiBAreSkippedWithA64BitOffset) {
  // Layers of 1000000 x 3000 bytes (3e9 bytes each); the file ends 4000 bytes into layer 2.
  const std::vector<std::string> cards = {Card("SIMPLE", "T"),
                                          Card("BITPIX", "8"),
                                          Card("NAXIS", "3"),
                                          Card("NAXIS1", "1000000"),
                                          Card("NAXIS2", "3000"),
                                          Card("NAXIS3", "3"),
                                          "END"};
  const uint64_t layer2 = 2880 + 3000000000ull;
  PatternSource source(test::HeaderBlocks(cards), layer2 + 4000);
  const ReadResult got = test::LoadFrom(source, 2);
  ASSERT_EQ(got.image.height, 3000);
  ASSERT_EQ(got.image.width, 4000);
  // The scan of the file's HDUs seeks over the data first; the read then goes to layer 2 at
  // once, without reading layer 1.
  ASSERT_FALSE(source.seeks.empty());
  EXPECT_EQ(source.seeks.back(), layer2);
  // The layer's first file row is the plane's bottom row.
  for (int32_t j = 0; j < 4000; ++j)
    ASSERT_EQ(test::PlaneOf<uint8_t>(got.image).At(2999, j), PatternSource::At(layer2 + j)) << j;
  EXPECT_EQ(test::PlaneOf<uint8_t>(got.image).At(2998, 0), 0);
}

// ---- The cap --------------------------------------------------------------------------------

uint8_t CapSample(int64_t r, int64_t j) {
  return static_cast<uint8_t>((r * 7 + j * 13) % 251);
}

TEST(FitsCap, WideImageKeepsTheLeftColumnsAndCountsEverySample) {
  const int64_t w = 5000;
  const int64_t h = 3000;
  Bytes data(static_cast<std::size_t>(w * h));
  ReferenceStats ref;
  for (int64_t r = 0; r < h; ++r)
    for (int64_t j = 0; j < w; ++j) {
      data[static_cast<std::size_t>(r * w + j)] = CapSample(r, j);
      ref.Add(2, -3, CapSample(r, j));
    }
  const auto got = Load(
      FitsFile(ImageCards(8, w, h, {Card("BSCALE", "2"), Card("BZERO", "-3")}), std::move(data)));
  ASSERT_EQ(got.image.height, 3000);
  ASSERT_EQ(got.image.width, 4000);
  ASSERT_EQ(test::PlaneOf<uint8_t>(got.image).rows(), 3000);
  ASSERT_EQ(test::PlaneOf<uint8_t>(got.image).cols(), 4000);
  for (int64_t d : {0, 1, 1500, 2999})
    for (int64_t j : {0, 1, 2000, 3999})
      EXPECT_EQ(
          test::PlaneOf<uint8_t>(got.image).At(static_cast<int32_t>(d), static_cast<int32_t>(j)),
          CapSample(h - 1 - d, j));
  EXPECT_EQ(got.image.stats.DataMin, ref.min);
  EXPECT_EQ(got.image.stats.DataMax, ref.max);
  EXPECT_EQ(got.image.stats.DataMean, ref.Mean());
  EXPECT_EQ(got.image.stats.DataSigma, ref.Sigma());
}

TEST(FitsCap, TallImageKeepsThePicturesTopRows) {
  const int64_t w = 3;
  const int64_t h = 4500;
  std::vector<int32_t> samples;
  for (int64_t i = 0; i < w * h; ++i)
    samples.push_back(static_cast<int32_t>(i));
  const auto got = Load(FitsFile(ImageCards(32, w, h), BigEndian(samples)));
  ASSERT_EQ(got.image.height, 4000);
  ASSERT_EQ(got.image.width, 3);
  // Plane row 0 is the file's last row, plane row 3999 the file's row 500.
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(0, 0), (h - 1) * w);
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(3999, 2), 500 * w + 2);
  EXPECT_EQ(got.image.stats.DataMin, 0);
  EXPECT_EQ(got.image.stats.DataMax, w * h - 1);
  EXPECT_EQ(got.image.stats.DataMean, (w * h - 1) / 2.0L);
}

// ---- Files shorter than their header --------------------------------------------------------

TEST(FitsShortFile, MissingSamplesAreBlankAndTheFileTruncated) {
  std::shared_ptr<LargeBuffer> reuse;
  {
    // An earlier image of the same type leaves its values in the reused memory.
    std::vector<int16_t> full(12, 77);
    MemoryByteSource first_source(FitsFile(ImageCards(16, 4, 3), BigEndian(full)));
    ReadResult first = test::LoadFrom(first_source);
    ASSERT_EQ(test::PlaneOf<int16_t>(first.image).At(0, 0), 77);
    reuse = first.image.plane.TakeBlock();
    ASSERT_NE(reuse, nullptr);
  }
  const Bytes file = FitsFile(ImageCards(16, 4, 3, {Card("BZERO", "1000")}),
                              BigEndian<int16_t>({1, 2, 3, 4, 5}), /*pad=*/false);
  CountingSource source(file);
  const ReadResult got = test::LoadFrom(source, 1, reuse);
  ASSERT_EQ(got.image.height, 3);
  ASSERT_EQ(got.image.width, 4);
  const std::vector<int16_t> want = {0, 0, 0, 0, 5, 0, 0, 0, 1, 2, 3, 4};
  for (int32_t i = 0; i < 12; ++i)
    EXPECT_EQ(test::PlaneOf<int16_t>(got.image).At(i / 4, i % 4), want[static_cast<std::size_t>(i)])
        << i;
  // The 7 missing samples (plane rows 0 and 1 but for the 5) are blank, out of the statistics.
  for (int32_t i = 0; i < 12; ++i)
    EXPECT_EQ(got.image.blanks.IsBlank(i / 4, i % 4), i < 8 && i != 4) << i;
  EXPECT_TRUE(got.origin.truncated);
  EXPECT_FALSE(got.origin.no_real_samples);
  ReferenceStats ref;
  for (int v : {1, 2, 3, 4, 5})
    ref.Add(1, 1000, v);
  EXPECT_TRUE(test::StatsAgree(got.image.stats, ref, true));
}

// No sample is real: statistics 0, and the result says so.
TEST(FitsShortFile, HeaderOnlyLoadsAnImageWithoutRealSamples) {
  const auto got = Load(FitsFile(ImageCards(-32, 4256, 2832, {Card("BZERO", "-2.5")})));
  ASSERT_EQ(got.image.height, 2832);
  ASSERT_EQ(got.image.width, 4000);
  EXPECT_TRUE(got.origin.truncated);
  EXPECT_TRUE(got.origin.no_real_samples);
  EXPECT_EQ(got.origin.full_width, 4256);
  EXPECT_EQ(got.origin.full_height, 2832);
  EXPECT_EQ(got.image.blanks.Count(), int64_t{2832} * 4000);
  EXPECT_EQ(got.image.stats.DataMin, 0);
  EXPECT_EQ(got.image.stats.DataMax, 0);
  EXPECT_EQ(got.image.stats.DataMean, 0);
  EXPECT_EQ(got.image.stats.DataSigma, 0);
  for (int32_t r : {0, 2831})
    for (int32_t c : {0, 3999})
      EXPECT_EQ(test::PlaneOf<float>(got.image).At(r, c), 0.0f);
}

TEST(FitsShortFile, SampleCutByTheEndLoads) {
  Bytes data = BigEndian<int32_t>({1, 2, 3});
  data.resize(10);  // half of the third sample
  const auto got = Load(FitsFile(ImageCards(32, 3, 2), std::move(data), /*pad=*/false));
  ASSERT_EQ(got.image.height, 2);
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(1, 0), 1);
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(1, 1), 2);
  EXPECT_EQ(test::PlaneOf<int32_t>(got.image).At(0, 0), 0);
}

// A header that promises 4e18 samples in a file of three blocks: the read stops at the end of
// the file, and the statistics are those of the samples present.
TEST(FitsShortFile, HugePromiseInATinyFile) {
  std::vector<int16_t> present;
  for (int v = 1; v <= 2880; ++v)
    present.push_back(static_cast<int16_t>(v));
  const Bytes file =
      FitsFile(ImageCards(16, 2000000000, 2000000000, {Card("BSCALE", "2"), Card("BZERO", "10")}),
               BigEndian(present));
  ASSERT_EQ(file.size(), 3u * 2880);
  CountingSource source(file);
  const ReadResult got = test::LoadFrom(source);
  ASSERT_EQ(got.image.height, 4000);
  ASSERT_EQ(got.image.width, 4000);
  EXPECT_LE(source.delivered, file.size() + 2880);
  EXPECT_LE(source.reads, file.size() / 2880 + 2);
  EXPECT_LE(source.short_reads, 2u);

  // The present samples all lie in the file's first row, far below the kept rows.
  const Plane<int16_t>& plane = test::PlaneOf<int16_t>(got.image);
  for (std::size_t i = 0; i < plane.size(); ++i)
    ASSERT_EQ(plane.data()[i], 0) << i;

  EXPECT_TRUE(got.origin.truncated);
  EXPECT_EQ(got.image.blanks.Count(), int64_t{4000} * 4000);

  // The values 2 v + 10 for v = 1..2880: mean 2 x 2881 / 2 + 10, sigma 2 sqrt((2880^2 - 1) / 12).
  EXPECT_EQ(got.image.stats.DataMin, 12);
  EXPECT_EQ(got.image.stats.DataMax, 2 * 2880 + 10);
  EXPECT_NEAR(static_cast<double>(got.image.stats.DataMean), 2891, 2891 * 1e-12);
  const double sigma = 2 * std::sqrt((2880.0 * 2880 - 1) / 12);
  EXPECT_NEAR(static_cast<double>(got.image.stats.DataSigma), sigma, sigma * 1e-12);
}

// ---- Failures -------------------------------------------------------------------------------

struct FailureRow {
  const char* name;
  std::vector<std::string> cards;
  ReadFailure::Form form;
  std::string detail;  // exact text, or the start of it when `prefix`
  bool prefix = false;
};

void PrintTo(const FailureRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsFailure : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FitsFailure, GivesNoPlaneAndItsReason) {
  const auto got = Load(FitsFile(GetParam().cards, Bytes(64, 1)));
  EXPECT_LE(got.image.height, 0);
  EXPECT_FALSE(got.Succeeded());
  if (GetParam().prefix) {
    const std::string& text = got.failure.detail;
    EXPECT_EQ(got.failure.form, GetParam().form) << ::testing::PrintToString(got.failure);
    EXPECT_EQ(text.substr(0, GetParam().detail.size()), GetParam().detail) << text;
    EXPECT_GT(text.size(), GetParam().detail.size());
  } else {
    EXPECT_TRUE(test::FailureIs(got.failure, GetParam().form, GetParam().detail));
  }
}

constexpr ReadFailure::Form kQuestioned = ReadFailure::Form::kKeywordQuestioned;

std::vector<std::string> Header(const std::string& bitpix, const std::string& naxis1,
                                const std::string& naxis2, const std::string& naxis3 = "") {
  std::vector<std::string> cards = {Card("SIMPLE", "T"), Card("BITPIX", bitpix),
                                    Card("NAXIS", naxis3.empty() ? "2" : "3"),
                                    Card("NAXIS1", naxis1), Card("NAXIS2", naxis2)};
  if (!naxis3.empty()) cards.push_back(Card("NAXIS3", naxis3));
  cards.push_back("END");
  return cards;
}

INSTANTIATE_TEST_SUITE_P(
    Reader, FitsFailure,
    ::testing::Values(FailureRow{"Bitpix12", Header("12", "4", "4"), kQuestioned, "BITPIX = 12"},
                      FailureRow{"NoBitpix",
                                 {Card("SIMPLE", "T"), Card("NAXIS", "2"), Card("NAXIS1", "4"),
                                  Card("NAXIS2", "4"), "END"},
                                 kQuestioned,
                                 "BITPIX = 0"},
                      FailureRow{"HeaderFailure", Header("16", "0", "4"),
                                 ReadFailure::Form::kKeyword, "NAXIS1 = 0"},
                      FailureRow{"NoNaxis1",
                                 {Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"),
                                  Card("NAXIS2", "4"), "END"},
                                 ReadFailure::Form::kText,
                                 ""},
                      FailureRow{"NegativeNaxis1", Header("16", "-5", "4"), kQuestioned, "NAXIS1",
                                 true},
                      FailureRow{"NegativeNaxis2", Header("-32", "4", "-2147483648"), kQuestioned,
                                 "NAXIS2", true},
                      FailureRow{"BytesBeyond64Bits", Header("-64", "2147483647", "2147483647"),
                                 kQuestioned, "", true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(FitsFailure, LayerOffsetBeyond64BitsIsFoundForTheLayerAsked) {
  // Layer 99 would start 99 x 8e18 bytes in; layer 1 is fine.
  const Bytes file = FitsFile(Header("16", "2000000000", "2000000000", "99"));
  EXPECT_EQ(Load(file, 1).image.height, 4000);
  EXPECT_LE(Load(file, 99).image.height, 0);
}

TEST(FitsFailure, MissingFileRaisesCannotOpen) {
  const std::string name = "/nonexistent/folder/m31.fits";
  try {
    ReadFits(name, ReadRequest{});
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + name);
  }
}

TEST(FitsFailure, FolderRaisesCannotOpen) {
  test::TempFile file("x.fits", Bytes{});
  const std::string folder = file.path().substr(0, file.path().rfind('/'));
  EXPECT_THROW(ReadFits(folder, ReadRequest{}), RunTimeError);
}

// A named pipe with a FITS name must not block the load waiting for a writer.
TEST(FitsFailure, NamedPipeRaisesCannotOpenAtOnce) {
  test::TempFile file("x.fits", Bytes{});
  const std::string pipe = file.path() + ".pipe.fits";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  auto load = std::async(std::launch::async, [&] {
    try {
      ReadFits(pipe, ReadRequest{});
    } catch (const RunTimeError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  });
  if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    // Release the blocked open so that the test can end.
    const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    load.wait();
    ::unlink(pipe.c_str());
    FAIL() << "the load blocked on a named pipe";
  }
  EXPECT_EQ(load.get(), "Cannot open file " + pipe);
  ::unlink(pipe.c_str());
}

TEST(FitsFailure, UnconvertibleNumberGivesTheErrorAndNoPlane) {
  const ReadResult got = Load(FitsFile(ImageCards(16, 4, 3, {Card("BZERO", "3.2768D+04")})));
  ASSERT_TRUE(got.error.has_value()) << "no error";
  EXPECT_EQ(*got.error, "'3.2768D+04' is not a valid floating point value");
  EXPECT_EQ(got.image.height, 0);
  EXPECT_EQ(got.image.width, 0);
}

TEST(FitsByName, ReadsARealFileByName) {
  std::vector<int16_t> samples = {1, 2, 3, 4, 5, 6};
  test::TempFile file("small.fts", FitsFile(ImageCards(16, 3, 2), BigEndian(samples)));
  const ReadResult got = ReadFits(file.path(), ReadRequest{});
  EXPECT_EQ(got.image.height, 2);
  EXPECT_EQ(got.image.width, 3);
  EXPECT_EQ(got.image.stats.DataMin, 1);
  EXPECT_EQ(got.image.stats.DataMax, 6);
  EXPECT_EQ(test::PlaneOf<int16_t>(got.image).At(0, 0), 4);
}

}  // namespace
}  // namespace kivrel
