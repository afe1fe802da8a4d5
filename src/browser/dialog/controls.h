// The state of the dialog's controls as the engine holds it: texts, positions, ranges, enabled
// flags, list contents and selections. The window mirrors these into its widgets; the CLI and
// the tests read them directly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivrel {

struct Control {
  bool Enabled = true;
  bool Visible = true;
};

struct LabelControl : Control {
  std::string Caption;
};

struct EditControl : Control {
  std::string Text;
};

struct ButtonControl : Control {
  std::string Caption;
  bool Down = false;  // toggle buttons only
};

struct ScrollBarControl : Control {
  int32_t Position = 0;
  int32_t Min = -32767;
  int32_t Max = 32767;
  int32_t LargeChange = 500;
  int32_t SmallChange = 10;
};

struct ComboBoxControl : Control {
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;
  std::string Text;  // the selected item's text, or what was typed into an editable list
};

struct RadioGroupControl : Control {
  std::string Caption;
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;
};

struct UpDownControl : Control {
  int32_t Min = 0;
  int32_t Max = 99;
};

struct ImageControl : Control {
  int32_t Width = 0;
  int32_t Height = 0;
};

// A one-shot timer: the window (re)starts its real timer whenever RestartCount changes and
// stops it when Enabled goes false.
struct TimerControl {
  bool Enabled = false;
  int32_t Interval = 1000;
  uint64_t RestartCount = 0;
};

}  // namespace kivrel
