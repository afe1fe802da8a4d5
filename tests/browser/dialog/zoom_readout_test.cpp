// The preview's mouse handling through the dialog: zoom by rectangle, "Zoom 1:1", "Zoom prec."
// and the readout under the pointer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"

namespace kivrel::test {
namespace {

ShiftState LeftOnly() {
  ShiftState s;
  s.left = true;
  return s;
}

struct Window {
  int32_t x1, x2, y1, y2;
  friend bool operator==(const Window&, const Window&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Window& w) {
    return os << "[" << w.x1 << ".." << w.x2 << ") x [" << w.y1 << ".." << w.y2 << ")";
  }
};

Window Current(const BrowserController& b) {
  const ZoomWindow& z = b.view.zoom;
  return {z.ZoomX1, z.ZoomX2, z.ZoomY1, z.ZoomY2};
}
Window Previous(const BrowserController& b) {
  const ZoomWindow& z = b.view.previous_zoom;
  return {z.ZoomX1, z.ZoomX2, z.ZoomY1, z.ZoomY2};
}

// A whole 480 x 480 plane on a 240 x 240 preview.
class ZoomTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserController> b = NewDialog(dir.path());
  void SetUp() override {
    std::vector<uint8_t> values(480 * 480);
    for (std::size_t i = 0; i < values.size(); ++i)
      values[i] = static_cast<uint8_t>(i % 251);
    PutPlane(*b, kSample8, 480, 480, values);
    b->RefreshDisplay();
    ASSERT_EQ(b->view_controls.preview.width, 240);
    ASSERT_EQ(b->view_controls.preview.height, 240);
  }
  void Drag(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    b->PreviewMouseDown(MouseButton::kLeft, LeftOnly(), x1, y1);
    b->PreviewMouseMove(LeftOnly(), x2, y2);
  }
  void Click(int32_t x, int32_t y) { b->PreviewMouseDown(MouseButton::kLeft, LeftOnly(), x, y); }
};

TEST_F(ZoomTest, RectangleThenClickInsideZooms) {
  Drag(10, 20, 110, 80);
  EXPECT_TRUE(b->view.band.Dragging);
  EXPECT_EQ(b->view.band.DragX2, 110);
  EXPECT_EQ(b->view.band.DragY2, 80);
  Click(50, 50);
  EXPECT_EQ(Current(*b), (Window{20, 220, 40, 160}));
  EXPECT_EQ(b->view.zoom.ZoomWidth(), 200);
  EXPECT_EQ(b->view.zoom.ZoomHeight(), 120);
  EXPECT_EQ(Previous(*b), (Window{0, 480, 0, 480}));
  EXPECT_FALSE(b->view.band.Dragging);
  EXPECT_EQ(b->view.band.DragX1, 50);
  EXPECT_EQ(b->view.band.DragY1, 50);
  EXPECT_EQ(b->preview_picture.width(), 200);
  EXPECT_EQ(b->preview_picture.height(), 120);
  EXPECT_EQ(b->view_controls.preview.width, 400);
  EXPECT_EQ(b->texts.status_line.caption, "plane.fits  200x120  8 bits");
  b->RestorePreviousZoom();
  EXPECT_EQ(Current(*b), (Window{0, 480, 0, 480}));
}

TEST_F(ZoomTest, BordersOfTheRectangleCountAsInside) {
  Drag(10, 20, 110, 80);
  Click(110, 20);
  EXPECT_EQ(Current(*b), (Window{20, 220, 40, 160}));
}

TEST_F(ZoomTest, ClickOutsideOnlyMovesTheAnchor) {
  Drag(10, 20, 110, 80);
  Click(200, 200);
  EXPECT_EQ(Current(*b), (Window{0, 480, 0, 480}));
  EXPECT_FALSE(b->view.band.Dragging);
  EXPECT_EQ(b->view.band.DragX1, 200);
  EXPECT_EQ(b->view.band.DragY1, 200);
}

// A band dragged from any corner to the opposite one zooms the rectangle it covers.
TEST_F(ZoomTest, RectangleDraggedInAnyDirectionZoomsWhatItCovers) {
  const struct {
    int x1, y1, x2, y2;
  } drags[] = {{10, 20, 110, 80}, {110, 80, 10, 20}, {110, 20, 10, 80}, {10, 80, 110, 20}};
  for (const auto& d : drags) {
    b->ZoomToWholeImage();
    Drag(d.x1, d.y1, d.x2, d.y2);
    Click(50, 50);
    EXPECT_EQ(Current(*b), (Window{20, 220, 40, 160}))
        << d.x1 << "," << d.y1 << " -> " << d.x2 << "," << d.y2;
  }
}

TEST_F(ZoomTest, RightButtonAndShiftDragDoNothing) {
  Drag(10, 20, 110, 80);
  b->PreviewMouseDown(MouseButton::kRight, ShiftState{}, 50, 50);
  EXPECT_TRUE(b->view.band.Dragging);
  EXPECT_EQ(b->view.band.DragX1, 10);
  ShiftState shift_left = LeftOnly();
  shift_left.shift = true;
  b->PreviewMouseMove(shift_left, 150, 150);
  EXPECT_EQ(b->view.band.DragX2, 110);
  EXPECT_EQ(b->view.band.DragY2, 80);
  // The readout followed all the same: preview (150, 150) is sample (300, 300).
  EXPECT_EQ(b->texts.readout.caption,
            "X:   300   Y:   300   I: " + std::to_string((300 * 480 + 300) % 251));
}

TEST_F(ZoomTest, ZoomFullThenPrevious) {
  Drag(10, 20, 110, 80);
  Click(50, 50);  // 20..220 x 40..160, a 400 x 240 preview
  ASSERT_EQ(b->view_controls.preview.width, 400);
  Drag(0 + 1, 0 + 1, 200, 120);
  Click(100, 60);
  const Window second = Current(*b);
  EXPECT_EQ(Previous(*b), (Window{20, 220, 40, 160}));
  EXPECT_NE(second, (Window{20, 220, 40, 160}));
  b->ZoomToWholeImage();
  EXPECT_EQ(Current(*b), (Window{0, 480, 0, 480}));
  EXPECT_EQ(Previous(*b), (Window{20, 220, 40, 160}));
  b->RestorePreviousZoom();
  EXPECT_EQ(Current(*b), (Window{20, 220, 40, 160}));
  b->RestorePreviousZoom();
  EXPECT_EQ(Current(*b), (Window{20, 220, 40, 160}));
}

TEST(ZoomThin, ARectangleTooThinForASampleZoomsNothing) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  PutPlane(*b, kSample8, 4, 4, std::vector<uint8_t>(16, 3));
  b->RefreshDisplay();  // 60 preview pixels per sample
  b->PreviewMouseDown(MouseButton::kLeft, LeftOnly(), 10, 10);
  b->PreviewMouseMove(LeftOnly(), 20, 200);
  b->PreviewMouseDown(MouseButton::kLeft, LeftOnly(), 15, 100);
  EXPECT_EQ(Current(*b), (Window{0, 4, 0, 4}));
  EXPECT_EQ(Previous(*b), (Window{0, 4, 0, 4}));
  EXPECT_EQ(b->preview_picture.width(), 4);
  EXPECT_FALSE(b->view.band.Dragging);
  EXPECT_EQ(b->view.band.DragX1, 15);
}

