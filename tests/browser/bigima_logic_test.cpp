// The real-size window's logic without a window: its size from the preview bitmap and the
// screen, the zoom keys with their captions and sizes, closing, and the header mode.
#include "browser/dialog/big_ima_logic.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "browser/dialog/browser_logic.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

std::unique_ptr<BrowserLogic> MakeDialog() {
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  return std::make_unique<BrowserLogic>(options);
}

// Opens the window in picture mode on a w x h preview bitmap and shows it.
void OpenOn(BigImaLogic& big, BrowserLogic& dialog, int w, int h, int screen_w = 1024,
            int screen_h = 768) {
  dialog.ImaBitmap.Reset(w, h, 8);
  dialog.ImaBitmap.FillZero();
  dialog.Label2.Caption = "m31.fit  " + std::to_string(w) + "x" + std::to_string(h) + "  16 bits";
  big.OpenPicture(dialog, screen_w, screen_h);
  big.FormShow();
}

struct SizeRow {
  const char* name;
  int bitmap_w, bitmap_h, screen_w, screen_h;
  int window_w, window_h;
};

void PrintTo(const SizeRow& row, std::ostream* os) {
  *os << row.name;
}

class BigImaWindowSize : public ::testing::TestWithParam<SizeRow> {};

TEST_P(BigImaWindowSize, IsThePicturePlusBordersWithinTheScreen) {
  const SizeRow& row = GetParam();
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, row.bitmap_w, row.bitmap_h, row.screen_w, row.screen_h);
  EXPECT_EQ(big.Width, row.window_w);
  EXPECT_EQ(big.Height, row.window_h);
  EXPECT_EQ(big.Image1Width, row.bitmap_w);  // one screen pixel per bitmap pixel
  EXPECT_EQ(big.Image1Height, row.bitmap_h);
  EXPECT_EQ(big.Mode, BigImaMode::Picture);
  EXPECT_TRUE(big.Image1Visible);
  EXPECT_FALSE(big.Memo1Visible);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, BigImaWindowSize,
    ::testing::Values(SizeRow{"Small", 100, 50, 1024, 768, 120, 90},
                      SizeRow{"TallerThanTheScreen", 1000, 800, 1024, 768, 1020, 768},
                      SizeRow{"WiderThanTheScreen", 2000, 100, 1024, 768, 1024, 140},
                      SizeRow{"LargerBothWays", 5000, 5000, 1280, 1024, 1280, 1024},
                      SizeRow{"EmptyDisplayBitmap", 1, 1, 1024, 768, 21, 41}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BigImaPicture, IsACopyOfThePreviewWithTheStatusLineAsCaption) {
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, 3, 2);
  dialog->ImaBitmap.Row(0)[0] = 7;  // the dialog redraws later: the window keeps its copy
  EXPECT_EQ(big.Image1Picture.Row(0)[0], 0);
  EXPECT_EQ(big.Caption, "m31.fit  3x2  16 bits");
  EXPECT_EQ(big.BigBaseCaption, big.Caption);
}

struct KeyRow {
  const char* name;
  const char* keys;    // typed in order; '\x1b' is Esc
  const char* suffix;  // the caption after the base, "" for none
  int level;
  int width, height;  // Image1's size after the keys, from 101 x 51
};

void PrintTo(const KeyRow& row, std::ostream* os) {
  *os << row.name;
}

class BigImaKeys : public ::testing::TestWithParam<KeyRow> {};

TEST_P(BigImaKeys, ZoomByPowersOfTwo) {
  const KeyRow& row = GetParam();
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, 101, 51);
  const std::string base = big.Caption;
  for (const char* k = row.keys; *k != '\0'; ++k)
    big.FormKeyPress(*k);
  EXPECT_EQ(big.Caption, base + row.suffix);
  EXPECT_EQ(big.BigZoomLevel, row.level);
  EXPECT_EQ(big.Image1Width, row.width);
  EXPECT_EQ(big.Image1Height, row.height);
  if (row.level != 0) {
    EXPECT_FALSE(big.AutoSize);
    EXPECT_TRUE(big.Stretch);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, BigImaKeys,
    ::testing::Values(KeyRow{"PlusOnce", "+", "  Zoom x2", 1, 202, 102},
                      KeyRow{"PlusThrice", "+++", "  Zoom x8", 3, 808, 408},
                      KeyRow{"FourthPlusDoesNothing", "++++", "  Zoom x8", 3, 808, 408},
                      KeyRow{"MinusOnce", "-", "  Zoom x0.5", -1, 50, 25},
                      KeyRow{"MinusThrice", "---", "  Zoom x0.125", -3, 12, 6},
                      KeyRow{"FourthMinusDoesNothing", "----", "  Zoom x0.125", -3, 12, 6},
                      // Each step starts from the current size: halving an odd size loses a
                      // pixel that doubling does not give back.
                      KeyRow{"MinusThenPlusLosesAPixel", "-+", "  Zoom x1", 0, 100, 50},
                      KeyRow{"PlusThenMinus", "+-", "  Zoom x1", 0, 101, 51},
                      KeyRow{"OtherKeysDoNothing", "a=*\r", "", 0, 101, 51},
                      KeyRow{"EscChangesNothingHere", "\x1b", "", 0, 101, 51}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BigImaKeysResult, EscAsksToCloseAndZoomKeysZoom) {
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, 10, 10);
  EXPECT_EQ(big.FormKeyPress(27), BigImaLogic::KeyResult::Close);
  EXPECT_EQ(big.FormKeyPress('+'), BigImaLogic::KeyResult::Zoomed);
  EXPECT_EQ(big.FormKeyPress('x'), BigImaLogic::KeyResult::None);
  for (int i = 0; i < 2; ++i)
    big.FormKeyPress('+');
  EXPECT_EQ(big.FormKeyPress('+'), BigImaLogic::KeyResult::None);
}

