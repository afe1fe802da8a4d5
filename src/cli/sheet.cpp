#include "cli/sheet.h"

#include <algorithm>
#include <limits>

#include "cli/utf8.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

int64_t Columns(const SheetLayout& layout) {
  return std::max(1, layout.columns);
}
int64_t CellSide(const SheetLayout& layout) {
  return std::max(kGlyphWidth, layout.cell);
}
int64_t CellHeight(const SheetLayout& layout) {
  return CellSide(layout) + kLabelGap + kGlyphHeight;
}

void Put(Picture& sheet, int32_t x, int32_t y, Rgb colour) {
  uint8_t* p = sheet.Row(y) + 3 * static_cast<std::size_t>(x);
  p[0] = colour.b;
  p[1] = colour.g;
  p[2] = colour.r;
}

bool Drawable(const Picture* picture) {
  return picture != nullptr && picture->width() > 0 && picture->height() > 0 &&
         (picture->bits_per_pixel() == 8 || picture->bits_per_pixel() == 24);
}

// The picture centred in `square`, cut to it.
void DrawPicture(Picture& sheet, const Picture& picture, const PixelRect& square) {
  const int64_t ox = square.x + (int64_t{square.width} - picture.width()) / 2;
  const int64_t oy = square.y + (int64_t{square.height} - picture.height()) / 2;
  const int64_t x_begin = std::max<int64_t>(0, square.x - ox);
  const int64_t x_end = std::min<int64_t>(picture.width(), square.x + square.width - ox);
  const int64_t y_begin = std::max<int64_t>(0, square.y - oy);
  const int64_t y_end = std::min<int64_t>(picture.height(), square.y + square.height - oy);
  const bool indexed = picture.bits_per_pixel() == 8;
  for (int64_t py = y_begin; py < y_end; ++py) {
    const uint8_t* src = picture.Row(static_cast<int32_t>(py));
    for (int64_t px = x_begin; px < x_end; ++px) {
      Rgb colour;
      if (indexed) {
        const std::size_t index = src[px];
        colour = index < picture.palette.size() ? picture.palette[index] : Rgb{};
      } else {
        colour = Rgb{src[3 * px + 2], src[3 * px + 1], src[3 * px]};
      }
      Put(sheet, static_cast<int32_t>(ox + px), static_cast<int32_t>(oy + py), colour);
    }
  }
}

// A framed square with its two diagonals: the place of a picture that is not there.
void DrawMissing(Picture& sheet, const PixelRect& square) {
  const int32_t last = square.width - 1;
  for (int32_t k = 0; k <= last; ++k) {
    Put(sheet, square.x + k, square.y, kSheetMissing);
    Put(sheet, square.x + k, square.y + last, kSheetMissing);
    Put(sheet, square.x, square.y + k, kSheetMissing);
    Put(sheet, square.x + last, square.y + k, kSheetMissing);
    Put(sheet, square.x + k, square.y + k, kSheetMissing);
    Put(sheet, square.x + last - k, square.y + k, kSheetMissing);
  }
}

}  // namespace

SheetSize SheetSizeFor(const SheetLayout& layout, std::size_t count) {
  const int64_t n = static_cast<int64_t>(std::min<std::size_t>(count, INT32_MAX));
  const int64_t columns = std::min(Columns(layout), std::max<int64_t>(n, 1));
  const int64_t rows = std::max<int64_t>(1, (n + columns - 1) / columns);
  return {2 * kSheetMargin + columns * CellSide(layout) + (columns - 1) * kSheetGap,
          2 * kSheetMargin + rows * CellHeight(layout) + (rows - 1) * kSheetGap};
}

PixelRect SheetCell(const SheetLayout& layout, std::size_t index) {
  const auto i = static_cast<int64_t>(index);
  const int64_t column = i % Columns(layout);
  const int64_t row = i / Columns(layout);
  return {static_cast<int32_t>(kSheetMargin + column * (CellSide(layout) + kSheetGap)),
          static_cast<int32_t>(kSheetMargin + row * (CellHeight(layout) + kSheetGap)),
          static_cast<int32_t>(CellSide(layout)), static_cast<int32_t>(CellHeight(layout))};
}

std::u32string ElideMiddle(std::u32string_view text, std::size_t max_chars) {
  if (text.size() <= max_chars) return std::u32string(text);
  if (max_chars == 0) return {};
  const std::size_t keep = max_chars - 1;
  const std::size_t head = (keep + 1) / 2;
  const std::size_t tail = keep / 2;
  std::u32string out(text.substr(0, head));
  out.push_back(U'\u2026');
  out.append(text.substr(text.size() - tail));
  return out;
}

Picture ComposeSheet(const std::vector<SheetEntry>& entries, const SheetLayout& layout) {
  const SheetSize size = SheetSizeFor(layout, entries.size());
  constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();
  const bool fits =
      size.width <= kMaxSide && size.height <= kMaxSide &&
      static_cast<uint64_t>((size.width * 3 + 3) / 4 * 4) * static_cast<uint64_t>(size.height) <=
          kMaxSheetBytes;
  if (!fits) {
    throw RunTimeError("Contact sheet too large (" + std::to_string(size.width) + " x " +
                       std::to_string(size.height) + " pixels)");
  }
  Picture sheet;
  sheet.Reset(static_cast<int32_t>(size.width), static_cast<int32_t>(size.height), 24);
  for (int32_t y = 0; y < sheet.height(); ++y) {
    for (int32_t x = 0; x < sheet.width(); ++x)
      Put(sheet, x, y, kSheetBackground);
  }
  const auto side = static_cast<int32_t>(CellSide(layout));
  const auto max_chars = static_cast<std::size_t>(side / kGlyphWidth);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PixelRect cell = SheetCell(layout, i);
    const PixelRect square{cell.x, cell.y, side, side};
    if (Drawable(entries[i].picture)) {
      DrawPicture(sheet, *entries[i].picture, square);
    } else {
      DrawMissing(sheet, square);
    }
    const std::u32string name = ElideMiddle(DecodeUtf8(entries[i].name), max_chars);
    const auto text_width = static_cast<int32_t>(name.size()) * kGlyphWidth;
    DrawText(sheet, cell.x + (side - text_width) / 2, cell.y + side + kLabelGap, name, kSheetText,
             cell);
  }
  return sheet;
}

}  // namespace kivrel
