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

#include "browser/dialog/browser_logic.h"
#include "browser/dialog/ini_file.h"
#include "skylib/skylib.h"

namespace kivrel {

void BrowserLogic::SetDefaultTexts() {
  Store.MsgKeyword = "Mot clé";
  Store.MsgMissing = "manquant";
  Store.MsgPaletteError = "Erreur de création de la palette";
}

void BrowserLogic::LoadLanguage() {
  const std::string code = Settings().LanguageCode;
  if (code.compare("0") <= 0) return;

  const std::filesystem::path file =
      std::filesystem::path(Settings().BaseDir) / ("language" + code + ".ini");
  const IniFile ini = IniFile::Load(file.string());
  const std::string images = "images_" + code;
  const std::string buttons = "buttons_" + code;
  const auto read = [&](const std::string& section, const std::string& key) {
    return ini.ReadString(section, key, "?");
  };

  Caption = read(images, "title");
  const std::pair<const char*, std::string*> captions[] = {
      {"t_1", &Label3.Caption},           {"t_2", &Label4.Caption},
      {"t_3", &Label7.Caption},           {"t_4", &Label8.Caption},
      {"t_5", &RadioGroup1.Caption},      {"t_6", &RadioGroup1.Items.at(0)},
      {"t_7", &RadioGroup1.Items.at(1)},  {"t_8", &RadioGroup2.Caption},
      {"t_9", &RadioGroup2.Items.at(0)},  {"t_10", &RadioGroup2.Items.at(1)},
      {"t_11", &RadioGroup2.Items.at(2)}, {"t_12", &RadioGroup2.Items.at(3)},
      {"t_13", &BitBtn1.Caption}};
  for (const auto& [key, text] : captions)
    *text = read(images, key);
  BitBtn2.Caption = read(buttons, "help");
  BitBtn3.Caption = read(buttons, "ok");
  BitBtn4.Caption = read(buttons, "cancel");
  const std::pair<const char*, std::string*> more[] = {
      {"t_14", &SpeedButton1.Caption}, {"t_15", &SpeedButton4.Caption},
      {"t_16", &SpeedButton5.Caption}, {"t_17", &Label9.Caption},
      {"t_18", &Label11.Caption},      {"t_19", &Label12.Caption},
      {"t_20", &Label13.Caption}};
  for (const auto& [key, text] : more)
    *text = read(images, key);
  Store.MsgKeyword = read(images, "m_" + std::to_string(1));
  Store.MsgMissing = read(images, "m_" + std::to_string(2));
  Store.MsgPaletteError = read(images, "m_" + std::to_string(3));
}

}  // namespace kivrel
