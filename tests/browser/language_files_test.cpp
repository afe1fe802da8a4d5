// Language files through the dialog's creation: which codes read a file, the file's name, every
// key's target, "?" for what the file does not give, and the message texts reaching the FITS
// reader's messages.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_logic.h"
#include "fits_fixture.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

using test::Bytes;

// Every text a language file can replace, by section and key.
struct Target {
  const char* section;  // "images" or "buttons"
  const char* key;
  std::function<const std::string&(const BrowserLogic&)> text;
  const char* french;
};

const std::vector<Target>& Targets() {
  static const std::vector<Target> targets = {
      {"images", "title", [](const BrowserLogic& b) -> auto& {return b.Caption;
}
, "Choix d'une image astronomique"
}  // namespace
, {"images", "t_1", [](const BrowserLogic& b) -> auto& {return b.Label3.Caption;
}  // namespace kivrel
, "Coul."
}
, {"images", "t_2", [](const BrowserLogic& b) -> auto& {return b.Label4.Caption;
}
, "Intensité"
}
, {"images", "t_3", [](const BrowserLogic& b) -> auto& {return b.Label7.Caption;
}
, "Min:"
}
, {"images", "t_4", [](const BrowserLogic& b) -> auto& {return b.Label8.Caption;
}
, "Max:"
}
, {"images", "t_5", [](const BrowserLogic& b) -> auto& {return b.RadioGroup1.Caption;
}
, "Couleur des images"
}
, {"images", "t_6", [](const BrowserLogic& b) -> auto& {return b.RadioGroup1.Items[0];
}
, "Palette du bitmap"
}
, {"images", "t_7", [](const BrowserLogic& b) -> auto& {return b.RadioGroup1.Items[1];
}
, "Palette modifiable"
}
, {"images", "t_8", [](const BrowserLogic& b) -> auto& {return b.RadioGroup2.Caption;
}
, "Intensité min/max"
}
, {"images", "t_9", [](const BrowserLogic& b) -> auto& {return b.RadioGroup2.Items[0];
}
, "en-tête"
}
, {"images", "t_10", [](const BrowserLogic& b) -> auto& {return b.RadioGroup2.Items[1];
}
, "data"
}
, {"images", "t_11", [](const BrowserLogic& b) -> auto& {return b.RadioGroup2.Items[2];
}
, "1 sig."
}
, {"images", "t_12", [](const BrowserLogic& b) -> auto& {return b.RadioGroup2.Items[3];
}
, "2 sig."
}
, {"images", "t_13", [](const BrowserLogic& b) -> auto& {return b.BitBtn1.Caption;
}
, "Sauvegarde BMP"
}
, {"buttons", "help", [](const BrowserLogic& b) -> auto& {return b.BitBtn2.Caption;
}
, "Aide"
}
, {"buttons", "ok", [](const BrowserLogic& b) -> auto& {return b.BitBtn3.Caption;
}
, "OK"
}
, {"buttons", "cancel", [](const BrowserLogic& b) -> auto& {return b.BitBtn4.Caption;
}
, "Abandon"
}
, {"images", "t_14", [](const BrowserLogic& b) -> auto& {return b.SpeedButton1.Caption;
}
, "Taille réelle"
}
, {"images", "t_15", [](const BrowserLogic& b) -> auto& {return b.SpeedButton4.Caption;
}
, "Zoom 1:1"
}
, {"images", "t_16", [](const BrowserLogic& b) -> auto& {return b.SpeedButton5.Caption;
}
, "Zoom prec."
}
, {"images", "t_17", [](const BrowserLogic& b) -> auto& {return b.Label9.Caption;
}
, "Inversion de l'image"
}
, {"images", "t_18", [](const BrowserLogic& b) -> auto& {return b.Label11.Caption;
}
, "Couche"
}
, {"images", "t_19", [](const BrowserLogic& b) -> auto& {return b.Label12.Caption;
}
, "Filtre"
}
, {"images", "t_20", [](const BrowserLogic& b) -> auto& {return b.Label13.Caption;
}
, "Seuil"
}
, {"images", "m_1", [](const BrowserLogic& b) -> auto& {return b.Store.MsgKeyword;
}
, "Mot clé"
}
, {"images", "m_2", [](const BrowserLogic& b) -> auto& {return b.Store.MsgMissing;
}
, "manquant"
}
, {"images", "m_3", [](const BrowserLogic& b) -> auto& {return b.Store.MsgPaletteError;
}
, "Erreur de création de la palette"
}
,
}
;
return targets;
}

// The texts no key reaches.
void ExpectKeylessTextsKept(const BrowserLogic& b) {
  EXPECT_EQ(b.RadioGroup2.Items[4], "70%");
  EXPECT_EQ(b.Label5.Caption, "0");
  EXPECT_EQ(b.Label6.Caption, "255");
  EXPECT_EQ(b.ComboBox3.Items.at(0), "None");
}

