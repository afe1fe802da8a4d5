// Colour tables and transfer tables: the file syntax and rounding, the two lists, the defaults,
// the error on an unreadable number, the trace lines and the list handlers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "browser/dialog/browser_logic.h"
#include "browser/display/table_file.h"
#include "display_fixture.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

namespace kivrel::test {
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

// A dialog over a palettes/ folder holding the given files.
class PaletteFolderTest : public ::testing::Test {
 protected:
  TempDir dir;
  void Put(const std::string& name, const std::string& text) {
    dir.Write("palettes/" + name, text);
  }
  std::unique_ptr<BrowserLogic> Open() { return NewLogic(dir.path()); }
};

std::string Lines(int count, const std::string& line) {
  std::string out;
  for (int i = 0; i < count; ++i)
    out += line + "\n";
  return out;
}

TEST_F(PaletteFolderTest, NamesAreLowerCaseBeforeTheFirstPointSortedAndUnique) {
  Put("Ramp.LUT", Lines(255, "1 0 0"));
  Put("a.b.lut", "");
  Put("Zeta.lut", "");
  Put("_x.lut", "");
  Put("RAMP.lut", "");
  Put("heat.lut.bak", "");
  Put(".hidden.lut", "");
  Put("4_Ramp.itt", "");
  Put("log.ITT", "");
  Put("notes.txt", "");
  std::filesystem::create_directories(std::filesystem::path(dir.path()) / "palettes" / "dir.lut");
  auto b = Open();
  EXPECT_EQ(b->ComboBox1.Items, (std::vector<std::string>{"_x", "a", "ramp", "zeta"}));
  EXPECT_EQ(b->ComboBox1.ItemIndex, 2);
  EXPECT_EQ(b->ComboBox1.Text, "ramp");
  EXPECT_EQ(b->ComboBox2.Items, (std::vector<std::string>{"4_ramp", "log"}));
  EXPECT_EQ(b->ComboBox2.Text, "4_ramp");
}

TEST_F(PaletteFolderTest, RampLutIsFoundWithoutRegardToCaseAndAGivesTheGreyRamp) {
  Put("Ramp.LUT", Lines(255, "1 0 0"));
  Put("a.b.lut", Lines(255, "0 1 0"));
  auto b = Open();
  ASSERT_EQ(b->ComboBox1.Items, (std::vector<std::string>{"a", "ramp"}));
  EXPECT_EQ(b->ComboBox1.Text, "ramp");
  Palette256 p = b->LoadLutPalette();
  EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(p[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(p[255], (Rgb{255, 0, 0}));
  b->SelectComboBox1(0);  // "a": a.lut does not exist
  p = b->LoadLutPalette();
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(p[static_cast<std::size_t>(i)],
              (Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)}));
}

TEST_F(PaletteFolderTest, WithoutRampOrFourRampTheFirstEntriesAreSelected) {
  Put("heat.lut", "");
  Put("cool.lut", "");
  Put("log.itt", "");
  auto b = Open();
  EXPECT_EQ(b->ComboBox1.Text, "cool");
  EXPECT_EQ(b->ComboBox1.ItemIndex, 0);
  EXPECT_EQ(b->ComboBox2.Text, "log");
}

TEST_F(PaletteFolderTest, MissingFolderGivesEmptyListsAndTheDefaults) {
  auto b = Open();
  EXPECT_TRUE(b->ComboBox1.Items.empty());
  EXPECT_TRUE(b->ComboBox2.Items.empty());
  EXPECT_EQ(b->ComboBox1.ItemIndex, -1);
  EXPECT_EQ(b->ComboBox1.Text, "");
  const Palette256 p = b->LoadLutPalette();
  EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(p[77], (Rgb{77, 77, 77}));
  EXPECT_EQ(b->IttTable[0], 1);
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], k);
}

