// libFuzzer target for colour-table (.lut) and transfer-table (.itt) files: any text read the
// way the palette loading reads it, 255 entries of three numbers then 255 entries of one. A
// text that is not a number may only end the read with "Invalid numeric input".
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "browser/base/numbers.h"
#include "browser/display/table_file.h"
#include "skylib/run_time_error.h"

namespace {

// Reads `entries` entries of `per_entry` numbers; each number must be one TryParseFloat takes
// and TableByte must agree with rounding it by hand.
void ReadEntries(const std::string& text, int per_entry) {
  using namespace kivrel;
  TableFileReader reader(text);
  try {
    for (int i = 1; i < 256; ++i) {
      for (int k = 0; k < per_entry; ++k) {
        const double value = reader.ReadNumber();
        // The reader hands back finite numbers only: beyond the double range is not a number.
        if (!std::isfinite(value)) __builtin_trap();
        const uint8_t byte = TableByte(value);
        const long double scaled = RoundHalfEven(static_cast<long double>(value) * 255);
        const long double wrapped = scaled - 256 * std::floor(scaled / 256);
        if (static_cast<long double>(byte) != wrapped) __builtin_trap();
      }
      reader.SkipLine();
    }
  } catch (const RunTimeError& e) {
    if (std::strcmp(e.what(), "Invalid numeric input") != 0) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  ReadEntries(text, 3);  // colour table: red, green, blue
  ReadEntries(text, 1);  // transfer table
  return 0;
}
