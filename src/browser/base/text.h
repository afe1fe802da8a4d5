// Small text helpers shared by the readers and the dialog logic.
#pragma once

#include <string>
#include <string_view>

namespace kivrel {

// Removes leading and trailing blanks and control characters (bytes up to 0x20).
std::string_view TrimControls(std::string_view text);

// Bytes from inside files (header cards, CTYPE values, PIC text fields) are Windows-1252;
// everything the engine shows is UTF-8.
std::string Cp1252ToUtf8(std::string_view bytes);

// ASCII lower case; other bytes unchanged.
std::string LowerAscii(std::string_view text);

// "dir/name.ext" -> "name.ext".
std::string FileNameOf(std::string_view path);

// The extension from the last dot of the file name, dot included, in lower case; "" when none.
std::string LowerExtension(std::string_view path);

// Whether a non-empty extension occurs as a substring of a list such as ".fit .fts .fits".
bool ExtensionOccursIn(std::string_view ext, std::string_view list);

// Right-aligns `text` in a field of `width` characters (longer texts are not cut).
std::string PadLeft(std::string_view text, std::size_t width);

}  // namespace kivrel
