// Contact sheets: the thumbnails of many images on one 24-bit picture, in a grid, each with
// its name centred under it (the bitmap font, elided in the middle when too long).
//
// Geometry: a margin of kSheetMargin pixels around the grid and kSheetGap pixels between cells.
// A cell is `cell` pixels wide and cell + kLabelGap + kGlyphHeight high: a cell x cell square,
// in which the picture is centred (a picture larger than the square shows its middle part),
// then the name line. The grid has min(columns, count) columns and as many rows as needed.
// Nothing of an entry is drawn outside its cell.
//
// An entry without a picture (a file that could not be read), or whose picture is neither an
// 8-bit palette picture nor a 24-bit picture, shows an empty framed square with a cross.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "browser/base/picture.h"
#include "cli/bitmap_font.h"

namespace kivrel {

inline constexpr int32_t kSheetMargin = 8;
inline constexpr int32_t kSheetGap = 8;
inline constexpr int32_t kLabelGap = 3;
// The largest picture a sheet may be, in bytes of its pixels.
inline constexpr uint64_t kMaxSheetBytes = uint64_t{1} << 30;

inline constexpr Rgb kSheetBackground{32, 32, 32};
inline constexpr Rgb kSheetText{230, 230, 230};
inline constexpr Rgb kSheetMissing{150, 60, 60};

struct SheetEntry {
  std::string name;                  // UTF-8, shown under the picture
  const Picture* picture = nullptr;  // null: nothing to show
};

struct SheetLayout {
  int32_t columns = 6;  // taken as at least 1
  int32_t cell = 128;   // taken as at least kGlyphWidth
};

// The sheet's size in pixels for `count` entries (64-bit: it may exceed what can be built).
struct SheetSize {
  int64_t width = 0;
  int64_t height = 0;
};
SheetSize SheetSizeFor(const SheetLayout& layout, std::size_t count);

// The rectangle of cell `index` (picture square and name line).
PixelRect SheetCell(const SheetLayout& layout, std::size_t index);

// `text` cut to at most `max_chars` code points by replacing its middle with U+2026, keeping
// one more character of the start than of the end when they cannot be equal.
std::u32string ElideMiddle(std::u32string_view text, std::size_t max_chars);

// The sheet. Throws RunTimeError "Contact sheet too large (<w> x <h> pixels)" when its pixels
// would exceed kMaxSheetBytes or a side 2^31 - 1; nothing is allocated then.
Picture ComposeSheet(const std::vector<SheetEntry>& entries, const SheetLayout& layout);

}  // namespace kivrel
