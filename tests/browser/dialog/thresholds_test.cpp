// The threshold controls: the level modes with the edits and bars they set, the bars' change
// handlers with their nudge, typed thresholds and the delayed redraw.
#include <gtest/gtest.h>

#include <string>

#include "browser/dialog/browser_controller.h"
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
  const char* want_min_edit;
  const char* want_max_edit;
};

void PrintTo(const RangeCase& c, std::ostream* os) {
  *os << c.name;
}

class LevelModeTest : public ::testing::TestWithParam<RangeCase> {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserController> b = NewDialog(dir.path());

  void Run(const RangeCase& c) {
    Image& s = b->image;
    s.stats.DataMin = c.data_min;
    s.stats.DataMax = c.data_max;
    s.stats.DataMean = c.mean;
    s.stats.DataSigma = c.sigma;
    s.HeaderMin = c.header_min;
    s.HeaderMax = c.header_max;
    b->thresholds.level_mode.index = c.mode;
    b->SetIntensityRange();
  }
};

TEST_P(LevelModeTest, ThresholdsAndEdits) {
  const RangeCase& c = GetParam();
  Run(c);
  EXPECT_DOUBLE_EQ(b->view.DisplayMin, c.want_min);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, c.want_max);
  EXPECT_EQ(b->thresholds.min_edit.text, c.want_min_edit);
  EXPECT_EQ(b->thresholds.max_edit.text, c.want_max_edit);
  // The program placed the bars: no change handler ran, so no redraw is pending.
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 0u);
  // Once placed, the bars answer the user again.
  EXPECT_TRUE(BarHandlersRun(*b));
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

TEST_F(LevelModeTest, BarsRunFromZeroTo30000WithTheImageSteps) {
  Run({"", 1, 0, 1000, 100, 50, 0, 0, 0, 0, "", ""});
  for (const ScrollBarControl* bar : {&b->thresholds.min_bar, &b->thresholds.max_bar}) {
    EXPECT_EQ(bar->min, 0);
    EXPECT_EQ(bar->max, 30000);
    EXPECT_EQ(bar->page_step, 3000);
    EXPECT_EQ(bar->step, 100);
  }
  EXPECT_EQ(b->view.ScrollRange, 1000);
  EXPECT_DOUBLE_EQ(b->view.ScrollStep, 0.1);
  EXPECT_EQ(b->thresholds.min_bar.position, 10000);
  EXPECT_EQ(b->thresholds.max_bar.position, 20000);
}

TEST_F(LevelModeTest, ThresholdsBeyondTwiceTheRangeSitAtTheTopEnd) {
  // Data 1000..1100: range 100, step 0.01, both thresholds far above 2 x 100.
  Run({"", 1, 1000, 1100, 1050, 10, 0, 0, 0, 0, "", ""});
  EXPECT_EQ(b->view.ScrollRange, 100);
  EXPECT_DOUBLE_EQ(b->view.ScrollStep, 0.01);
  EXPECT_EQ(b->thresholds.min_bar.position, 30000);
  EXPECT_EQ(b->thresholds.max_bar.position, 30000);
  EXPECT_EQ(b->view.DisplayMin, 1000);
  EXPECT_EQ(b->view.DisplayMax, 1100);
  EXPECT_EQ(b->thresholds.min_edit.text, "1000.000");
  EXPECT_EQ(b->thresholds.max_edit.text, "1100.000");
}

// A dialog with a loaded image: data 0..1000 (step 0.1), mode "data", bars at 10000 and 20000.
class BarTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserController> b = NewDialog(dir.path());

  void SetUp() override {
    std::vector<double> values(16, 100.0);
    values[0] = 0;
    values[1] = 1000;
    b->thresholds.level_mode.index = 1;
    PutPlane(*b, kSampleF64, 4, 4, values);
    b->RefreshDisplay();
    ASSERT_EQ(b->thresholds.min_bar.position, 10000);
    ASSERT_EQ(b->thresholds.max_bar.position, 20000);
    // A redraw clears Dragging: it marks whether one happened since.
    b->view.band.Dragging = true;
  }
  bool Redrawn() const { return !b->view.band.Dragging; }
};

TEST_F(BarTest, MovingTheMinimumBarSetsThresholdEditAndRestartsTheTimer) {
  b->MoveMinBar(12345);
  EXPECT_DOUBLE_EQ(b->view.DisplayMin, 234.5);
  EXPECT_EQ(b->thresholds.min_edit.text, "234.5");
  EXPECT_TRUE(b->thresholds.redraw_timer.armed);
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 1u);
  EXPECT_FALSE(Redrawn());
  b->MoveMaxBar(15000);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, 500);
  EXPECT_EQ(b->thresholds.max_edit.text, "500.0");
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 2u);
  EXPECT_FALSE(Redrawn());
  // One second after the last move: one redraw.
  b->RedrawTimerElapsed();
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
  EXPECT_TRUE(Redrawn());
}

