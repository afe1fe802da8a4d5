#include "cli/actions.h"

#include <map>
#include <sstream>

#include "browser/base/numbers.h"
#include "browser/display/filter_table.h"

namespace kivrel::cli {
namespace {

// The post-load actions: how many values each occurrence takes, and its help text.
struct ActionKind {
  int values;  // values per occurrence
  const char* help;
};

const std::map<std::string, ActionKind>& ActionKinds() {
  static const std::map<std::string, ActionKind> kinds = {
      {"type-thresholds", {2, "MIN MAX typed into Edit1 and Edit2, then Enter"}},
      {"level-click", {1, "Click item N (0..4) of the level-mode group"}},
      {"bar1", {1, "Move the minimum bar to POS"}},
      {"bar2", {1, "Move the maximum bar to POS"}},
      {"flip-x", {0, "Mirror left-right button"}},
      {"flip-y", {0, "Mirror top-bottom button"}},
      {"orient", {0, "Orient-as-on-the-sky button"}},
      {"drag", {1, "X1,Y1,X2,Y2: left-button drag on the preview"}},
      {"click", {1, "X,Y: left press on the preview"}},
      {"zoom-full", {0, "\"Zoom 1:1\""}},
      {"zoom-prev", {0, "\"Zoom prec.\""}},
      {"apply-filter", {1, "Select filter INDEX, then apply"}},
      {"restore", {0, "Restore the unfiltered image"}},
      {"set-layer", {1, "The layer edit's text changes to TEXT"}},
      {"at", {1, "X,Y: mouse move over the preview, no button"}},
  };
  return kinds;
}

int ParseInt(const std::string& option, const std::string& text, int lo, int hi) {
  const auto v = TryStrToInt(text);
  if (!v || *v < lo || *v > hi) {
    throw UsageError("--" + option + ": '" + text + "' is not an integer in " + std::to_string(lo) +
                     ".." + std::to_string(hi));
  }
  return *v;
}

std::vector<int32_t> ParsePoint(const std::string& option, const std::string& text,
                                std::size_t count) {
  std::vector<int32_t> values;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, ',')) {
    const auto v = TryStrToInt(part);
    if (!v) break;
    values.push_back(*v);
  }
  if (values.size() != count || text.empty() || text.back() == ',') {
    throw UsageError("--" + option + ": '" + text + "' is not " + std::to_string(count) +
                     " integers separated by commas");
  }
  return values;
}

void Validate(const Action& a) {
  if (a.name == "level-click") ParseInt(a.name, a.args[0], 0, 4);
  if (a.name == "bar1" || a.name == "bar2") ParseInt(a.name, a.args[0], INT32_MIN, INT32_MAX);
  if (a.name == "drag") ParsePoint(a.name, a.args[0], 4);
  if (a.name == "click" || a.name == "at") ParsePoint(a.name, a.args[0], 2);
  if (a.name == "apply-filter") ParseInt(a.name, a.args[0], -1, kFilterCount - 1);
}

void SelectFilter(BrowserLogic& b, int index) {
  b.ComboBox3.ItemIndex = index;
  b.ComboBox3.Text = index >= 0 ? b.ComboBox3.Items[static_cast<std::size_t>(index)] : "";
}

int FindItem(const ComboBoxControl& list, const std::string& option, const std::string& name) {
  for (std::size_t i = 0; i < list.Items.size(); ++i) {
    if (list.Items[i] == name) return static_cast<int>(i);
  }
  throw UsageError("--" + option + ": no table named '" + name + "'");
}

}  // namespace

