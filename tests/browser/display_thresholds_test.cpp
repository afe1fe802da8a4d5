// Display thresholds: the level modes, the bar scale, the edits, the bars' change handlers with
// their nudge, typed thresholds and the delayed redraw.
#include <gtest/gtest.h>

#include <string>

#include "browser/dialog/browser_logic.h"
#include "display_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel::test {
namespace {

// Statistics as a reader leaves them; SetIntensityRange runs on them with `mode` selected.
struct RangeCase {
  const char* name;
  int mode;
  double data_min, data_max, mean, sigma, header_min, header_max;
  double want_min, want_max;
  const char* want_edit1;
  const char* want_edit2;
};

void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << c.name;
}

class LevelModeTest : public ::testing::TestWithParam<RangeCase> {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserLogic> b = NewLogic(dir.path());

  void Run(const RangeCase& c) {
    ImageStore& s = b->Store;
    s.DataMin = c.data_min;
    s.DataMax = c.data_max;
    s.DataMean = c.mean;
    s.DataSigma = c.sigma;
    s.HeaderMin = c.header_min;
    s.HeaderMax = c.header_max;
    b->RadioGroup2.ItemIndex = c.mode;
    b->SetIntensityRange();
  }
};

TEST_P(LevelModeTest, ThresholdsAndEdits) {
  const RangeCase& c = GetParam();
  Run(c);
  EXPECT_DOUBLE_EQ(b->DisplayMin, c.want_min);
  EXPECT_DOUBLE_EQ(b->DisplayMax, c.want_max);
  EXPECT_EQ(b->Edit1.Text, c.want_edit1);
  EXPECT_EQ(b->Edit2.Text, c.want_edit2);
  EXPECT_FALSE(b->ScrollUpdating);
  // The program placed the bars: no change handler ran, so no redraw is pending.
  EXPECT_FALSE(b->Timer1.Enabled);
  EXPECT_EQ(b->Timer1.RestartCount, 0u);
}

