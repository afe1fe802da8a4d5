// The ranges the automatic levels start from and the scale of the threshold bars.
#include "browser/display/levels.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kivrel {
namespace {

// The statistics and header range a read leaves, and what the ranges become.
struct RangeCase {
  const char* name;
  double data_min, data_max, header_min, header_max;
  double want_data_max, want_header_min, want_header_max;
  double want_range, want_step;
};

void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << c.name;
}

class AdjustRangesTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(AdjustRangesTest, GivesTheRangesAndTheBarScale) {
  const RangeCase& c = GetParam();
  Image image;
  image.stats.DataMin = c.data_min;
  image.stats.DataMax = c.data_max;
  image.HeaderMin = c.header_min;
  image.HeaderMax = c.header_max;
  const BarScale scale = AdjustRanges(image);
  EXPECT_EQ(image.stats.DataMin, c.data_min);
  EXPECT_EQ(image.stats.DataMax, c.want_data_max);
  EXPECT_EQ(image.HeaderMin, c.want_header_min);
  EXPECT_EQ(image.HeaderMax, c.want_header_max);
  EXPECT_EQ(scale.ScrollRange, c.want_range);
  EXPECT_DOUBLE_EQ(scale.ScrollStep, c.want_step);
}

INSTANTIATE_TEST_SUITE_P(Ranges, AdjustRangesTest,
                         ::testing::Values(
                             // A flat image gets DataMax + 1 before the modes; without a header
                             // range the header range then equals the data range.
                             RangeCase{"FlatImageAddsOneToDataMax", 5, 5, 0, 0, 6, 5, 6, 1, 1e-4},
                             // A header range of one value is stored as 7 to 8.
                             RangeCase{"HeaderOneValueIsSevenToEight", 0, 1000, 7, 7, 1000, 7, 8,
                                       1000, 0.1},
                             RangeCase{"ScrollRangeIsTheWiderOfDataAndHeader", 0, 100, -300, 200,
                                       100, -300, 200, 500, 0.05}),
                         [](const auto& row) { return std::string(row.param.name); });

// Bar position = the threshold in steps, rounded half to even, plus 10000, held on 0..30000.
struct PositionCase {
  const char* name;
  double threshold, step;
  int32_t position;
};

void PrintTo(const PositionCase& c, std::ostream* os) {
  *os << c.name;
}

class BarPositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(BarPositionTest, RoundsHalfToEvenAndClamps) {
  const PositionCase& c = GetParam();
  EXPECT_EQ(BarPositionFor(c.threshold, c.step, 0, kBarMax), c.position);
}

INSTANTIATE_TEST_SUITE_P(Positions, BarPositionTest,
                         ::testing::Values(PositionCase{"HalfDown", 2.5, 1, 10002},
                                           PositionCase{"HalfUp", 3.5, 1, 10004},
                                           PositionCase{"ClampedAtZero", -10500, 1, 0},
                                           PositionCase{"BelowZeroThreshold", -500, 1, 9500}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kivrel
