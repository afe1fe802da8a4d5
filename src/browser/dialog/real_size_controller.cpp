#include "browser/dialog/real_size_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "browser/dialog/browser_controller.h"

namespace kivrel {

void RealSizeController::OpenPicture(const BrowserController& dialog, int32_t screen_width,
                                     int32_t screen_height) {
  header_box.visible = false;
  picture_box.visible = true;
  caption = dialog.texts.status_line.caption;
  const Picture& shown = dialog.preview_picture;
  width = static_cast<int32_t>(std::min<int64_t>(screen_width, int64_t{shown.width()} + 20));
  height = static_cast<int32_t>(std::min<int64_t>(screen_height, int64_t{shown.height()} + 40));
  picture_box.picture.CopyFrom(shown);
  if (picture_box.auto_size) {
    picture_box.width = picture_box.picture.width();
    picture_box.height = picture_box.picture.height();
  }
  scroll_x = 0;
  scroll_y = 0;
  status_text.clear();
  dialog_ = &dialog;
  mode = RealSizeMode::kPicture;
}

bool RealSizeController::OpenHeader(BrowserController& dialog, const std::string& full_path) {
  HeaderListing listing = dialog.ListHeader(full_path);
  if (!listing.ok) return false;
  header_box.lines = std::move(listing.lines);
  caption = full_path;
  header_box.visible = true;
  picture_box.visible = false;
  client_width = header_box.width + 20;
  client_height = header_box.height + 20;
  mode = RealSizeMode::kHeader;
  return true;
}

void RealSizeController::Shown() {
  base_caption = caption;
}

RealSizeController::KeyResult RealSizeController::KeyPress(char key) {
  switch (key) {
    case 27:
      return KeyResult::kClose;
    case '+':
      if (zoom_level >= kMaxZoomLevel) return KeyResult::kNone;
      ++zoom_level;
      picture_box.auto_size = false;
      picture_box.stretch = true;
      picture_box.width *= 2;
      picture_box.height *= 2;
      scroll_x *= 2;
      scroll_y *= 2;
      ZoomCaption();
      return KeyResult::kZoomed;
    case '-':
      if (zoom_level <= -kMaxZoomLevel) return KeyResult::kNone;
      --zoom_level;
      picture_box.auto_size = false;
      picture_box.stretch = true;
      // Each step starts from the current size: an odd size halved and doubled loses a pixel.
      picture_box.width /= 2;
      picture_box.height /= 2;
      scroll_x /= 2;
      scroll_y /= 2;
      ZoomCaption();
      return KeyResult::kZoomed;
    default:
      return KeyResult::kNone;
  }
}

RealSizeController::KeyResult RealSizeController::Wheel(int32_t steps) {
  KeyResult result = KeyResult::kNone;
  for (int32_t i = 0; i < std::abs(steps); ++i) {
    if (KeyPress(steps > 0 ? '+' : '-') == KeyResult::kZoomed) result = KeyResult::kZoomed;
  }
  return result;
}

void RealSizeController::PointerAt(int32_t x, int32_t y) {
  status_text.clear();
  const Picture& shown = picture_box.picture;
  if (dialog_ == nullptr || mode != RealSizeMode::kPicture || picture_box.width <= 0 ||
      picture_box.height <= 0 || x < 0 || y < 0 || x >= picture_box.width ||
      y >= picture_box.height) {
    return;
  }
  // The picture pixel under the pointer, whatever the zoom.
  const auto px = static_cast<int32_t>(int64_t{x} * shown.width() / picture_box.width);
  const auto py = static_cast<int32_t>(int64_t{y} * shown.height() / picture_box.height);
  if (dialog_->load.BitmapShown) {
    status_text = "X: " + PadLeft(std::to_string(px), 5) + "   Y: " + PadLeft(std::to_string(py), 5);
    return;
  }
  // The picture is the zoom window as rendered, mirrored by the flips.
  const View& view = dialog_->view;
  const ZoomWindow& z = view.zoom;
  const int32_t col = z.ZoomX1 + (view.FlipX ? z.ZoomWidth() - 1 - px : px);
  const int32_t row = z.ZoomY1 + (view.FlipY ? z.ZoomHeight() - 1 - py : py);
  status_text = dialog_->SampleText(row, col);
}

void RealSizeController::Closed() {
  zoom_level = 0;
  picture_box.auto_size = true;
  picture_box.stretch = false;
  picture_box.width = picture_box.picture.width();
  picture_box.height = picture_box.picture.height();
  // Header mode hands the window back as picture mode expects it.
  header_box.visible = false;
  picture_box.visible = true;
  mode = RealSizeMode::kClosed;
}

std::string RealSizeController::ZoomFactorText() const {
  return FormatShortest(std::ldexp(1.0, zoom_level));
}

void RealSizeController::ZoomCaption() {
  caption = base_caption + kZoomText + ZoomFactorText();
}

}  // namespace kivrel