// Data 0..1000, mean 100, sigma 50: skew weights a = 0.2, b = 1.8.
INSTANTIATE_TEST_SUITE_P(
    Modes, LevelModeTest,
    ::testing::Values(
        RangeCase{"HeaderRange", 0, 0, 1000, 100, 50, 10, 500, 10, 500, "10.000", "500.000"},
        RangeCase{"NoHeaderRangeUsesData", 0, 0, 1000, 100, 50, 0, 0, 0, 1000, "0.000", "1000.000"},
        RangeCase{"HeaderOneValue", 0, 0, 1000, 100, 50, 7, 7, 7, 8, "7.000", "8.000"},
        RangeCase{"Data", 1, 0, 1000, 100, 50, 0, 0, 0, 1000, "0.000", "1000.000"},
        RangeCase{"OneSigma", 2, 0, 1000, 100, 50, 0, 0, 90, 190, "90.000", "190.000"},
        RangeCase{"TwoSigma", 3, 0, 1000, 100, 50, 0, 0, 80, 280, "80.000", "280.000"},
        RangeCase{"TwoSigmaClipped", 3, 0, 1000, 100, 500, 0, 0, 0, 1000, "0.000", "1000.000"},
        RangeCase{"Seventy", 4, 0, 1000, 100, 50, 0, 0, 30, 730, "30.000", "730.000"},
        RangeCase{"FlatData", 1, 5, 5, 5, 0, 0, 0, 5, 6, "5.000", "6.000"},
        RangeCase{"FlatOneSigmaIsEqual", 2, 5, 5, 5, 0, 0, 0, 5, 5, "5.000", "5.000"},
        RangeCase{"NegativeText", 1, -12.5, -0.04, -3, 1, 0, 0, -12.5, -0.04, "-12.500", "-0.040"},
        RangeCase{"NoModeKeepsHeader", -1, 0, 1000, 100, 50, 10, 500, 10, 500, "10.000",
                  "500.000"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(LevelModeTest, FlatImageAddsOneToDataMaxBeforeTheModes) {
  Run({"", 1, 5, 5, 5, 0, 0, 0, 0, 0, "", ""});
  EXPECT_EQ(b->Store.DataMax, 6);
  // Without a header range the header range now equals the data range.
  EXPECT_EQ(b->Store.HeaderMin, 5);
  EXPECT_EQ(b->Store.HeaderMax, 6);
  EXPECT_EQ(b->ScrollRange, 1);
}

TEST_F(LevelModeTest, HeaderOneValueIsStoredAsSevenToEight) {
  Run({"", 0, 0, 1000, 100, 50, 7, 7, 0, 0, "", ""});
  EXPECT_EQ(b->Store.HeaderMin, 7);
  EXPECT_EQ(b->Store.HeaderMax, 8);
}

TEST_F(LevelModeTest, BarsRunFromZeroTo30000WithTheImageSteps) {
  Run({"", 1, 0, 1000, 100, 50, 0, 0, 0, 0, "", ""});
  for (const ScrollBarControl* bar : {&b->ScrollBar1, &b->ScrollBar2}) {
    EXPECT_EQ(bar->Min, 0);
    EXPECT_EQ(bar->Max, 30000);
    EXPECT_EQ(bar->LargeChange, 3000);
    EXPECT_EQ(bar->SmallChange, 100);
  }
  EXPECT_EQ(b->ScrollRange, 1000);
  EXPECT_DOUBLE_EQ(b->ScrollStep, 0.1);
  EXPECT_EQ(b->ScrollBar1.Position, 10000);
  EXPECT_EQ(b->ScrollBar2.Position, 20000);
}

TEST_F(LevelModeTest, ScrollRangeIsTheWiderOfDataAndHeaderRanges) {
  Run({"", 0, 0, 100, 50, 10, -300, 200, 0, 0, "", ""});
  EXPECT_EQ(b->ScrollRange, 500);
  EXPECT_DOUBLE_EQ(b->ScrollStep, 0.05);
}

TEST_F(LevelModeTest, ThresholdsBeyondTwiceTheRangeSitAtTheTopEnd) {
  // Data 1000..1100: range 100, step 0.01, both thresholds far above 2 x 100.
  Run({"", 1, 1000, 1100, 1050, 10, 0, 0, 0, 0, "", ""});
  EXPECT_EQ(b->ScrollRange, 100);
  EXPECT_DOUBLE_EQ(b->ScrollStep, 0.01);
  EXPECT_EQ(b->ScrollBar1.Position, 30000);
  EXPECT_EQ(b->ScrollBar2.Position, 30000);
  EXPECT_EQ(b->DisplayMin, 1000);
  EXPECT_EQ(b->DisplayMax, 1100);
  EXPECT_EQ(b->Edit1.Text, "1000.000");
  EXPECT_EQ(b->Edit2.Text, "1100.000");
}

TEST_F(LevelModeTest, BarPositionsRoundHalfToEvenAndClampAtZero) {
  // Step 1: 2.5 -> 2 and 3.5 -> 4 (nearest even), -500 -> 9500, -10500 -> clamped to 0.
  Run({"", 0, 0, 10000, 1, 1, 2.5, 3.5, 0, 0, "", ""});
  EXPECT_EQ(b->ScrollBar1.Position, 10002);
  EXPECT_EQ(b->ScrollBar2.Position, 10004);
  Run({"", 0, 0, 10000, 1, 1, -10500, -500, 0, 0, "", ""});
  EXPECT_EQ(b->ScrollBar1.Position, 0);
  EXPECT_EQ(b->ScrollBar2.Position, 9500);
}

// A dialog with a loaded image: data 0..1000 (step 0.1), mode "data", bars at 10000 and 20000.
class BarTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserLogic> b = NewLogic(dir.path());

  void SetUp() override {
    std::vector<double> values(16, 100.0);
    values[0] = 0;
    values[1] = 1000;
    b->RadioGroup2.ItemIndex = 1;
    PutPlane(*b, b->Store.Imar64, kSampleF64, 4, 4, values);
    b->RefreshDisplay();
    ASSERT_EQ(b->ScrollBar1.Position, 10000);
    ASSERT_EQ(b->ScrollBar2.Position, 20000);
    // A redraw clears Dragging: it marks whether one happened since.
    b->Dragging = true;
  }
  bool Redrawn() const { return !b->Dragging; }
};

TEST_F(BarTest, MovingTheMinimumBarSetsThresholdEditAndRestartsTheTimer) {
  b->SetScrollBar1Position(12345);
  EXPECT_DOUBLE_EQ(b->DisplayMin, 234.5);
  EXPECT_EQ(b->Edit1.Text, "234.5");
  EXPECT_TRUE(b->Timer1.Enabled);
  EXPECT_EQ(b->Timer1.RestartCount, 1u);
  EXPECT_FALSE(Redrawn());
  b->SetScrollBar2Position(15000);
  EXPECT_DOUBLE_EQ(b->DisplayMax, 500);
  EXPECT_EQ(b->Edit2.Text, "500.0");
  EXPECT_EQ(b->Timer1.RestartCount, 2u);
  EXPECT_FALSE(Redrawn());
  // One second after the last move: one redraw.
  b->Timer1Timer();
  EXPECT_FALSE(b->Timer1.Enabled);
  EXPECT_TRUE(Redrawn());
}

TEST_F(BarTest, AnUnchangedPositionRunsNoHandler) {
  b->SetScrollBar1Position(10000);
  EXPECT_EQ(b->Timer1.RestartCount, 0u);
  EXPECT_FALSE(b->Timer1.Enabled);
  EXPECT_EQ(b->Edit1.Text, "0.000");
}

TEST_F(BarTest, PositionsClampToTheBarRange) {
  b->SetScrollBar2Position(99999);
  EXPECT_EQ(b->ScrollBar2.Position, 30000);
  EXPECT_DOUBLE_EQ(b->DisplayMax, 2000);
  b->SetScrollBar1Position(-5);
  EXPECT_EQ(b->ScrollBar1.Position, 0);
  EXPECT_DOUBLE_EQ(b->DisplayMin, -1000);
}

TEST_F(BarTest, MinimumBarOntoMaximumBarEndsOneAbove) {
  b->SetScrollBar1Position(20000);
  EXPECT_EQ(b->ScrollBar1.Position, 20001);
  EXPECT_EQ(b->ScrollBar2.Position, 20000);
  EXPECT_DOUBLE_EQ(b->DisplayMin, 1000.1);
  EXPECT_EQ(b->DisplayMax, 1000);
  EXPECT_EQ(b->Edit1.Text, "1000.1");
  // The handler ran for the nudged position, then finished its own run.
  EXPECT_EQ(b->Timer1.RestartCount, 2u);
}

TEST_F(BarTest, MaximumBarOntoMinimumBarEndsOneBelow) {
  b->SetScrollBar2Position(10000);
  EXPECT_EQ(b->ScrollBar2.Position, 9999);
  EXPECT_DOUBLE_EQ(b->DisplayMax, -0.1);
  EXPECT_EQ(b->Edit2.Text, "-0.1");
  EXPECT_GT(b->DisplayMin, b->DisplayMax);
}

TEST_F(BarTest, AtTheEndsTheBarsCanMeet) {
  b->SetScrollBar2Position(30000);
  b->SetScrollBar1Position(30000);
  EXPECT_EQ(b->ScrollBar1.Position, 30000);
  EXPECT_EQ(b->ScrollBar2.Position, 30000);
  EXPECT_EQ(b->DisplayMin, b->DisplayMax);
  b->SetScrollBar1Position(0);
  b->SetScrollBar2Position(0);
  EXPECT_EQ(b->ScrollBar1.Position, 0);
  EXPECT_EQ(b->ScrollBar2.Position, 0);
}

TEST_F(BarTest, LevelModeClickMovesBarsThroughTheirHandlers) {
  ImageStore& s = b->Store;
  s.DataMean = 100;
  s.DataSigma = 50;
  const uint64_t restarts = b->Timer1.RestartCount;
  b->RadioGroup2Click(2);  // "1 sig.": 90 and 190
  EXPECT_EQ(b->RadioGroup2.ItemIndex, 2);
  EXPECT_EQ(b->ScrollBar1.Position, 10900);
  EXPECT_EQ(b->ScrollBar2.Position, 11900);
  EXPECT_DOUBLE_EQ(b->DisplayMin, 90);
  EXPECT_DOUBLE_EQ(b->DisplayMax, 190);
  // The handlers wrote one decimal and restarted the timer; the redraw waits for it.
  EXPECT_EQ(b->Edit1.Text, "90.0");
  EXPECT_EQ(b->Edit2.Text, "190.0");
  EXPECT_EQ(b->Timer1.RestartCount, restarts + 2);
  EXPECT_TRUE(b->Timer1.Enabled);
  EXPECT_FALSE(Redrawn());
  b->Timer1Timer();
  EXPECT_TRUE(Redrawn());
}

TEST_F(BarTest, LevelModeClickKeepsTheExactThresholdOfAnUnmovedBar) {
  ImageStore& s = b->Store;
  s.DataMean = 0.1;  // "70%": 0.03 (bar stays at 10000) and 700.03 (bar moves to 17000)
  b->RadioGroup2Click(4);
  EXPECT_EQ(b->ScrollBar1.Position, 10000);
  EXPECT_NEAR(b->DisplayMin, 0.03, 1e-12);
  EXPECT_NE(b->DisplayMin, 0);
  EXPECT_EQ(b->Edit1.Text, "0.000");
  EXPECT_EQ(b->ScrollBar2.Position, 17000);
  EXPECT_DOUBLE_EQ(b->DisplayMax, 700);
  EXPECT_EQ(b->Edit2.Text, "700.0");
  EXPECT_EQ(b->Timer1.RestartCount, 1u);
}

TEST_F(BarTest, LevelModeClickWithoutBarMovesRedrawsNothing) {
  b->RadioGroup2Click(1);
  EXPECT_EQ(b->Timer1.RestartCount, 0u);
  EXPECT_FALSE(b->Timer1.Enabled);
  EXPECT_FALSE(Redrawn());
}

TEST(LevelModeBeforeLoad, AClickOnlySelectsTheModeForTheNextLoad) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  b->RadioGroup2Click(1);
  EXPECT_EQ(b->RadioGroup2.ItemIndex, 1);
  EXPECT_EQ(b->DisplayMin, 0);
  EXPECT_EQ(b->DisplayMax, 0);
  EXPECT_EQ(b->Timer1.RestartCount, 0u);
  // The next load uses mode "data" (no header range would give the same; give one).
  ClickFile(*b, dir, "a.fits",
            FitsImage<int16_t>(16, 2, 1, {3, 9}, {Card("DATAMIN", "0"), Card("DATAMAX", "50")}));
  ASSERT_TRUE(b->Store.ImageLoaded);
  EXPECT_EQ(b->DisplayMin, 3);
  EXPECT_EQ(b->DisplayMax, 9);
}

TEST_F(BarTest, TypedThresholdsApplyAtOnceAndKeepTheirText) {
  b->Edit1.Text = " 12.5 ";
  b->Edit2.Text = "2.5E2";
  const uint64_t restarts = b->Timer1.RestartCount;
  b->Edit2KeyPress('\r');
  EXPECT_EQ(b->DisplayMin, 12.5);
  EXPECT_EQ(b->DisplayMax, 250);
  EXPECT_EQ(b->ScrollBar1.Position, 10125);
  EXPECT_EQ(b->ScrollBar2.Position, 12500);
  EXPECT_EQ(b->Edit1.Text, " 12.5 ");
  EXPECT_EQ(b->Edit2.Text, "2.5E2");
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(b->Timer1.RestartCount, restarts);
  EXPECT_FALSE(b->ScrollUpdating);
}

TEST_F(BarTest, ThresholdsBeyondAnyBarPositionClampToTheEnds) {
  // Far more than 2^31 steps from 0: the positions clamp, the thresholds stay exact.
  b->Edit1.Text = "-1e300";
  b->Edit2.Text = "1E300";
  b->Edit1KeyPress('\r');
  EXPECT_EQ(b->ScrollBar1.Position, 0);
  EXPECT_EQ(b->ScrollBar2.Position, 30000);
  EXPECT_EQ(b->DisplayMin, -1e300);
  EXPECT_EQ(b->DisplayMax, 1e300);
}

TEST_F(BarTest, OtherKeysDoNothing) {
  b->Edit1.Text = "12";
  b->Edit1KeyPress('1');
  EXPECT_EQ(b->DisplayMin, 0);
  EXPECT_FALSE(Redrawn());
}

TEST_F(BarTest, AnInvalidMaximumKeepsTheNewMinimumOnly) {
  b->Edit1.Text = "40";
  b->Edit2.Text = "abc";
  try {
    b->Edit1KeyPress('\r');
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
  }
  EXPECT_EQ(b->DisplayMin, 40);
  EXPECT_EQ(b->ScrollBar1.Position, 10400);
  EXPECT_EQ(b->DisplayMax, 1000);
  EXPECT_EQ(b->ScrollBar2.Position, 20000);
  EXPECT_FALSE(b->ScrollUpdating);
  EXPECT_FALSE(Redrawn());
  // The bars keep working afterwards.
  b->SetScrollBar2Position(15000);
  EXPECT_DOUBLE_EQ(b->DisplayMax, 500);
}

TEST(BarsBeforeLoad, KeepTheirDesignValuesAndAreDisabled) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  for (const ScrollBarControl* bar : {&b->ScrollBar1, &b->ScrollBar2}) {
    EXPECT_EQ(bar->Min, -32767);
    EXPECT_EQ(bar->Max, 32767);
    EXPECT_EQ(bar->LargeChange, 500);
    EXPECT_EQ(bar->SmallChange, 10);
    EXPECT_FALSE(bar->Enabled);
  }
  EXPECT_FALSE(b->Edit1.Enabled);
  EXPECT_TRUE(b->RadioGroup2.Enabled);
  EXPECT_FALSE(b->Timer1.Enabled);
}

