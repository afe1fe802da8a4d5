#include "cli/utf8.h"

namespace kivrel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point of the well-formed sequence at text[i], and its length in `length`; the
// replacement character with length 1 when there is none.
char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t& length) {
  length = 1;
  const auto lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return lead;
  // Sequence length, payload bits of the lead byte, and the smallest code point that needs
  // this length (anything below is an overlong form).
  std::size_t n = 4;
  char32_t c = lead & 0x07;
  char32_t min = 0x10000;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    c = lead & 0x1F;
    min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    c = lead & 0x0F;
    min = 0x800;
  } else if (lead < 0xF0 || lead > 0xF4) {
    return kReplacement;
  }
  if (text.size() - i < n) return kReplacement;
  for (std::size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  length = n;
  return c;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0, length = 0; i < text.size(); i += length)
    out.push_back(DecodeAt(text, i, length));
  return out;
}

std::string EncodeUtf8(std::u32string_view code_points) {
  std::string out;
  out.reserve(code_points.size());
  for (char32_t c : code_points) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::size_t Utf8Width(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0, length = 0; i < text.size(); i += length) {
    DecodeAt(text, i, length);
    ++count;
  }
  return count;
}

}  // namespace kivrel
