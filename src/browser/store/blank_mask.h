// Which samples of a plane hold no data: NaN floats, and integers equal to the header's BLANK
// value. Blank samples are stored in the plane as 0 (they show as level 0 and read as 0); this
// mask keeps them out of the statistics and the automatic levels.
//
// One bit per sample, [row][column] like the plane, each row padded to whole 64-bit words. A
// mask with no blank sample holds no memory at all, so images without blanks pay nothing.
#pragma once

#include <cstdint>
#include <vector>

namespace kivrel {

class BlankMask {
 public:
  BlankMask() = default;

  // No blank sample, for a plane of rows x cols (memory is taken at the first Set).
  void Reset(int32_t rows, int32_t cols) {
    rows_ = rows < 0 ? 0 : rows;
    cols_ = cols < 0 ? 0 : cols;
    words_per_row_ = (static_cast<std::size_t>(cols_) + 63) / 64;
    bits_.clear();
    bits_.shrink_to_fit();
    count_ = 0;
  }

  // Marks the sample at (row, col) as blank; the position must lie in the plane.
  void Set(int32_t row, int32_t col) {
    if (bits_.empty()) bits_.assign(words_per_row_ * static_cast<std::size_t>(rows_), 0);
    uint64_t& word = bits_[Word(row, col)];
    const uint64_t bit = uint64_t{1} << (col & 63);
    if ((word & bit) == 0) {
      word |= bit;
      ++count_;
    }
  }

  // Marks columns [col_begin, col_end) of `row` (held within the plane).
  void SetSpan(int32_t row, int32_t col_begin, int32_t col_end) {
    col_begin = col_begin < 0 ? 0 : col_begin;
    col_end = col_end > cols_ ? cols_ : col_end;
    for (int32_t c = col_begin; c < col_end; ++c)
      Set(row, c);
  }

  bool IsBlank(int32_t row, int32_t col) const {
    if (bits_.empty() || row < 0 || row >= rows_ || col < 0 || col >= cols_) return false;
    return (bits_[Word(row, col)] >> (col & 63)) & 1;
  }

  // True when no sample is blank.
  bool Empty() const { return count_ == 0; }
  // The number of blank samples.
  int64_t Count() const { return count_; }
  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }

  // The words of one row (bit c of the row is bit c % 64 of word c / 64); null when no sample
  // is blank.
  const uint64_t* RowWords(int32_t row) const {
    return bits_.empty() ? nullptr : bits_.data() + words_per_row_ * static_cast<std::size_t>(row);
  }

 private:
  std::size_t Word(int32_t row, int32_t col) const {
    return words_per_row_ * static_cast<std::size_t>(row) + static_cast<std::size_t>(col) / 64;
  }

  std::vector<uint64_t> bits_;
  std::size_t words_per_row_ = 0;
  int32_t rows_ = 0;
  int32_t cols_ = 0;
  int64_t count_ = 0;
};

}  // namespace kivrel
