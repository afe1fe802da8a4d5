// The dialog's message texts and the language files that can replace its captions.
//
// The file is <BaseDir>/language<code>.ini (the current directory when BaseDir is empty), with
// the sections "images_<code>" and "buttons_<code>". A code that sorts at or below "0" as a
// byte string (the empty code, "0") keeps the built-in French texts; any other code replaces
// every listed text, with "?" for a key the file does not give (or for every key when the file
// is missing).
#include <filesystem>
#include <string>
#include <utility>

#include "browser/dialog/browser_controller.h"
#include "browser/dialog/ini_file.h"
#include "skylib/skylib.h"

namespace kivrel {

void BrowserController::SetDefaultTexts() {
  messages = MessageTexts{};
}

void BrowserController::LoadLanguage() {
  const std::string code = Settings().LanguageCode;
  if (code.compare("0") <= 0) return;

  const std::filesystem::path ini_path =
      std::filesystem::path(Settings().BaseDir) / ("language" + code + ".ini");
  const IniFile ini = IniFile::Load(ini_path.string());
  const std::string images = "images_" + code;
  const std::string buttons = "buttons_" + code;
  const auto read = [&](const std::string& section, const std::string& key) {
    return ini.ReadString(section, key, "?");
  };

  texts.caption = read(images, "title");
  RadioGroupControl& colour_mode = colours.colour_mode;
  RadioGroupControl& level_mode = thresholds.level_mode;
  const std::pair<const char*, std::string*> captions[] = {
      {"t_1", &colours.colour_table_label.caption},
      {"t_2", &colours.transfer_table_label.caption},
      {"t_3", &thresholds.min_label.caption},
      {"t_4", &thresholds.max_label.caption},
      {"t_5", &colour_mode.caption},
      {"t_6", &colour_mode.items.at(0)},
      {"t_7", &colour_mode.items.at(1)},
      {"t_8", &level_mode.caption},
      {"t_9", &level_mode.items.at(0)},
      {"t_10", &level_mode.items.at(1)},
      {"t_11", &level_mode.items.at(2)},
      {"t_12", &level_mode.items.at(3)},
      {"t_13", &file.save.caption}};
  for (const auto& [key, text] : captions)
    *text = read(images, key);
  texts.help.caption = read(buttons, "help");
  texts.ok.caption = read(buttons, "ok");
  texts.cancel.caption = read(buttons, "cancel");
  const std::pair<const char*, std::string*> more[] = {
      {"t_14", &view_controls.real_size.caption},
      {"t_15", &view_controls.zoom_whole.caption},
      {"t_16", &view_controls.zoom_previous.caption},
      {"t_17", &view_controls.flip_label.caption},
      {"t_18", &file.layer_label.caption},
      {"t_19", &filters.filter_label.caption},
      {"t_20", &filters.threshold_label.caption}};
  for (const auto& [key, text] : more)
    *text = read(images, key);
  // Modes that older language files cannot know keep their own names when a file has no key.
  for (const auto& [key, item] : {std::pair{"t_21", 5}, std::pair{"t_22", 6}}) {
    std::string& text = level_mode.items.at(static_cast<std::size_t>(item));
    text = ini.ReadString(images, key, text);
  }
  messages.keyword = read(images, "m_" + std::to_string(1));
  messages.missing = read(images, "m_" + std::to_string(2));
  messages.palette_error = read(images, "m_" + std::to_string(3));
}

}  // namespace kivrel
