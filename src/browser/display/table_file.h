// Reading colour-table (.lut) and transfer-table (.itt) files: plain text, numbers with "." as
// decimal separator, separated by blanks, tabs or line ends. A number is read up to the next
// blank or control character (64 characters at most); after the last number of an entry the
// rest of its line is skipped; past the end of the file every number reads as 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivrel {

class TableFileReader {
 public:
  explicit TableFileReader(std::string text) : text_(std::move(text)) {}

  // The next number; throws RunTimeError "Invalid numeric input" when it is not one.
  double ReadNumber();
  // Skips to the start of the next line.
  void SkipLine();

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

// round(value x 255), a half to the even integer, taken modulo 256.
uint8_t TableByte(double value);

// The file in `folder` named `name` without regard to letter case: the exact name when it
// exists, else the first matching entry in byte order; "" when there is none.
std::string FindFileIgnoringCase(const std::string& folder, const std::string& name);

}  // namespace kivrel
