// Language files through the dialog's creation: which codes read a file, the file's name, every
// key's target, "?" for what the file does not give, and the message texts reaching the FITS
// failure texts of the status line.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_controller.h"
#include "fits_fixture.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

using test::Bytes;

// Every text a language file can replace, by section and key.
struct Target {
  const char* section;  // "images" or "buttons"
  const char* key;
  std::function<const std::string&(const BrowserController&)> text;
  const char* french;
};

const std::vector<Target>& Targets() {
  using C = const BrowserController&;
  static const std::vector<Target> targets = {
      {"images", "title", [](C b) -> const std::string& { return b.texts.caption; },
       "Choix d'une image astronomique"},
      {"images", "t_1",
       [](C b) -> const std::string& { return b.colours.colour_table_label.caption; }, "Coul."},
      {"images", "t_2",
       [](C b) -> const std::string& { return b.colours.transfer_table_label.caption; },
       "Intensité"},
      {"images", "t_3", [](C b) -> const std::string& { return b.thresholds.min_label.caption; },
       "Min:"},
      {"images", "t_4", [](C b) -> const std::string& { return b.thresholds.max_label.caption; },
       "Max:"},
      {"images", "t_5", [](C b) -> const std::string& { return b.colours.colour_mode.caption; },
       "Couleur des images"},
      {"images", "t_6", [](C b) -> const std::string& { return b.colours.colour_mode.items[0]; },
       "Palette du bitmap"},
      {"images", "t_7", [](C b) -> const std::string& { return b.colours.colour_mode.items[1]; },
       "Palette modifiable"},
      {"images", "t_8", [](C b) -> const std::string& { return b.thresholds.level_mode.caption; },
       "Intensité min/max"},
      {"images", "t_9", [](C b) -> const std::string& { return b.thresholds.level_mode.items[0]; },
       "en-tête"},
      {"images", "t_10", [](C b) -> const std::string& { return b.thresholds.level_mode.items[1]; },
       "data"},
      {"images", "t_11", [](C b) -> const std::string& { return b.thresholds.level_mode.items[2]; },
       "1 sig."},
      {"images", "t_12", [](C b) -> const std::string& { return b.thresholds.level_mode.items[3]; },
       "2 sig."},
      {"images", "t_13", [](C b) -> const std::string& { return b.file.save.caption; },
       "Sauvegarde BMP"},
      {"buttons", "help", [](C b) -> const std::string& { return b.texts.help.caption; }, "Aide"},
      {"buttons", "ok", [](C b) -> const std::string& { return b.texts.ok.caption; }, "OK"},
      {"buttons", "cancel", [](C b) -> const std::string& { return b.texts.cancel.caption; },
       "Abandon"},
      {"images", "t_14",
       [](C b) -> const std::string& { return b.view_controls.real_size.caption; },
       "Taille réelle"},
      {"images", "t_15",
       [](C b) -> const std::string& { return b.view_controls.zoom_whole.caption; }, "Zoom 1:1"},
      {"images", "t_16",
       [](C b) -> const std::string& { return b.view_controls.zoom_previous.caption; },
       "Zoom prec."},
      {"images", "t_17",
       [](C b) -> const std::string& { return b.view_controls.flip_label.caption; },
       "Inversion de l'image"},
      {"images", "t_18", [](C b) -> const std::string& { return b.file.layer_label.caption; },
       "Couche"},
      {"images", "t_19", [](C b) -> const std::string& { return b.filters.filter_label.caption; },
       "Filtre"},
      {"images", "t_20",
       [](C b) -> const std::string& { return b.filters.threshold_label.caption; }, "Seuil"},
      {"images", "m_1", [](C b) -> const std::string& { return b.messages.keyword; }, "Mot clé"},
      {"images", "m_2", [](C b) -> const std::string& { return b.messages.missing; }, "manquant"},
      {"images", "m_3", [](C b) -> const std::string& { return b.messages.palette_error; },
       "Erreur de création de la palette"},
  };
  return targets;
}

// The texts no key reaches.
void ExpectKeylessTextsKept(const BrowserController& b) {
  EXPECT_EQ(b.thresholds.level_mode.items[4], "70%");
  EXPECT_EQ(b.view_controls.bar_low_label.caption, "0");
  EXPECT_EQ(b.view_controls.bar_high_label.caption, "255");
  EXPECT_EQ(b.filters.filter_list.items.at(0), "None");
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

  std::unique_ptr<BrowserController> Create(const std::string& code) {
    Settings().LanguageCode = code;
    BrowserOptions options;
    options.app_dir = KIVREL_SOURCE_DIR;
    options.load_decoder = false;
    return std::make_unique<BrowserController>(options);
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
  EXPECT_EQ(b->texts.help.caption, "Help");
  EXPECT_EQ(b->texts.ok.caption, "Okay");
  EXPECT_EQ(b->texts.cancel.caption, "Cancel");
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
  EXPECT_EQ(b->colours.colour_table_label.caption, "Colour");
  EXPECT_EQ(b->texts.ok.caption, "OK!");
  // "00" is above "0" as a byte string: its file is read.
  WriteFile("language00.ini", "[images_00]\nt_1=Zero\n");
  EXPECT_EQ(Create("00")->colours.colour_table_label.caption, "Zero");
}

TEST_F(LanguageFiles, MessageTextsReachTheFailureTexts) {
  WriteFile("language1.ini", "[images_1]\nm_1=Keyword\nm_2=missing\n");
  const auto b = Create("1");
  const test::TempFile fits(
      "simple_f.fits", test::HeaderBlocks({test::Card("SIMPLE", "F"), test::Card("BITPIX", "16"),
                                           test::Card("NAXIS", "2"), test::Card("NAXIS1", "2"),
                                           test::Card("NAXIS2", "2"), "END"}));
  b->ChooseFile(fits.path());
  EXPECT_EQ(b->texts.status_line.caption, "Format non supporté.Keyword \"SIMPLE = T\" missing");
}

// The default texts are set at each creation, before a language file replaces them.
TEST_F(LanguageFiles, DefaultTextsComeBackWithADialogThatReadsNoFile) {
  WriteFile("language1.ini", "");
  const auto b = Create("1");
  EXPECT_EQ(b->messages.keyword, "?");
  const auto fresh = Create("0");
  EXPECT_EQ(fresh->messages.keyword, "Mot clé");
  EXPECT_EQ(fresh->messages.missing, "manquant");
  EXPECT_EQ(fresh->messages.palette_error, "Erreur de création de la palette");
}

}  // namespace
}  // namespace kivrel
