// The real-size window's logic without a window: its size from the preview bitmap and the
// screen, the zoom keys and wheel with their captions and sizes, the readout under the pointer,
// closing, and the header mode.
#include "browser/dialog/real_size_controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

std::unique_ptr<BrowserController> MakeDialog() {
  BrowserOptions options;
  options.app_dir = KIVREL_SOURCE_DIR;
  options.load_decoder = false;
  return std::make_unique<BrowserController>(options);
}

// Opens the window in picture mode on a w x h preview picture and shows it.
void OpenOn(RealSizeController& window, BrowserController& dialog, int w, int h,
            int screen_w = 1024, int screen_h = 768) {
  dialog.preview_picture.Reset(w, h, 8);
  dialog.preview_picture.FillZero();
  dialog.texts.status_line.caption =
      "m31.fit  " + std::to_string(w) + "x" + std::to_string(h) + "  16 bits";
  window.OpenPicture(dialog, screen_w, screen_h);
  window.Shown();
}

struct SizeRow {
  const char* name;
  int bitmap_w, bitmap_h, screen_w, screen_h;
  int window_w, window_h;
};

void PrintTo(const SizeRow& row, std::ostream* os) {
  *os << row.name;
}

class RealSizeWindowSize : public ::testing::TestWithParam<SizeRow> {};

TEST_P(RealSizeWindowSize, IsThePicturePlusBordersWithinTheScreen) {
  const SizeRow& row = GetParam();
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, row.bitmap_w, row.bitmap_h, row.screen_w, row.screen_h);
  EXPECT_EQ(window.width, row.window_w);
  EXPECT_EQ(window.height, row.window_h);
  EXPECT_EQ(window.picture_box.width, row.bitmap_w);  // one screen pixel per bitmap pixel
  EXPECT_EQ(window.picture_box.height, row.bitmap_h);
  EXPECT_EQ(window.mode, RealSizeMode::kPicture);
  EXPECT_TRUE(window.picture_box.visible);
  EXPECT_FALSE(window.header_box.visible);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, RealSizeWindowSize,
    ::testing::Values(SizeRow{"Small", 100, 50, 1024, 768, 120, 90},
                      SizeRow{"TallerThanTheScreen", 1000, 800, 1024, 768, 1020, 768},
                      SizeRow{"WiderThanTheScreen", 2000, 100, 1024, 768, 1024, 140},
                      SizeRow{"LargerBothWays", 5000, 5000, 1280, 1024, 1280, 1024},
                      SizeRow{"EmptyDisplayBitmap", 1, 1, 1024, 768, 21, 41}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(RealSizePicture, IsACopyOfThePreviewWithTheStatusLineAsCaption) {
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, 3, 2);
  dialog->preview_picture.Row(0)[0] = 7;  // the dialog redraws later: the window keeps its copy
  EXPECT_EQ(window.picture_box.picture.Row(0)[0], 0);
  EXPECT_EQ(window.caption, "m31.fit  3x2  16 bits");
  EXPECT_EQ(window.base_caption, window.caption);
}

struct KeyRow {
  const char* name;
  const char* keys;    // typed in order; '\x1b' is Esc
  const char* suffix;  // the caption after the base, "" for none
  int level;
  int width, height;  // the picture box's size after the keys, from 101 x 51
};

void PrintTo(const KeyRow& row, std::ostream* os) {
  *os << row.name;
}

class RealSizeKeys : public ::testing::TestWithParam<KeyRow> {};

TEST_P(RealSizeKeys, ZoomByPowersOfTwo) {
  const KeyRow& row = GetParam();
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, 101, 51);
  const std::string base = window.caption;
  for (const char* k = row.keys; *k != '\0'; ++k)
    window.KeyPress(*k);
  EXPECT_EQ(window.caption, base + row.suffix);
  EXPECT_EQ(window.zoom_level, row.level);
  EXPECT_EQ(window.picture_box.width, row.width);
  EXPECT_EQ(window.picture_box.height, row.height);
  if (row.level != 0) {
    EXPECT_FALSE(window.picture_box.auto_size);
    EXPECT_TRUE(window.picture_box.stretch);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, RealSizeKeys,
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

TEST(RealSizeKeysResult, EscAsksToCloseAndZoomKeysZoom) {
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, 10, 10);
  EXPECT_EQ(window.KeyPress(27), RealSizeController::KeyResult::kClose);
  EXPECT_EQ(window.KeyPress('+'), RealSizeController::KeyResult::kZoomed);
  EXPECT_EQ(window.KeyPress('x'), RealSizeController::KeyResult::kNone);
  for (int i = 0; i < 2; ++i)
    window.KeyPress('+');
  EXPECT_EQ(window.KeyPress('+'), RealSizeController::KeyResult::kNone);
}