TEST_F(PaletteFolderTest, ColourTableValuesRoundAndWrap) {
  Put("ramp.lut", "0.5 0.5 0.5\n1.2 -0.2 1\n0 0 0.001 comment\n");
  auto b = Open();
  const Palette256 p = b->LoadLutPalette();
  EXPECT_EQ(p[1], (Rgb{128, 128, 128}));
  EXPECT_EQ(p[2], (Rgb{50, 205, 255}));
  EXPECT_EQ(p[3], (Rgb{0, 0, 0}));
}

TEST_F(PaletteFolderTest, ColourTableOf100LinesLeavesTheRestBlack) {
  Put("ramp.lut", Lines(100, "0.2 0.4 0.6"));
  auto b = Open();
  const Palette256 p = b->LoadLutPalette();
  EXPECT_EQ(p[100], (Rgb{51, 102, 153}));
  for (int i = 101; i < 256; ++i)
    EXPECT_EQ(p[static_cast<std::size_t>(i)], (Rgb{0, 0, 0})) << i;
}

TEST_F(PaletteFolderTest, EntryZeroIsAlwaysBlack) {
  Put("ramp.lut", Lines(255, "1 1 1"));
  EXPECT_EQ(Open()->LoadLutPalette()[0], (Rgb{0, 0, 0}));
}

TEST_F(PaletteFolderTest, TransferTableOf300LinesReadsOnly255) {
  std::string text;
  for (int k = 1; k <= 300; ++k)
    text += std::to_string(k <= 255 ? (255 - k) / 255.0 : 1.0) + "\n";
  Put("4_ramp.itt", text);
  auto b = Open();
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], 255 - k) << k;
  EXPECT_EQ(b->IttTable[0], 254);
}

TEST_F(PaletteFolderTest, FirstTransferValueZeroShowsLevelsZeroAndOneBlack) {
  Put("4_ramp.itt", "0\n" + Lines(254, "1"));
  Put("ramp.lut", Lines(255, "1 1 1"));
  auto b = Open();
  EXPECT_EQ(b->IttTable[0], 0);
  EXPECT_EQ(b->IttTable[1], 0);
  PutPlane(*b, b->Store.Imai8, kSample8, 3, 1, std::vector<uint8_t>{0, 1, 200});
  b->DisplayMin = 0;
  b->DisplayMax = 255;
  b->RefreshDisplay();
  const Picture& pic = b->ImaBitmap;
  EXPECT_EQ(pic.palette[pic.Row(0)[0]], (Rgb{0, 0, 0}));
  EXPECT_EQ(pic.palette[pic.Row(0)[1]], (Rgb{0, 0, 0}));
  EXPECT_EQ(pic.palette[pic.Row(0)[2]], (Rgb{255, 255, 255}));
}

TEST_F(PaletteFolderTest, InvalidTransferNumberKeepsEntriesReadBeforeIt) {
  Put("4_ramp.itt", Lines(255, "0"));
  Put("bad.itt", Lines(9, "1") + "0,5\n" + Lines(245, "1"));
  auto b = Open();
  ASSERT_EQ(b->ComboBox2.Items, (std::vector<std::string>{"4_ramp", "bad"}));
  try {
    b->SelectComboBox2(1);
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_STREQ(e.what(), "Invalid numeric input");
  }
  for (int k = 1; k <= 9; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], 255) << k;
  for (int k = 10; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], 0) << k;
}

