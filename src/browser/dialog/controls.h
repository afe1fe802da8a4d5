// The state of the dialog's controls as the controller holds it: texts, positions, ranges,
// enabled flags, list contents and selections. The window mirrors these into its widgets; the
// CLI and the tests read them directly. Which control is which is in control_table.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivrel {

struct Control {
  bool enabled = true;
  bool visible = true;
};

struct LabelControl : Control {
  std::string caption;
};

struct EditControl : Control {
  std::string text;
};

struct ButtonControl : Control {
  std::string caption;
  bool pressed = false;  // toggle buttons only
};

struct ScrollBarControl : Control {
  int32_t position = 0;
  int32_t min = -32767;
  int32_t max = 32767;
  int32_t page_step = 500;
  int32_t step = 10;
};

struct ListControl : Control {
  std::vector<std::string> items;
  int32_t index = -1;  // the selected item, -1 for none
  std::string text;    // the selected item's text, or what was typed into an editable list
};

struct RadioGroupControl : Control {
  std::string caption;
  std::vector<std::string> items;
  int32_t index = -1;
};

struct UpDownControl : Control {
  int32_t min = 0;
  int32_t max = 99;
};

struct ImageControl : Control {
  int32_t width = 0;
  int32_t height = 0;
};

// A one-shot timer: the window (re)starts its real timer whenever `restarts` changes and stops
// it when `armed` goes false. The redraw after bar moves waits a tenth of a second after the
// last move: a drag still costs one redraw at its end, and the picture follows the hand.
struct TimerControl {
  bool armed = false;
  int32_t interval_ms = 100;
  uint64_t restarts = 0;
};

}  // namespace kivrel