TEST(RealSizeZoomFactor, IsTheShortestDecimalOfTheLevelsPower) {
  RealSizeController window;
  const char* const expected[] = {"0.125", "0.25", "0.5", "1", "2", "4", "8"};
  for (int level = -3; level <= 3; ++level) {
    window.zoom_level = level;
    EXPECT_EQ(window.ZoomFactorText(), expected[level + 3]) << level;
  }
}

TEST(RealSizeScroll, PositionsFollowTheZoom) {
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, 2000, 2000);
  window.scroll_x = 301;
  window.scroll_y = 40;
  window.KeyPress('+');
  EXPECT_EQ(window.scroll_x, 602);
  EXPECT_EQ(window.scroll_y, 80);
  window.KeyPress('-');
  window.KeyPress('-');
  EXPECT_EQ(window.scroll_x, 150);  // 301 -> 602 -> 301 -> 150
  EXPECT_EQ(window.scroll_y, 20);
}

TEST(RealSizeClose, NextOpeningStartsAtItsOwnSizeAndBaseCaption) {
  const auto dialog = MakeDialog();
  RealSizeController window;
  OpenOn(window, *dialog, 101, 51);
  window.KeyPress('+');
  window.KeyPress('+');
  window.Closed();
  EXPECT_EQ(window.mode, RealSizeMode::kClosed);
  EXPECT_EQ(window.zoom_level, 0);
  EXPECT_TRUE(window.picture_box.auto_size);
  EXPECT_FALSE(window.picture_box.stretch);
  EXPECT_EQ(window.picture_box.width, 101);
  EXPECT_EQ(window.picture_box.height, 51);
  OpenOn(window, *dialog, 101, 51);
  EXPECT_EQ(window.caption, "m31.fit  101x51  16 bits");
  window.KeyPress('+');
  EXPECT_EQ(window.caption, "m31.fit  101x51  16 bits  Zoom x2");  // from level 0 again
}

// The wheel zooms as the keys do: a step away from the user is '+', towards the user '-', and
// several steps at once count each.
TEST(RealSizeWheel, StepsZoomAsTheKeysDo) {
  const auto dialog = MakeDialog();
  RealSizeController by_wheel, by_keys;
  OpenOn(by_wheel, *dialog, 101, 51);
  OpenOn(by_keys, *dialog, 101, 51);
  const std::pair<int, const char*> turns[] = {{2, "++"}, {-1, "-"}, {-5, "-----"}, {0, ""},
                                               {9, "+++++++++"}};
  for (const auto& [steps, keys] : turns) {
    const int before = by_wheel.zoom_level;
    const auto result = by_wheel.Wheel(steps);
    for (const char* k = keys; *k != '\0'; ++k)
      by_keys.KeyPress(*k);
    EXPECT_EQ(by_wheel.zoom_level, by_keys.zoom_level) << steps;
    EXPECT_EQ(by_wheel.caption, by_keys.caption) << steps;
    EXPECT_EQ(by_wheel.picture_box.width, by_keys.picture_box.width) << steps;
    EXPECT_EQ(result == RealSizeController::KeyResult::kZoomed, by_wheel.zoom_level != before);
  }
  EXPECT_EQ(by_wheel.zoom_level, RealSizeController::kMaxZoomLevel);
}