TEST(ZoomBeforeLoad, MouseAndZoomButtonsDoNothing) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  b->PreviewMouseDown(MouseButton::kLeft, LeftOnly(), 10, 10);
  b->PreviewMouseMove(LeftOnly(), 20, 20);
  b->ZoomToWholeImage();
  b->RestorePreviousZoom();
  EXPECT_EQ(b->view.band.DragX1, 0);
  EXPECT_FALSE(b->view.band.Dragging);
  EXPECT_EQ(b->texts.readout.caption, " ");
  EXPECT_EQ(b->texts.status_line.caption, " ");
}

struct EdgeCase {
  const char* name;
  int32_t x, y;
};

void PrintTo(const EdgeCase& c, std::ostream* os) {
  *os << c.name;
}

class MouseEdgeTest : public ZoomTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(MouseEdgeTest, PointerOnTheEdgeChangesNothing) {
  b->texts.readout.caption = "before";
  Drag(10, 20, 110, 80);
  b->PreviewMouseMove(LeftOnly(), GetParam().x, GetParam().y);
  EXPECT_EQ(b->texts.readout.caption,
            "X:   220   Y:   160   I: " + std::to_string((160 * 480 + 220) % 251));
  EXPECT_EQ(b->view.band.DragX2, 110);
  EXPECT_EQ(b->view.band.DragY2, 80);
}

