// The PIC header: the 24-line listing and the checks of ReadPicHeader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/readers/pic_reader.h"
#include "failure_checks.h"
#include "pic_test_file.h"

namespace kivrel {
namespace {

using pic_test::CountingSource;
using pic_test::PicFields;
using pic_test::PicHeaderBytes;

std::vector<std::string> Listing(const std::vector<uint8_t>& bytes) {
  MemoryByteSource source(bytes);
  const HeaderListing listing = ListPicHeader(source);
  EXPECT_TRUE(listing.ok);
  EXPECT_TRUE(test::NoFailure(listing.failure));
  return listing.lines;
}

TEST(PicListing, EveryFieldWithItsLabel) {
  PicFields f;
  f.signature = 0xAB;
  f.version = 2;
  f.header_size = 290;
  f.image_name = "M 13";
  f.linked_image_name = "Noir \xE9t\xE9 \x80";  // Windows-1252: é, €
  f.columns = 200;
  f.rows = 150;
  f.sample_size = 16;
  f.data_type = 3;
  f.orientation = -1;
  f.scale_x = 123456;
  f.scale_y = -7;
  f.binning_x = 2;
  f.binning_y = 3;
  f.colour_planes = 1;
  f.date = "12/03/2004";  // fills its 10 bytes: no zero ends it
  f.time = "21:45:10";
  f.high_threshold = 2400;
  f.low_threshold = -850;
  f.high_threshold_fraction = 5;
  f.low_threshold_fraction = -6;
  f.integration_time = 60000;
  f.comment1 = "Amas globulaire";
  f.comment2 = std::string("Avant\0apr\xE8s", 11);  // shown up to the zero byte
  const std::vector<std::string> expected = {
      "Signature           00AB",
      "Version             0002",
      "Dimension du header 290",
      "Nom de l'image      M 13",
      "Nom de l'image liée Noir été €",
      "Nombre de colonnes  200",
      "Nombre de lignes    150",
      "Dimension données   16",
      "Type de données     3",
      "Orientation         -1",
      "Echelle en X        123456",
      "Echelle en Y        -7",
      "Binning en X        2",
      "Binning en Y        3",
      "Plans couleurs      1",
      "Date                12/03/2004",
      "Heure               21:45:10",
      "Seuil haut          2400",
      "Seuil bas           -850",
      "Fract. seuil haut   5",
      "Fract. seuil bas    -6",
      "Temps d'intégration 60000",
      "Commentaire 1       Amas globulaire",
      "Commentaire 2       Avant",
  };
  EXPECT_EQ(Listing(PicHeaderBytes(f)), expected);
}

TEST(PicListing, RejectedFileStillListsWithSignatureInHex) {
  PicFields f;
  f.signature = 1;
  f.data_type = 5;
  f.sample_size = 7;
  f.rows = -3;
  const std::vector<std::string> lines = Listing(PicHeaderBytes(f));
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[0], "Signature           0001");
  EXPECT_EQ(lines[6], "Nombre de lignes    -3");
  EXPECT_EQ(lines[8], "Type de données     5");
}

TEST(PicListing, ShortFileListsMissingBytesAsZero) {
  PicFields f;
  f.columns = 640;
  f.rows = 480;
  f.high_threshold = 999;
  std::vector<uint8_t> bytes = PicHeaderBytes(f);
  bytes.resize(70);  // ends right after the number of columns
  const std::vector<std::string> lines = Listing(bytes);
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[5], "Nombre de colonnes  640");
  EXPECT_EQ(lines[6], "Nombre de lignes    0");
  EXPECT_EQ(lines[17], "Seuil haut          0");
  EXPECT_EQ(lines[23], "Commentaire 2       ");

  const std::vector<std::string> empty = Listing({});
  ASSERT_EQ(empty.size(), 24u);
  EXPECT_EQ(empty[0], "Signature           0000");
}

// ---- ReadPicHeader -------------------------------------------------------------------------

struct HeaderCase {
  const char* name;
  int16_t data_type;
  int16_t sample_size;
  int16_t rows;
  int16_t columns;
  int32_t height;  // expected geometry
  int32_t width;
  int32_t sample_type;
  const char* reason;  // the failure's detail (always the plain form)
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class PicHeaderCheck : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(PicHeaderCheck, GeometryOrReason) {
  const HeaderCase& c = GetParam();
  PicFields f;
  f.data_type = c.data_type;
  f.sample_size = c.sample_size;
  f.rows = c.rows;
  f.columns = c.columns;
  CountingSource source(PicHeaderBytes(f));
  const PicGeometry geometry = ReadPicHeader(source);
  EXPECT_EQ(geometry.height, c.height);
  if (c.height > 0) {
    EXPECT_EQ(geometry.width, c.width);
    EXPECT_EQ(geometry.sample_type, c.sample_type);
  }
  EXPECT_TRUE(test::FailureIs(geometry.failure, ReadFailure::Form::kText, c.reason));
  EXPECT_EQ(source.bytes_read(), 290u);
}

const HeaderCase kHeaderCases[] = {
    {"Int16Size2", 3, 2, 5, 6, 5, 6, 16, ""},
    {"Int16Size16", 3, 16, 5, 6, 5, 6, 16, ""},
    {"FloatSize4", 3, 4, 5, 6, 5, 6, 32, ""},
    {"FloatSize32", 3, 32, 5, 6, 5, 6, 32, ""},
    {"MaximalSize", 3, 16, 32767, 32767, 32767, 32767, 16, ""},
    {"DataType5", 5, 16, 5, 6, 0, 0, 0, "PIC data type =5"},
    {"DataTypeNegative", -3, 16, 5, 6, 0, 0, 0, "PIC data type =-3"},
    {"DataTypeBeforeSize", 0, 8, 5, 6, 0, 0, 0, "PIC data type =0"},
    {"Size8", 3, 8, 5, 6, 0, 0, 0, "PIC data length =8"},
    {"SizeMinus2", 3, -2, 5, 6, 0, 0, 0, "PIC data length =-2"},
    {"SizeBeforeRows", 3, 1, -5, 6, 0, 0, 0, "PIC data length =1"},
    {"NegativeRows", 3, 16, -5, 6, 0, 0, 0, "PIC nombre de lignes =-5"},
    {"NegativeRowsNoColumns", 3, 16, -1, 0, 0, 0, 0, "PIC nombre de lignes =-1"},
    {"ZeroColumns", 3, 16, 4, 0, 0, 0, 0, "PIC nombre de colonnes =0"},
    {"NegativeColumns", 3, 4, 4, -32768, 0, 0, 0, "PIC nombre de colonnes =-32768"},
    {"ZeroRowsNoReason", 3, 16, 0, 6, 0, 0, 0, ""},
    {"ZeroRowsNegativeColumnsNoReason", 3, 16, 0, -6, 0, 0, 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, PicHeaderCheck, ::testing::ValuesIn(kHeaderCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(PicHeaderThresholds, LowAndHighGoToHeaderMinAndMax) {
  PicFields f;
  f.columns = 2;
  f.rows = 2;
  f.high_threshold = -20;  // the file's word, even when low is above high
  f.low_threshold = 31000;
  MemoryByteSource source(PicHeaderBytes(f));
  const PicGeometry geometry = ReadPicHeader(source);
  EXPECT_EQ(geometry.HeaderMin, 31000.0);
  EXPECT_EQ(geometry.HeaderMax, -20.0);
}

}  // namespace
}  // namespace kivrel
