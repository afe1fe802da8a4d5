// The dialog's controls by their names in the dialog's layout ("Edit1", "SpeedButton3", ...):
// for each, its kind, where its state lives in the controller, whether it is one of the image
// controls that a load enables, the events it raises, the keys under which the CLI's JSON shows
// it and the command-line options that act on it. This is the only place that knows these
// names: the window's widget names and bindings, its mirror, the CLI's JSON, settings and
// actions, and EnableImageControls all walk this table.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "browser/dialog/browser_controller.h"

namespace kivrel {

enum class ControlKind {
  kLabel,
  kEdit,
  kButton,        // a button with a caption
  kGlyphButton,   // a small button with a picture
  kToggleButton,  // a glyph button that stays pressed
  kScrollBar,
  kRadioGroup,
  kList,
  kUpDown,
  kImage,
  kTimer,
};

// Where a control's state lives in the controller.
using ControlState =
    std::variant<LabelControl& (*)(BrowserController&), EditControl& (*)(BrowserController&),
                 ButtonControl& (*)(BrowserController&), ScrollBarControl& (*)(BrowserController&),
                 RadioGroupControl& (*)(BrowserController&), ListControl& (*)(BrowserController&),
                 UpDownControl& (*)(BrowserController&), ImageControl& (*)(BrowserController&),
                 TimerControl& (*)(BrowserController&)>;

// The events a control raises, each the controller's handler for it (null: none).
struct ControlEvents {
  void (*click)(BrowserController&) = nullptr;                 // buttons
  void (*select)(BrowserController&, int32_t item) = nullptr;  // radio groups and lists
  void (*text_typed)(BrowserController&, const std::string& text) = nullptr;  // edits
  void (*key)(BrowserController&, char key) = nullptr;            // a key typed in an edit
  void (*moved)(BrowserController&, int32_t position) = nullptr;  // scroll bars
  void (*elapsed)(BrowserController&) = nullptr;                  // timers
  void (*mouse_down)(BrowserController&, MouseButton, ShiftState, int32_t x, int32_t y) = nullptr;
  void (*mouse_move)(BrowserController&, ShiftState, int32_t x, int32_t y) = nullptr;
};

// A value of a control that the CLI's JSON shows under `key`; fields are written in the order
// of their ranks, across all controls.
enum class ShownValue { kCaption, kText, kPosition, kIndex, kItems, kWidth, kHeight };
struct JsonField {
  std::string_view key;
  ShownValue value;
  int rank;
};

// A command-line option that acts on a control: a setting, applied before the click on the
// file, or an action, run after it in command-line order. `values` texts follow each
// occurrence.
enum class OptionValue {
  kNone,       // a flag
  kInteger,    // `values` integers within [min, max]
  kPoint,      // one text of `min` integers separated by commas (X,Y or X1,Y1,X2,Y2)
  kText,       // `values` texts taken as they are
  kTableName,  // the name of an entry of the control's list
};
struct CommandLineOption {
  std::string_view name;  // without the dashes
  bool setting;           // before the click (else an action after it)
  OptionValue kind;
  int values;  // texts per occurrence
  int32_t min;
  int32_t max;
  std::string_view help;
  // Runs the option on the controller, as the user would act on the control; an action on a
  // control the dialog holds disabled is ignored.
  void (*run)(BrowserController&, const std::vector<std::string>& values);
};

// A value on the command line that the option does not take: exit status 64.
class BadOptionValue : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ControlEntry {
  std::string_view name;
  ControlKind kind;
  ControlState state;
  int enable_rank = 0;  // > 0: an image control; its place in the CLI's "Enabled" list
  ControlEvents events;
  std::vector<JsonField> json;
  std::vector<CommandLineOption> options;
};

const std::vector<ControlEntry>& ControlTable();

// The entry of `name`; throws std::out_of_range for a name that is no control.
const ControlEntry& FindControl(std::string_view name);

// The common part of a control's state.
Control* CommonState(const ControlEntry& entry, BrowserController& controller);

// Checks an occurrence's integers and points against its option; throws BadOptionValue with
// the message to print. (A table name is checked when the option runs.)
void CheckValues(const CommandLineOption& option, const std::vector<std::string>& values);

}  // namespace kivrel
