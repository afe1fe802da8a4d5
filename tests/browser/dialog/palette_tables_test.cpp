// Colour tables and transfer tables through the dialog: the two lists and their selections, the
// defaults, the error on an unreadable number, the trace lines and the list handlers.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

namespace kivrel::test {
namespace {

// A dialog over a palettes/ folder holding the given files.
class PaletteFolderTest : public ::testing::Test {
 protected:
  TempDir dir;
  void Put(const std::string& name, const std::string& text) {
    dir.Write("palettes/" + name, text);
  }
  std::unique_ptr<BrowserController> Open() { return NewDialog(dir.path()); }
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
  EXPECT_EQ(b->colours.colour_table.items, (std::vector<std::string>{"_x", "a", "ramp", "zeta"}));
  EXPECT_EQ(b->colours.colour_table.index, 2);
  EXPECT_EQ(b->colours.colour_table.text, "ramp");
  EXPECT_EQ(b->colours.transfer_table.items, (std::vector<std::string>{"4_ramp", "log"}));
  EXPECT_EQ(b->colours.transfer_table.text, "4_ramp");
}

TEST_F(PaletteFolderTest, RampLutIsFoundWithoutRegardToCaseAndAGivesTheGreyRamp) {
  Put("Ramp.LUT", Lines(255, "1 0 0"));
  Put("a.b.lut", Lines(255, "0 1 0"));
  auto b = Open();
  ASSERT_EQ(b->colours.colour_table.items, (std::vector<std::string>{"a", "ramp"}));
  EXPECT_EQ(b->colours.colour_table.text, "ramp");
  Palette256 p = ShownPalette(*b);
  EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(p[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(p[255], (Rgb{255, 0, 0}));
  b->ChooseColourTable(0);  // "a": a.lut does not exist
  p = ShownPalette(*b);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(p[static_cast<std::size_t>(i)],
              (Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i)}));
}

TEST_F(PaletteFolderTest, WithoutRampOrFourRampTheFirstEntriesAreSelected) {
  Put("heat.lut", "");
  Put("cool.lut", "");
  Put("log.itt", "");
  auto b = Open();
  EXPECT_EQ(b->colours.colour_table.text, "cool");
  EXPECT_EQ(b->colours.colour_table.index, 0);
  EXPECT_EQ(b->colours.transfer_table.text, "log");
}

TEST_F(PaletteFolderTest, MissingFolderGivesEmptyListsAndTheDefaults) {
  auto b = Open();
  EXPECT_TRUE(b->colours.colour_table.items.empty());
  EXPECT_TRUE(b->colours.transfer_table.items.empty());
  EXPECT_EQ(b->colours.colour_table.index, -1);
  EXPECT_EQ(b->colours.colour_table.text, "");
  const Palette256 p = ShownPalette(*b);
  EXPECT_EQ(p[0], (Rgb{0, 0, 0}));
  EXPECT_EQ(p[77], (Rgb{77, 77, 77}));
  EXPECT_EQ(b->IttTable[0], 1);
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], k);
}

TEST_F(PaletteFolderTest, InvalidTransferNumberKeepsEntriesReadBeforeIt) {
  Put("4_ramp.itt", Lines(255, "0"));
  Put("bad.itt", Lines(9, "1") + "0,5\n" + Lines(245, "1"));
  auto b = Open();
  ASSERT_EQ(b->colours.transfer_table.items, (std::vector<std::string>{"4_ramp", "bad"}));
  try {
    b->ChooseTransferTable(1);
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
  PutPlane(*b, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_THROW(b->ChooseColourTable(0), RunTimeError);
  EXPECT_EQ(b->colours.colour_table.text, "bad");
}

TEST_F(PaletteFolderTest, ListHandlers) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  Put("blue.lut", Lines(255, "0 0 1"));
  Put("4_ramp.itt", Lines(255, "1"));
  Put("neg.itt", Lines(255, "0"));
  auto b = Open();
  // No image: a colour pick redraws nothing; a transfer pick reads the table.
  b->ChooseColourTable(0);
  b->ChooseTransferTable(1);
  EXPECT_EQ(b->texts.status_line.caption, " ");
  EXPECT_EQ(b->IttTable[5], 0);
  PutPlane(*b, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_EQ(b->preview_picture.palette[1], (Rgb{0, 0, 255}));
  b->ChooseColourTable(1);
  EXPECT_EQ(b->preview_picture.palette[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(b->colour_bar_picture.palette[1], (Rgb{255, 0, 0}));
  b->ChooseTransferTable(0);
  EXPECT_EQ(b->IttTable[5], 255);
}

TEST_F(PaletteFolderTest, PickingATableAfterAFailedLoadRedrawsNothing) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  Put("blue.lut", Lines(255, "0 0 1"));
  auto b = Open();
  b->ChooseFile(dir.Write("broken.fits", std::string("not a FITS file")));
  ASSERT_FALSE(b->load.ImageLoaded);
  ASSERT_TRUE(b->colours.colour_table.enabled);
  const std::string status = b->texts.status_line.caption;
  b->ChooseColourTable(0);
  EXPECT_EQ(b->texts.status_line.caption, status);
  // The next load uses the table.
  ClickFile(*b, dir, "ok.fits", FitsImage<uint8_t>(8, 1, 1, {7}));
  ASSERT_TRUE(b->load.ImageLoaded);
  EXPECT_EQ(b->preview_picture.palette[9], (Rgb{0, 0, 255}));
}

TEST_F(PaletteFolderTest, ColourTableIsReadAgainAtEveryRedraw) {
  Put("ramp.lut", Lines(255, "1 0 0"));
  auto b = Open();
  PutPlane(*b, kSample8, 1, 1, std::vector<uint8_t>{5});
  b->RefreshDisplay();
  EXPECT_EQ(b->preview_picture.palette[9], (Rgb{255, 0, 0}));
  Put("ramp.lut", Lines(255, "0 1 0"));
  b->RefreshDisplay();
  EXPECT_EQ(b->preview_picture.palette[9], (Rgb{0, 255, 0}));
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
  // A redraw reads the selected table.
  b->ChooseColourTable(1);
  EXPECT_EQ(b->colours.colour_table.text, "x");
  ShownPalette(*b);
  EXPECT_TRUE(Contains(Messages(), "AssignFile " + folder + "x.lut"));
  b->colours.colour_table.text = "gone";
  ShownPalette(*b);
  EXPECT_TRUE(Contains(Messages(), "File not found : " + folder + "gone.lut"));
}

}  // namespace
}  // namespace kivrel::test
