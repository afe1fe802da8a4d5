#include "browser/dialog/real_size_controller.h"

#include <algorithm>
#include <cmath>

#include "browser/base/numbers.h"
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
