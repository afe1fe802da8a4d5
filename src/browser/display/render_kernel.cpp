#include "browser/display/render_kernel.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

namespace kivrel {
namespace {

// For 8- and 16-bit planes every possible sample gets its palette index once.
template <typename T>
std::vector<uint8_t> SampleTable(const DisplayScale& scale, const std::array<uint8_t, 256>& itt) {
  constexpr int64_t lo = std::numeric_limits<T>::min();
  constexpr int64_t hi = std::numeric_limits<T>::max();
  std::vector<uint8_t> table(static_cast<std::size_t>(hi - lo + 1));
  for (int64_t v = lo; v <= hi; ++v) {
    table[static_cast<std::size_t>(v - lo)] = itt[scale.LevelOfSample(static_cast<T>(v))];
  }
  return table;
}

template <typename T>
void RenderRow(const T* src, int32_t count, const DisplayScale& scale,
               const std::array<uint8_t, 256>& itt, const uint8_t* table, uint8_t* dst,
               bool reversed) {
  if constexpr (sizeof(T) <= 2 && std::is_integral_v<T>) {
    constexpr int64_t lo = std::numeric_limits<T>::min();
    if (reversed) {
      for (int32_t j = 0; j < count; ++j)
        dst[count - 1 - j] = table[src[j] - lo];
    } else {
      for (int32_t j = 0; j < count; ++j)
        dst[j] = table[src[j] - lo];
    }
  } else {
    (void)table;
    for (int32_t j = 0; j < count; ++j) {
      const uint8_t p = itt[scale.LevelOfSample(src[j])];
      dst[reversed ? count - 1 - j : j] = p;
    }
  }
}

}  // namespace

template <typename T>
void RenderPlane(const Plane<T>& plane, const RenderWindow& w, const DisplayScale& scale,
                 const std::array<uint8_t, 256>& itt, Picture& out) {
  std::vector<uint8_t> table;
  if constexpr (sizeof(T) <= 2 && std::is_integral_v<T>) table = SampleTable<T>(scale, itt);
  // Only the part of the window that lies on the plane is read.
  const int32_t x_begin = std::clamp(w.x1, 0, plane.cols());
  const int32_t x_end = std::clamp(w.x1 + w.width, x_begin, plane.cols());
  const int32_t y_begin = std::clamp(w.y1, 0, plane.rows());
  const int32_t y_end = std::clamp(w.y1 + w.height, y_begin, plane.rows());
  const bool partial =
      x_begin != w.x1 || x_end != w.x1 + w.width || y_begin != w.y1 || y_end != w.y1 + w.height;
  if (partial) out.FillZero();
  for (int32_t i = y_begin; i < y_end; ++i) {
    const int32_t row = w.flip_y ? w.y1 + w.height - 1 - i : i - w.y1;
    uint8_t* dst = out.Row(row);
    const int32_t count = x_end - x_begin;
    // With the flip, plane column j lands in bitmap column x1 + width - 1 - j.
    uint8_t* first = w.flip_x ? dst + (w.x1 + w.width - x_end) : dst + (x_begin - w.x1);
    RenderRow(plane.Row(i) + x_begin, count, scale, itt, table.data(), first, w.flip_x);
  }
}

template void RenderPlane(const Plane<uint8_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<int16_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<int32_t>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<float>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);
template void RenderPlane(const Plane<double>&, const RenderWindow&, const DisplayScale&,
                          const std::array<uint8_t, 256>&, Picture&);

}  // namespace kivrel
