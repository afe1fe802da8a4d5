// The convolution filters of the filter list, by index: name, mask size, mask and divisor.
// Masks are given row by row from the row above the pixel to the row below it, each row from
// left to right. The engine, the CLI and the window all read this one table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kivrel {

struct FilterSpec {
  std::string_view name;
  int size;                     // 3 or 5; 0 for "None"
  std::array<double, 25> mask;  // size x size coefficients, row-major
  double divisor;
};

inline constexpr int kFilterCount = 15;

// Index 0 is "None" (the restore runs instead); every other index a convolution.
const std::array<FilterSpec, kFilterCount>& FilterTable();

// The mask used when no list entry is selected (index -1 or any other index): identity.
const FilterSpec& IdentityFilter();

}  // namespace kivrel
