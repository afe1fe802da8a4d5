// Test helpers for the dialog's tests: a dialog controller over a temporary folder (with or
// without a palettes/ folder of its own), small FITS files clicked through the file list, an
// image put straight into the controller as a load would leave it, and what the preview shows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "fits_fixture.h"
#include "image_checks.h"
#include "temp_dir.h"

namespace kivrel::test {

// A dialog whose data folder is `app_dir`; no decoder library.
inline std::unique_ptr<BrowserController> NewDialog(const std::string& app_dir) {
  BrowserOptions options;
  options.app_dir = app_dir;
  options.load_decoder = false;
  return std::make_unique<BrowserController>(options);
}

// Makes the transfer table the identity, so that a bitmap pixel is the display level itself.
inline void IdentityItt(BrowserController& b) {
  for (int k = 0; k < 256; ++k)
    b.IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
}

// A FITS image whose samples are given top row first, as the picture shows them (FITS stores
// the bottom row first).
template <typename T>
Bytes FitsImage(int bitpix, int32_t width, int32_t height, const std::vector<T>& top_first,
                const std::vector<std::string>& extra = {}) {
  std::vector<T> file_order;
  for (int32_t r = height - 1; r >= 0; --r) {
    for (int32_t c = 0; c < width; ++c)
      file_order.push_back(top_first[static_cast<std::size_t>(r * width + c)]);
  }
  return FitsFile(ImageCards(bitpix, width, height, extra), BigEndian(file_order));
}

// Writes `bytes` as `name` into `dir` and clicks it in the file list.
inline void ClickFile(BrowserController& b, const TempDir& dir, const std::string& name,
                      const Bytes& bytes) {
  b.ChooseFile(dir.Write(name, bytes));
}

// Puts a plane straight into the image as a load leaves it (statistics over every sample,
// thresholds from the level mode, whole window), without redrawing. `sample_type` may differ
// from the plane's own.
template <typename T>
void PutPlane(BrowserController& b, int32_t sample_type, int32_t width, int32_t height,
              const std::vector<T>& top_first, long double bscale = 1, long double bzero = 0) {
  b.image = MakeImage(width, height, top_first, bscale, bzero);
  b.image.SampleType = sample_type;
  b.load.file_name = "/mem/plane.fits";
  b.view.zoom = b.view.previous_zoom = ZoomWindow::Whole(width, height);
  b.EnableImageControls(true);
  b.SetIntensityRange();
  b.load.ImageLoaded = true;
}

// Whether the bars answer the user: the program sets a flag while it places them, under which
// their change handlers do nothing. Moves the minimum bar one position and checks that its
// handler ran (it restarts the redraw timer).
inline ::testing::AssertionResult BarHandlersRun(BrowserController& b) {
  const ScrollBarControl& bar = b.thresholds.min_bar;
  const uint64_t restarts = b.thresholds.redraw_timer.restarts;
  b.MoveMinBar(bar.position > bar.min ? bar.position - 1 : bar.position + 1);
  if (b.thresholds.redraw_timer.restarts > restarts) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "a bar move ran no change handler";
}

// The palette of the selected colour table, as the preview shows it after a redraw (a redraw
// reads the table's file again). Puts a 1 x 1 image in first when none is shown.
inline Palette256 ShownPalette(BrowserController& b) {
  if (!b.load.ImageLoaded) PutPlane(b, kSample8, 1, 1, std::vector<uint8_t>{0});
  b.RefreshDisplay();
  Palette256 p{};
  if (b.preview_picture.palette.size() == p.size()) {
    std::copy(b.preview_picture.palette.begin(), b.preview_picture.palette.end(), p.begin());
  } else {
    ADD_FAILURE() << "the preview has " << b.preview_picture.palette.size() << " palette entries";
  }
  return p;
}

// The bitmap pixels of the preview, top row first.
inline std::vector<uint8_t> Pixels(const Picture& p) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < p.height(); ++y)
    out.insert(out.end(), p.Row(y), p.Row(y) + p.width());
  return out;
}

}  // namespace kivrel::test
