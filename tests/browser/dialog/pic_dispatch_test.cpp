// PIC files through the dialog: a click in the file list loads them, a right click lists
// their header.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "image_checks.h"
#include "pic_test_file.h"

namespace kivrel {
namespace {

using pic_test::Pic16;
using pic_test::PicFields;
using pic_test::PicFloat;
using pic_test::TempDir;

class PicDispatch : public ::testing::Test {
 protected:
  PicDispatch() : dialog_(Options()) {}

  BrowserOptions Options() const {
    BrowserOptions o;
    o.app_dir = dir_.path();
    o.load_decoder = false;
    return o;
  }

  static PicFields Fields(int16_t columns, int16_t rows, int16_t sample_size) {
    PicFields f;
    f.columns = columns;
    f.rows = rows;
    f.sample_size = sample_size;
    return f;
  }

  TempDir dir_;
  BrowserController dialog_;
};

TEST_F(PicDispatch, Int16FileLoads) {
  PicFields f = Fields(100, 50, 16);
  f.high_threshold = 3000;
  f.low_threshold = 200;
  std::vector<int16_t> samples(100 * 50);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(i);
  dialog_.ChooseFile(dir_.Write("m13.pic", Pic16(f, samples)));
  const Image& s = dialog_.image;
  EXPECT_TRUE(dialog_.load.ImageLoaded);
  EXPECT_EQ(dialog_.texts.status_line.caption, "m13.pic  100x50  16 bits");
  EXPECT_EQ(s.height, 50);
  EXPECT_EQ(s.width, 100);
  EXPECT_EQ(s.HeaderMin, 200);
  EXPECT_EQ(s.HeaderMax, 3000);
  EXPECT_EQ(s.unfiltered_stats.DataMin, 0);
  EXPECT_EQ(s.unfiltered_stats.DataMax, 4999);
  EXPECT_EQ(dialog_.file.layer_count.caption, "/1");
  EXPECT_EQ(dialog_.file.layer_edit.text, "1");
  // The bottom row of the picture is the file's first row, in the unfiltered copy too.
  EXPECT_EQ(test::PlaneOf<int16_t>(s).At(49, 0), 0);
  EXPECT_EQ(test::PlaneOf<int16_t>(s).At(0, 99), 4999);
  EXPECT_EQ(test::PlaneOf<int16_t>(s.unfiltered).At(49, 7), 7);
}

TEST_F(PicDispatch, FloatFileWithUpperCaseExtension) {
  dialog_.ChooseFile(dir_.Write("F.PIC", PicFloat(Fields(2, 1, 4), {2.5f, 3.5f})));
  const Image& s = dialog_.image;
  EXPECT_TRUE(dialog_.load.ImageLoaded);
  EXPECT_EQ(dialog_.texts.status_line.caption, "F.PIC  2x1  32 bits");
  EXPECT_EQ(test::PlaneOf<int32_t>(s).At(0, 0), 2);
  EXPECT_EQ(test::PlaneOf<int32_t>(s).At(0, 1), 4);
  EXPECT_EQ(s.unfiltered_stats.DataMin, 2.5);
  EXPECT_EQ(s.unfiltered_stats.DataMax, 3.5);
}

struct FailureCase {
  const char* name;
  int16_t data_type;
  int16_t sample_size;
  int16_t rows;
  int16_t columns;
  const char* status;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class PicDispatchFailure : public PicDispatch, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PicDispatchFailure, StatusLineNamesTheReason) {
  const FailureCase& c = GetParam();
  // A good image first: the failed load must leave nothing of it.
  dialog_.ChooseFile(dir_.Write("good.pic", Pic16(Fields(4, 4, 16), std::vector<int16_t>(16, 9))));
  ASSERT_TRUE(dialog_.load.ImageLoaded);

  PicFields f = Fields(c.columns, c.rows, c.sample_size);
  f.data_type = c.data_type;
  dialog_.ChooseFile(dir_.Write("bad.pic", Pic16(f, std::vector<int16_t>(64, 1))));
  EXPECT_FALSE(dialog_.load.ImageLoaded);
  EXPECT_EQ(dialog_.texts.status_line.caption, c.status);
  // Nothing is left of the good image's planes.
  EXPECT_TRUE(dialog_.image.plane.Empty());
  EXPECT_TRUE(dialog_.image.unfiltered.Empty());
}

const FailureCase kFailures[] = {
    {"DataType5", 5, 16, 8, 8, "Format non supporté.PIC data type =5"},
    {"SampleSize3", 3, 3, 8, 8, "Format non supporté.PIC data length =3"},
    {"NegativeRows", 3, 16, -5, 8, "Format non supporté.PIC nombre de lignes =-5"},
    {"NoColumns", 3, 16, 8, 0, "Format non supporté.PIC nombre de colonnes =0"},
    {"ZeroRows", 3, 16, 0, 8, "Format non supporté."},
};

INSTANTIATE_TEST_SUITE_P(Cases, PicDispatchFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(PicDispatch, HeaderOfARejectedFileIsListed) {
  PicFields f = Fields(8, 8, 16);
  f.data_type = 5;
  f.signature = 1;
  dialog_.texts.status_line.caption = "unchanged";
  const HeaderListing listing = dialog_.ListHeader(dir_.Write("type5.pic", Pic16(f, {})));
  EXPECT_TRUE(listing.ok);
  const std::vector<std::string>& lines = listing.lines;
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[0], "Signature           0001");
  EXPECT_EQ(lines[8], "Type de données     5");
  EXPECT_EQ(dialog_.texts.status_line.caption, "unchanged");
}

TEST_F(PicDispatch, BundledSamples) {
  const std::string samples = std::string(KIVREL_SOURCE_DIR) + "/samples/";
  dialog_.ChooseFile(samples + "stars16.pic");
  EXPECT_EQ(dialog_.texts.status_line.caption, "stars16.pic  200x150  16 bits");
  EXPECT_EQ(dialog_.image.HeaderMin, 850);
  EXPECT_EQ(dialog_.image.HeaderMax, 2400);
  dialog_.ChooseFile(samples + "float32.pic");
  EXPECT_EQ(dialog_.texts.status_line.caption, "float32.pic  160x120  32 bits");
  dialog_.ChooseFile(samples + "datatype5.pic");
  EXPECT_EQ(dialog_.texts.status_line.caption, "Format non supporté.PIC data type =5");
  const HeaderListing listing = dialog_.ListHeader(samples + "datatype5.pic");
  EXPECT_TRUE(listing.ok);
  EXPECT_EQ(listing.lines.size(), 24u);
}

}  // namespace
}  // namespace kivrel
