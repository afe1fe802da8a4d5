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

// A picture of one colour: 8 bits with the colour as palette entry 0, or 24 bits.
Picture Solid(int32_t w, int32_t h, int bits, Rgb colour) {
  Picture p;
  p.Reset(w, h, bits);
  p.palette.assign(256, colour);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* px = p.Row(y) + (bits / 8) * x;
      if (bits == 8) {
        px[0] = 0;
      } else {
        px[0] = colour.b;
        px[1] = colour.g;
        px[2] = colour.r;
      }
    }
  }
  return p;
}

TEST(Sheet, ElidesNamesInTheMiddle) {
  const std::pair<std::size_t, const char*> cases[] = {
      {10, "abcdefghij"}, {5, "ab…ij"}, {6, "abc…ij"}, {1, "…"}, {0, ""}};
  for (const auto& [max, expected] : cases)
    EXPECT_EQ(EncodeUtf8(ElideMiddle(U"abcdefghij", max)), expected) << max;
  EXPECT_EQ(EncodeUtf8(ElideMiddle(DecodeUtf8("Nébuleuse"), 4)), "Né…e");
}

TEST(Sheet, PicturesCentredAndNamesDrawnUnderThem) {
  const Rgb red{200, 0, 0};
  const Rgb green{0, 180, 0};
  const Picture a = Solid(20, 10, 8, red);
  const Picture b = Solid(9, 30, 24, green);
  // Two columns of cells 40 wide and 40 + 3 + 13 high, 8 apart, inside a margin of 8.
  const Picture sheet = ComposeSheet({{"Aé", &a}, {"b", &b}}, SheetLayout{6, 40});
  ASSERT_EQ(sheet.bits_per_pixel(), 24);
  ASSERT_EQ(sheet.width(), 8 + 40 + 8 + 40 + 8);
  ASSERT_EQ(sheet.height(), 8 + 56 + 8);
  // Entry 0: 20 x 10 at (8 + 10, 8 + 15); entry 1: 9 x 30 at (56 + 15, 8 + 5).
  for (int32_t y = 8; y < 48; ++y) {
    for (int32_t x = 8; x < 96; ++x) {
      const bool in_a = x >= 18 && x < 38 && y >= 23 && y < 33;
      const bool in_b = x >= 71 && x < 80 && y >= 13 && y < 43;
      ASSERT_EQ(At(sheet, x, y), in_a ? red : in_b ? green : kSheetBackground) << x << "," << y;
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
  const Picture big8 = Solid(300, 200, 8, Rgb{1, 2, 3});
  const Picture big24 = Solid(100, 500, 24, Rgb{4, 5, 6});
  const std::string long_name(200, 'W');
  const SheetLayout layout{2, 30};
  const std::vector<SheetEntry> entries = {
      {long_name, &big8}, {long_name, &big24}, {long_name, nullptr}};
  const Picture sheet = ComposeSheet(entries, layout);
  ASSERT_EQ(sheet.height(), 8 + 2 * 46 + 8 + 8);
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
  // The middle of an oversized picture fills its whole square; the missing one is framed.
  for (int32_t k = 0; k < 30; ++k)
    EXPECT_EQ(At(sheet, 8 + k, 8 + k), (Rgb{1, 2, 3}));
  EXPECT_EQ(At(sheet, 8, 8 + 46 + 8), kSheetMissing);
  EXPECT_EQ(At(sheet, 8 + 29, 8 + 46 + 8 + 29), kSheetMissing);
  EXPECT_EQ(At(sheet, 8 + 1, 8 + 46 + 8 + 5), kSheetBackground);
}

TEST(Sheet, RefusesSheetsTooLargeBeforeAllocating) {
  const std::vector<SheetEntry> entries(4000, SheetEntry{"x", nullptr});
  EXPECT_THROW(ComposeSheet(entries, SheetLayout{1, 16384}), RunTimeError);
}

}  // namespace
}  // namespace kivrel
