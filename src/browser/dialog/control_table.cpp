#include "browser/dialog/control_table.h"

#include <algorithm>
#include <sstream>

#include "browser/base/numbers.h"

namespace kivrel {
namespace {

using C = BrowserController;
using Values = std::vector<std::string>;

// ---- Values of command-line options --------------------------------------------------------

int32_t IntegerIn(std::string_view option, const std::string& text, int32_t lo, int32_t hi) {
  const auto v = TryParseInt(text);
  if (!v || *v < lo || *v > hi) {
    throw BadOptionValue("--" + std::string(option) + ": '" + text + "' is not an integer in " +
                         std::to_string(lo) + ".." + std::to_string(hi));
  }
  return *v;
}

std::vector<int32_t> Coordinates(std::string_view option, const std::string& text, int32_t count) {
  std::vector<int32_t> values;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    const auto v = TryParseInt(part);
    if (!v) break;
    values.push_back(*v);
  }
  if (static_cast<int32_t>(values.size()) != count || text.empty() || text.back() == ',') {
    throw BadOptionValue("--" + std::string(option) + ": '" + text + "' is not " +
                         std::to_string(count) + " integers separated by commas");
  }
  return values;
}

int32_t ItemNamed(std::string_view option, const ListControl& list, const std::string& name) {
  const auto it = std::find(list.items.begin(), list.items.end(), name);
  if (it == list.items.end()) {
    throw BadOptionValue("--" + std::string(option) + ": no table named '" + name + "'");
  }
  return static_cast<int32_t>(it - list.items.begin());
}

ShiftState LeftButton() {
  ShiftState s;
  s.left = true;
  return s;
}

// ---- The table -----------------------------------------------------------------------------

template <typename T>
using StateOf = T& (*)(C&);

ControlEntry Entry(std::string_view name, ControlKind kind, ControlState state) {
  ControlEntry e;
  e.name = name;
  e.kind = kind;
  e.state = state;
  return e;
}

std::vector<ControlEntry> BuildTable() {
  std::vector<ControlEntry> t;
  auto add = [&t](ControlEntry e) -> ControlEntry& {
    t.push_back(std::move(e));
    return t.back();
  };

  // ---- Status line, preview, readout, colour bar --------------------------------------------
  add(Entry("Label2", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.texts.status_line; })))
      .json = {{"Label2", ShownValue::kCaption, 2}};
  {
    ControlEntry& e = add(Entry(
        "Image1", ControlKind::kImage,
        StateOf<ImageControl>([](C& c) -> ImageControl& { return c.view_controls.preview; })));
    e.events.mouse_down = [](C& c, MouseButton b, ShiftState s, int32_t x, int32_t y) {
      c.PreviewMouseDown(b, s, x, y);
    };
    e.events.mouse_move = [](C& c, ShiftState s, int32_t x, int32_t y) {
      c.PreviewMouseMove(s, x, y);
    };
    e.json = {{"PreviewWidth", ShownValue::kWidth, 18}, {"PreviewHeight", ShownValue::kHeight, 19}};
    e.options = {
        {"drag", false, OptionValue::kPoint, 1, 4, 4,
         "X1,Y1,X2,Y2: left-button drag on the preview",
         [](C& c, const Values& v) {
           const auto p = Coordinates("drag", v.at(0), 4);
           c.PreviewMouseDown(MouseButton::kLeft, LeftButton(), p[0], p[1]);
           c.PreviewMouseMove(LeftButton(), p[2], p[3]);
         }},
        {"click", false, OptionValue::kPoint, 1, 2, 2, "X,Y: left press on the preview",
         [](C& c, const Values& v) {
           const auto p = Coordinates("click", v.at(0), 2);
           c.PreviewMouseDown(MouseButton::kLeft, LeftButton(), p[0], p[1]);
         }},
        {"at", false, OptionValue::kPoint, 1, 2, 2, "X,Y: mouse move over the preview, no button",
         [](C& c, const Values& v) {
           const auto p = Coordinates("at", v.at(0), 2);
           c.PreviewMouseMove(ShiftState{}, p[0], p[1]);
         }},
    };
  }
  add(Entry("Label1", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.texts.readout; })))
      .json = {{"Label1", ShownValue::kCaption, 1}};
  add(Entry("Image2", ControlKind::kImage, StateOf<ImageControl>([](C& c) -> ImageControl& {
              return c.view_controls.colour_bar;
            })));
  add(Entry("Label5", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.view_controls.bar_low_label;
            })));
  add(Entry("Label6", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.view_controls.bar_high_label;
            })));

  // ---- Thresholds ---------------------------------------------------------------------------
  add(Entry("Label7", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.thresholds.min_label; })));
  {
    ControlEntry& e = add(
        Entry("Edit1", ControlKind::kEdit,
              StateOf<EditControl>([](C& c) -> EditControl& { return c.thresholds.min_edit; })));
    e.enable_rank = 1;
    e.events.text_typed = [](C& c, const std::string& text) { c.thresholds.min_edit.text = text; };
    e.events.key = [](C& c, char key) { c.ThresholdEditKeyPress(key); };
    e.json = {{"Edit1", ShownValue::kText, 4}};
    e.options = {{"type-thresholds", false, OptionValue::kText, 2, 0, 0,
                  "MIN MAX typed into the threshold edits, then Enter", [](C& c, const Values& v) {
                    if (!c.thresholds.min_edit.enabled || !c.thresholds.max_edit.enabled) return;
                    c.thresholds.min_edit.text = v.at(0);
                    c.thresholds.max_edit.text = v.at(1);
                    c.ThresholdEditKeyPress('\r');
                  }}};
  }
  add(Entry("Label8", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.thresholds.max_label; })));
  {
    ControlEntry& e = add(
        Entry("Edit2", ControlKind::kEdit,
              StateOf<EditControl>([](C& c) -> EditControl& { return c.thresholds.max_edit; })));
    e.enable_rank = 2;
    e.events.text_typed = [](C& c, const std::string& text) { c.thresholds.max_edit.text = text; };
    e.events.key = [](C& c, char key) { c.ThresholdEditKeyPress(key); };
    e.json = {{"Edit2", ShownValue::kText, 5}};
  }
  {
    ControlEntry& e = add(Entry(
        "ScrollBar1", ControlKind::kScrollBar,
        StateOf<ScrollBarControl>([](C& c) -> ScrollBarControl& { return c.thresholds.min_bar; })));
    e.enable_rank = 3;
    e.events.moved = [](C& c, int32_t position) { c.MoveMinBar(position); };
    e.json = {{"ScrollBar1", ShownValue::kPosition, 8}};
    e.options = {{"bar1", false, OptionValue::kInteger, 1, INT32_MIN, INT32_MAX,
                  "Move the minimum bar to POS", [](C& c, const Values& v) {
                    const int32_t p = IntegerIn("bar1", v.at(0), INT32_MIN, INT32_MAX);
                    if (c.thresholds.min_bar.enabled) c.MoveMinBar(p);
                  }}};
  }
  {
    ControlEntry& e = add(Entry(
        "ScrollBar2", ControlKind::kScrollBar,
        StateOf<ScrollBarControl>([](C& c) -> ScrollBarControl& { return c.thresholds.max_bar; })));
    e.enable_rank = 4;
    e.events.moved = [](C& c, int32_t position) { c.MoveMaxBar(position); };
    e.json = {{"ScrollBar2", ShownValue::kPosition, 9}};
    e.options = {{"bar2", false, OptionValue::kInteger, 1, INT32_MIN, INT32_MAX,
                  "Move the maximum bar to POS", [](C& c, const Values& v) {
                    const int32_t p = IntegerIn("bar2", v.at(0), INT32_MIN, INT32_MAX);
                    if (c.thresholds.max_bar.enabled) c.MoveMaxBar(p);
                  }}};
  }
  add(Entry("Timer1", ControlKind::kTimer,
            StateOf<TimerControl>([](C& c) -> TimerControl& { return c.thresholds.redraw_timer; })))
      .events.elapsed = [](C& c) { c.RedrawTimerElapsed(); };

  // ---- Colour and transfer tables -----------------------------------------------------------
  add(Entry("Label3", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.colours.colour_table_label;
            })));
  {
    ControlEntry& e = add(
        Entry("ComboBox1", ControlKind::kList,
              StateOf<ListControl>([](C& c) -> ListControl& { return c.colours.colour_table; })));
    e.enable_rank = 8;
    e.events.select = [](C& c, int32_t item) { c.ChooseColourTable(item); };
    e.json = {{"ComboBox1", ShownValue::kText, 12}, {"ComboBox1Items", ShownValue::kItems, 15}};
    e.options = {{"lut", true, OptionValue::kTableName, 1, 0, 0, "Colour table NAME",
                  [](C& c, const Values& v) {
                    c.ChooseColourTable(ItemNamed("lut", c.colours.colour_table, v.at(0)));
                  }}};
  }
  add(Entry("Label4", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.colours.transfer_table_label;
            })));
  {
    ControlEntry& e = add(
        Entry("ComboBox2", ControlKind::kList,
              StateOf<ListControl>([](C& c) -> ListControl& { return c.colours.transfer_table; })));
    e.enable_rank = 9;
    e.events.select = [](C& c, int32_t item) { c.ChooseTransferTable(item); };
    e.json = {{"ComboBox2", ShownValue::kText, 13}, {"ComboBox2Items", ShownValue::kItems, 16}};
    e.options = {{"itt", true, OptionValue::kTableName, 1, 0, 0, "Transfer table NAME",
                  [](C& c, const Values& v) {
                    c.ChooseTransferTable(ItemNamed("itt", c.colours.transfer_table, v.at(0)));
                  }}};
  }

  // ---- File, colour mode and level modes ----------------------------------------------------
  add(Entry("Edit3", ControlKind::kEdit,
            StateOf<EditControl>([](C& c) -> EditControl& { return c.file.name_edit; })))
      .events.text_typed = [](C& c, const std::string& text) { c.file.name_edit.text = text; };
  {
    ControlEntry& e = add(Entry("RadioGroup1", ControlKind::kRadioGroup,
                                StateOf<RadioGroupControl>([](C& c) -> RadioGroupControl& {
                                  return c.colours.colour_mode;
                                })));
    e.events.select = [](C& c, int32_t item) { c.ChooseColourMode(item); };
    e.json = {{"RadioGroup1", ShownValue::kIndex, 10}};
    e.options = {{"colour-mode", true, OptionValue::kInteger, 1, 0, 1,
                  "0: the picture's own colours, 1: a modifiable palette",
                  [](C& c, const Values& v) {
                    c.ChooseColourMode(IntegerIn("colour-mode", v.at(0), 0, 1));
                  }}};
  }
  {
    ControlEntry& e = add(Entry("RadioGroup2", ControlKind::kRadioGroup,
                                StateOf<RadioGroupControl>([](C& c) -> RadioGroupControl& {
                                  return c.thresholds.level_mode;
                                })));
    e.enable_rank = 5;
    e.events.select = [](C& c, int32_t item) { c.ChooseLevelMode(item); };
    e.json = {{"RadioGroup2", ShownValue::kIndex, 11}, {"RadioGroup2Items", ShownValue::kItems, 17}};
    e.options = {
        {"level-mode", true, OptionValue::kInteger, 1, 0, 6,
         "Level mode 0..6 before the load (5 zscale, 6 99,5 %)", [](C& c, const Values& v) {
           c.thresholds.level_mode.index = IntegerIn("level-mode", v.at(0), 0, 6);
         }},
        {"level-click", false, OptionValue::kInteger, 1, 0, 6,
         "Click item N (0..6) of the level-mode group", [](C& c, const Values& v) {
           const int32_t item = IntegerIn("level-click", v.at(0), 0, 6);
           if (c.thresholds.level_mode.enabled) c.ChooseLevelMode(item);
         }}};
  }

  // ---- Flips --------------------------------------------------------------------------------
  add(Entry("Label9", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.view_controls.flip_label;
            })));
  {
    ControlEntry& e = add(Entry(
        "SpeedButton3", ControlKind::kToggleButton,
        StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.view_controls.flip_x; })));
    e.enable_rank = 11;
    e.events.click = [](C& c) { c.ToggleFlipX(); };
    e.options = {{"flip-x", false, OptionValue::kNone, 0, 0, 0, "Mirror left-right button",
                  [](C& c, const Values&) {
                    if (c.view_controls.flip_x.enabled) c.ToggleFlipX();
                  }}};
  }
  {
    ControlEntry& e = add(Entry(
        "SpeedButton2", ControlKind::kToggleButton,
        StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.view_controls.flip_y; })));
    e.enable_rank = 10;
    e.events.click = [](C& c) { c.ToggleFlipY(); };
    e.options = {{"flip-y", false, OptionValue::kNone, 0, 0, 0, "Mirror top-bottom button",
                  [](C& c, const Values&) {
                    if (c.view_controls.flip_y.enabled) c.ToggleFlipY();
                  }}};
  }
  {
    ControlEntry& e = add(Entry(
        "SpeedButton6", ControlKind::kGlyphButton,
        StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.view_controls.orient; })));
    e.enable_rank = 12;
    e.events.click = [](C& c) { c.OrientAsOnSky(); };
    e.options = {{"orient", false, OptionValue::kNone, 0, 0, 0, "Orient-as-on-the-sky button",
                  [](C& c, const Values&) {
                    if (c.view_controls.orient.enabled) c.OrientAsOnSky();
                  }}};
  }

  // ---- Layers -------------------------------------------------------------------------------
  add(Entry("Label11", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.file.layer_label; })));
  {
    ControlEntry& e =
        add(Entry("Edit4", ControlKind::kEdit,
                  StateOf<EditControl>([](C& c) -> EditControl& { return c.file.layer_edit; })));
    e.enable_rank = 15;
    e.events.text_typed = [](C& c, const std::string& text) { c.ChangeLayer(text); };
    e.json = {{"Edit4", ShownValue::kText, 6}};
    e.options = {{"layer", true, OptionValue::kText, 1, 0, 0, "Layer edit text before the click",
                  [](C& c, const Values& v) { c.file.layer_edit.text = v.at(0); }},
                 {"set-layer", false, OptionValue::kText, 1, 0, 0,
                  "The layer edit's text changes to TEXT", [](C& c, const Values& v) {
                    if (c.file.layer_edit.enabled) c.ChangeLayer(v.at(0));
                  }}};
  }
  {
    ControlEntry& e = add(
        Entry("UpDown1", ControlKind::kUpDown,
              StateOf<UpDownControl>([](C& c) -> UpDownControl& { return c.file.layer_updown; })));
    e.enable_rank = 16;
    // A step writes the layer edit's new text, which reaches the controller as typed text.
    e.events.text_typed = [](C& c, const std::string& text) { c.ChangeLayer(text); };
  }
  add(Entry("Label10", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.file.layer_count; })))
      .json = {{"Label10", ShownValue::kCaption, 3}};

  // ---- Filters ------------------------------------------------------------------------------
  add(Entry("Label12", ControlKind::kLabel,
            StateOf<LabelControl>([](C& c) -> LabelControl& { return c.filters.filter_label; })));
  {
    ControlEntry& e = add(
        Entry("ComboBox3", ControlKind::kList,
              StateOf<ListControl>([](C& c) -> ListControl& { return c.filters.filter_list; })));
    e.events.select = [](C& c, int32_t item) { c.ChooseFilter(item); };
    e.json = {{"ComboBox3", ShownValue::kIndex, 14}};
    e.options = {{"filter", true, OptionValue::kInteger, 1, -1, 14,
                  "Filter list index -1..14 before the load", [](C& c, const Values& v) {
                    c.ChooseFilter(IntegerIn("filter", v.at(0), -1, 14));
                  }}};
  }
  add(Entry("Label13", ControlKind::kLabel, StateOf<LabelControl>([](C& c) -> LabelControl& {
              return c.filters.threshold_label;
            })));
  {
    ControlEntry& e = add(
        Entry("Edit5", ControlKind::kEdit,
              StateOf<EditControl>([](C& c) -> EditControl& { return c.filters.threshold_edit; })));
    e.events.text_typed = [](C& c, const std::string& text) {
      c.filters.threshold_edit.text = text;
    };
    e.json = {{"Edit5", ShownValue::kText, 7}};
    e.options = {{"filter-threshold", true, OptionValue::kText, 1, 0, 0, "Filter threshold text",
                  [](C& c, const Values& v) { c.filters.threshold_edit.text = v.at(0); }}};
  }
  {
    ControlEntry& e =
        add(Entry("SpeedButton7", ControlKind::kGlyphButton,
                  StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.filters.apply; })));
    e.enable_rank = 13;
    e.events.click = [](C& c) { c.ApplyFilter(); };
    e.options = {{"apply-filter", false, OptionValue::kInteger, 1, -1, 14,
                  "Select filter INDEX, then apply", [](C& c, const Values& v) {
                    c.ChooseFilter(IntegerIn("apply-filter", v.at(0), -1, 14));
                    if (c.filters.apply.enabled) c.ApplyFilter();
                  }}};
  }
  {
    ControlEntry& e = add(
        Entry("SpeedButton8", ControlKind::kGlyphButton,
              StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.filters.restore; })));
    e.enable_rank = 14;
    e.events.click = [](C& c) { c.RestoreUnfiltered(); };
    e.options = {{"restore", false, OptionValue::kNone, 0, 0, 0, "Restore the unfiltered image",
                  [](C& c, const Values&) {
                    if (c.filters.restore.enabled) c.RestoreUnfiltered();
                  }}};
  }

  // ---- Buttons at the bottom ----------------------------------------------------------------
  add(Entry("BitBtn1", ControlKind::kButton,
            StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.file.save; })));
  add(Entry("BitBtn2", ControlKind::kButton,
            StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.texts.help; })));
  add(Entry(
      "SpeedButton1", ControlKind::kButton,
      StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.view_controls.real_size; })));
  {
    ControlEntry& e = add(Entry(
        "SpeedButton4", ControlKind::kButton,
        StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.view_controls.zoom_whole; })));
    e.enable_rank = 6;
    e.events.click = [](C& c) { c.ZoomToWholeImage(); };
    e.options = {
        {"zoom-full", false, OptionValue::kNone, 0, 0, 0, "\"Zoom 1:1\"", [](C& c, const Values&) {
           if (c.view_controls.zoom_whole.enabled) c.ZoomToWholeImage();
         }}};
  }
  {
    ControlEntry& e = add(Entry("SpeedButton5", ControlKind::kButton,
                                StateOf<ButtonControl>([](C& c) -> ButtonControl& {
                                  return c.view_controls.zoom_previous;
                                })));
    e.enable_rank = 7;
    e.events.click = [](C& c) { c.RestorePreviousZoom(); };
    e.options = {{"zoom-prev", false, OptionValue::kNone, 0, 0, 0, "\"Zoom prec.\"",
                  [](C& c, const Values&) {
                    if (c.view_controls.zoom_previous.enabled) c.RestorePreviousZoom();
                  }}};
  }
  add(Entry("BitBtn3", ControlKind::kButton,
            StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.texts.ok; })));
  add(Entry("BitBtn4", ControlKind::kButton,
            StateOf<ButtonControl>([](C& c) -> ButtonControl& { return c.texts.cancel; })));
  return t;
}

}  // namespace

const std::vector<ControlEntry>& ControlTable() {
  static const std::vector<ControlEntry> table = BuildTable();
  return table;
}

const ControlEntry& FindControl(std::string_view name) {
  for (const ControlEntry& e : ControlTable()) {
    if (e.name == name) return e;
  }
  throw std::out_of_range("no control named " + std::string(name));
}

Control* CommonState(const ControlEntry& entry, BrowserController& controller) {
  return std::visit(
      [&](auto state) -> Control* {
        auto& s = state(controller);
        if constexpr (std::is_base_of_v<Control, std::decay_t<decltype(s)>>) {
          return &s;
        } else {
          return nullptr;  // a timer has no enabled flag of its own
        }
      },
      entry.state);
}

void CheckValues(const CommandLineOption& option, const std::vector<std::string>& values) {
  for (const std::string& v : values) {
    if (option.kind == OptionValue::kInteger) IntegerIn(option.name, v, option.min, option.max);
    if (option.kind == OptionValue::kPoint) Coordinates(option.name, v, option.min);
  }
}

}  // namespace kivrel
