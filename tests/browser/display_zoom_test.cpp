// Zoom by rectangle, "Zoom 1:1", "Zoom prec." and the pixel readout under the mouse.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "browser/dialog/browser_logic.h"
#include "display_fixture.h"

namespace kivrel::test {
namespace {

ShiftState LeftOnly() {
  ShiftState s;
  s.Left = true;
  return s;
}

struct Window {
  int32_t x1, x2, y1, y2;
  friend bool operator==(const Window&, const Window&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Window& w) {
    return os << "[" << w.x1 << ".." << w.x2 << ") x [" << w.y1 << ".." << w.y2 << ")";
  }
};

Window Current(const ImageStore& s) {
  return {s.ZoomX1, s.ZoomX2, s.ZoomY1, s.ZoomY2};
}
Window Previous(const ImageStore& s) {
  return {s.PrevZoomX1, s.PrevZoomX2, s.PrevZoomY1, s.PrevZoomY2};
}

// A whole 480 x 480 plane on a 240 x 240 preview.
class ZoomTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserLogic> b = NewLogic(dir.path());
  void SetUp() override {
    std::vector<uint8_t> values(480 * 480);
    for (std::size_t i = 0; i < values.size(); ++i)
      values[i] = static_cast<uint8_t>(i % 251);
    PutPlane(*b, b->Store.Imai8, kSample8, 480, 480, values);
    b->RefreshDisplay();
    ASSERT_EQ(b->Image1.Width, 240);
    ASSERT_EQ(b->Image1.Height, 240);
  }
  void Drag(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    b->Image1MouseDown(MouseButton::Left, LeftOnly(), x1, y1);
    b->Image1MouseMove(LeftOnly(), x2, y2);
  }
  void Click(int32_t x, int32_t y) { b->Image1MouseDown(MouseButton::Left, LeftOnly(), x, y); }
};

TEST_F(ZoomTest, RectangleThenClickInsideZooms) {
  Drag(10, 20, 110, 80);
  EXPECT_TRUE(b->Dragging);
  EXPECT_EQ(b->DragX2, 110);
  EXPECT_EQ(b->DragY2, 80);
  Click(50, 50);
  EXPECT_EQ(Current(b->Store), (Window{20, 220, 40, 160}));
  EXPECT_EQ(b->Store.ZoomWidth, 200);
  EXPECT_EQ(b->Store.ZoomHeight, 120);
  EXPECT_EQ(Previous(b->Store), (Window{0, 480, 0, 480}));
  EXPECT_FALSE(b->Dragging);
  EXPECT_EQ(b->DragX1, 50);
  EXPECT_EQ(b->DragY1, 50);
  EXPECT_EQ(b->ImaBitmap.width(), 200);
  EXPECT_EQ(b->ImaBitmap.height(), 120);
  EXPECT_EQ(b->Image1.Width, 400);
  EXPECT_EQ(b->Label2.Caption, "plane.fits  200x120  8 bits");
  b->SpeedButton5Click();
  EXPECT_EQ(Current(b->Store), (Window{0, 480, 0, 480}));
}

TEST_F(ZoomTest, FlippedRectangleMirrorsItsCorners) {
  b->SpeedButton3Click();
  Drag(10, 20, 110, 80);
  Click(50, 50);
  EXPECT_EQ(Current(b->Store), (Window{260, 460, 40, 160}));
}

TEST_F(ZoomTest, FlippedTopBottomMirrorsTheRows) {
  b->SpeedButton2Click();
  Drag(10, 20, 110, 80);
  Click(50, 50);
  // y corners 240 - 80 = 160 and 240 - 20 = 220.
  EXPECT_EQ(Current(b->Store), (Window{20, 220, 320, 440}));
}

TEST_F(ZoomTest, BordersOfTheRectangleCountAsInside) {
  Drag(10, 20, 110, 80);
  Click(110, 20);
  EXPECT_EQ(Current(b->Store), (Window{20, 220, 40, 160}));
}

TEST_F(ZoomTest, ClickOutsideOnlyMovesTheAnchor) {
  Drag(10, 20, 110, 80);
  Click(200, 200);
  EXPECT_EQ(Current(b->Store), (Window{0, 480, 0, 480}));
  EXPECT_FALSE(b->Dragging);
  EXPECT_EQ(b->DragX1, 200);
  EXPECT_EQ(b->DragY1, 200);
}

TEST_F(ZoomTest, RectangleDraggedUpwardCannotBeZoomed) {
  Drag(110, 80, 10, 20);
  Click(50, 50);
  EXPECT_EQ(Current(b->Store), (Window{0, 480, 0, 480}));
}

TEST_F(ZoomTest, RightButtonAndShiftDragDoNothing) {
  Drag(10, 20, 110, 80);
  b->Image1MouseDown(MouseButton::Right, ShiftState{}, 50, 50);
  EXPECT_TRUE(b->Dragging);
  EXPECT_EQ(b->DragX1, 10);
  ShiftState shift_left = LeftOnly();
  shift_left.Shift = true;
  b->Image1MouseMove(shift_left, 150, 150);
  EXPECT_EQ(b->DragX2, 110);
  EXPECT_EQ(b->DragY2, 80);
  // The readout followed all the same: preview (150, 150) is sample (300, 300).
  EXPECT_EQ(b->Label1.Caption,
            "X:   300   Y:   300   I: " + std::to_string((300 * 480 + 300) % 251));
}

TEST_F(ZoomTest, ZoomFullThenPrevious) {
  Drag(10, 20, 110, 80);
  Click(50, 50);  // 20..220 x 40..160, a 400 x 240 preview
  ASSERT_EQ(b->Image1.Width, 400);
  Drag(0 + 1, 0 + 1, 200, 120);
  Click(100, 60);
  const Window second = Current(b->Store);
  EXPECT_EQ(Previous(b->Store), (Window{20, 220, 40, 160}));
  EXPECT_NE(second, (Window{20, 220, 40, 160}));
  b->SpeedButton4Click();
  EXPECT_EQ(Current(b->Store), (Window{0, 480, 0, 480}));
  EXPECT_EQ(Previous(b->Store), (Window{20, 220, 40, 160}));
  b->SpeedButton5Click();
  EXPECT_EQ(Current(b->Store), (Window{20, 220, 40, 160}));
  b->SpeedButton5Click();
  EXPECT_EQ(Current(b->Store), (Window{20, 220, 40, 160}));
}

TEST(ZoomThin, ARectangleTooThinForASampleZoomsNothing) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imai8, kSample8, 4, 4, std::vector<uint8_t>(16, 3));
  b->RefreshDisplay();  // 60 preview pixels per sample
  b->Image1MouseDown(MouseButton::Left, LeftOnly(), 10, 10);
  b->Image1MouseMove(LeftOnly(), 20, 200);
  b->Image1MouseDown(MouseButton::Left, LeftOnly(), 15, 100);
  EXPECT_EQ(Current(b->Store), (Window{0, 4, 0, 4}));
  EXPECT_EQ(Previous(b->Store), (Window{0, 4, 0, 4}));
  EXPECT_EQ(b->ImaBitmap.width(), 4);
  EXPECT_FALSE(b->Dragging);
  EXPECT_EQ(b->DragX1, 15);
}