// The readout under the pointer names the image sample shown there, whatever the zoom window,
// the flips and the window's own zoom: samples hold 1000 * row + column, so the value alone
// says which one was read.
TEST(RealSizeReadout, NamesTheSampleUnderThePointer) {
  test::TempDir dir;
  const auto dialog = test::NewDialog(dir.path());
  constexpr int32_t kWidth = 40, kHeight = 30;
  std::vector<int32_t> values(kWidth * kHeight);
  for (int32_t r = 0; r < kHeight; ++r) {
    for (int32_t c = 0; c < kWidth; ++c)
      values[static_cast<std::size_t>(r * kWidth + c)] = 1000 * r + c;
  }
  test::PutPlane(*dialog, kSample32, kWidth, kHeight, values);
  dialog->view.zoom = ZoomWindow{5, 25, 3, 18};  // 20 x 15 samples from (5, 3)
  const auto expect_at = [&](RealSizeController& window, int x, int y, int row, int col) {
    window.PointerAt(x, y);
    EXPECT_EQ(window.status_text, dialog->SampleText(row, col)) << x << "," << y;
    EXPECT_NE(window.status_text.find("I: " + std::to_string(1000 * row + col)), std::string::npos)
        << window.status_text;
  };
  for (const bool flip : {false, true}) {
    dialog->view.FlipX = dialog->view.FlipY = flip;
    dialog->RefreshDisplay();
    RealSizeController window;
    window.OpenPicture(*dialog, 1024, 768);
    window.Shown();
    ASSERT_EQ(window.picture_box.width, 20);
    expect_at(window, 0, 0, flip ? 17 : 3, flip ? 24 : 5);
    expect_at(window, 19, 14, flip ? 3 : 17, flip ? 5 : 24);
    window.KeyPress('+');  // each sample now covers 2 x 2 window pixels
    expect_at(window, 3, 1, flip ? 17 : 3, flip ? 23 : 6);
    expect_at(window, 39, 29, flip ? 3 : 17, flip ? 5 : 24);
    for (const auto& [x, y] : {std::pair{-1, 0}, {0, -1}, {40, 0}, {0, 30}}) {
      window.PointerAt(x, y);  // off the picture: nothing to read
      EXPECT_EQ(window.status_text, "") << x << "," << y;
    }
  }
}

class RealSizeHeader : public ::testing::Test {
 protected:
  std::unique_ptr<BrowserController> dialog_ = MakeDialog();
  RealSizeController real_size_;
};

TEST_F(RealSizeHeader, FitsHeaderOpensTheTextWithTheFileAsCaption) {
  const test::TempFile fits("m.fits", test::HeaderBlocks(test::ImageCards(8, 2, 2)));
  ASSERT_TRUE(real_size_.OpenHeader(*dialog_, fits.path()));
  real_size_.Shown();
  EXPECT_EQ(real_size_.mode, RealSizeMode::kHeader);
  EXPECT_EQ(real_size_.caption, fits.path());
  ASSERT_EQ(real_size_.header_box.lines.size(),
            36u);  // the whole first block, blank cards included
  EXPECT_EQ(real_size_.header_box.lines[0].substr(0, 6), "SIMPLE");
  EXPECT_TRUE(real_size_.header_box.visible);
  EXPECT_FALSE(real_size_.picture_box.visible);
  EXPECT_EQ(real_size_.client_width, 605);
  EXPECT_EQ(real_size_.client_height, 380);

  // The keys act here too: the zoom text joins the file name.
  real_size_.KeyPress('+');
  EXPECT_EQ(real_size_.caption, fits.path() + "  Zoom x2");
  real_size_.Closed();
  EXPECT_FALSE(real_size_.header_box.visible);  // handed back as picture mode expects it
  EXPECT_TRUE(real_size_.picture_box.visible);
  EXPECT_EQ(real_size_.zoom_level, 0);
}

TEST_F(RealSizeHeader, OtherFilesOpenNothingAndEmptyTheStatusLine) {
  const test::TempFile jpg("photo.jpg", test::Bytes{0xFF, 0xD8, 0xFF});
  dialog_->texts.status_line.caption = "previous";
  EXPECT_FALSE(real_size_.OpenHeader(*dialog_, jpg.path()));
  EXPECT_EQ(real_size_.mode, RealSizeMode::kClosed);
  EXPECT_EQ(dialog_->texts.status_line.caption, "");
}

TEST_F(RealSizeHeader, UnlistableHeaderShowsItsReason) {
  const test::TempFile fits("nosimple.fit", test::HeaderBlocks({test::Card("BITPIX", "8"), "END"}));
  EXPECT_FALSE(real_size_.OpenHeader(*dialog_, fits.path()));
  EXPECT_EQ(real_size_.mode, RealSizeMode::kClosed);
  EXPECT_EQ(dialog_->texts.status_line.caption, "Mot clé \"SIMPLE = T\" manquant");
}

TEST_F(RealSizeHeader, AFileThatCannotBeOpenedThrowsAndOpensNothing) {
  const std::string missing = std::filesystem::temp_directory_path() / "kivrel_absent_42.fits";
  try {
    real_size_.OpenHeader(*dialog_, missing);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
  }
  EXPECT_EQ(real_size_.mode, RealSizeMode::kClosed);
}

}  // namespace
}  // namespace kivrel
