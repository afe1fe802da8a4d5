#include "browser/dialog/ini_file.h"

#include <algorithm>
#include <cstdint>
#include <exception>

#include "browser/base/byte_source.h"
#include "browser/base/text.h"

namespace kivrel {
namespace {

constexpr uint64_t kMaxFileBytes = 4 << 20;

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t more = 0;
    uint32_t cp = 0;
    uint32_t lowest = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      more = 1, cp = b & 0x1F, lowest = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      more = 2, cp = b & 0x0F, lowest = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      more = 3, cp = b & 0x07, lowest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += more + 1;
  }
  return true;
}

}  // namespace

IniFile IniFile::Load(const std::string& path) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(path, kMaxFileBytes);
  } catch (const std::exception&) {
    return IniFile();  // a missing file is not an error: every key takes its default
  }
  return Parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

IniFile IniFile::Parse(std::string_view text) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  std::string converted;
  if (!IsUtf8(text)) {
    converted = Cp1252ToUtf8(text);
    text = converted;
  }

  IniFile ini;
  Section* current = nullptr;  // key lines before the first section belong to none
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) continue;
      ini.sections_.push_back(Section{LowerAscii(TrimBlanks(line.substr(1, close - 1))), {}});
      current = &ini.sections_.back();
      continue;
    }
    const std::size_t eq = line.find('=');
    if (current == nullptr || eq == std::string_view::npos) continue;
    current->entries.push_back(Entry{LowerAscii(TrimBlanks(line.substr(0, eq))),
                                     std::string(TrimBlanks(line.substr(eq + 1)))});
  }
  return ini;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view default_value) const {
  const std::string wanted_section = LowerAscii(TrimBlanks(section));
  const std::string wanted_key = LowerAscii(TrimBlanks(key));
  const auto s = std::find_if(sections_.begin(), sections_.end(),
                              [&](const Section& x) { return x.name == wanted_section; });
  if (s == sections_.end()) return std::string(default_value);
  const auto e = std::find_if(s->entries.begin(), s->entries.end(),
                              [&](const Entry& x) { return x.key == wanted_key; });
  if (e == s->entries.end()) return std::string(default_value);

  std::string_view value = e->value;
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  // Cut after kMaxValueLength characters (a character is one UTF-8 sequence).
  std::size_t characters = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if ((static_cast<unsigned char>(value[i]) & 0xC0) == 0x80) continue;
    if (characters++ == kMaxValueLength) {
      value = value.substr(0, i);
      break;
    }
  }
  return std::string(value);
}

}  // namespace kivrel
