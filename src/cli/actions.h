// The CLI's settings (applied before the click on the file) and actions (after it, in
// command-line order): the command-line options of the dialog's controls (control_table.h),
// each performed exactly as the control would perform it.
#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "browser/dialog/control_table.h"

namespace kivrel::cli {

// A bad command line: exit status 64, nothing on stdout.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where CLI11 puts the values of the settings while it parses.
struct SettingValues {
  std::optional<std::string> app_dir;
  std::map<std::string_view, std::optional<int>> integers;
  std::map<std::string_view, std::optional<std::string>> texts;
};

// One occurrence of an option, with its values.
struct OptionUse {
  const CommandLineOption* option = nullptr;
  std::vector<std::string> values;
};

// Declares --appdir and every option of the control table on a sub-command.
void AddOptions(CLI::App& sub, SettingValues& settings);
// Declares --appdir and the settings only (the options applied before the click).
void AddSettings(CLI::App& sub, SettingValues& settings);

// The settings given, in the table's order.
std::vector<OptionUse> CollectSettings(const SettingValues& settings);

// The actions in the order they were given; throws UsageError for malformed values.
std::vector<OptionUse> CollectActions(const CLI::App& sub);

// Runs options on the controller; throws UsageError for a table name the lists do not hold.
void RunOptions(BrowserController& controller, const std::vector<OptionUse>& uses);

}  // namespace kivrel::cli
