// Contact sheets: the grid's geometry worked out by hand, pictures centred in their squares,
// the name's glyphs under them, elision, missing pictures, and nothing drawn outside a cell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/sheet.h"
#include "cli/utf8.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

Rgb At(const Picture& p, int32_t x, int32_t y) {
  const uint8_t* px = p.Row(y) + 3 * static_cast<std::size_t>(x);
  return Rgb{px[2], px[1], px[0]};
}

Picture Solid8(int32_t w, int32_t h, Rgb colour) {
  Picture p;
  p.Reset(w, h, 8);
  p.FillZero();
  p.palette.assign(256, Rgb{});
  p.palette[0] = colour;
  return p;
}

Picture Solid24(int32_t w, int32_t h, Rgb colour) {
  Picture p;
  p.Reset(w, h, 24);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      p.Row(y)[3 * x] = colour.b;
      p.Row(y)[3 * x + 1] = colour.g;
      p.Row(y)[3 * x + 2] = colour.r;
    }
  }
  return p;
}

TEST(Sheet, GeometryOfTheGrid) {
  // Cells 40 wide and 40 + 3 + 13 = 56 high, 8 apart, inside a margin of 8.
  const SheetLayout layout{3, 40};
  EXPECT_EQ(SheetCell(layout, 0).x, 8);
  EXPECT_EQ(SheetCell(layout, 0).y, 8);
  EXPECT_EQ(SheetCell(layout, 4).x, 8 + 48);
  EXPECT_EQ(SheetCell(layout, 4).y, 8 + 64);
  EXPECT_EQ(SheetCell(layout, 4).width, 40);
  EXPECT_EQ(SheetCell(layout, 4).height, 56);
  const SheetSize five = SheetSizeFor(layout, 5);  // 3 columns, 2 rows
  EXPECT_EQ(five.width, 16 + 3 * 40 + 2 * 8);
  EXPECT_EQ(five.height, 16 + 2 * 56 + 8);
  const SheetSize two = SheetSizeFor(layout, 2);  // only as many columns as entries
  EXPECT_EQ(two.width, 16 + 2 * 40 + 8);
  EXPECT_EQ(two.height, 16 + 56);
}

TEST(Sheet, ElidesNamesInTheMiddle) {
  const struct {
    const char* text;
    std::size_t max;
    const char* expected;
  } cases[] = {
      {"abcdefghij", 10, "abcdefghij"}, {"abcdefghij", 5, "ab…ij"}, {"abcdefghij", 6, "abc…ij"},
      {"Nébuleuse", 4, "Né…e"},         {"abcd", 1, "…"},           {"abcd", 0, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EncodeUtf8(ElideMiddle(DecodeUtf8(c.text), c.max)), c.expected) << c.text;
}

TEST(Sheet, PicturesCentredAndNamesDrawnUnderThem) {
  const Rgb red{200, 0, 0};
  const Rgb green{0, 180, 0};
  const Picture a = Solid8(20, 10, red);
  const Picture b = Solid24(9, 30, green);
  const SheetLayout layout{2, 40};
  const Picture sheet = ComposeSheet({{"Aé", &a}, {"b", &b}}, layout);
  ASSERT_EQ(sheet.bits_per_pixel(), 24);
  ASSERT_EQ(sheet.width(), 16 + 80 + 8);
  // Entry 0: 20 x 10 at (8 + 10, 8 + 15); entry 1: 9 x 30 at (56 + 15, 8 + 5).
  for (int32_t y = 8; y < 48; ++y) {
    for (int32_t x = 8; x < 48; ++x) {
      const bool in = x >= 18 && x < 38 && y >= 23 && y < 33;
      ASSERT_EQ(At(sheet, x, y), in ? red : kSheetBackground) << x << "," << y;
    }
    for (int32_t x = 56; x < 96; ++x) {
      const bool in = x >= 71 && x < 80 && y >= 13 && y < 43;
      ASSERT_EQ(At(sheet, x, y), in ? green : kSheetBackground) << x << "," << y;
    }
  }
  // The name "Aé", 12 pixels wide, centred: from x = 8 + 14, at y = 8 + 40 + 3.
  const char32_t name[] = {U'A', U'\u00E9'};
  for (int k = 0; k < 2; ++k) {
    const GlyphRows& glyph = GlyphOf(name[k]);
    for (int32_t gy = 0; gy < kGlyphHeight; ++gy) {
      for (int32_t gx = 0; gx < kGlyphWidth; ++gx) {
        const bool ink = (glyph[static_cast<std::size_t>(gy)] >> (7 - gx)) & 1;
        ASSERT_EQ(At(sheet, 22 + 6 * k + gx, 51 + gy), ink ? kSheetText : kSheetBackground)
            << "glyph " << k << " at " << gx << "," << gy;
      }
    }
  }
}

TEST(Sheet, NothingDrawnOutsideTheCells) {
  // Pictures and names far larger than the cells, and a missing picture.
  const Picture big8 = Solid8(300, 200, Rgb{1, 2, 3});
  const Picture big24 = Solid24(100, 500, Rgb{4, 5, 6});
  const std::string long_name(200, 'W');
  const SheetLayout layout{2, 30};
  const std::vector<SheetEntry> entries = {
      {long_name, &big8}, {long_name, &big24}, {long_name, nullptr}};
  const Picture sheet = ComposeSheet(entries, layout);
  for (int32_t y = 0; y < sheet.height(); ++y) {
    for (int32_t x = 0; x < sheet.width(); ++x) {
      bool in_cell = false;
      for (std::size_t i = 0; i < entries.size(); ++i)
        in_cell = in_cell || SheetCell(layout, i).Contains(x, y);
      if (!in_cell) {
        ASSERT_EQ(At(sheet, x, y), kSheetBackground) << x << "," << y;
      }
    }
  }
  // The middle of an oversized picture fills its whole square.
  const PixelRect first = SheetCell(layout, 0);
  for (int32_t k = 0; k < 30; ++k)
    EXPECT_EQ(At(sheet, first.x + k, first.y + k), (Rgb{1, 2, 3}));
  // The missing picture's square has a frame.
  const PixelRect third = SheetCell(layout, 2);
  EXPECT_EQ(At(sheet, third.x, third.y), kSheetMissing);
  EXPECT_EQ(At(sheet, third.x + 29, third.y + 29), kSheetMissing);
  EXPECT_EQ(At(sheet, third.x + 1, third.y + 5), kSheetBackground);
}

TEST(Sheet, RefusesSheetsTooLargeBeforeAllocating) {
  const std::vector<SheetEntry> entries(4000, SheetEntry{"x", nullptr});
  EXPECT_THROW(ComposeSheet(entries, SheetLayout{1, 16384}), RunTimeError);
}

}  // namespace
}  // namespace kivrel
