#include "browser/display/filter_table.h"

namespace kivrel {

const std::array<FilterSpec, kFilterCount>& FilterTable() {
  static const std::array<FilterSpec, kFilterCount> table = {{
      {"None", 0, {}, 1},
      {"LowPass 1", 3, {1, 1, 1, 1, 4, 1, 1, 1, 1}, 12},
      {"LowPass 2", 3, {1, 1, 1, 1, 1, 1, 1, 1, 1}, 9},
      {"LowPass 3",
       5,
       {0, 0, 1, 0, 0, 0, 1, 2, 1, 0, 1, 2, 5, 2, 1, 0, 1, 2, 1, 0, 0, 0, 1, 0, 0},
       21},
      {"LowPass 4",
       5,
       {0, 1, 1, 1, 0, 1, 1, 2, 1, 1, 1, 2, 4, 2, 1, 1, 1, 2, 1, 1, 0, 1, 1, 1, 0},
       28},
      {"LowPass 5",
       5,
       {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
       25},
      {"Gauss",
       5,
       {0,  0.6, 1.7, 0.6, 0,  0.6, 13,  36, 13,  0.6, 1.7, 36, 100,
        36, 1.7, 0.6, 13,  36, 13,  0.6, 0,  0.6, 1.7, 0.6, 0},
       307.6},
      {"Focus 1", 3, {0, -1, 0, -1, 7, -1, 0, -1, 0}, 3},
      {"Focus 2", 3, {0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},
      {"Focus 3", 3, {-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},
      {"Edge", 3, {-1, -1, -1, -1, 8, -1, -1, -1, -1}, 1},
      {"Gradient 1", 3, {1, -1, -1, 1, -2, -1, 1, 1, 1}, 1},
      {"Gradient 2", 3, {-1, -1, 1, -1, -2, 1, 1, 1, 1}, 1},
      {"Gradient 3", 3, {-1, -1, -1, 1, 1, 1, 0, 0, 0}, 1},
      {"Gradient 4", 3, {0, 1, -1, 0, 1, -1, 0, 1, -1}, 1},
  }};
  return table;
}

const FilterSpec& IdentityFilter() {
  static const FilterSpec identity = {"", 3, {0, 0, 0, 0, 1, 0, 0, 0, 0}, 1};
  return identity;
}

}  // namespace kivrel
