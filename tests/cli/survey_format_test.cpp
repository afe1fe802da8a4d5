// Survey output: RFC 4180 quoting, JSON lines read back by nlohmann's parser, and a table whose
// columns line up in code points with accented names.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/survey_format.h"
#include "cli/utf8.h"

namespace kivrel {
namespace {

SurveyRow GoodRow(const std::string& file) {
  SurveyRow row;
  row.file = file;
  row.format = "FITS";
  row.width = 5000;
  row.height = 300;
  row.shown_width = 4000;
  row.shown_height = 300;
  row.sample_type = -32;
  row.layers = 1;
  row.stats = SurveyStats{-1.5, 65535, 1234.5678901, 0.125};
  row.ra = " 0 42 44.3";
  row.dec = "+41 16 09";
  row.field = "+0 21 20";
  row.key_values = {std::string("M31, \"Andromède\""), std::nullopt};
  return row;
}

SurveyRow FailedRow(const std::string& file) {
  SurveyRow row;
  row.file = file;
  row.failure = "Format non supporté.";
  return row;
}

const std::vector<std::string> kKeys = {"OBJECT", "EXPTIME"};

TEST(SurveyCsv, QuotesFieldsAsRfc4180Says) {
  const std::pair<const char*, const char*> cases[] = {{"plain.fits", "plain.fits"},
                                                       {"a,b.fits", "\"a,b.fits\""},
                                                       {"say \"hi\"", "\"say \"\"hi\"\"\""},
                                                       {"two\nlines", "\"two\nlines\""},
                                                       {"cr\r", "\"cr\r\""},
                                                       {"Nébuleuse", "Nébuleuse"}};
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(CsvField(text), expected) << text;
  // Whole lines: CRLF ends, shortest round-trip numbers, empty cells for what a failure lacks.
  EXPECT_EQ(SurveyCsvLine(GoodRow("a.fits"), kKeys),
            "a.fits,FITS,5000x300,4000x300,-32,1,-1.5,65535,1234.5678901,0.125, 0 42 44.3,"
            "+41 16 09,+0 21 20,\"M31, \"\"Andromède\"\"\",,\r\n");
  EXPECT_EQ(SurveyCsvLine(FailedRow("b.fits"), kKeys),
            "b.fits,,,,,,,,,,,,,,,Format non supporté.\r\n");
}

TEST(SurveyJson, LinesParseBack) {
  using nlohmann::json;
  const std::string good = SurveyJsonLine(GoodRow("dir/a\"b.fits"), kKeys);
  EXPECT_EQ(good.find('\n'), good.size() - 1);
  const json j = json::parse(good);
  EXPECT_EQ(j["file"], "dir/a\"b.fits");
  EXPECT_EQ(j["width"], 5000);
  EXPECT_EQ(j["shown"]["width"], 4000);
  EXPECT_EQ(j["mean"].get<double>(), 1234.5678901);
  EXPECT_EQ(j["keys"]["OBJECT"], "M31, \"Andromède\"");
  EXPECT_TRUE(j["keys"]["EXPTIME"].is_null());
  EXPECT_TRUE(j["error"].is_null());
  const json failed = json::parse(SurveyJsonLine(FailedRow("bad\xE9.fits"), kKeys));
  EXPECT_EQ(failed["error"], "Format non supporté.");
  EXPECT_TRUE(failed["width"].is_null());
  EXPECT_EQ(failed["file"], "bad\xEF\xBF\xBD.fits");  // a Latin-1 byte becomes U+FFFD
}

// The code-point column at which `needle` starts in `line`.
std::size_t ColumnOf(const std::string& line, const std::string& needle) {
  const std::size_t at = line.find(needle);
  return at == std::string::npos ? std::string::npos : Utf8Width(line.substr(0, at));
}

TEST(SurveyTable, ColumnsLineUpInCodePoints) {
  SurveyRow accented = GoodRow("Nébuleuse d'Orion.fits");  // 22 code points, 23 bytes
  accented.layers = 12;
  const std::string table = SurveyTable({GoodRow("m31.fits"), accented, FailedRow("é.fit")}, kKeys);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < table.size(); start = end + 1) {
    end = table.find('\n', start);
    lines.push_back(table.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 4u);
  // Texts start together, after the widest name and two blanks.
  for (const auto& [line, text] : {std::pair{0, "format"}, {1, "FITS"}, {2, "FITS"}})
    EXPECT_EQ(ColumnOf(lines[line], text), 24u) << line;
  // Numbers end together: 1 and 12 aligned right under "layers".
  const std::size_t layers_end = ColumnOf(lines[0], "layers") + 6;
  EXPECT_EQ(ColumnOf(lines[1], " 1  -1.5") + 2, layers_end);
  EXPECT_EQ(ColumnOf(lines[2], "12  -1.5") + 2, layers_end);
  EXPECT_NE(lines[2].find("  1234.57  "), std::string::npos);  // 6 significant digits
  // The failure's reason lands in the last column; no line ends with a blank.
  EXPECT_EQ(ColumnOf(lines[3], "Format non"), ColumnOf(lines[0], "error"));
  for (const std::string& line : lines)
    EXPECT_NE(line.back(), ' ');
}

}  // namespace
}  // namespace kivrel
