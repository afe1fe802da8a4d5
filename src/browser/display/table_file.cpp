#include "browser/display/table_file.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "browser/base/numbers.h"
#include "browser/base/text.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) <= 0x20;
}

}  // namespace

double TableFileReader::ReadNumber() {
  while (pos_ < text_.size() && IsSeparator(text_[pos_]))
    ++pos_;
  if (pos_ >= text_.size()) return 0;
  const std::size_t start = pos_;
  while (pos_ < text_.size() && !IsSeparator(text_[pos_]) && pos_ - start < 64)
    ++pos_;
  const auto value = TryParseFloat(std::string_view(text_).substr(start, pos_ - start));
  if (!value) throw RunTimeError("Invalid numeric input");
  return static_cast<double>(*value);
}

void TableFileReader::SkipLine() {
  while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r')
    ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
  if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
}

uint8_t TableByte(double value) {
  long double r = std::fmod(RoundHalfEven(static_cast<long double>(value) * 255), 256.0L);
  if (r < 0) r += 256;
  return static_cast<uint8_t>(r);
}

std::string FindFileIgnoringCase(const std::string& folder, const std::string& name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path exact = fs::path(folder) / name;
  if (fs::is_regular_file(exact, ec)) return exact.string();
  const std::string wanted = LowerAscii(name);
  std::vector<std::string> matches;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && LowerAscii(it->path().filename().string()) == wanted) {
      matches.push_back(it->path().string());
    }
  }
  if (matches.empty()) return {};
  return *std::min_element(matches.begin(), matches.end());
}

}  // namespace kivrel
