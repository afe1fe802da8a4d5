// UTF-8 text as code points, for the fixed-width outputs of the CLI (the table's columns, the
// progress line, the names under the pictures of a contact sheet), where one code point takes
// one cell (combining and double-width characters are not told apart).
//
// Decoding never fails: every byte that does not begin a well-formed sequence (a stray
// continuation byte, an overlong form, a surrogate, a truncated sequence, a Latin-1 file name)
// gives U+FFFD and decoding goes on at the next byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kivrel {

std::u32string DecodeUtf8(std::string_view text);

std::string EncodeUtf8(std::u32string_view code_points);

// The number of code points DecodeUtf8 gives for `text`.
std::size_t Utf8Width(std::string_view text);

}  // namespace kivrel
