// The preview and the plane: the preview's width for a window, the window a rubber band
// selects on a mirrored preview, and the sample under the pointer of a zoomed window.
#include "browser/display/zoom.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace kivrel {
namespace {

struct WidthCase {
  int32_t w, h, preview;
};

void PrintTo(const WidthCase& c, std::ostream* os) {
  *os << c.w << "x" << c.h;
}

class PreviewWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(PreviewWidthTest, HeightStays240) {
  const WidthCase& c = GetParam();
  EXPECT_EQ(PreviewWidthFor(c.w, c.h), c.preview);
}

// 512 / 400 x 240 = 307.2; 100 / 1000 x 240 = 24; 1 / 96 x 240 = 2.5 -> 2, 3 / 96 -> 7.5 -> 8.
INSTANTIATE_TEST_SUITE_P(Windows, PreviewWidthTest,
                         ::testing::Values(WidthCase{512, 400, 307}, WidthCase{100, 1000, 24},
                                           WidthCase{320, 240, 320}, WidthCase{4000, 300, 3200},
                                           WidthCase{1, 96, 2}, WidthCase{3, 96, 8},
                                           WidthCase{1, 4000, 0}),
                         [](const auto& row) {
                           return std::to_string(row.param.w) + "x" + std::to_string(row.param.h);
                         });

// A rectangle dragged from (10, 20) to (110, 80) over a whole 480 x 480 plane shown on a
// 240 x 240 preview: the preview shows the plane mirrored, so are the rectangle's corners.
struct MirrorCase {
  const char* name;
  bool flip_x, flip_y;
  ZoomWindow want;
};

void PrintTo(const MirrorCase& c, std::ostream* os) {
  *os << c.name;
}

class MirroredBandTest : public ::testing::TestWithParam<MirrorCase> {};

TEST_P(MirroredBandTest, SelectsTheMirroredWindow) {
  const MirrorCase& c = GetParam();
  RubberBand band;
  band.DragX1 = 10;
  band.DragY1 = 20;
  band.DragX2 = 110;
  band.DragY2 = 80;
  band.Dragging = true;
  const RubberBand mirrored = MirroredBand(band, 240, 240, c.flip_x, c.flip_y);
  const std::optional<ZoomWindow> zoom =
      ZoomFromBand(mirrored, 240, 240, ZoomWindow::Whole(480, 480), 480, 480);
  ASSERT_TRUE(zoom.has_value());
  EXPECT_EQ(zoom->ZoomX1, c.want.ZoomX1);
  EXPECT_EQ(zoom->ZoomX2, c.want.ZoomX2);
  EXPECT_EQ(zoom->ZoomY1, c.want.ZoomY1);
  EXPECT_EQ(zoom->ZoomY2, c.want.ZoomY2);
}

INSTANTIATE_TEST_SUITE_P(
    Flips, MirroredBandTest,
    ::testing::Values(MirrorCase{"LeftRightMirrorsTheColumns", true, false, {260, 460, 40, 160}},
                      // y corners 240 - 80 = 160 and 240 - 20 = 220.
                      MirrorCase{"TopBottomMirrorsTheRows", false, true, {20, 220, 320, 440}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SampleUnderPointer, RowAndColumnScaleWithTheWindowAndItsOrigin) {
  // Columns 3000..3010 and rows 2..7 of a 4000 x 10 plane: a 480 x 240 preview.
  View view;
  view.zoom = ZoomWindow{3000, 3010, 2, 7};
  const int32_t preview_width = PreviewWidthFor(view.zoom.ZoomWidth(), view.zoom.ZoomHeight());
  ASSERT_EQ(preview_width, 480);
  // Column: 238 / 240 x 5 + 3000 = 3004.96 -> 3005; row: 120 / 480 x 10 + 2 = 4.5 -> 4 (even).
  const SampleIndex at =
      SampleUnderPointer(238, 120, preview_width, kPreviewHeight, view, 4000, 10);
  EXPECT_EQ(at.col, 3005);
  EXPECT_EQ(at.row, 4);
}

}  // namespace
}  // namespace kivrel
