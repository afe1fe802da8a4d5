#include "cli/actions.h"

namespace kivrel::cli {
namespace {

// The option of the table named `name` (without dashes), or null.
const CommandLineOption* FindOption(std::string_view name) {
  for (const ControlEntry& entry : ControlTable()) {
    for (const CommandLineOption& option : entry.options) {
      if (option.name == name) return &option;
    }
  }
  return nullptr;
}

}  // namespace

namespace {

void AddSetting(CLI::App& sub, const CommandLineOption& o, SettingValues& s) {
  const std::string flag = "--" + std::string(o.name);
  const std::string help(o.help);
  if (o.kind == OptionValue::kInteger) {
    sub.add_option(flag, s.integers[o.name], help)->check(CLI::Range(o.min, o.max));
  } else {
    sub.add_option(flag, s.texts[o.name], help);
  }
}

}  // namespace

void AddSettings(CLI::App& sub, SettingValues& s) {
  sub.add_option("--appdir", s.app_dir, "Folder holding palettes/ (exactly; no fallback)");
  for (const ControlEntry& entry : ControlTable()) {
    for (const CommandLineOption& o : entry.options) {
      if (o.setting) AddSetting(sub, o, s);
    }
  }
}

void AddOptions(CLI::App& sub, SettingValues& s) {
  sub.add_option("--appdir", s.app_dir, "Folder holding palettes/ (exactly; no fallback)");
  for (const ControlEntry& entry : ControlTable()) {
    for (const CommandLineOption& o : entry.options) {
      const std::string flag = "--" + std::string(o.name);
      const std::string help(o.help);
      if (o.setting) {
        AddSetting(sub, o, s);
      } else if (o.kind == OptionValue::kNone) {
        sub.add_flag(flag, help)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
      } else {
        sub.add_option(flag, help)
            ->expected(o.values)
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
      }
    }
  }
}

std::vector<OptionUse> CollectSettings(const SettingValues& s) {
  std::vector<OptionUse> uses;
  for (const ControlEntry& entry : ControlTable()) {
    for (const CommandLineOption& o : entry.options) {
      if (!o.setting) continue;
      if (const auto it = s.integers.find(o.name); it != s.integers.end() && it->second) {
        uses.push_back({&o, {std::to_string(*it->second)}});
      }
      if (const auto it = s.texts.find(o.name); it != s.texts.end() && it->second) {
        uses.push_back({&o, {*it->second}});
      }
    }
  }
  return uses;
}

std::vector<OptionUse> CollectActions(const CLI::App& sub) {
  std::map<const CLI::Option*, std::size_t> cursor;
  std::map<const CLI::Option*, std::size_t> entries;
  std::vector<OptionUse> actions;
  for (const CLI::Option* opt : sub.parse_order()) {
    const CommandLineOption* option = FindOption(opt->get_name().substr(2));
    if (option == nullptr || option->setting) continue;
    // The parse order lists an option once per value: an occurrence of a two-value option
    // is two entries, and only its first one starts an action.
    const std::size_t entry = entries[opt]++;
    if (option->values > 1 && entry % static_cast<std::size_t>(option->values) != 0) continue;
    OptionUse use{option, {}};
    const auto& results = opt->results();
    std::size_t& at = cursor[opt];
    for (int i = 0; i < option->values && at < results.size(); ++i)
      use.values.push_back(results[at++]);
    if (static_cast<int>(use.values.size()) != option->values) {
      throw UsageError("--" + std::string(option->name) + ": takes " +
                       std::to_string(option->values) + " values each time it is given");
    }
    try {
      CheckValues(*option, use.values);
    } catch (const BadOptionValue& e) {
      throw UsageError(e.what());
    }
    actions.push_back(std::move(use));
  }
  return actions;
}

void RunOptions(BrowserController& controller, const std::vector<OptionUse>& uses) {
  for (const OptionUse& use : uses) {
    try {
      use.option->run(controller, use.values);
    } catch (const BadOptionValue& e) {
      throw UsageError(e.what());
    }
  }
}

}  // namespace kivrel::cli
