#include "browser/dialog/big_ima_logic.h"

#include <algorithm>
#include <cmath>

#include "browser/base/numbers.h"
#include "browser/dialog/browser_logic.h"

namespace kivrel {

void BigImaLogic::OpenPicture(const BrowserLogic& dialog, int32_t screen_width,
                              int32_t screen_height) {
  Memo1Visible = false;
  Image1Visible = true;
  Caption = dialog.Label2.Caption;
  const Picture& bitmap = dialog.ImaBitmap;
  Width = static_cast<int32_t>(std::min<int64_t>(screen_width, int64_t{bitmap.width()} + 20));
  Height = static_cast<int32_t>(std::min<int64_t>(screen_height, int64_t{bitmap.height()} + 40));
  Image1Picture.CopyFrom(bitmap);
  if (AutoSize) {
    Image1Width = Image1Picture.width();
    Image1Height = Image1Picture.height();
  }
  HorzScrollPosition = 0;
  VertScrollPosition = 0;
  Mode = BigImaMode::Picture;
}

bool BigImaLogic::OpenHeader(BrowserLogic& dialog, const std::string& full_path) {
  std::vector<std::string> lines;
  if (!dialog.FileListBox1MouseDown(full_path, lines)) return false;
  Memo1Lines = std::move(lines);
  Caption = full_path;
  Memo1Visible = true;
  Image1Visible = false;
  ClientWidth = Memo1Width + 20;
  ClientHeight = Memo1Height + 20;
  Mode = BigImaMode::Header;
  return true;
}

void BigImaLogic::FormShow() {
  BigBaseCaption = Caption;
}

BigImaLogic::KeyResult BigImaLogic::FormKeyPress(char key) {
  switch (key) {
    case 27:
      return KeyResult::Close;
    case '+':
      if (BigZoomLevel >= kMaxZoomLevel) return KeyResult::None;
      ++BigZoomLevel;
      AutoSize = false;
      Stretch = true;
      Image1Width *= 2;
      Image1Height *= 2;
      HorzScrollPosition *= 2;
      VertScrollPosition *= 2;
      ZoomCaption();
      return KeyResult::Zoomed;
    case '-':
      if (BigZoomLevel <= -kMaxZoomLevel) return KeyResult::None;
      --BigZoomLevel;
      AutoSize = false;
      Stretch = true;
      // Each step starts from the current size: an odd size halved and doubled loses a pixel.
      Image1Width /= 2;
      Image1Height /= 2;
      HorzScrollPosition /= 2;
      VertScrollPosition /= 2;
      ZoomCaption();
      return KeyResult::Zoomed;
    default:
      return KeyResult::None;
  }
}

void BigImaLogic::FormClose() {
  BigZoomLevel = 0;
  AutoSize = true;
  Stretch = false;
  Image1Width = Image1Picture.width();
  Image1Height = Image1Picture.height();
  // Header mode hands the window back as picture mode expects it.
  Memo1Visible = false;
  Image1Visible = true;
  Mode = BigImaMode::Closed;
}

std::string BigImaLogic::ZoomFactorText() const {
  return FormatShortest(std::ldexp(1.0, BigZoomLevel));
}

void BigImaLogic::ZoomCaption() {
  Caption = BigBaseCaption + kZoomText + ZoomFactorText();
}

}  // namespace kivrel
