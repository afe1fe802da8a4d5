// Writing a Picture as a Windows bitmap file ("Sauvegarde BMP"), in the picture's own pixel
// format: 1, 4 and 8 bits with a palette of 2^bits entries (the picture's palette, cut or
// padded with black), 24 bits, and 16 or 32 bits either plain (BI_RGB, when the picture has
// no masks) or with a 108-byte V4 header carrying its four masks (BI_BITFIELDS). Rows are
// written bottom first, each padded with zeros to a multiple of 4 bytes.
//
// Errors: throws RunTimeError "Cannot create file <name>" when the file cannot be created or
// written, and for a pixel format outside those above (nothing is created then).
#pragma once

#include <string>

#include "browser/base/picture.h"

namespace kivrel {

void WriteBmp(const Picture& picture, const std::string& file_name);

}  // namespace kivrel
