// Colour-table and transfer-table files: the rounding and wrap of their values, short and long
// files, entry 0 of the palette and level 0 of the transfer table, and what a preview shows
// through both.
#include "browser/display/palettes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/display/render.h"
#include "image_checks.h"
#include "temp_dir.h"

namespace kivrel {
namespace {

using test::TempDir;

// A palettes/ folder holding the given files.
class TableFolder : public ::testing::Test {
 protected:
  TempDir dir;
  void Put(const std::string& name, const std::string& text) {
    dir.Write("palettes/" + name, text);
  }
  Palette256 Colours(const std::string& name) {
    return ReadColourTable(TableFile(dir.path(), name, ".lut"));
  }
  TransferTable Transfer(const std::string& name) {
    TransferTable itt{};
    ReadTransferTable(TableFile(dir.path(), name, ".itt"), itt);
    return itt;
  }
};

std::string Lines(int count, const std::string& line) {
  std::string out;
  for (int i = 0; i < count; ++i)
    out += line + "\n";
  return out;
}

TEST_F(TableFolder, ColourTableValuesRoundAndWrap) {
  Put("ramp.lut", "0.5 0.5 0.5\n1.2 -0.2 1\n0 0 0.001 comment\n");
  const Palette256 p = Colours("ramp");
  EXPECT_EQ(p[1], (Rgb{128, 128, 128}));
  EXPECT_EQ(p[2], (Rgb{50, 205, 255}));
  EXPECT_EQ(p[3], (Rgb{0, 0, 0}));
}

TEST_F(TableFolder, ColourTableOf100LinesLeavesTheRestBlack) {
  Put("ramp.lut", Lines(100, "0.2 0.4 0.6"));
  const Palette256 p = Colours("ramp");
  EXPECT_EQ(p[100], (Rgb{51, 102, 153}));
  for (int i = 101; i < 256; ++i)
    EXPECT_EQ(p[static_cast<std::size_t>(i)], (Rgb{0, 0, 0})) << i;
}

TEST_F(TableFolder, EntryZeroIsAlwaysBlack) {
  Put("ramp.lut", Lines(255, "1 1 1"));
  EXPECT_EQ(Colours("ramp")[0], (Rgb{0, 0, 0}));
}

TEST_F(TableFolder, TransferTableOf300LinesReadsOnly255) {
  std::string text;
  for (int k = 1; k <= 300; ++k)
    text += std::to_string(k <= 255 ? (255 - k) / 255.0 : 1.0) + "\n";
  Put("4_ramp.itt", text);
  const TransferTable itt = Transfer("4_ramp");
  for (int k = 1; k < 256; ++k)
    EXPECT_EQ(itt[static_cast<std::size_t>(k)], 255 - k) << k;
  EXPECT_EQ(itt[0], 254);
}

TEST_F(TableFolder, FirstTransferValueZeroShowsLevelsZeroAndOneBlack) {
  Put("4_ramp.itt", "0\n" + Lines(254, "1"));
  Put("ramp.lut", Lines(255, "1 1 1"));
  const TransferTable itt = Transfer("4_ramp");
  EXPECT_EQ(itt[0], 0);
  EXPECT_EQ(itt[1], 0);
  const Image image = test::MakeImage(3, 1, std::vector<uint8_t>{0, 1, 200});
  View view;
  view.DisplayMin = 0;
  view.DisplayMax = 255;
  view.zoom = ZoomWindow::Whole(3, 1);
  Picture pic;
  RenderPreview(image, view, itt, Colours("ramp"), pic);
  EXPECT_EQ(pic.palette[pic.Row(0)[0]], (Rgb{0, 0, 0}));
  EXPECT_EQ(pic.palette[pic.Row(0)[1]], (Rgb{0, 0, 0}));
  EXPECT_EQ(pic.palette[pic.Row(0)[2]], (Rgb{255, 255, 255}));
}

}  // namespace
}  // namespace kivrel
