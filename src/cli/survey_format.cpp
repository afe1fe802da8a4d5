#include "cli/survey_format.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "cli/utf8.h"

namespace kivrel {
namespace {

constexpr std::size_t kFixedColumns = 13;  // file .. field
constexpr std::size_t kFirstNumber = 4;    // type, layers, min, max, mean, sigma
constexpr std::size_t kLastNumber = 9;

std::string SizeText(int64_t width, int64_t height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

const std::optional<std::string>& KeyValue(const SurveyRow& row, std::size_t k) {
  static const std::optional<std::string> kAbsent;
  return k < row.key_values.size() ? row.key_values[k] : kAbsent;
}

std::vector<std::string> Cells(const SurveyRow& row, std::size_t key_count, int significant) {
  std::vector<std::string> cells(kFixedColumns + key_count + 1);
  cells[0] = row.file;
  cells[1] = row.format;
  cells.back() = row.failure;
  if (!row.failure.empty()) return cells;
  cells[2] = SizeText(row.width, row.height);
  if (row.shown_width > 0) cells[3] = SizeText(row.shown_width, row.shown_height);
  cells[4] = std::to_string(row.sample_type);
  cells[5] = std::to_string(row.layers);
  if (row.stats) {
    cells[6] = NumberText(row.stats->min, significant);
    cells[7] = NumberText(row.stats->max, significant);
    cells[8] = NumberText(row.stats->mean, significant);
    cells[9] = NumberText(row.stats->sigma, significant);
  }
  cells[10] = row.ra;
  cells[11] = row.dec;
  cells[12] = row.field;
  for (std::size_t k = 0; k < key_count; ++k)
    cells[kFixedColumns + k] = KeyValue(row, k).value_or("");
  return cells;
}

std::string CsvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(cells[i]);
  }
  return line + "\r\n";
}

// Control characters (a line feed in a file name) would break the table's lines.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

// A table line: cells padded to their column's width, two blanks apart, no trailing blanks.
std::string TableLine(const std::vector<std::string>& cells,
                      const std::vector<std::size_t>& widths) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const std::size_t pad = widths[i] - Utf8Width(cells[i]);
    if (i > 0) line += "  ";
    if (i >= kFirstNumber && i <= kLastNumber) {
      line.append(pad, ' ');
      line += cells[i];
    } else {
      line += cells[i];
      line.append(pad, ' ');
    }
  }
  line.erase(line.find_last_not_of(' ') + 1);
  return line + "\n";
}

}  // namespace

std::string NumberText(double value, int significant) {
  // to_chars never looks at the locale.
  char buf[64];
  const std::to_chars_result r =
      significant > 0
          ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, significant)
          : std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::vector<std::string> SurveyColumns(const std::vector<std::string>& keys) {
  std::vector<std::string> columns = {"file", "format", "size",  "shown", "type", "layers", "min",
                                      "max",  "mean",   "sigma", "ra",    "dec",  "field"};
  columns.insert(columns.end(), keys.begin(), keys.end());
  columns.push_back("error");
  return columns;
}

std::string SurveyTable(const std::vector<SurveyRow>& rows, const std::vector<std::string>& keys) {
  std::vector<std::vector<std::string>> lines;
  lines.reserve(rows.size() + 1);
  lines.push_back(SurveyColumns(keys));
  for (const SurveyRow& row : rows) {
    lines.push_back(Cells(row, keys.size(), 6));
    for (std::string& cell : lines.back())
      cell = Printable(std::move(cell));
  }
  std::vector<std::size_t> widths(lines.front().size(), 0);
  for (const auto& cells : lines) {
    for (std::size_t i = 0; i < cells.size(); ++i)
      widths[i] = std::max(widths[i], Utf8Width(cells[i]));
  }
  std::string out;
  for (const auto& cells : lines)
    out += TableLine(cells, widths);
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string SurveyCsvHeader(const std::vector<std::string>& keys) {
  return CsvLine(SurveyColumns(keys));
}

std::string SurveyCsvLine(const SurveyRow& row, const std::vector<std::string>& keys) {
  return CsvLine(Cells(row, keys.size(), 0));
}

std::string SurveyJsonLine(const SurveyRow& row, const std::vector<std::string>& keys) {
  using Json = nlohmann::ordered_json;
  const bool ok = row.failure.empty();
  const auto text_or_null = [](const std::string& s) { return s.empty() ? Json() : Json(s); };
  const auto number_or_null = [&](double SurveyStats::*member) {
    return ok && row.stats ? Json((*row.stats).*member) : Json();
  };
  Json j;
  j["file"] = row.file;
  j["format"] = text_or_null(row.format);
  j["width"] = ok ? Json(row.width) : Json();
  j["height"] = ok ? Json(row.height) : Json();
  j["shown"] = ok && row.shown_width > 0
                   ? Json{{"width", row.shown_width}, {"height", row.shown_height}}
                   : Json();
  j["sample_type"] = ok ? Json(row.sample_type) : Json();
  j["layers"] = ok ? Json(row.layers) : Json();
  j["min"] = number_or_null(&SurveyStats::min);
  j["max"] = number_or_null(&SurveyStats::max);
  j["mean"] = number_or_null(&SurveyStats::mean);
  j["sigma"] = number_or_null(&SurveyStats::sigma);
  j["ra"] = ok ? text_or_null(row.ra) : Json();
  j["dec"] = ok ? text_or_null(row.dec) : Json();
  j["field"] = ok ? text_or_null(row.field) : Json();
  Json values = Json::object();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const auto& value = KeyValue(row, k);
    values[keys[k]] = ok && value ? Json(*value) : Json();
  }
  j["keys"] = std::move(values);
  j["error"] = text_or_null(row.failure);
  return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace kivrel