TEST_F(BarTest, AnUnchangedPositionRunsNoHandler) {
  b->MoveMinBar(10000);
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 0u);
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
  EXPECT_EQ(b->thresholds.min_edit.text, "0.000");
}

TEST_F(BarTest, PositionsClampToTheBarRange) {
  b->MoveMaxBar(99999);
  EXPECT_EQ(b->thresholds.max_bar.position, 30000);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, 2000);
  b->MoveMinBar(-5);
  EXPECT_EQ(b->thresholds.min_bar.position, 0);
  EXPECT_DOUBLE_EQ(b->view.DisplayMin, -1000);
}

TEST_F(BarTest, MinimumBarOntoMaximumBarEndsOneAbove) {
  b->MoveMinBar(20000);
  EXPECT_EQ(b->thresholds.min_bar.position, 20001);
  EXPECT_EQ(b->thresholds.max_bar.position, 20000);
  EXPECT_DOUBLE_EQ(b->view.DisplayMin, 1000.1);
  EXPECT_EQ(b->view.DisplayMax, 1000);
  EXPECT_EQ(b->thresholds.min_edit.text, "1000.1");
  // The handler ran for the nudged position, then finished its own run.
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 2u);
}

TEST_F(BarTest, MaximumBarOntoMinimumBarEndsOneBelow) {
  b->MoveMaxBar(10000);
  EXPECT_EQ(b->thresholds.max_bar.position, 9999);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, -0.1);
  EXPECT_EQ(b->thresholds.max_edit.text, "-0.1");
  EXPECT_GT(b->view.DisplayMin, b->view.DisplayMax);
}

TEST_F(BarTest, AtTheEndsTheBarsCanMeet) {
  b->MoveMaxBar(30000);
  b->MoveMinBar(30000);
  EXPECT_EQ(b->thresholds.min_bar.position, 30000);
  EXPECT_EQ(b->thresholds.max_bar.position, 30000);
  EXPECT_EQ(b->view.DisplayMin, b->view.DisplayMax);
  b->MoveMinBar(0);
  b->MoveMaxBar(0);
  EXPECT_EQ(b->thresholds.min_bar.position, 0);
  EXPECT_EQ(b->thresholds.max_bar.position, 0);
}

TEST_F(BarTest, LevelModeClickMovesBarsThroughTheirHandlers) {
  b->image.stats.DataMean = 100;
  b->image.stats.DataSigma = 50;
  const uint64_t restarts = b->thresholds.redraw_timer.restarts;
  b->ChooseLevelMode(2);  // "1 sig.": 90 and 190
  EXPECT_EQ(b->thresholds.level_mode.index, 2);
  EXPECT_EQ(b->thresholds.min_bar.position, 10900);
  EXPECT_EQ(b->thresholds.max_bar.position, 11900);
  EXPECT_DOUBLE_EQ(b->view.DisplayMin, 90);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, 190);
  // The handlers wrote one decimal and restarted the timer; the redraw waits for it.
  EXPECT_EQ(b->thresholds.min_edit.text, "90.0");
  EXPECT_EQ(b->thresholds.max_edit.text, "190.0");
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, restarts + 2);
  EXPECT_TRUE(b->thresholds.redraw_timer.armed);
  EXPECT_FALSE(Redrawn());
  b->RedrawTimerElapsed();
  EXPECT_TRUE(Redrawn());
}

TEST_F(BarTest, LevelModeClickKeepsTheExactThresholdOfAnUnmovedBar) {
  b->image.stats.DataMean =
      0.1;  // "70%": 0.03 (bar stays at 10000) and 700.03 (bar moves to 17000)
  b->ChooseLevelMode(4);
  EXPECT_EQ(b->thresholds.min_bar.position, 10000);
  EXPECT_NEAR(b->view.DisplayMin, 0.03, 1e-12);
  EXPECT_NE(b->view.DisplayMin, 0);
  EXPECT_EQ(b->thresholds.min_edit.text, "0.000");
  EXPECT_EQ(b->thresholds.max_bar.position, 17000);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, 700);
  EXPECT_EQ(b->thresholds.max_edit.text, "700.0");
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 1u);
}

TEST_F(BarTest, LevelModeClickWithoutBarMovesRedrawsNothing) {
  b->ChooseLevelMode(1);
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 0u);
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
  EXPECT_FALSE(Redrawn());
}

TEST(LevelModeBeforeLoad, AClickOnlySelectsTheModeForTheNextLoad) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  b->ChooseLevelMode(1);
  EXPECT_EQ(b->thresholds.level_mode.index, 1);
  EXPECT_EQ(b->view.DisplayMin, 0);
  EXPECT_EQ(b->view.DisplayMax, 0);
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, 0u);
  // The next load uses mode "data" (no header range would give the same; give one).
  ClickFile(*b, dir, "a.fits",
            FitsImage<int16_t>(16, 2, 1, {3, 9}, {Card("DATAMIN", "0"), Card("DATAMAX", "50")}));
  ASSERT_TRUE(b->load.ImageLoaded);
  EXPECT_EQ(b->view.DisplayMin, 3);
  EXPECT_EQ(b->view.DisplayMax, 9);
}

