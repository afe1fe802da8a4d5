// libFuzzer target for the language INI files: any text parsed, then looked up with a section
// and a key taken from the input. Checks what holds for every text: a value is well-formed
// UTF-8 of at most 2047 characters, lookups ignore ASCII case and the blanks around names, and
// a missing entry gives the default.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "browser/base/text.h"
#include "browser/dialog/ini_file.h"

namespace {

// Well-formed UTF-8, checked independently of the parser's own check.
bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80         ? 1
                          : (b >> 5) == 6  ? 2
                          : (b >> 4) == 14 ? 3
                          : (b >> 3) == 30 ? 4
                                           : 0;
    if (n == 0 || i + n > s.size()) return false;
    uint32_t cp = n == 1 ? b : b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    const uint32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < lowest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

std::size_t Characters(std::string_view s) {
  std::size_t n = 0;
  for (char c : s)
    n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(32);
  const std::string key = in.ConsumeRandomLengthString(32);
  const std::string text = in.ConsumeRemainingBytesAsString();
  const IniFile ini = IniFile::Parse(text);

  const std::string value = ini.ReadString(section, key, "\x01missing");
  if (value == "\x01missing") return 0;
  if (!IsUtf8(value) || Characters(value) > IniFile::kMaxValueLength) __builtin_trap();
  if (ini.ReadString(UpperAscii(section), UpperAscii(key), "") != value) __builtin_trap();
  if (ini.ReadString(" " + section + "\t", "\t" + key + " ", "") != value) __builtin_trap();
  return 0;
}
