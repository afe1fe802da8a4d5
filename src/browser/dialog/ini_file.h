// A small reader of INI text files for the language files: "[section]" lines, "key=value"
// lines, and nothing else (lines starting with ';' or '#' are comments; other lines are
// ignored).
//
// Lookups follow the usual profile-string rules: section and key names match without regard
// to ASCII letter case and without the blanks around them; the first matching section and,
// in it, the first matching key win; blanks around a value are dropped, then one pair of
// matching quotes (" or ') around it is removed, then the value is cut to 2047 characters.
//
// Encoding: a UTF-8 file (with or without its byte-order mark) is taken as it is; any other
// file is read as Windows-1252 and turned into UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kivrel {

class IniFile {
 public:
  // Longest value handed back, in characters (a 2048-character buffer less its final zero).
  static constexpr std::size_t kMaxValueLength = 2047;

  // An empty file: every lookup gives its default.
  IniFile() = default;

  // Reads `path`. A missing or unreadable file reads as an empty one; only its first 4 MiB
  // are looked at. Never throws.
  static IniFile Load(const std::string& path);

  // The same rules over a text held in memory.
  static IniFile Parse(std::string_view text);

  // The value of `key` in `section`, or `default_value` when either is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

 private:
  struct Entry {
    std::string key;  // lower case
    std::string value;
  };
  struct Section {
    std::string name;  // lower case
    std::vector<Entry> entries;
  };
  std::vector<Section> sections_;
};

}  // namespace kivrel
