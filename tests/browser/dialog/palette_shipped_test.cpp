// The colour and transfer tables shipped in palettes/: complete, in range, the defaults exact,
// the published maps close to their published colours, and reproducible by their script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "browser/dialog/browser_controller.h"
#include "browser/display/table_file.h"
#include "display_fixture.h"

namespace kivrel::test {
namespace {

namespace fs = std::filesystem;

const fs::path kPalettes = fs::path(KIVREL_SOURCE_DIR) / "palettes";

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<fs::path> TableFiles() {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(kPalettes)) {
    const std::string ext = e.path().extension().string();
    if (ext == ".lut" || ext == ".itt") out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ShippedTables, EveryFileHas255LinesOfNumbersFrom0To1) {
  const auto files = TableFiles();
  ASSERT_GE(files.size(), 16u);
  for (const fs::path& p : files) {
    const int per_line = p.extension() == ".lut" ? 3 : 1;
    std::istringstream in(ReadText(p));
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
      ++lines;
      std::istringstream fields(line);
      std::string field;
      int count = 0;
      while (fields >> field) {
        ++count;
        const auto v = TryParseFloat(field);
        ASSERT_TRUE(v.has_value()) << p << ":" << lines << " '" << field << "'";
        EXPECT_GE(*v, 0) << p << ":" << lines;
        EXPECT_LE(*v, 1) << p << ":" << lines;
      }
      EXPECT_EQ(count, per_line) << p << ":" << lines;
    }
    EXPECT_EQ(lines, 255) << p;
  }
}

TEST(ShippedTables, ListsHoldTheExpectedTablesAndSelectTheDefaults) {
  auto b = NewDialog(KIVREL_SOURCE_DIR);
  for (const char* name :
       {"ramp", "heat", "rainbow", "cool", "viridis", "cubehelix", "random", "contours"}) {
    EXPECT_NE(
        std::find(b->colours.colour_table.items.begin(), b->colours.colour_table.items.end(), name),
        b->colours.colour_table.items.end())
        << name;
  }
  for (const char* name : {"4_ramp", "log", "sqrt", "square", "asinh", "neg", "steps", "jigsaw"}) {
    EXPECT_NE(std::find(b->colours.transfer_table.items.begin(),
                        b->colours.transfer_table.items.end(), name),
              b->colours.transfer_table.items.end())
        << name;
  }
  EXPECT_EQ(b->colours.colour_table.text, "ramp");
  EXPECT_EQ(b->colours.transfer_table.text, "4_ramp");
  EXPECT_TRUE(
      std::is_sorted(b->colours.colour_table.items.begin(), b->colours.colour_table.items.end()));
}

TEST(ShippedTables, DefaultTablesEqualTheBuiltInDefaults) {
  auto b = NewDialog(KIVREL_SOURCE_DIR);
  const Palette256 p = ShownPalette(*b);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<uint8_t>(i);
    EXPECT_EQ(p[static_cast<std::size_t>(i)], (Rgb{v, v, v})) << i;
  }
  EXPECT_EQ(b->IttTable[0], 1);
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], k);
}

int Index(const ListControl& list, const std::string& name) {
  const auto it = std::find(list.items.begin(), list.items.end(), name);
  return it == list.items.end() ? -1 : static_cast<int>(it - list.items.begin());
}

TEST(ShippedTables, TransferTablesFollowTheirFormulas) {
  auto b = NewDialog(KIVREL_SOURCE_DIR);
  b->ChooseTransferTable(Index(b->colours.transfer_table, "neg"));
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(b->IttTable[static_cast<std::size_t>(k)], 255 - k) << k;
  b->ChooseTransferTable(Index(b->colours.transfer_table, "square"));
  for (int k = 1; k < 256; ++k)
    EXPECT_NEAR(b->IttTable[static_cast<std::size_t>(k)], k * k / 255.0, 0.51) << k;
  b->ChooseTransferTable(Index(b->colours.transfer_table, "sqrt"));
  for (int k = 1; k < 256; ++k)
    EXPECT_NEAR(b->IttTable[static_cast<std::size_t>(k)], std::sqrt(k / 255.0) * 255, 0.51) << k;
  // Monotonic stretches keep the order of the levels.
  for (const char* name : {"log", "asinh", "steps"}) {
    b->ChooseTransferTable(Index(b->colours.transfer_table, name));
    EXPECT_TRUE(std::is_sorted(b->IttTable.begin(), b->IttTable.end())) << name;
    EXPECT_EQ(b->IttTable[255], 255) << name;
  }
}

TEST(ShippedTables, ViridisIsCloseToItsPublishedColours) {
  auto b = NewDialog(KIVREL_SOURCE_DIR);
  b->ChooseColourTable(Index(b->colours.colour_table, "viridis"));
  const Palette256 p = ShownPalette(*b);
  // matplotlib's viridis: #440154 at 0, #21918c at 0.5, #fde725 at 1 (the file is a fit).
  const struct {
    int index;
    Rgb rgb;
  } anchors[] = {{1, {68, 1, 84}}, {128, {33, 145, 140}}, {255, {253, 231, 37}}};
  for (const auto& a : anchors) {
    const Rgb got = p[static_cast<std::size_t>(a.index)];
    EXPECT_NEAR(got.r, a.rgb.r, 4) << a.index;
    EXPECT_NEAR(got.g, a.rgb.g, 4) << a.index;
    EXPECT_NEAR(got.b, a.rgb.b, 4) << a.index;
  }
}

TEST(ShippedTables, TheScriptReproducesTheFiles) {
  if (std::system("python3 --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  TempDir out;
  const std::string command =
      "python3 '" + (kPalettes / "make_palettes.py").string() + "' '" + out.path() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const fs::path& p : TableFiles()) {
    const fs::path made = fs::path(out.path()) / p.filename();
    ASSERT_TRUE(fs::exists(made)) << made;
    EXPECT_EQ(ReadText(made), ReadText(p)) << p.filename();
  }
}

}  // namespace
}  // namespace kivrel::test