INSTANTIATE_TEST_SUITE_P(Edges, MouseEdgeTest,
                         ::testing::Values(EdgeCase{"Left", 0, 50}, EdgeCase{"Top", 50, 0},
                                           EdgeCase{"Right", 240, 50}, EdgeCase{"Bottom", 50, 240},
                                           EdgeCase{"Outside", -5, 300}),
                         [](const auto& row) { return std::string(row.param.name); });

// The readout's text for a value at preview (100, 100) of a 2 x 2 float image (sample (1, 1)).
struct ReadoutCase {
  const char* name;
  double value;
  const char* text;
};

void PrintTo(const ReadoutCase& c, std::ostream* os) {
  *os << c.name;
}

class ReadoutTest : public ::testing::TestWithParam<ReadoutCase> {};

TEST_P(ReadoutTest, Format) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  PutPlane(*b, kSampleF64, 2, 2, std::vector<double>{0, 0, 0, 0});
  b->image.plane.Get<double>()->At(1, 1) = GetParam().value;
  b->RefreshDisplay();
  b->PreviewMouseMove(ShiftState{}, 100, 100);
  EXPECT_EQ(b->texts.readout.caption, std::string("X:     1   Y:     1   I: ") + GetParam().text);
  EXPECT_FALSE(b->view.band.Dragging);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReadoutTest,
    ::testing::Values(ReadoutCase{"Small", 1.5e-6, "1.5E-6"}, ReadoutCase{"Large", 2e20, "2E20"},
                      ReadoutCase{"Zero", 0, "0"}, ReadoutCase{"Integer", 100, "100"},
                      ReadoutCase{"Negative", -0.5, "-0.5"},
                      ReadoutCase{"LowestFixed", 0.00001, "0.00001"},
                      ReadoutCase{"BelowFixed", 0.0000099999, "9.9999E-6"},
                      ReadoutCase{"TwelveDigits", 123456789012.4, "123456789012"},
                      ReadoutCase{"ThirteenDigits", 1234567890123.0, "1.23456789012E12"},
                      ReadoutCase{"RoundedTo12", 3.14159265358979, "3.14159265359"},
                      ReadoutCase{"NaN", std::numeric_limits<double>::quiet_NaN(), "NAN"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Readout, PhysicalValueAndFlippedPointer) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  // 16-bit with BZERO 32768 and BSCALE 0.5: stored -32768 reads 32768 - 16384.
  ClickFile(*b, dir, "s.fits",
            FitsImage<int16_t>(16, 2, 2, {-32768, 2, 4, 6},
                               {Card("BSCALE", "0.5"), Card("BZERO", "32768")}));
  ASSERT_TRUE(b->load.ImageLoaded);
  ASSERT_EQ(b->view_controls.preview.width, 240);
  b->PreviewMouseMove(ShiftState{}, 10, 10);
  EXPECT_EQ(b->texts.readout.caption, "X:     0   Y:     0   I: 16384");
  b->ToggleFlipX();
  b->PreviewMouseMove(ShiftState{}, 10, 10);  // mirrored to x = 230: column 2 -> clamped to 1
  EXPECT_EQ(b->texts.readout.caption, "X:     1   Y:     0   I: 32769");
  b->ToggleFlipY();
  b->PreviewMouseMove(ShiftState{}, 10, 10);
  EXPECT_EQ(b->texts.readout.caption, "X:     1   Y:     1   I: 32771");
}

}  // namespace
}  // namespace kivrel::test