TEST_F(BarTest, TypedThresholdsApplyAtOnceAndKeepTheirText) {
  b->thresholds.min_edit.text = " 12.5 ";
  b->thresholds.max_edit.text = "2.5E2";
  const uint64_t restarts = b->thresholds.redraw_timer.restarts;
  b->ThresholdEditKeyPress('\r');
  EXPECT_EQ(b->view.DisplayMin, 12.5);
  EXPECT_EQ(b->view.DisplayMax, 250);
  EXPECT_EQ(b->thresholds.min_bar.position, 10125);
  EXPECT_EQ(b->thresholds.max_bar.position, 12500);
  EXPECT_EQ(b->thresholds.min_edit.text, " 12.5 ");
  EXPECT_EQ(b->thresholds.max_edit.text, "2.5E2");
  EXPECT_TRUE(Redrawn());
  EXPECT_EQ(b->thresholds.redraw_timer.restarts, restarts);
  EXPECT_TRUE(BarHandlersRun(*b));
}

TEST_F(BarTest, ThresholdsBeyondAnyBarPositionClampToTheEnds) {
  // Far more than 2^31 steps from 0: the positions clamp, the thresholds stay exact.
  b->thresholds.min_edit.text = "-1e300";
  b->thresholds.max_edit.text = "1E300";
  b->ThresholdEditKeyPress('\r');
  EXPECT_EQ(b->thresholds.min_bar.position, 0);
  EXPECT_EQ(b->thresholds.max_bar.position, 30000);
  EXPECT_EQ(b->view.DisplayMin, -1e300);
  EXPECT_EQ(b->view.DisplayMax, 1e300);
}

TEST_F(BarTest, OtherKeysDoNothing) {
  b->thresholds.min_edit.text = "12";
  b->ThresholdEditKeyPress('1');
  EXPECT_EQ(b->view.DisplayMin, 0);
  EXPECT_FALSE(Redrawn());
}

TEST_F(BarTest, AnInvalidMaximumKeepsTheNewMinimumOnly) {
  b->thresholds.min_edit.text = "40";
  b->thresholds.max_edit.text = "abc";
  try {
    b->ThresholdEditKeyPress('\r');
    FAIL() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid floating point value");
  }
  EXPECT_EQ(b->view.DisplayMin, 40);
  EXPECT_EQ(b->thresholds.min_bar.position, 10400);
  EXPECT_EQ(b->view.DisplayMax, 1000);
  EXPECT_EQ(b->thresholds.max_bar.position, 20000);
  EXPECT_FALSE(Redrawn());
  // The bars keep working afterwards: their handlers run again.
  b->MoveMaxBar(15000);
  EXPECT_DOUBLE_EQ(b->view.DisplayMax, 500);
}

TEST(BarsBeforeLoad, KeepTheirDesignValuesAndAreDisabled) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  for (const ScrollBarControl* bar : {&b->thresholds.min_bar, &b->thresholds.max_bar}) {
    EXPECT_EQ(bar->min, -32767);
    EXPECT_EQ(bar->max, 32767);
    EXPECT_EQ(bar->page_step, 500);
    EXPECT_EQ(bar->step, 10);
    EXPECT_FALSE(bar->enabled);
  }
  EXPECT_FALSE(b->thresholds.min_edit.enabled);
  EXPECT_TRUE(b->thresholds.level_mode.enabled);
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
}

TEST_F(BarTest, NoModeSelectedLeavesTheBarsWhereTheyAre) {
  b->MoveMinBar(12000);
  b->MoveMaxBar(18000);
  b->thresholds.level_mode.index = -1;
  b->image.HeaderMin = 0;
  b->image.HeaderMax = 0;
  b->SetIntensityRange();
  EXPECT_EQ(b->thresholds.min_bar.position, 12000);
  EXPECT_EQ(b->thresholds.max_bar.position, 18000);
  EXPECT_EQ(b->view.DisplayMin, 0);
  EXPECT_EQ(b->view.DisplayMax, 1000);
  EXPECT_EQ(b->thresholds.min_edit.text, "0.000");
  EXPECT_EQ(b->thresholds.max_edit.text, "1000.000");
}

TEST(TypedThresholdsBeforeLoad, EnterDoesNothing) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  b->thresholds.min_edit.text = "1";
  b->thresholds.max_edit.text = "2";
  b->ThresholdEditKeyPress('\r');
  EXPECT_EQ(b->view.DisplayMin, 0);
  EXPECT_EQ(b->view.DisplayMax, 0);
}

TEST(TimerBeforeLoad, FiringOnlyStopsTheTimer) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  b->thresholds.redraw_timer.armed = true;
  b->RedrawTimerElapsed();
  EXPECT_FALSE(b->thresholds.redraw_timer.armed);
  EXPECT_EQ(b->texts.status_line.caption, " ");
}

}  // namespace
}  // namespace kivrel::test
