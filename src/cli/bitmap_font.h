// A fixed 6 x 13 bitmap font for the texts drawn into pictures (the names on a contact sheet),
// so that those pictures look the same on every machine, whatever fonts it has.
//
// The glyphs are those of the public-domain X11 "misc-fixed" 6x13 font, kept as C++ data
// (font_6x13.inc, made by make_font_data.py): printable ASCII, Latin-1 (U+00A0..U+00FF), the
// ellipsis U+2026, and U+FFFD, which also stands for every code point the font lacks.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "browser/base/picture.h"

namespace kivrel {

inline constexpr int32_t kGlyphWidth = 6;
inline constexpr int32_t kGlyphHeight = 13;

// The rows of a glyph, top first; column x of a row is its bit 7 - x.
using GlyphRows = std::array<uint8_t, kGlyphHeight>;

// The glyph of `code_point` (that of U+FFFD when the font lacks it).
const GlyphRows& GlyphOf(char32_t code_point);

// A rectangle of a picture: columns x..x + width - 1, rows y..y + height - 1.
struct PixelRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool Contains(int32_t px, int32_t py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

// Draws `text`, one glyph every kGlyphWidth pixels, with its top-left corner at (x, y) in a
// 24-bit picture (blue, green, red bytes); only the ink pixels are written, and only those
// that fall inside `clip` and inside the picture. Other pixel formats are left untouched.
void DrawText(Picture& picture, int32_t x, int32_t y, std::u32string_view text, Rgb colour,
              const PixelRect& clip);

}  // namespace kivrel
