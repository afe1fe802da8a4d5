#include "browser/display/fitted_render.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

namespace kivrel {
namespace {

// The mask words of plane row `row`, or null when that row holds no marked sample.
const uint64_t* MaskRow(const BlankMask& blanks, int32_t row) {
  if (blanks.Empty() || row >= blanks.rows()) return nullptr;
  return blanks.RowWords(row);
}

bool MaskedAt(const uint64_t* words, int32_t col, int32_t mask_cols) {
  return words != nullptr && col < mask_cols && ((words[col >> 6] >> (col & 63)) & 1) != 0;
}

template <typename T>
bool IsNaN(T sample) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::isnan(sample);
  } else {
    (void)sample;
    return false;
  }
}

// Where output pixel `x` of `out_side` starts in a plane side of `in_side` (x = out_side
// gives the end): floor(x in / out) in 64-bit arithmetic.
std::vector<int32_t> BoxStarts(int32_t in_side, int32_t out_side) {
  std::vector<int32_t> starts(static_cast<std::size_t>(out_side) + 1);
  for (int32_t x = 0; x <= out_side; ++x) {
    starts[static_cast<std::size_t>(x)] = static_cast<int32_t>(int64_t{x} * in_side / out_side);
  }
  return starts;
}

// Adds one plane row's samples to the sums and counts of the output boxes.
template <typename T>
void AddRow(const T* row, const uint64_t* mask, int32_t mask_cols,
            const std::vector<int32_t>& col_starts, std::vector<long double>& sums,
            std::vector<int64_t>& counts) {
  const std::size_t boxes = sums.size();
  for (std::size_t x = 0; x < boxes; ++x) {
    // Integer samples sum exactly in 64 bits over one row of a box (below 2^31 samples of at
    // most 2^31 each).
    std::conditional_t<std::is_integral_v<T>, int64_t, long double> sum = 0;
    int64_t count = 0;
    for (int32_t c = col_starts[x]; c < col_starts[x + 1]; ++c) {
      if (MaskedAt(mask, c, mask_cols) || IsNaN(row[c])) continue;
      sum += row[c];
      ++count;
    }
    sums[x] += static_cast<long double>(sum);
    counts[x] += count;
  }
}

template <typename T>
void Shrink(const Plane<T>& plane, const BlankMask& blanks, const DisplayScale& scale,
            const std::array<uint8_t, 256>& itt, bool flip_x, bool flip_y, Picture& out) {
  const int32_t w = out.width();
  const int32_t h = out.height();
  const std::vector<int32_t> col_starts = BoxStarts(plane.cols(), w);
  const std::vector<int32_t> row_starts = BoxStarts(plane.rows(), h);
  std::vector<long double> sums(static_cast<std::size_t>(w));
  std::vector<int64_t> counts(static_cast<std::size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    std::fill(sums.begin(), sums.end(), 0.0L);
    std::fill(counts.begin(), counts.end(), 0);
    for (int32_t r = row_starts[static_cast<std::size_t>(y)];
         r < row_starts[static_cast<std::size_t>(y) + 1]; ++r) {
      AddRow(plane.Row(r), MaskRow(blanks, r), blanks.cols(), col_starts, sums, counts);
    }
    uint8_t* dst = out.Row(flip_y ? h - 1 - y : y);
    for (int32_t x = 0; x < w; ++x) {
      const auto i = static_cast<std::size_t>(x);
      int level = 0;
      if (counts[i] > 0) {
        const long double mean = sums[i] / static_cast<long double>(counts[i]);
        level = scale.LevelOfValue(scale.bscale * mean + scale.bzero);
      }
      dst[flip_x ? w - 1 - x : x] = itt[static_cast<std::size_t>(level)];
    }
  }
}

// Each sample's level repeated over a factor x factor block (factor 1: the plane's own size).
template <typename T>
void Grow(const Plane<T>& plane, const BlankMask& blanks, const DisplayScale& scale,
          const std::array<uint8_t, 256>& itt, bool flip_x, bool flip_y, int32_t factor,
          Picture& out) {
  const int32_t w = out.width();
  const int32_t h = out.height();
  std::vector<uint8_t> line(static_cast<std::size_t>(w));
  for (int32_t r = 0; r < plane.rows(); ++r) {
    const T* row = plane.Row(r);
    const uint64_t* mask = MaskRow(blanks, r);
    for (int32_t c = 0; c < plane.cols(); ++c) {
      const bool blank = MaskedAt(mask, c, blanks.cols());
      // A NaN sample comes out at level 0 from the formula itself.
      const uint8_t pixel = itt[static_cast<std::size_t>(blank ? 0 : scale.LevelOfSample(row[c]))];
      const int32_t first = flip_x ? w - (c + 1) * factor : c * factor;
      std::fill_n(line.begin() + first, factor, pixel);
    }
    for (int32_t k = 0; k < factor; ++k) {
      const int32_t y = r * factor + k;
      std::copy(line.begin(), line.end(), out.Row(flip_y ? h - 1 - y : y));
    }
  }
}

// The colour of pixel `x` of a picture row: blue, green, red bytes of a 24-bit row, or the
// palette entry of an 8-bit one.
Rgb ColourAt(const Picture& picture, const uint8_t* row, int32_t x) {
  if (picture.bits_per_pixel() == 24) {
    const uint8_t* p = row + 3 * static_cast<std::size_t>(x);
    return Rgb{p[2], p[1], p[0]};
  }
  const std::size_t index = row[x];
  return index < picture.palette.size() ? picture.palette[index] : Rgb{};
}

