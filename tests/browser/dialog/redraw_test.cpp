// The redraw through the dialog: the default transfer table, the flip buttons and the sky
// orientation, the preview width, the status line and the colour bar.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "display_fixture.h"

namespace kivrel::test {
namespace {

TEST(RenderTransfer, PixelsArePaletteIndicesThroughTheTransferTable) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  PutPlane(*b, kSample8, 3, 1, std::vector<uint8_t>{0, 1, 255});
  b->view.DisplayMin = 0;
  b->view.DisplayMax = 255;
  b->RefreshDisplay();
  // The default transfer table shows level 0 as palette entry 1.
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{1, 1, 255}));
  for (int k = 0; k < 256; ++k)
    b->IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(255 - k);
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{255, 254, 0}));
}

// A sample type with no plane behind it (a picture's own bit depth) draws nothing.
TEST(RenderUnknownType, AnImageWithoutAPlaneLeavesTheBitmapBlank) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  PutPlane(*b, kSample8, 2, 2, std::vector<uint8_t>{9, 9, 9, 9});
  b->image.plane.Clear();
  b->image.SampleType = 24;
  b->RefreshDisplay();
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(b->texts.status_line.caption, "plane.fits  2x2  24 bits");
}

// A 3 x 2 image with distinct samples, levels equal to the samples.
class FlipTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<BrowserController> b = NewDialog(dir.path());
  void SetUp() override {
    PutPlane(*b, kSample8, 3, 2, std::vector<uint8_t>{10, 20, 30, 40, 50, 60});
    IdentityItt(*b);
    b->view.DisplayMin = 0;
    b->view.DisplayMax = 255;
    b->RefreshDisplay();
  }
};

TEST_F(FlipTest, Flips) {
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{10, 20, 30, 40, 50, 60}));
  b->ToggleFlipX();
  EXPECT_TRUE(b->view.FlipX);
  EXPECT_TRUE(b->view_controls.flip_x.pressed);
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{30, 20, 10, 60, 50, 40}));
  b->ToggleFlipY();
  EXPECT_TRUE(b->view_controls.flip_y.pressed);
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{60, 50, 40, 30, 20, 10}));
  b->ToggleFlipX();
  EXPECT_FALSE(b->view_controls.flip_x.pressed);
  EXPECT_EQ(Pixels(b->preview_picture), (std::vector<uint8_t>{40, 50, 60, 10, 20, 30}));
  // The flips change only the picture.
  EXPECT_EQ(PlaneOf<uint8_t>(b->image).At(0, 0), 10);
  EXPECT_EQ(b->view.zoom.ZoomX1, 0);
}

TEST_F(FlipTest, SkyOrientationFollowsTheSignsOfCdelt) {
  WorldKeywords& s = b->wcs;
  b->ToggleFlipX();
  b->sky.ProjCode = 'T';
  s.HasCdelt = true;
  s.Cdelt1 = 0.001;
  s.Cdelt2 = -0.001;
  b->OrientAsOnSky();
  EXPECT_TRUE(b->view.FlipX);
  EXPECT_TRUE(b->view.FlipY);
  EXPECT_TRUE(b->view_controls.flip_x.pressed);
  EXPECT_TRUE(b->view_controls.flip_y.pressed);
  s.Cdelt1 = -0.001;
  s.Cdelt2 = 0.001;
  b->OrientAsOnSky();
  EXPECT_FALSE(b->view.FlipX);
  EXPECT_FALSE(b->view.FlipY);
  // Without a coordinate system the button only clears the flips.
  b->ToggleFlipX();
  b->sky.ProjCode = '-';
  s.Cdelt1 = 0.001;
  b->OrientAsOnSky();
  EXPECT_FALSE(b->view.FlipX);
  EXPECT_FALSE(b->view_controls.flip_x.pressed);
}

TEST(FlipBeforeLoad, SkyOrientationStillClearsTheFlips) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  b->ToggleFlipX();
  b->ToggleFlipY();
  EXPECT_TRUE(b->view.FlipX);
  b->OrientAsOnSky();
  EXPECT_FALSE(b->view.FlipX);
  EXPECT_FALSE(b->view.FlipY);
  EXPECT_FALSE(b->view_controls.flip_x.pressed);
  EXPECT_FALSE(b->view_controls.flip_y.pressed);
}

TEST(RefreshDisplay, WindowSizesShowInTheStatusLineAndThePreview) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  ClickFile(*b, dir, "m31.fit",
            FitsImage<int16_t>(16, 512, 400, std::vector<int16_t>(512 * 400, 7)));
  ASSERT_TRUE(b->load.ImageLoaded);
  EXPECT_EQ(b->texts.status_line.caption, "m31.fit  512x400  16 bits");
  EXPECT_EQ(b->view_controls.preview.width, 307);
  EXPECT_EQ(b->view_controls.preview.height, 240);
  EXPECT_EQ(b->preview_picture.width(), 512);
  EXPECT_EQ(b->preview_picture.height(), 400);
  ClickFile(*b, dir, "tall.fits",
            FitsImage<uint8_t>(8, 100, 1000, std::vector<uint8_t>(100 * 1000, 1)));
  EXPECT_EQ(b->texts.status_line.caption, "tall.fits  100x1000  8 bits");
  EXPECT_EQ(b->view_controls.preview.width, 24);
}

TEST(RefreshDisplay, ColourBarShowsTheTransferTableOverThePalette) {
  TempDir dir;
  auto b = NewDialog(dir.path());
  PutPlane(*b, kSample8, 1, 1, std::vector<uint8_t>{1});
  for (int k = 0; k < 256; ++k)
    b->IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k / 2);
  b->RefreshDisplay();
  ASSERT_EQ(b->colour_bar_picture.width(), 256);
  ASSERT_EQ(b->colour_bar_picture.height(), 1);
  for (int k = 0; k < 256; ++k)
    EXPECT_EQ(b->colour_bar_picture.Row(0)[k], k / 2) << k;
  ASSERT_EQ(b->colour_bar_picture.palette.size(), 256u);
  EXPECT_EQ(b->colour_bar_picture.palette[200], (Rgb{200, 200, 200}));
  EXPECT_EQ(b->preview_picture.palette, b->colour_bar_picture.palette);
}

}  // namespace
}  // namespace kivrel::test