void AddOptions(CLI::App& sub, Settings& s) {
  sub.add_option("--appdir", s.app_dir, "Folder holding palettes/ (exactly; no fallback)");
  sub.add_option("--colour-mode", s.colour_mode, "0: bitmap palette, 1: modifiable palette")
      ->check(CLI::Range(0, 1));
  sub.add_option("--level-mode", s.level_mode, "Level mode 0..4 before the load")
      ->check(CLI::Range(0, 4));
  sub.add_option("--lut", s.lut, "Colour table NAME");
  sub.add_option("--itt", s.itt, "Transfer table NAME");
  sub.add_option("--filter", s.filter, "Filter list index -1..14 before the load")
      ->check(CLI::Range(-1, kFilterCount - 1));
  sub.add_option("--filter-threshold", s.filter_threshold, "Filter threshold text (Edit5)");
  sub.add_option("--layer", s.layer, "Layer edit text before the click (Edit4)");
  for (const auto& [name, kind] : ActionKinds()) {
    if (kind.values == 0) {
      sub.add_flag("--" + name, kind.help)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    } else {
      sub.add_option("--" + name, kind.help)
          ->expected(kind.values)
          ->allow_extra_args(false)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
  }
}

std::vector<Action> CollectActions(const CLI::App& sub) {
  std::map<const CLI::Option*, std::size_t> cursor;
  std::map<const CLI::Option*, std::size_t> entries;
  std::vector<Action> actions;
  for (const CLI::Option* opt : sub.parse_order()) {
    const std::string name = opt->get_name().substr(2);
    const auto kind = ActionKinds().find(name);
    if (kind == ActionKinds().end()) continue;
    // The parse order lists an option once per value: an occurrence of a two-value option
    // is two entries, and only its first one starts an action.
    const std::size_t entry = entries[opt]++;
    if (kind->second.values > 1 && entry % static_cast<std::size_t>(kind->second.values) != 0) {
      continue;
    }
    Action a{name, {}};
    const auto& results = opt->results();
    std::size_t& at = cursor[opt];
    for (int i = 0; i < kind->second.values && at < results.size(); ++i)
      a.args.push_back(results[at++]);
    Validate(a);
    actions.push_back(std::move(a));
  }
  return actions;
}

void ApplySettings(BrowserLogic& b, const Settings& s) {
  if (s.colour_mode) b.RadioGroup1.ItemIndex = *s.colour_mode;
  if (s.level_mode) b.RadioGroup2.ItemIndex = *s.level_mode;
  if (s.lut) b.SelectComboBox1(FindItem(b.ComboBox1, "lut", *s.lut));
  if (s.itt) b.SelectComboBox2(FindItem(b.ComboBox2, "itt", *s.itt));
  if (s.filter) SelectFilter(b, *s.filter);
  if (s.filter_threshold) b.Edit5.Text = *s.filter_threshold;
  if (s.layer) b.Edit4.Text = *s.layer;
}

void RunAction(BrowserLogic& b, const Action& a) {
  const std::string& n = a.name;
  const auto arg = [&](std::size_t i) { return a.args.at(i); };
  ShiftState left;
  left.Left = true;
  if (n == "type-thresholds") {
    if (!b.Edit1.Enabled || !b.Edit2.Enabled) return;
    b.Edit1.Text = arg(0);
    b.Edit2.Text = arg(1);
    b.Edit1KeyPress('\r');
  } else if (n == "level-click") {
    if (b.RadioGroup2.Enabled) b.RadioGroup2Click(ParseInt(n, arg(0), 0, 4));
  } else if (n == "bar1") {
    if (b.ScrollBar1.Enabled) b.SetScrollBar1Position(ParseInt(n, arg(0), INT32_MIN, INT32_MAX));
  } else if (n == "bar2") {
    if (b.ScrollBar2.Enabled) b.SetScrollBar2Position(ParseInt(n, arg(0), INT32_MIN, INT32_MAX));
  } else if (n == "flip-x") {
    if (b.SpeedButton3.Enabled) b.SpeedButton3Click();
  } else if (n == "flip-y") {
    if (b.SpeedButton2.Enabled) b.SpeedButton2Click();
  } else if (n == "orient") {
    if (b.SpeedButton6.Enabled) b.SpeedButton6Click();
  } else if (n == "drag") {
    const auto p = ParsePoint(n, arg(0), 4);
    b.Image1MouseDown(MouseButton::Left, left, p[0], p[1]);
    b.Image1MouseMove(left, p[2], p[3]);
  } else if (n == "click") {
    const auto p = ParsePoint(n, arg(0), 2);
    b.Image1MouseDown(MouseButton::Left, left, p[0], p[1]);
  } else if (n == "zoom-full") {
    if (b.SpeedButton4.Enabled) b.SpeedButton4Click();
  } else if (n == "zoom-prev") {
    if (b.SpeedButton5.Enabled) b.SpeedButton5Click();
  } else if (n == "apply-filter") {
    SelectFilter(b, ParseInt(n, arg(0), -1, kFilterCount - 1));
    if (b.SpeedButton7.Enabled) b.SpeedButton7Click();
  } else if (n == "restore") {
    if (b.SpeedButton8.Enabled) b.SpeedButton8Click();
  } else if (n == "set-layer") {
    if (b.Edit4.Enabled) b.Edit4Change(arg(0));
  } else if (n == "at") {
    const auto p = ParsePoint(n, arg(0), 2);
    b.Image1MouseMove(ShiftState{}, p[0], p[1]);
  }
}

void SavePreview(BrowserLogic& b, const std::string& file_name) {
  b.BitBtn1Click(file_name);
}

}  // namespace kivrel::cli