TEST(BigImaZoomFactor, IsTheShortestDecimalOfTheLevelsPower) {
  BigImaLogic big;
  const char* const expected[] = {"0.125", "0.25", "0.5", "1", "2", "4", "8"};
  for (int level = -3; level <= 3; ++level) {
    big.BigZoomLevel = level;
    EXPECT_EQ(big.ZoomFactorText(), expected[level + 3]) << level;
  }
}

TEST(BigImaScroll, PositionsFollowTheZoom) {
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, 2000, 2000);
  big.HorzScrollPosition = 301;
  big.VertScrollPosition = 40;
  big.FormKeyPress('+');
  EXPECT_EQ(big.HorzScrollPosition, 602);
  EXPECT_EQ(big.VertScrollPosition, 80);
  big.FormKeyPress('-');
  big.FormKeyPress('-');
  EXPECT_EQ(big.HorzScrollPosition, 150);  // 301 -> 602 -> 301 -> 150
  EXPECT_EQ(big.VertScrollPosition, 20);
}

TEST(BigImaClose, NextOpeningStartsAtItsOwnSizeAndBaseCaption) {
  const auto dialog = MakeDialog();
  BigImaLogic big;
  OpenOn(big, *dialog, 101, 51);
  big.FormKeyPress('+');
  big.FormKeyPress('+');
  big.FormClose();
  EXPECT_EQ(big.Mode, BigImaMode::Closed);
  EXPECT_EQ(big.BigZoomLevel, 0);
  EXPECT_TRUE(big.AutoSize);
  EXPECT_FALSE(big.Stretch);
  EXPECT_EQ(big.Image1Width, 101);
  EXPECT_EQ(big.Image1Height, 51);
  OpenOn(big, *dialog, 101, 51);
  EXPECT_EQ(big.Caption, "m31.fit  101x51  16 bits");
  big.FormKeyPress('+');
  EXPECT_EQ(big.Caption, "m31.fit  101x51  16 bits  Zoom x2");  // from level 0 again
}

class BigImaHeader : public ::testing::Test {
 protected:
  std::unique_ptr<BrowserLogic> dialog_ = MakeDialog();
  BigImaLogic big_;
};

TEST_F(BigImaHeader, FitsHeaderOpensTheTextWithTheFileAsCaption) {
  const test::TempFile fits("m.fits", test::HeaderBlocks(test::ImageCards(8, 2, 2)));
  ASSERT_TRUE(big_.OpenHeader(*dialog_, fits.path()));
  big_.FormShow();
  EXPECT_EQ(big_.Mode, BigImaMode::Header);
  EXPECT_EQ(big_.Caption, fits.path());
  ASSERT_EQ(big_.Memo1Lines.size(), 36u);  // the whole first block, blank cards included
  EXPECT_EQ(big_.Memo1Lines[0].substr(0, 6), "SIMPLE");
  EXPECT_TRUE(big_.Memo1Visible);
  EXPECT_FALSE(big_.Image1Visible);
  EXPECT_EQ(big_.ClientWidth, 605);
  EXPECT_EQ(big_.ClientHeight, 380);

  // The keys act here too: the zoom text joins the file name.
  big_.FormKeyPress('+');
  EXPECT_EQ(big_.Caption, fits.path() + "  Zoom x2");
  big_.FormClose();
  EXPECT_FALSE(big_.Memo1Visible);  // handed back as picture mode expects it
  EXPECT_TRUE(big_.Image1Visible);
  EXPECT_EQ(big_.BigZoomLevel, 0);
}

TEST_F(BigImaHeader, OtherFilesOpenNothingAndEmptyTheStatusLine) {
  const test::TempFile jpg("photo.jpg", test::Bytes{0xFF, 0xD8, 0xFF});
  dialog_->Label2.Caption = "previous";
  EXPECT_FALSE(big_.OpenHeader(*dialog_, jpg.path()));
  EXPECT_EQ(big_.Mode, BigImaMode::Closed);
  EXPECT_EQ(dialog_->Label2.Caption, "");
}

TEST_F(BigImaHeader, UnlistableHeaderShowsItsReason) {
  const test::TempFile fits("nosimple.fit", test::HeaderBlocks({test::Card("BITPIX", "8"), "END"}));
  EXPECT_FALSE(big_.OpenHeader(*dialog_, fits.path()));
  EXPECT_EQ(big_.Mode, BigImaMode::Closed);
  EXPECT_EQ(dialog_->Label2.Caption, "Mot clé \"SIMPLE = T\" manquant");
}

TEST_F(BigImaHeader, AFileThatCannotBeOpenedThrowsAndOpensNothing) {
  const std::string missing = std::filesystem::temp_directory_path() / "kivrel_absent_42.fits";
  try {
    big_.OpenHeader(*dialog_, missing);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
  }
  EXPECT_EQ(big_.Mode, BigImaMode::Closed);
}

}  // namespace
}  // namespace kivrel
