// Reading colour-table and transfer-table files: the number syntax, the rounding of a value to
// a table byte.
#include "browser/display/table_file.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

struct ByteCase {
  const char* name;
  double value;
  int byte;
};

void PrintTo(const ByteCase& c, std::ostream* os) {
  *os << c.name;
}

class TableByteTest : public ::testing::TestWithParam<ByteCase> {};

TEST_P(TableByteTest, RoundsHalfToEvenModulo256) {
  EXPECT_EQ(TableByte(GetParam().value), GetParam().byte);
}

// 0.5 x 255 = 127.5 -> 128; 1.5 x 255 = 382.5 -> 382 -> 126; 1.2 x 255 = 306 -> 50.
INSTANTIATE_TEST_SUITE_P(
    Values, TableByteTest,
    ::testing::Values(ByteCase{"Zero", 0, 0}, ByteCase{"One", 1, 255}, ByteCase{"Half", 0.5, 128},
                      ByteCase{"OneAndHalf", 1.5, 126}, ByteCase{"Wraps", 1.2, 50},
                      ByteCase{"NegativeHalf", -0.5, 128}, ByteCase{"Negative", -0.2, 205},
                      ByteCase{"Tiny", 0.001, 0}, ByteCase{"Two", 2, 254}),
    [](const auto& row) { return std::string(row.param.name); });

// Numbers read from a text, one entry of `per_entry` numbers per line.
std::vector<double> ReadEntries(const std::string& text, int entries, int per_entry) {
  TableFileReader reader(text);
  std::vector<double> out;
  for (int e = 0; e < entries; ++e) {
    for (int i = 0; i < per_entry; ++i)
      out.push_back(reader.ReadNumber());
    reader.SkipLine();
  }
  return out;
}

TEST(TableFileReader, NumberSyntax) {
  EXPECT_EQ(ReadEntries("0.5 1 2.5E-1\n+0.25\t-1e0 .5\n", 2, 3),
            (std::vector<double>{0.5, 1, 0.25, 0.25, -1, 0.5}));
}

TEST(TableFileReader, RestOfTheLineIsSkippedAfterTheLastNumber) {
  EXPECT_EQ(ReadEntries("0.1 0.2 0.3 red-ish\n0.4 0.5 0.6\r\n0.7 0.8 0.9", 3, 3),
            (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}));
}

TEST(TableFileReader, BlankLinesBeforeANumberAreSkipped) {
  EXPECT_EQ(ReadEntries("\n\n  \n0.25\n\n0.75\n", 2, 1), (std::vector<double>{0.25, 0.75}));
}

TEST(TableFileReader, NumbersOfOneEntryMaySpanLines) {
  EXPECT_EQ(ReadEntries("0.1\n0.2\n0.3 x\n0.4 0.5 0.6\n", 2, 3),
            (std::vector<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}));
}

TEST(TableFileReader, MissingNumbersAtTheEndReadAsZero) {
  EXPECT_EQ(ReadEntries("0.5 0.5", 2, 3), (std::vector<double>{0.5, 0.5, 0, 0, 0, 0}));
}

TEST(TableFileReader, UnreadableNumberIsAnError) {
  for (const char* text : {"0,5 0 0", "abc", "0.5x", "1e", "--1"}) {
    TableFileReader reader(text);
    try {
      reader.ReadNumber();
      ADD_FAILURE() << text << ": no error";
    } catch (const RunTimeError& e) {
      EXPECT_STREQ(e.what(), "Invalid numeric input") << text;
    }
  }
}

TEST(TableFileReader, ANumberIsReadUpTo64Characters) {
  // 70 digits of "0.000...1": the first 64 characters make a number, the rest starts the next.
  const std::string long_number = "0." + std::string(62, '0') + "123456";
  TableFileReader reader(long_number);
  EXPECT_EQ(reader.ReadNumber(), 0);
  EXPECT_EQ(reader.ReadNumber(), 123456);
}

}  // namespace
}  // namespace kivrel