void PutColour(uint8_t* row, int32_t x, Rgb c) {
  uint8_t* p = row + 3 * static_cast<std::size_t>(x);
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

}  // namespace

FittedSize FitSize(int32_t width, int32_t height, int32_t size) {
  if (width < 1 || height < 1) return {};
  const int64_t n = std::clamp(size, 1, kMaxFittedSide);
  const int64_t longer = std::max(width, height);
  if (longer > n) {
    // The shorter side scaled by n / longer, rounded half up, at least 1.
    const auto scaled = [&](int64_t side) {
      return static_cast<int32_t>(std::max<int64_t>(1, (2 * side * n + longer) / (2 * longer)));
    };
    return {scaled(width), scaled(height)};
  }
  const int64_t factor = n / longer;
  return {static_cast<int32_t>(width * factor), static_cast<int32_t>(height * factor)};
}

template <typename T>
void RenderFitted(const Plane<T>& plane, const BlankMask& blanks, const DisplayScale& scale,
                  const std::array<uint8_t, 256>& itt, bool flip_x, bool flip_y, int32_t size,
                  Picture& out) {
  const FittedSize fitted = FitSize(plane.cols(), plane.rows(), size);
  if (fitted.width == 0) {
    out.Reset(1, 1, 8);
    out.Row(0)[0] = itt[0];
    return;
  }
  out.Reset(fitted.width, fitted.height, 8);
  if (fitted.width < plane.cols() || fitted.height < plane.rows()) {
    Shrink(plane, blanks, scale, itt, flip_x, flip_y, out);
  } else {
    Grow(plane, blanks, scale, itt, flip_x, flip_y, fitted.width / plane.cols(), out);
  }
}

Picture FitOwnColours(const Picture& picture, int32_t size) {
  const int bits = picture.bits_per_pixel();
  const FittedSize fitted = FitSize(picture.width(), picture.height(), size);
  Picture out;
  if ((bits != 8 && bits != 24) || fitted.width == 0) {
    out.Reset(1, 1, 24);
    out.FillZero();
    return out;
  }
  out.Reset(fitted.width, fitted.height, 24);
  const std::vector<int32_t> col_starts = BoxStarts(picture.width(), fitted.width);
  const std::vector<int32_t> row_starts = BoxStarts(picture.height(), fitted.height);
  const bool shrinking = fitted.width < picture.width() || fitted.height < picture.height();
  std::vector<std::array<uint64_t, 3>> sums(static_cast<std::size_t>(fitted.width));
  for (int32_t y = 0; y < fitted.height; ++y) {
    uint8_t* dst = out.Row(y);
    if (!shrinking) {
      const int32_t factor = fitted.height / picture.height();
      const uint8_t* src = picture.Row(y / factor);
      for (int32_t x = 0; x < fitted.width; ++x) PutColour(dst, x, ColourAt(picture, src, x / factor));
      continue;
    }
    std::fill(sums.begin(), sums.end(), std::array<uint64_t, 3>{});
    const int32_t r0 = row_starts[static_cast<std::size_t>(y)];
    const int32_t r1 = row_starts[static_cast<std::size_t>(y) + 1];
    for (int32_t r = r0; r < r1; ++r) {
      const uint8_t* src = picture.Row(r);
      for (int32_t x = 0; x < fitted.width; ++x) {
        auto& sum = sums[static_cast<std::size_t>(x)];
        for (int32_t c = col_starts[static_cast<std::size_t>(x)];
             c < col_starts[static_cast<std::size_t>(x) + 1]; ++c) {
          const Rgb colour = ColourAt(picture, src, c);
          sum[0] += colour.r;
          sum[1] += colour.g;
          sum[2] += colour.b;
        }
      }
    }
    for (int32_t x = 0; x < fitted.width; ++x) {
      const uint64_t count = static_cast<uint64_t>(r1 - r0) *
                             static_cast<uint64_t>(col_starts[static_cast<std::size_t>(x) + 1] -
                                                   col_starts[static_cast<std::size_t>(x)]);
      const auto& sum = sums[static_cast<std::size_t>(x)];
      const auto mean = [&](int k) { return static_cast<uint8_t>((2 * sum[k] + count) / (2 * count)); };
      PutColour(dst, x, Rgb{mean(0), mean(1), mean(2)});
    }
  }
  return out;
}

template void RenderFitted(const Plane<uint8_t>&, const BlankMask&, const DisplayScale&,
                           const std::array<uint8_t, 256>&, bool, bool, int32_t, Picture&);
template void RenderFitted(const Plane<int16_t>&, const BlankMask&, const DisplayScale&,
                           const std::array<uint8_t, 256>&, bool, bool, int32_t, Picture&);
template void RenderFitted(const Plane<int32_t>&, const BlankMask&, const DisplayScale&,
                           const std::array<uint8_t, 256>&, bool, bool, int32_t, Picture&);
template void RenderFitted(const Plane<float>&, const BlankMask&, const DisplayScale&,
                           const std::array<uint8_t, 256>&, bool, bool, int32_t, Picture&);
template void RenderFitted(const Plane<double>&, const BlankMask&, const DisplayScale&,
                           const std::array<uint8_t, 256>&, bool, bool, int32_t, Picture&);

}  // namespace kivrel
