// The real-size window's logic, without any toolkit: its two modes (the preview bitmap at one
// screen pixel per bitmap pixel, or a file's header as text), its size rules, and its keys
// (Esc closes; + and - zoom the picture by powers of two from 1/8 to 8). The window calls an
// operation, then shows this state; the tests drive it without a window.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/display/picture.h"

namespace kivrel {

class BrowserLogic;

enum class BigImaMode { Closed, Picture, Header };

class BigImaLogic {
 public:
  static constexpr int32_t kMaxZoomLevel = 3;
  static constexpr const char* kZoomText = "  Zoom x";

  // ---- Window ------------------------------------------------------------------------------
  std::string Caption = "Taille réelle";
  BigImaMode Mode = BigImaMode::Closed;
  // Picture mode: the outer size of the window. Header mode: the size of its client area.
  int32_t Width = 613;
  int32_t Height = 404;
  int32_t ClientWidth = 0;
  int32_t ClientHeight = 0;
  // Scroll positions; the window writes the user's current ones before a key is handled.
  int32_t HorzScrollPosition = 0;
  int32_t VertScrollPosition = 0;

  // ---- Picture (Image1) --------------------------------------------------------------------
  Picture Image1Picture;  // a copy of the preview bitmap made when the window opens
  bool Image1Visible = true;
  bool AutoSize = true;  // Image1 takes its picture's size
  bool Stretch = false;  // Image1 stretches its picture over its size
  int32_t Image1Width = 605;
  int32_t Image1Height = 377;

  // ---- Header text (Memo1) -----------------------------------------------------------------
  std::vector<std::string> Memo1Lines;
  bool Memo1Visible = false;
  int32_t Memo1Left = 8;
  int32_t Memo1Top = 8;
  int32_t Memo1Width = 585;
  int32_t Memo1Height = 360;

  int32_t BigZoomLevel = 0;
  std::string BigBaseCaption;

  // "Taille réelle": picture mode with the dialog's preview bitmap and status line, the window
  // sized to the picture plus its borders and held within the screen. Mode becomes Picture;
  // the window then shows itself (FormShow).
  void OpenPicture(const BrowserLogic& dialog, int32_t screen_width, int32_t screen_height);

  // A right click on `full_path` in the file list: header mode when the dialog logic can list
  // the file's header (true); otherwise false, nothing opens and the dialog's status line holds
  // the reason. Throws RunTimeError when the file cannot be opened.
  bool OpenHeader(BrowserLogic& dialog, const std::string& full_path);

  // Each showing: the caption as it is becomes the base of the zoom captions.
  void FormShow();

  enum class KeyResult { None, Close, Zoomed };
  // A key typed in the window or in its text: Esc (27) asks to close, '+' and '-' zoom.
  KeyResult FormKeyPress(char key);

  // Each closing: zoom level 0, the picture back to its own size, the picture shown again.
  void FormClose();

  // 2 to the power BigZoomLevel as its shortest decimal text ("8", "0.125").
  std::string ZoomFactorText() const;

 private:
  void ZoomCaption();
};

}  // namespace kivrel
