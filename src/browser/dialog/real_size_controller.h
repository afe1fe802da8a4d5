// The real-size window without any toolkit: its two modes (the preview picture at one screen
// pixel per picture pixel, or a file's header as text), its size rules, and its keys (Esc
// closes; + and - zoom the picture by powers of two from 1/8 to 8). The window calls an
// operation, then shows this state; the tests drive it without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

class BrowserController;

enum class RealSizeMode { kClosed, kPicture, kHeader };

// The picture shown at its own size, or stretched once zoomed.
struct PictureBox {
  Picture picture;  // a copy of the preview picture made when the window opens
  bool visible = true;
  bool auto_size = true;  // takes its picture's size
  bool stretch = false;   // stretches its picture over its size
  int32_t width = 605;
  int32_t height = 377;
};

// The header text: a fixed-pitch, read-only text box.
struct TextBox {
  std::vector<std::string> lines;
  bool visible = false;
  int32_t left = 8;
  int32_t top = 8;
  int32_t width = 585;
  int32_t height = 360;
};

class RealSizeController {
 public:
  static constexpr int32_t kMaxZoomLevel = 3;
  static constexpr const char* kZoomText = "  Zoom x";

  std::string caption = "Taille réelle";
  RealSizeMode mode = RealSizeMode::kClosed;
  // Picture mode: the outer size of the window. Header mode: the size of its client area.
  int32_t width = 613;
  int32_t height = 404;
  int32_t client_width = 0;
  int32_t client_height = 0;
  // Scroll positions; the window writes the user's current ones before a key is handled.
  int32_t scroll_x = 0;
  int32_t scroll_y = 0;
  PictureBox picture_box;
  TextBox header_box;
  int32_t zoom_level = 0;    // the picture shows at 2 to this power
  std::string base_caption;  // the caption as it was when the window was last shown
  std::string status_text;   // the readout under the pointer (picture mode)

  // "Taille réelle": picture mode with the dialog's preview picture and status line, the window
  // sized to the picture plus its borders and held within the screen. The window then shows
  // itself (Shown).
  void OpenPicture(const BrowserController& dialog, int32_t screen_width, int32_t screen_height);

  // A right click on `full_path` in the file list: header mode when the dialog can list the
  // file's header (true); otherwise false, nothing opens and the dialog's status line holds the
  // reason. Throws RunTimeError when the file cannot be opened.
  bool OpenHeader(BrowserController& dialog, const std::string& full_path);

  // Each showing: the caption as it is becomes the base of the zoom captions.
  void Shown();

  enum class KeyResult { kNone, kClose, kZoomed };
  // A key typed in the window or in its text: Esc (27) asks to close, '+' and '-' zoom.
  KeyResult KeyPress(char key);

  // The mouse wheel: each step away from the user zooms in as '+' does, each step towards the
  // user out as '-' does. kZoomed when the zoom changed.
  KeyResult Wheel(int32_t steps);

  // The pointer at (x, y) of the picture as shown (zoomed): the status text becomes the
  // column, row and value of the image sample there, with its sky position when the image has
  // one (only the column and row of a picture shown in its own colours); empty off the picture.
  void PointerAt(int32_t x, int32_t y);

  // Each closing: zoom level 0, the picture back to its own size, the picture shown again.
  void Closed();

  // 2 to the power of the zoom level as its shortest decimal text ("8", "0.125").
  std::string ZoomFactorText() const;

 private:
  void ZoomCaption();
  const BrowserController* dialog_ = nullptr;  // whose picture is shown
};

}  // namespace kivrel
