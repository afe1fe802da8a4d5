// The FITS header reader: the card split, the keyword targets and defaults, the equinox and
// orientation rules, the failures, the block structure, and the header listing.
#include "browser/readers/fits_header.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "failure_checks.h"
#include "fits_fixture.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

using test::Bytes;
using test::Card;
using test::FitsFile;
using test::HeaderBlocks;
using test::ImageCards;

// ---- The card split -----------------------------------------------------------------------

struct SplitRow {
  const char* name;
  std::string card;
  std::string keyword;
  std::string value;
};

void PrintTo(const SplitRow& row, std::ostream* os) {
  *os << "[" << row.card << "]";
}

class FitsCardSplit : public ::testing::TestWithParam<SplitRow> {};

TEST_P(FitsCardSplit, GivesKeywordAndValue) {
  const SplitRow& row = GetParam();
  const std::string card = test::CardText(row.card);
  const FitsCard split = SplitFitsCard(card);
  EXPECT_EQ(split.keyword, row.keyword);
  EXPECT_EQ(split.value, row.value);
}

const std::string kSeventy =
    "1234567890123456789012345678901234567890123456789012345678901234567890";

INSTANTIATE_TEST_SUITE_P(
    Cards, FitsCardSplit,
    ::testing::Values(
        SplitRow{"Logical", "SIMPLE  =                    T / conforms", "SIMPLE", "T"},
        SplitRow{"StringKeepsQuotes", "CTYPE1  = 'RA---TAN'           / axis", "CTYPE1",
                 "'RA---TAN'"},
        SplitRow{"InnerBlanksKept", "RADECSYS= 'FK5     '", "RADECSYS", "'FK5     '"},
        SplitRow{"SlashInsideQuotesCuts", "OBJECT  = 'M31/NGC224'", "OBJECT", "'M31"},
        SplitRow{"NoSpaceBeforeSlash", "BSCALE  = 1./", "BSCALE", "1."},
        SplitRow{"CommentWithEquals", "COMMENT a = b / c", "COMMENT a", "b"},
        SplitRow{"SlashBeforeEquals", "HISTORY this/that = 5", "HISTORY this/that", ""},
        SplitRow{"End", "END", "END", ""}, SplitRow{"Blank", "", "", ""},
        SplitRow{"NoEqualsTakesEightColumns", "NOEQUALS  T", "NOEQUALS", "T"},
        SplitRow{"LongKeyword", "HIERARCH ESO DET CHIP = 5 / chip", "HIERARCH ESO DET CHIP", "5"},
        SplitRow{"ControlCharactersTrimmed", "\tBITPIX\t=\t16\t/ x", "BITPIX", "16"},
        SplitRow{"CaseKept", "bitpix  = 16", "bitpix", "16"},
        SplitRow{"EmptyValue", "UNDEF   =                      / nothing", "UNDEF", ""},
        // Without a "/", the value stops at column 79.
        SplitRow{"ValueEndsAtColumn79", "LONGVAL = " + kSeventy, "LONGVAL",
                 kSeventy.substr(0, 69)}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Keyword targets ----------------------------------------------------------------------

struct Parsed {
  FitsHeader header;
  uint64_t position = 0;  // where the file stands after the header
};

Parsed ParseHeader(const Bytes& bytes) {
  Parsed p;
  MemoryByteSource source(bytes.data(), bytes.size());
  p.header = ReadFitsHeader(source);
  p.position = source.Position();
  return p;
}

struct TargetRow {
  const char* name;
  std::vector<std::string> cards;  // between NAXIS2 and END
  std::function<void(const Parsed&)> check;
};

void PrintTo(const TargetRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsKeyword : public ::testing::TestWithParam<TargetRow> {};

TEST_P(FitsKeyword, LandsInTheHeader) {
  const Parsed p = ParseHeader(FitsFile(ImageCards(16, 4, 3, GetParam().cards)));
  EXPECT_EQ(p.header.geometry.sample_type, 16);
  EXPECT_EQ(p.header.geometry.width, 4);
  EXPECT_EQ(p.header.geometry.height, 3);
  GetParam().check(p);
}

INSTANTIATE_TEST_SUITE_P(
    Keywords, FitsKeyword,
    ::testing::Values(
        TargetRow{"Defaults",
                  {},
                  [](const Parsed& p) {
                    const FitsHeader& h = p.header;
                    const WorldKeywords& s = h.wcs;
                    EXPECT_EQ(h.LayerCount, 1);
                    EXPECT_EQ(h.BZero, 0);
                    EXPECT_EQ(h.BScale, 1);
                    EXPECT_EQ(h.HeaderMin, 0);
                    EXPECT_EQ(h.HeaderMax, 0);
                    EXPECT_FALSE(h.geometry.blank.has_value());  // no BLANK: no sample is blank
                    EXPECT_EQ(s.Ctype1, "");
                    EXPECT_EQ(s.Ctype2, "");
                    EXPECT_EQ(s.RaDecSys, "'FK4'");
                    EXPECT_EQ(s.Equinox, 1950);
                    for (double v : {s.Crpix1, s.Crpix2, s.Crval1, s.Crval2, s.Cdelt1, s.Cdelt2,
                                     s.Crota1, s.Crota2, s.cd.m1_1, s.cd.m1_2, s.cd.m2_1, s.cd.m2_2,
                                     s.pc.m1_2, s.pc.m2_1})
                      EXPECT_EQ(v, 0);
                    EXPECT_EQ(s.pc.m1_1, 1);
                    EXPECT_EQ(s.pc.m2_2, 1);
                    EXPECT_FALSE(s.HasCdelt);
                    EXPECT_FALSE(s.cd.present);
                    EXPECT_FALSE(s.pc.present);
                  }},
        TargetRow{"LayerCount",
                  {Card("NAXIS3", "3")},
                  [](const Parsed& p) { EXPECT_EQ(p.header.LayerCount, 3); }},
        TargetRow{"LaterCardWins",
                  {Card("NAXIS3", "2"), Card("NAXIS3", "4")},
                  [](const Parsed& p) { EXPECT_EQ(p.header.LayerCount, 4); }},
        TargetRow{"ScaleInExtendedPrecision",
                  {Card("BSCALE", "3.053295E-05"), Card("BZERO", "1.526648E-05")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.BScale, 3.053295E-05L);
                    EXPECT_EQ(p.header.BZero, 1.526648E-05L);
                  }},
        TargetRow{"BscaleAloneKeepsBzeroZero",
                  {Card("BSCALE", "0.7071")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.BScale, 0.7071L);
                    EXPECT_EQ(p.header.BZero, 0);
                  }},
        TargetRow{"ThreshLaterThanDatamin",
                  {Card("DATAMIN", "-5.5"), Card("DATAMAX", "900"), Card("THRESL", "10"),
                   Card("THRESH", "400")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.HeaderMin, 10);
                    EXPECT_EQ(p.header.HeaderMax, 400);
                  }},
        TargetRow{"DatamaxLaterThanThresh",
                  {Card("THRESL", "10"), Card("THRESH", "400"), Card("DATAMIN", "-5.5"),
                   Card("DATAMAX", "900")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.HeaderMin, -5.5);
                    EXPECT_EQ(p.header.HeaderMax, 900);
                  }},
        TargetRow{"Blank",
                  {Card("BLANK", "-32768")},
                  [](const Parsed& p) { EXPECT_EQ(p.header.geometry.blank, -32768); }},
        TargetRow{"AxisTypesKeepQuotes",
                  {"CTYPE1  = 'RA---TAN'", "CTYPE2  = 'DEC--TAN'           / dec"},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.wcs.Ctype1, "'RA---TAN'");
                    EXPECT_EQ(p.header.wcs.Ctype2, "'DEC--TAN'");
                  }},
        TargetRow{"ReferenceValues",
                  {Card("CRPIX1", "-361.737"), Card("CRPIX2", "182.79"), Card("CRVAL1", "162.75"),
                   Card("CRVAL2", "-30.76"), Card("CROTA1", "1.5"), Card("CROTA2", "-2.5")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.wcs.Crpix1, -361.737);
                    EXPECT_EQ(p.header.wcs.Crpix2, 182.79);
                    EXPECT_EQ(p.header.wcs.Crval1, 162.75);
                    EXPECT_EQ(p.header.wcs.Crval2, -30.76);
                    EXPECT_EQ(p.header.wcs.Crota1, 1.5);
                    EXPECT_EQ(p.header.wcs.Crota2, -2.5);
                  }},
        TargetRow{"Crota1DoesNotCountAsCdelt",
                  {Card("CROTA1", "12")},
                  [](const Parsed& p) { EXPECT_FALSE(p.header.wcs.HasCdelt); }},
        TargetRow{"Crota2CountsAsCdeltButFlipsNothing",
                  {Card("CROTA2", "12")},
                  [](const Parsed& p) {
                    EXPECT_TRUE(p.header.wcs.HasCdelt);
                    EXPECT_FALSE(p.header.flip_x);
                    EXPECT_FALSE(p.header.flip_y);
                  }},
        TargetRow{"CdMatrix",
                  {Card("CD1_1", "-0.5"), Card("CD1_2", "0.25"), Card("CD2_1", "0.125"),
                   Card("CD2_2", "0.5")},
                  [](const Parsed& p) {
                    EXPECT_TRUE(p.header.wcs.cd.present);
                    EXPECT_EQ(p.header.wcs.cd.m1_1, -0.5);
                    EXPECT_EQ(p.header.wcs.cd.m1_2, 0.25);
                    EXPECT_EQ(p.header.wcs.cd.m2_1, 0.125);
                    EXPECT_EQ(p.header.wcs.cd.m2_2, 0.5);
                    EXPECT_FALSE(p.header.wcs.HasCdelt);
                  }},
        TargetRow{"OnePcCardSetsTheFlag",
                  {Card("PC001002", "-7.9E-03")},
                  [](const Parsed& p) {
                    EXPECT_TRUE(p.header.wcs.pc.present);
                    EXPECT_EQ(p.header.wcs.pc.m1_1, 1);
                    EXPECT_EQ(p.header.wcs.pc.m1_2, -7.9E-03);
                    EXPECT_EQ(p.header.wcs.pc.m2_1, 0);
                    EXPECT_EQ(p.header.wcs.pc.m2_2, 1);
                  }},
        TargetRow{"PcMatrix",
                  {Card("PC001001", "0.5"), Card("PC002001", "0.25"), Card("PC002002", "2")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.wcs.pc.m1_1, 0.5);
                    EXPECT_EQ(p.header.wcs.pc.m2_1, 0.25);
                    EXPECT_EQ(p.header.wcs.pc.m2_2, 2);
                  }},
        TargetRow{"ModernPcAndRadesysAreNotKnown",
                  {Card("PC1_1", "5"), "RADESYS = 'FK5'"},
                  [](const Parsed& p) {
                    EXPECT_FALSE(p.header.wcs.pc.present);
                    EXPECT_EQ(p.header.wcs.pc.m1_1, 1);
                    EXPECT_EQ(p.header.wcs.RaDecSys, "'FK4'");
                  }},
        TargetRow{"KeywordsAreCaseSensitive",
                  {Card("naxis3", "5"), Card("Bscale", "2"), Card("cdelt1", "1")},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.LayerCount, 1);
                    EXPECT_EQ(p.header.BScale, 1);
                    EXPECT_FALSE(p.header.wcs.HasCdelt);
                  }},
        TargetRow{"CommentAndHistoryMatchNothing",
                  {"COMMENT BSCALE = 2 / not a scale", "HISTORY NAXIS3 = 7", "COMMENT / BZERO = 9"},
                  [](const Parsed& p) {
                    EXPECT_EQ(p.header.BScale, 1);
                    EXPECT_EQ(p.header.BZero, 0);
                    EXPECT_EQ(p.header.LayerCount, 1);
                  }},
        TargetRow{
            "UnknownCardsAreIgnoredEvenWhenNotNumbers",
            {"DATE-OBS= '19/05/94'", "SKEW    = 1.0, 2.0", Card("GROUPS", "T"), "CRDER1  = 'nan'"},
            [](const Parsed& p) { EXPECT_EQ(p.header.LayerCount, 1); }}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Equinox and frame --------------------------------------------------------------------