class LanguageFiles : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = Settings(); }
  void TearDown() override { Settings() = saved_; }

  // A file `name` holding `text` in a folder of its own, which becomes BaseDir.
  void WriteFile(const std::string& name, const std::string& text) {
    file_ = std::make_unique<test::TempFile>(name, Bytes(text.begin(), text.end()));
    Settings().BaseDir = std::filesystem::path(file_->path()).parent_path().string();
  }

  std::unique_ptr<BrowserLogic> Create(const std::string& code) {
    Settings().LanguageCode = code;
    BrowserOptions options;
    options.app_dir = KIVREL_SOURCE_DIR;
    options.load_decoder = false;
    return std::make_unique<BrowserLogic>(options);
  }

 private:
  SkyLibSettings saved_;
  std::unique_ptr<test::TempFile> file_;
};

// A file giving every key the text "<key>!".
std::string FullFile(const std::string& code) {
  std::string images = "[images_" + code + "]\n";
  std::string buttons = "[buttons_" + code + "]\n";
  for (const Target& t : Targets())
    (std::string(t.section) == "images" ? images : buttons) +=
        std::string(t.key) + "=" + t.key + "!\n";
  return images + buttons;
}

TEST_F(LanguageFiles, CodesUpToZeroKeepTheFrenchTexts) {
  // "-" sorts below "0" byte by byte: its file exists and is still not read.
  for (const std::string code : {"", "0", "-"}) {
    WriteFile("language" + code + ".ini", FullFile(code));
    const auto b = Create(code);
    for (const Target& t : Targets())
      EXPECT_EQ(t.text(*b), t.french) << "code '" << code << "', key " << t.key;
  }
}

TEST_F(LanguageFiles, EveryKeyReachesItsText) {
  WriteFile("language1.ini", FullFile("1"));
  const auto b = Create("1");
  for (const Target& t : Targets())
    EXPECT_EQ(t.text(*b), std::string(t.key) + "!") << t.key;
  ExpectKeylessTextsKept(*b);
}

TEST_F(LanguageFiles, OnlyAButtonsSectionGivesQuestionMarksElsewhere) {
  WriteFile("language1.ini", "[buttons_1]\nhelp=Help\nok=\"Okay\"\ncancel=Cancel\n");
  const auto b = Create("1");
  EXPECT_EQ(b->BitBtn2.Caption, "Help");
  EXPECT_EQ(b->BitBtn3.Caption, "Okay");
  EXPECT_EQ(b->BitBtn4.Caption, "Cancel");
  for (const Target& t : Targets()) {
    if (std::string(t.section) == "images") {
      EXPECT_EQ(t.text(*b), "?") << t.key;
    }
  }
  ExpectKeylessTextsKept(*b);
}

TEST_F(LanguageFiles, ACodeWithoutItsFileTurnsEveryTextIntoQuestionMarks) {
  WriteFile("language1.ini", FullFile("1"));
  const auto b = Create("2");  // language2.ini is not there
  for (const Target& t : Targets())
    EXPECT_EQ(t.text(*b), "?") << t.key;
  ExpectKeylessTextsKept(*b);
}

TEST_F(LanguageFiles, FileNameIsLanguageThenTheCode) {
  WriteFile("languageen.ini", "[images_en]\nt_1=Colour\n[buttons_en]\nok=OK!\n");
  const auto b = Create("en");
  EXPECT_EQ(b->Label3.Caption, "Colour");
  EXPECT_EQ(b->BitBtn3.Caption, "OK!");
  // "00" is above "0" as a byte string: its file is read.
  WriteFile("language00.ini", "[images_00]\nt_1=Zero\n");
  EXPECT_EQ(Create("00")->Label3.Caption, "Zero");
}

TEST_F(LanguageFiles, MessageTextsReachTheReaderMessages) {
  WriteFile("language1.ini", "[images_1]\nm_1=Keyword\nm_2=missing\n");
  const auto b = Create("1");
  const test::TempFile fits(
      "simple_f.fits", test::HeaderBlocks({test::Card("SIMPLE", "F"), test::Card("BITPIX", "16"),
                                           test::Card("NAXIS", "2"), test::Card("NAXIS1", "2"),
                                           test::Card("NAXIS2", "2"), "END"}));
  b->FileListBox1Click(fits.path());
  EXPECT_EQ(b->Label2.Caption, "Format non supporté.Keyword \"SIMPLE = T\" missing");
}

TEST_F(LanguageFiles, DefaultTextsComeBackOnRequest) {
  WriteFile("language1.ini", "");
  const auto b = Create("1");
  EXPECT_EQ(b->Store.MsgKeyword, "?");
  b->SetDefaultTexts();
  EXPECT_EQ(b->Store.MsgKeyword, "Mot clé");
  EXPECT_EQ(b->Store.MsgMissing, "manquant");
  EXPECT_EQ(b->Store.MsgPaletteError, "Erreur de création de la palette");
}

}  // namespace
}  // namespace kivrel