TEST_F(PaletteFolderTest, InvalidColourNumberStopsTheRedraw) {
  Put("ramp.lut", Lines(255, "1 1 1"));
  Put("bad.lut", "0.1 0.2 O.3\n");
  auto b = Open();
  PutPlane(*b, b->Store.Imai8, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_THROW(b->SelectComboBox1(0), RunTimeError);
  EXPECT_EQ(b->ComboBox1.Text, "bad");
}

TEST_F(PaletteFolderTest, ListHandlers) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  Put("blue.lut", Lines(255, "0 0 1"));
  Put("4_ramp.itt", Lines(255, "1"));
  Put("neg.itt", Lines(255, "0"));
  auto b = Open();
  // No image: a colour pick redraws nothing; a transfer pick reads the table.
  b->SelectComboBox1(0);
  b->SelectComboBox2(1);
  EXPECT_EQ(b->Label2.Caption, " ");
  EXPECT_EQ(b->IttTable[5], 0);
  PutPlane(*b, b->Store.Imai8, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_EQ(b->ImaBitmap.palette[1], (Rgb{0, 0, 255}));
  b->SelectComboBox1(1);
  EXPECT_EQ(b->ImaBitmap.palette[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(b->BarBitmap.palette[1], (Rgb{255, 0, 0}));
  // While the lists are being filled the handlers do nothing.
  b->FillingLists = true;
  b->SelectComboBox2(0);
  EXPECT_EQ(b->IttTable[5], 0);
  b->FillingLists = false;
  b->SelectComboBox2(0);
  EXPECT_EQ(b->IttTable[5], 255);
}

TEST_F(PaletteFolderTest, PickingATableAfterAFailedLoadRedrawsNothing) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  Put("blue.lut", Lines(255, "0 0 1"));
  auto b = Open();
  b->FileListBox1Click(dir.Write("broken.fits", std::string("not a FITS file")));
  ASSERT_FALSE(b->Store.ImageLoaded);
  ASSERT_TRUE(b->ComboBox1.Enabled);
  const std::string status = b->Label2.Caption;
  b->SelectComboBox1(0);
  EXPECT_EQ(b->Label2.Caption, status);
  // The next load uses the table.
  ClickFile(*b, dir, "ok.fits", FitsImage<uint8_t>(8, 1, 1, {7}));
  ASSERT_TRUE(b->Store.ImageLoaded);
  EXPECT_EQ(b->ImaBitmap.palette[9], (Rgb{0, 0, 255}));
}

TEST_F(PaletteFolderTest, ColourTableIsReadAgainAtEveryRedraw) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  auto b = Open();
  PutPlane(*b, b->Store.Imai8, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_EQ(b->ImaBitmap.palette[9], (Rgb{255, 0, 0}));
  Put("ramp.lut", Lines(255, "0 1 0"));
  b->RefreshDisplay();
  EXPECT_EQ(b->ImaBitmap.palette[9], (Rgb{0, 255, 0}));
}

class TraceTest : public PaletteFolderTest {
 protected:
  std::string trace_file;
  void SetUp() override {
    trace_file = dir.Write("trace.txt", "");
    Settings().TraceFileName = trace_file;
    Settings().TraceEnabled = true;
  }
  void TearDown() override {
    Settings().TraceEnabled = false;
    Settings().TraceFileName.clear();
  }
  // The trace's messages, without their date and time.
  std::vector<std::string> Messages() const {
    std::ifstream in(trace_file);
    std::vector<std::string> out;
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t at = line.find("  ");
      out.push_back(at == std::string::npos ? line : line.substr(at + 2));
    }
    return out;
  }
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST_F(TraceTest, LoadersTraceTheirFiles) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  Put("x.lut", "");
  Put("y.itt", "");
  auto b = Open();
  const std::string folder = (std::filesystem::path(dir.path()) / "palettes").string() + "/";
  const auto lines = Messages();
  EXPECT_TRUE(Contains(lines, "Number of LUT : 2"));
  EXPECT_TRUE(Contains(lines, "Number of ITT : 1"));
  EXPECT_TRUE(Contains(lines, "AssignFile " + folder + "ramp.lut"));
  EXPECT_TRUE(Contains(lines, "Reset " + folder + "ramp.lut"));
  EXPECT_TRUE(Contains(lines, "Close " + folder + "ramp.lut"));
  EXPECT_TRUE(Contains(lines, "AssignFile " + folder + "y.itt"));
  b->SelectComboBox1(1);
  EXPECT_EQ(b->ComboBox1.Text, "x");
  b->LoadLutPalette();
  EXPECT_TRUE(Contains(Messages(), "AssignFile " + folder + "x.lut"));
  b->ComboBox1.Text = "gone";
  b->LoadLutPalette();
  EXPECT_TRUE(Contains(Messages(), "File not found : " + folder + "gone.lut"));
}

}  // namespace
}  // namespace kivrel::test