TEST(ZoomBeforeLoad, MouseAndZoomButtonsDoNothing) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  b->Image1MouseDown(MouseButton::Left, LeftOnly(), 10, 10);
  b->Image1MouseMove(LeftOnly(), 20, 20);
  b->SpeedButton4Click();
  b->SpeedButton5Click();
  EXPECT_EQ(b->DragX1, 0);
  EXPECT_FALSE(b->Dragging);
  EXPECT_EQ(b->Label1.Caption, " ");
  EXPECT_EQ(b->Label2.Caption, " ");
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
  b->Label1.Caption = "before";
  Drag(10, 20, 110, 80);
  b->Image1MouseMove(LeftOnly(), GetParam().x, GetParam().y);
  EXPECT_EQ(b->Label1.Caption,
            "X:   220   Y:   160   I: " + std::to_string((160 * 480 + 220) % 251));
  EXPECT_EQ(b->DragX2, 110);
  EXPECT_EQ(b->DragY2, 80);
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
  auto b = NewLogic(dir.path());
  PutPlane(*b, b->Store.Imar64, kSampleF64, 2, 2, std::vector<double>{0, 0, 0, 0});
  b->Store.Imar64.At(1, 1) = GetParam().value;
  b->RefreshDisplay();
  b->Image1MouseMove(ShiftState{}, 100, 100);
  EXPECT_EQ(b->Label1.Caption, std::string("X:     1   Y:     1   I: ") + GetParam().text);
  EXPECT_FALSE(b->Dragging);
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
  auto b = NewLogic(dir.path());
  // 16-bit with BZERO 32768 and BSCALE 0.5: stored -32768 reads 32768 - 16384.
  ClickFile(*b, dir, "s.fits",
            FitsImage<int16_t>(16, 2, 2, {-32768, 2, 4, 6},
                               {Card("BSCALE", "0.5"), Card("BZERO", "32768")}));
  ASSERT_TRUE(b->Store.ImageLoaded);
  ASSERT_EQ(b->Image1.Width, 240);
  b->Image1MouseMove(ShiftState{}, 10, 10);
  EXPECT_EQ(b->Label1.Caption, "X:     0   Y:     0   I: 16384");
  b->SpeedButton3Click();
  b->Image1MouseMove(ShiftState{}, 10, 10);  // mirrored to x = 230: column 2 -> clamped to 1
  EXPECT_EQ(b->Label1.Caption, "X:     1   Y:     0   I: 32769");
  b->SpeedButton2Click();
  b->Image1MouseMove(ShiftState{}, 10, 10);
  EXPECT_EQ(b->Label1.Caption, "X:     1   Y:     1   I: 32771");
}

TEST(Readout, RowAndColumnScaleWithTheWindowAndItsOrigin) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  std::vector<int32_t> values(4000 * 10);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<int32_t>(i);
  PutPlane(*b, b->Store.Imai32, kSample32, 4000, 10, values);
  b->Store.ZoomX1 = 3000;
  b->Store.ZoomX2 = 3010;
  b->Store.ZoomWidth = 10;
  b->Store.ZoomY1 = 2;
  b->Store.ZoomY2 = 7;
  b->Store.ZoomHeight = 5;
  b->RefreshDisplay();
  ASSERT_EQ(b->Image1.Width, 480);
  // Column: 238 / 240 x 5 + 3000 = 3004.96 -> 3005; row: 120 / 480 x 10 + 2 = 4.5 -> 4 (even).
  b->Image1MouseMove(ShiftState{}, 238, 120);
  EXPECT_EQ(b->Label1.Caption, "X:  3005   Y:     4   I: " + std::to_string(4 * 4000 + 3005));
}

}  // namespace
}  // namespace kivrel::test
