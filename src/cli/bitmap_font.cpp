#include "cli/bitmap_font.h"

#include <algorithm>

namespace kivrel {
namespace {

struct FontGlyph {
  char32_t code_point;
  GlyphRows rows;
};

// Sorted by code point.
constexpr FontGlyph kFont[] = {
#include "cli/font_6x13.inc"
};

constexpr bool Sorted() {
  for (std::size_t i = 1; i < std::size(kFont); ++i) {
    if (kFont[i - 1].code_point >= kFont[i].code_point) return false;
  }
  return true;
}
static_assert(Sorted(), "the glyph table must be sorted by code point");

const FontGlyph* Find(char32_t code_point) {
  const auto* end = std::end(kFont);
  const auto* it =
      std::lower_bound(std::begin(kFont), end, code_point,
                       [](const FontGlyph& g, char32_t c) { return g.code_point < c; });
  return it != end && it->code_point == code_point ? it : nullptr;
}

}  // namespace

const GlyphRows& GlyphOf(char32_t code_point) {
  if (const FontGlyph* g = Find(code_point)) return g->rows;
  static const FontGlyph* const replacement = Find(0xFFFD);
  return replacement->rows;
}

void DrawText(Picture& picture, int32_t x, int32_t y, std::u32string_view text, Rgb colour,
              const PixelRect& clip) {
  if (picture.bits_per_pixel() != 24) return;
  const PixelRect whole{0, 0, picture.width(), picture.height()};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const GlyphRows& rows = GlyphOf(text[i]);
    const int64_t left = x + static_cast<int64_t>(i) * kGlyphWidth;
    if (left > whole.width) break;
    for (int32_t gy = 0; gy < kGlyphHeight; ++gy) {
      const int32_t py = y + gy;
      for (int32_t gx = 0; gx < kGlyphWidth; ++gx) {
        if (((rows[static_cast<std::size_t>(gy)] >> (7 - gx)) & 1) == 0) continue;
        const auto px = static_cast<int32_t>(left + gx);
        if (!clip.Contains(px, py) || !whole.Contains(px, py)) continue;
        uint8_t* p = picture.Row(py) + 3 * static_cast<std::size_t>(px);
        p[0] = colour.b;
        p[1] = colour.g;
        p[2] = colour.r;
      }
    }
  }
}

}  // namespace kivrel
