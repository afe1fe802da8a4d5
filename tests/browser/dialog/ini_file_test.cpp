// The INI reader behind the language files: names without regard to case or surrounding
// blanks, the first section and key winning, one pair of quotes removed, values cut at 2047
// characters, the file's encoding, and files that are missing or are not files.
#include "browser/dialog/ini_file.h"

#include <gtest/gtest.h>

#include <string>

#include "fits_fixture.h"

namespace kivrel {
namespace {

struct LookupRow {
  const char* name;
  std::string text;
  const char* section;
  const char* key;
  std::string expected;  // "?" is the default asked for
};

void PrintTo(const LookupRow& row, std::ostream* os) {
  *os << row.name;
}

class IniLookup : public ::testing::TestWithParam<LookupRow> {};

TEST_P(IniLookup, GivesTheValueOrTheDefault) {
  const LookupRow& row = GetParam();
  EXPECT_EQ(IniFile::Parse(row.text).ReadString(row.section, row.key, "?"), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniLookup,
    ::testing::Values(
        LookupRow{"Plain", "[images_1]\ntitle=Hello\n", "images_1", "title", "Hello"},
        LookupRow{"SectionAndKeyIgnoreCase", "[Images_1]\nTITLE=Hello\n", "IMAGES_1", "Title",
                  "Hello"},
        LookupRow{"BlanksAroundNamesAndValue", "  [ images_1 ]  \n  t_1  =   Coul.  \n", "images_1",
                  "t_1", "Coul."},
        LookupRow{"InnerBlanksKept", "[s]\nk = two  words \n", "s", "k", "two  words"},
        LookupRow{"DoubleQuotesRemoved", "[s]\nk=\"  padded  \"\n", "s", "k", "  padded  "},
        LookupRow{"SingleQuotesRemoved", "[s]\nk='x'\n", "s", "k", "x"},
        LookupRow{"OnlyOnePairRemoved", "[s]\nk=\"\"x\"\"\n", "s", "k", "\"x\""},
        LookupRow{"MismatchedQuotesKept", "[s]\nk=\"x'\n", "s", "k", "\"x'"},
        LookupRow{"LoneQuoteKept", "[s]\nk=\"\n", "s", "k", "\""},
        LookupRow{"EqualsInValue", "[s]\nk=a=b\n", "s", "k", "a=b"},
        LookupRow{"EmptyValueIsNotTheDefault", "[s]\nk=\n", "s", "k", ""},
        LookupRow{"MissingKey", "[s]\nother=1\n", "s", "k", "?"},
        LookupRow{"MissingSection", "[t]\nk=1\n", "s", "k", "?"},
        LookupRow{"KeyInAnotherSection", "[s]\n[t]\nk=1\n", "s", "k", "?"},
        LookupRow{"KeyBeforeAnySection", "k=1\n[s]\n", "s", "k", "?"},
        LookupRow{"FirstKeyWins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
        LookupRow{"FirstSectionWins", "[s]\nk=1\n[S]\nk=2\n", "s", "k", "1"},
        LookupRow{"SecondSectionStillSearchedForOtherNames", "[s]\nk=1\n[t]\nk=2\n", "t", "k", "2"},
        LookupRow{"CommentLines", "[s]\n;k=1\n# k=2\nk=3\n", "s", "k", "3"},
        LookupRow{"CrLfLines", "[s]\r\nk=v\r\n", "s", "k", "v"},
        LookupRow{"NoFinalNewline", "[s]\nk=v", "s", "k", "v"},
        LookupRow{"LineWithoutEqualsIgnored", "[s]\nnonsense\nk=v\n", "s", "k", "v"},
        LookupRow{"UnclosedSectionIgnored", "[s]\n[broken\nk=v\n", "s", "k", "v"},
        LookupRow{"Utf8Kept", "[s]\nk=Intensité\n", "s", "k", "Intensité"},
        LookupRow{"Windows1252Converted", "[s]\nk=Intensit\xE9 \x80\n", "s", "k", "Intensité €"},
        LookupRow{"ByteOrderMarkSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(IniValueLength, LongValuesAreCutAt2047Characters) {
  const std::string long_value(3000, 'x');
  const IniFile ini = IniFile::Parse("[s]\nk=" + long_value + "\n");
  EXPECT_EQ(ini.ReadString("s", "k", "?"), std::string(2047, 'x'));
}

TEST(IniValueLength, AValueOf2047CharactersStaysWhole) {
  const std::string value(2047, 'y');
  EXPECT_EQ(IniFile::Parse("[s]\nk=" + value).ReadString("s", "k", "?"), value);
}

TEST(IniValueLength, CountsCharactersNotBytes) {
  // 2045 letters and three two-byte letters: the cut falls after the second "é".
  const std::string value = std::string(2045, 'a') + "ééé";
  EXPECT_EQ(IniFile::Parse("[s]\nk=" + value).ReadString("s", "k", "?"),
            std::string(2045, 'a') + "éé");
}

TEST(IniValueLength, QuotesGoBeforeTheCut) {
  const std::string value(2047, 'z');
  EXPECT_EQ(IniFile::Parse("[s]\nk=\"" + value + "\"").ReadString("s", "k", "?"), value);
}

TEST(IniLoad, ReadsAFile) {
  const std::string text = "[buttons_1]\nok=Okay\n";
  test::TempFile file("language1.ini", test::Bytes(text.begin(), text.end()));
  EXPECT_EQ(IniFile::Load(file.path()).ReadString("Buttons_1", "OK", "?"), "Okay");
}

TEST(IniLoad, MissingFileOrFolderReadsAsEmpty) {
  test::TempFile file("present.ini", {});
  const std::string folder = std::filesystem::path(file.path()).parent_path().string();
  EXPECT_EQ(IniFile::Load(folder + "/absent.ini").ReadString("s", "k", "?"), "?");
  EXPECT_EQ(IniFile::Load(folder).ReadString("s", "k", "?"), "?");
  EXPECT_EQ(IniFile::Load(file.path()).ReadString("s", "k", "dflt"), "dflt");
}

}  // namespace
}  // namespace kivrel
