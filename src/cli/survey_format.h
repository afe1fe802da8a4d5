// The rows of `kivrel-cli survey` (one per image file) and their three output forms: an aligned
// text table, CSV and JSON lines.
//
// Columns, in this order: file, format, size ("<width>x<height>"), shown (the size shown when
// the image is capped, empty otherwise), type (the sample type: 8, 16, 32, -32, -64), layers,
// min, max, mean, sigma (of the physical values of the real samples), ra, dec, field (the sky
// centre and field texts, empty without a sky position), one column per header keyword asked
// for (named by the keyword), error (why the file failed; its other columns are then empty).
//
// Numbers never depend on the locale: "." is the decimal separator everywhere. The table shows
// 6 significant digits; CSV and JSON carry the shortest text that reads back as the same double.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivrel {

struct SurveyStats {
  double min = 0;
  double max = 0;
  double mean = 0;
  double sigma = 0;
};

struct SurveyRow {
  std::string file;    // the path as given or found (UTF-8 expected, not required)
  std::string format;  // "FITS", "PIC", "raster"
  int64_t width = 0;   // the image's own size
  int64_t height = 0;
  int32_t shown_width = 0;  // the part shown when the image is capped; 0 when it is not
  int32_t shown_height = 0;
  int32_t sample_type = 0;
  int32_t layers = 0;
  std::optional<SurveyStats> stats;
  std::string ra;  // empty when the image has no sky position
  std::string dec;
  std::string field;
  // One per keyword asked for, in the order asked; empty when the header lacks it.
  std::vector<std::optional<std::string>> key_values;
  std::string failure;  // not empty: the file could not be read, and why
};

// `value` with `significant` digits in general notation ("1177.86", "1e+20"), or as the
// shortest text that reads back as the same double when `significant` is 0; "." always.
std::string NumberText(double value, int significant);

// The column names for the keywords `keys`.
std::vector<std::string> SurveyColumns(const std::vector<std::string>& keys);

// The whole table: a header line then one line per row, columns two blanks apart, each as
// wide as its widest cell counted in code points; numbers aligned right, texts left; no
// trailing blanks; control characters shown as "?". Every line ends with "\n".
std::string SurveyTable(const std::vector<SurveyRow>& rows, const std::vector<std::string>& keys);

// One CSV field, quoted (with inner quotes doubled) when it holds a comma, a quote, a carriage
// return or a line feed.
std::string CsvField(std::string_view text);
// The CSV header line and a row's line, each ending with "\r\n".
std::string SurveyCsvHeader(const std::vector<std::string>& keys);
std::string SurveyCsvLine(const SurveyRow& row, const std::vector<std::string>& keys);

// A row as one JSON object on one line ending with "\n": "file", "format", "width", "height",
// "shown" ({"width", "height"} or null), "sample_type", "layers", "min", "max", "mean",
// "sigma", "ra", "dec", "field", "keys" (keyword -> value or null), "error"; null for what is
// not known. Bytes that are not UTF-8 become U+FFFD.
std::string SurveyJsonLine(const SurveyRow& row, const std::vector<std::string>& keys);

}  // namespace kivrel
