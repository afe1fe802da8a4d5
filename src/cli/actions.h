// The CLI's settings (applied before the click) and actions (after it, in command-line order),
// each performed exactly as the dialog's control would perform it.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/dialog/browser_logic.h"

namespace kivrel::cli {

// A bad command line: exit status 64, nothing on stdout.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Settings {
  std::optional<std::string> app_dir;
  std::optional<int> colour_mode;
  std::optional<int> level_mode;
  std::optional<std::string> lut;
  std::optional<std::string> itt;
  std::optional<int> filter;
  std::optional<std::string> filter_threshold;
  std::optional<std::string> layer;
};

struct Action {
  std::string name;  // the option's long name, without dashes
  std::vector<std::string> args;
};

// Declares the settings and the actions on a sub-command.
void AddOptions(CLI::App& sub, Settings& settings);

// The actions in the order they were given; throws UsageError for malformed values.
std::vector<Action> CollectActions(const CLI::App& sub);

void ApplySettings(BrowserLogic& logic, const Settings& settings);

// Runs one action; an action on a control that is disabled at that moment is ignored.
void RunAction(BrowserLogic& logic, const Action& action);

// Saves the preview bitmap as "Sauvegarde BMP" does.
void SavePreview(BrowserLogic& logic, const std::string& file_name);

}  // namespace kivrel::cli