struct EquinoxRow {
  const char* name;
  std::vector<std::string> cards;
  double equinox;
  std::string radecsys;
};

void PrintTo(const EquinoxRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsEquinox : public ::testing::TestWithParam<EquinoxRow> {};

TEST_P(FitsEquinox, GivesTheEquinoxAndFrame) {
  const Parsed p = ParseHeader(FitsFile(ImageCards(16, 4, 3, GetParam().cards)));
  EXPECT_EQ(p.header.wcs.Equinox, GetParam().equinox);
  EXPECT_EQ(p.header.wcs.RaDecSys, GetParam().radecsys);
}

INSTANTIATE_TEST_SUITE_P(
    Equinox, FitsEquinox,
    ::testing::Values(
        EquinoxRow{"NothingGivesFk4And1950", {}, 1950, "'FK4'"},
        EquinoxRow{"Fk5Alone", {"RADECSYS= 'FK5'"}, 2000, "'FK5'"},
        EquinoxRow{"IcrsAlone", {"RADECSYS= 'ICRS'"}, 2000, "'ICRS'"},
        EquinoxRow{"Fk4NoEAlone", {"RADECSYS= 'FK4-NO-E'"}, 1950, "'FK4-NO-E'"},
        EquinoxRow{"PaddedFk5KeepsInnerBlanks", {"RADECSYS= 'FK5     '"}, 2000, "'FK5     '"},
        EquinoxRow{"QuotedJ2000", {"EQUINOX = 'J2000'"}, 2000, "'FK4'"},
        EquinoxRow{"QuotedB1950", {"EQUINOX = 'B1950'"}, 1950, "'FK4'"},
        EquinoxRow{"Float2000", {Card("EQUINOX", "2000.0")}, 2000, "'FK4'"},
        EquinoxRow{"Integer2000", {Card("EQUINOX", "2000")}, 2000, "'FK4'"},
        EquinoxRow{"OddNotation1950", {Card("EQUINOX", "0.19500000000000E+04")}, 1950, "'FK4'"},
        EquinoxRow{"PlainNumber", {Card("EQUINOX", "1975.5")}, 1975.5, "'FK4'"},
        EquinoxRow{"Epoch", {Card("EPOCH", "2000")}, 2000, "'FK4'"},
        EquinoxRow{"EquinoxAfterEpochWins",
                   {Card("EPOCH", "1.9553104248047E+03"), Card("EQUINOX", "2.0E+03")},
                   2000,
                   "'FK4'"},
        EquinoxRow{"EpochAfterEquinoxWins",
                   {Card("EQUINOX", "2.0E+03"), Card("EPOCH", "1.9553104248047E+03")},
                   1955.3104248047,
                   "'FK4'"},
        EquinoxRow{"ZeroWithFk5", {Card("EQUINOX", "0.0"), "RADECSYS= 'FK5'"}, 2000, "'FK5'"},
        EquinoxRow{"ZeroAlone", {Card("EQUINOX", "0.00000")}, 1950, "'FK4'"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Orientation ---------------------------------------------------------------------------

struct FlipRow {
  const char* name;
  std::vector<std::string> cards;
  bool flip_x;
  bool flip_y;
};

void PrintTo(const FlipRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsOrientation : public ::testing::TestWithParam<FlipRow> {};

// The header only ever asks for a flip to be pressed; the dialog never releases one for it.
TEST_P(FitsOrientation, PressesTheFlipsFromCdelt) {
  const FlipRow& row = GetParam();
  const Parsed p = ParseHeader(FitsFile(ImageCards(16, 4, 3, row.cards)));
  EXPECT_EQ(p.header.flip_x, row.flip_x);
  EXPECT_EQ(p.header.flip_y, row.flip_y);
}

INSTANTIATE_TEST_SUITE_P(
    Flips, FitsOrientation,
    ::testing::Values(
        FlipRow{"UsualSkyOrientation",
                {Card("CDELT1", "-0.001"), Card("CDELT2", "0.001")},
                false,
                false},
        FlipRow{"EastToTheRight", {Card("CDELT1", "0.001"), Card("CDELT2", "0.001")}, true, false},
        FlipRow{"SouthUp", {Card("CDELT1", "-0.001"), Card("CDELT2", "-0.001")}, false, true},
        FlipRow{"Both", {Card("CDELT1", "1.0"), Card("CDELT2", "-1.")}, true, true},
        FlipRow{"OnlyCdelt2Positive", {Card("CDELT2", "0.5")}, false, false},
        FlipRow{
            "CdMatrixDoesNotFlip", {Card("CD1_1", "0.001"), Card("CD2_2", "-0.001")}, false, false},
        // A negative CDELT1 asks for nothing: it never releases a flip already pressed.
        FlipRow{"NegativeCdelt1AsksNothing", {Card("CDELT1", "-0.001")}, false, false}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Failures -----------------------------------------------------------------------------

struct FailureRow {
  const char* name;
  std::vector<std::string> cards;
  ReadFailure::Form form;
  std::string detail;
};

void PrintTo(const FailureRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsHeaderFailure : public ::testing::TestWithParam<FailureRow> {};

TEST_P(FitsHeaderFailure, LeavesHeightZeroWithTheReason) {
  const Parsed p = ParseHeader(FitsFile(GetParam().cards));
  EXPECT_EQ(p.header.geometry.height, 0);
  EXPECT_TRUE(test::FailureIs(p.header.failure, GetParam().form, GetParam().detail));
  EXPECT_FALSE(p.header.error.has_value());
  // The read ended at the failing card: NAXIS3 after it was never looked at.
  EXPECT_EQ(p.header.LayerCount, 1);
}

constexpr ReadFailure::Form kKeyword = ReadFailure::Form::kKeyword;
constexpr ReadFailure::Form kMissing = ReadFailure::Form::kKeywordMissing;

std::vector<std::string> Cards(std::initializer_list<std::string> head) {
  std::vector<std::string> cards(head);
  cards.push_back(Card("NAXIS3", "5"));
  cards.push_back(Card("BSCALE", "not a number"));
  cards.push_back("END");
  return cards;
}

INSTANTIATE_TEST_SUITE_P(
    Mandatory, FitsHeaderFailure,
    ::testing::Values(
        FailureRow{"SimpleFalse", Cards({Card("SIMPLE", "F")}), kMissing, "SIMPLE = T"},
        FailureRow{"SimpleEmpty", Cards({"SIMPLE  ="}), kMissing, "SIMPLE = T"},
        FailureRow{"SimpleQuoted", Cards({Card("SIMPLE", "'T'")}), kMissing, "SIMPLE = T"},
        FailureRow{"NaxisOne",
                   Cards({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "1")}), kKeyword,
                   "NAXIS < 2"},
        FailureRow{"NaxisZero",
                   Cards({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "0")}), kKeyword,
                   "NAXIS < 2"},
        FailureRow{"NaxisNegative",
                   Cards({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "-3")}),
                   kKeyword, "NAXIS < 2"},
        FailureRow{"Naxis1Zero",
                   Cards({Card("SIMPLE", "T"), Card("BITPIX", "-32"), Card("NAXIS", "6"),
                          Card("NAXIS1", "0"), Card("NAXIS2", "3")}),
                   kKeyword, "NAXIS1 = 0"},
        FailureRow{"Naxis2Zero",
                   Cards({Card("SIMPLE", "T"), Card("BITPIX", "8"), Card("NAXIS", "2"),
                          Card("NAXIS1", "777777701"), Card("NAXIS2", "0")}),
                   kKeyword, "NAXIS2 = 0"}),
    [](const auto& row) { return std::string(row.param.name); });

struct ConversionRow {
  const char* name;
  std::string card;
  std::string message;
};

void PrintTo(const ConversionRow& row, std::ostream* os) {
  *os << row.name;
}

class FitsConversion : public ::testing::TestWithParam<ConversionRow> {};

TEST_P(FitsConversion, GivesTheRunTimeErrorAndKeepsWhatWasRead) {
  const Parsed p =
      ParseHeader(FitsFile(ImageCards(16, 4, 3, {Card("NAXIS3", "6"), GetParam().card})));
  ASSERT_TRUE(p.header.error.has_value()) << "no error";
  EXPECT_EQ(*p.header.error, GetParam().message);
  EXPECT_EQ(p.header.LayerCount, 6);
  EXPECT_EQ(p.header.geometry.height, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, FitsConversion,
    ::testing::Values(ConversionRow{"FortranExponent", Card("BSCALE", "1.0D+00"),
                                    "'1.0D+00' is not a valid floating point value"},
                      ConversionRow{"IntegerWrittenAsFloat", Card("NAXIS3", "16.0"),
                                    "'16.0' is not a valid integer value"},
                      ConversionRow{"QuotedEquinoxWithoutLetter", "EQUINOX = '2000'",
                                    "''2000'' is not a valid floating point value"},
                      ConversionRow{"TimeAsReferenceValue", "CRVAL1  = '22:44:50.591'      / start",
                                    "''22:44:50.591'' is not a valid floating point value"},
                      ConversionRow{"EmptyBlank", "BLANK   =                      / none",
                                    "'' is not a valid floating point value"},
                      ConversionRow{"Comma", Card("CDELT1", "0,001"),
                                    "'0,001' is not a valid floating point value"}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- Blocks -------------------------------------------------------------------------------

std::vector<std::string> Filler(int count) {
  std::vector<std::string> cards;
  for (int i = 0; i < count; ++i)
    cards.push_back("HISTORY filler card " + std::to_string(i));
  return cards;
}

TEST(FitsHeaderBlocks, EndInTheFirstBlockLeavesTheFileAtTheSecond) {
  const Parsed p = ParseHeader(FitsFile(ImageCards(16, 4, 3), Bytes(24, 1)));
  EXPECT_EQ(p.position, 2880u);
}

TEST(FitsHeaderBlocks, HeaderWithoutEndContinuesIntoTheNextBlock) {
  // 5 mandatory cards + 40 filler + NAXIS3 in the second block, then END.
  const Parsed p = ParseHeader(FitsFile(ImageCards(16, 4, 3,
                                                   [] {
                                                     auto c = Filler(40);
                                                     c.push_back(Card("NAXIS3", "2"));
                                                     return c;
                                                   }()),
                                        Bytes(48, 1)));
  EXPECT_EQ(p.position, 5760u);
  EXPECT_EQ(p.header.LayerCount, 2);
  EXPECT_EQ(p.header.wcs.RaDecSys, "'FK4'");
}

TEST(FitsHeaderBlocks, CardsAfterEndInItsBlockStillCount) {
  std::vector<std::string> cards = ImageCards(16, 4, 3);
  cards.push_back(Card("NAXIS3", "4"));
  cards.push_back(Card("CDELT1", "0.5"));
  const Parsed p = ParseHeader(FitsFile(cards));
  EXPECT_EQ(p.header.LayerCount, 4);
  EXPECT_TRUE(p.header.flip_x);
}

TEST(FitsHeaderBlocks, NoSampleTypeInTheFirstBlockStopsThere) {
  std::vector<std::string> cards = {Card("SIMPLE", "T"), Card("NAXIS", "2"), Card("NAXIS1", "4"),
                                    Card("NAXIS2", "3")};
  for (const std::string& c : Filler(32))
    cards.push_back(c);
  cards.push_back(Card("BITPIX", "16"));  // second block
  cards.push_back(Card("NAXIS3", "7"));
  cards.push_back("END");
  const Parsed p = ParseHeader(FitsFile(cards));
  EXPECT_EQ(p.header.geometry.sample_type, 0);
  EXPECT_EQ(p.header.geometry.height, 3);
  EXPECT_EQ(p.header.LayerCount, 1);
  EXPECT_TRUE(test::NoFailure(p.header.failure));
  EXPECT_EQ(p.position, 2880u);
}

TEST(FitsHeaderBlocks, ShortFileEndsSilentlyKeepingWhatWasRead) {
  Bytes bytes = HeaderBlocks(ImageCards(-32, 4, 3, Filler(36)));  // END in block 2
  bytes.resize(2880 + 1000);
  const Parsed p = ParseHeader(bytes);
  EXPECT_EQ(p.header.geometry.sample_type, -32);
  EXPECT_EQ(p.header.geometry.width, 4);
  EXPECT_EQ(p.header.geometry.height, 3);
  EXPECT_TRUE(test::NoFailure(p.header.failure));
  // The end-of-header defaults were never applied.
  EXPECT_EQ(p.header.wcs.RaDecSys, "");
  EXPECT_EQ(p.header.wcs.Equinox, 0);
}

TEST(FitsHeaderBlocks, EmptyFileGivesNothing) {
  const Parsed p = ParseHeader(Bytes{});
  EXPECT_EQ(p.header.geometry.height, 0);
  EXPECT_TRUE(test::NoFailure(p.header.failure));
}

// ---- Header listing -----------------------------------------------------------------------

HeaderListing List(const Bytes& bytes) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return ListFitsHeader(source);
}

TEST(FitsListing, ListsEveryCardOfTheBlocksUpToEnd) {
  const std::vector<std::string> cards = ImageCards(16, 4, 3, Filler(40));
  const HeaderListing l = List(FitsFile(cards, Bytes(100, 'x')));
  ASSERT_TRUE(l.ok);
  ASSERT_EQ(l.lines.size(), 72u);
  for (std::size_t i = 0; i < cards.size(); ++i)
    EXPECT_EQ(l.lines[i], test::CardText(cards[i])) << i;
  // The blank cards that pad the last block are listed as they are.
  EXPECT_EQ(l.lines.back(), std::string(80, ' '));
}

TEST(FitsListing, SimpleNeedsOnlyToBePresent) {
  const HeaderListing l = List(FitsFile({Card("SIMPLE", "F"), Card("NAXIS", "0"), "END"}));
  EXPECT_TRUE(l.ok);
  EXPECT_EQ(l.lines.size(), 36u);
}

TEST(FitsListing, NoSimpleInTheFirstBlockFails) {
  std::vector<std::string> cards = Filler(36);
  cards.push_back(Card("SIMPLE", "T"));
  cards.push_back("END");
  const HeaderListing l = List(FitsFile(cards));
  EXPECT_FALSE(l.ok);
  EXPECT_TRUE(test::FailureIs(l.failure, kMissing, "SIMPLE = T"));
}

TEST(FitsListing, FileShorterThanABlockFails) {
  Bytes bytes = FitsFile(ImageCards(16, 4, 3));
  bytes.resize(2879);
  const HeaderListing l = List(bytes);
  EXPECT_FALSE(l.ok);
  EXPECT_TRUE(test::FailureIs(l.failure, kMissing, "SIMPLE = T"));
}

TEST(FitsListing, TruncatedFileWithoutEndListsItsWholeBlocks) {
  std::vector<std::string> cards = {Card("SIMPLE", "T")};
  for (const std::string& c : Filler(100))
    cards.push_back(c);
  Bytes bytes = HeaderBlocks(cards);  // 3 blocks, no END
  bytes.resize(2 * 2880 + 500);
  const HeaderListing l = List(bytes);
  EXPECT_TRUE(l.ok);
  EXPECT_EQ(l.lines.size(), 72u);
}

TEST(FitsListing, LineEndsAtAZeroByteAndShowsLatin1Letters) {
  std::string with_zero = test::CardText("OBSERVER= 'Jos\xE9'");
  with_zero[40] = '\0';
  const HeaderListing l = List(FitsFile({Card("SIMPLE", "T"), with_zero, "END"}));
  ASSERT_TRUE(l.ok);
  EXPECT_EQ(l.lines[1], "OBSERVER= 'Jos\xC3\xA9'" + std::string(40 - 16, ' '));
}

TEST(FitsListing, MissingFileRaisesCannotOpen) {
  const std::string name = "/nonexistent/folder/image.fits";
  try {
    ListFitsHeader(name);
    ADD_FAILURE() << "no error";
  } catch (const RunTimeError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + name);
  }
}

}  // namespace
}  // namespace kivrel
