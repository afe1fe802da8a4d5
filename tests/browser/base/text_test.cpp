// Text helpers: trimming of header values, extensions for the reader choice, Windows-1252 text.
#include "browser/base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace kivrel {
namespace {

TEST(TextTrimControls, RemovesBlanksAndControlsAtBothEnds) {
  EXPECT_EQ(TrimControls("  'FK5     '  "), "'FK5     '");
  EXPECT_EQ(TrimControls("\t\r\n 16 \x01"), "16");
  EXPECT_EQ(TrimControls(std::string_view("\0T\0", 3)), "T");
  EXPECT_EQ(TrimControls("    "), "");
  EXPECT_EQ(TrimControls("a b"), "a b");
  EXPECT_EQ(TrimControls("\xE9t\xE9"), "\xE9t\xE9");  // Latin-1 letters are kept
}

struct ExtensionRow {
  const char* path;
  const char* ext;
};

class TextLowerExtension : public ::testing::TestWithParam<ExtensionRow> {};

TEST_P(TextLowerExtension, IsTakenFromTheLastDotOfTheName) {
  EXPECT_EQ(LowerExtension(GetParam().path), GetParam().ext);
}

INSTANTIATE_TEST_SUITE_P(Paths, TextLowerExtension,
                         ::testing::Values(ExtensionRow{"/data/m31.FITS", ".fits"},
                                           ExtensionRow{"/data/a.b.Fts", ".fts"},
                                           ExtensionRow{"/data.dir/noext", ""},
                                           ExtensionRow{"/data/trailing.", "."},
                                           ExtensionRow{"", ""},
                                           ExtensionRow{"/d/.hidden", ".hidden"}));

TEST(TextExtensionOccursIn, IsASubstringTestThatRefusesTheEmptyExtension) {
  const char* fits = ".fit .fts .fits";
  EXPECT_TRUE(ExtensionOccursIn(".fit", fits));
  EXPECT_TRUE(ExtensionOccursIn(".fits", fits));
  EXPECT_TRUE(ExtensionOccursIn(".f", fits));
  EXPECT_TRUE(ExtensionOccursIn(".", fits));
  EXPECT_FALSE(ExtensionOccursIn(".pic", fits));
  EXPECT_FALSE(ExtensionOccursIn(".fitz", fits));
  EXPECT_FALSE(ExtensionOccursIn("", fits));
}

TEST(TextCp1252, BecomesUtf8) {
  EXPECT_EQ(Cp1252ToUtf8("Mot cl\xE9"), "Mot clé");
  EXPECT_EQ(Cp1252ToUtf8("\x80 \x9C \xFF"), "€ œ ÿ");
  EXPECT_EQ(Cp1252ToUtf8("plain ASCII"), "plain ASCII");
}

TEST(TextFileNames, NameAndPadding) {
  EXPECT_EQ(FileNameOf("/a/b/c.fits"), "c.fits");
  EXPECT_EQ(FileNameOf("c.fits"), "c.fits");
  EXPECT_EQ(PadLeft("42", 5), "   42");
  EXPECT_EQ(PadLeft("123456", 3), "123456");
}

}  // namespace
}  // namespace kivrel
