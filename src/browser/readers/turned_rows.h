// Streaming the samples of a bottom-up image into a plane: the file's first row is the
// picture's bottom row, so file row r lands in plane row height - 1 - r. Rows and columns
// beyond the plane's size (the 4000 x 4000 cap) are decoded and counted but not kept.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/store/plane.h"

namespace kivrel {

inline constexpr std::size_t kReadChunkBytes = 256 * 1024;  // a multiple of every sample size

// Where a run of samples lies in the plane: its row (-1 beyond the plane's rows) and the
// column of its first sample (the run may reach past the plane's columns).
struct RunPlace {
  int64_t row = -1;
  int64_t col = 0;
};

// Reads `height` x `width` samples of `sample_bytes` bytes each from the current position of
// `file`, in large blocks and runs of at most `max_run` samples. For each run,
// decode_run(in, n, out, in_plane, place) decodes n samples from `in` into `out` and counts
// them; `out` is the plane row itself when the whole run lies in the plane (in_plane), else a
// scratch buffer whose kept part is copied into the plane afterwards; `place` says where the
// run's first sample lies in the plane (row -1 for a row beyond the plane's rows). The file ends where a
// read comes back short: a sample cut there keeps its bytes and takes zeros for the rest, the
// plane's samples not yet written become 0, and on_missing(count, place) receives the number
// of samples the file did not hold and where in the plane the first of them lies (row -1 when
// the file ended in a row beyond the plane's rows, so that no row of the plane was read),
// without any per-sample loop.
template <typename T, typename DecodeRun, typename OnMissing>
void ReadTurnedRows(ByteSource& file, Plane<T>& plane, int64_t height, int64_t width,
                    std::size_t sample_bytes, std::size_t max_run, DecodeRun decode_run,
                    OnMissing on_missing) {
  const int64_t cap_cols = plane.cols();
  std::vector<uint8_t> chunk(kReadChunkBytes);
  std::vector<T> scratch(std::min(max_run, kReadChunkBytes / sample_bytes));
  std::size_t pos = 0;
  std::size_t len = 0;
  bool at_end = false;
  for (int64_t r = 0; r < height; ++r) {
    const int64_t d = height - 1 - r;
    T* dst = d < plane.rows() ? plane.Row(static_cast<int32_t>(d)) : nullptr;
    int64_t j = 0;
    while (j < width) {
      if (pos == len) {
        len = at_end ? 0 : file.Read(chunk.data(), chunk.size());
        pos = 0;
        if (len < chunk.size()) at_end = true;
        if (len == 0) {
          // The rest of this row and every later file row (the rows above) are zeros.
          if (dst != nullptr && j < cap_cols) std::fill(dst + j, dst + cap_cols, T{});
          const int64_t rows_left = std::min<int64_t>(d, plane.rows());
          std::fill(plane.data(), plane.data() + rows_left * cap_cols, T{});
          on_missing(static_cast<uint64_t>(width - j) +
                         static_cast<uint64_t>(d) * static_cast<uint64_t>(width),
                     RunPlace{d < plane.rows() ? d : -1, j});
          return;
        }
        const std::size_t padded = (len + sample_bytes - 1) / sample_bytes * sample_bytes;
        std::fill(chunk.data() + len, chunk.data() + padded, uint8_t{0});
        len = padded;
      }
      const auto n = static_cast<std::size_t>(
          std::min<int64_t>({width - j, static_cast<int64_t>((len - pos) / sample_bytes),
                             static_cast<int64_t>(scratch.size())}));
      const bool in_plane = dst != nullptr && j + static_cast<int64_t>(n) <= cap_cols;
      T* out = in_plane ? dst + j : scratch.data();
      decode_run(chunk.data() + pos, n, out, in_plane,
                 RunPlace{dst != nullptr ? d : -1, j});
      if (!in_plane && dst != nullptr && j < cap_cols)
        std::copy(out, out + (cap_cols - j), dst + j);
      pos += n * sample_bytes;
      j += static_cast<int64_t>(n);
    }
  }
}

}  // namespace kivrel