TEST_F(BarTest, NoModeSelectedLeavesTheBarsWhereTheyAre) {
  b->SetScrollBar1Position(12000);
  b->SetScrollBar2Position(18000);
  b->RadioGroup2.ItemIndex = -1;
  b->Store.HeaderMin = 0;
  b->Store.HeaderMax = 0;
  b->SetIntensityRange();
  EXPECT_EQ(b->ScrollBar1.Position, 12000);
  EXPECT_EQ(b->ScrollBar2.Position, 18000);
  EXPECT_EQ(b->DisplayMin, 0);
  EXPECT_EQ(b->DisplayMax, 1000);
  EXPECT_EQ(b->Edit1.Text, "0.000");
  EXPECT_EQ(b->Edit2.Text, "1000.000");
}

TEST(TypedThresholdsBeforeLoad, EnterDoesNothing) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  b->Edit1.Text = "1";
  b->Edit2.Text = "2";
  b->Edit1KeyPress('\r');
  EXPECT_EQ(b->DisplayMin, 0);
  EXPECT_EQ(b->DisplayMax, 0);
}

TEST(TimerBeforeLoad, FiringOnlyStopsTheTimer) {
  TempDir dir;
  auto b = NewLogic(dir.path());
  b->Timer1.Enabled = true;
  b->Timer1Timer();
  EXPECT_FALSE(b->Timer1.Enabled);
  EXPECT_EQ(b->Label2.Caption, " ");
}

}  // namespace
}  // namespace kivrel::test
