// Writing a Picture as a Windows bitmap file ("Sauvegarde BMP"), in the picture's own pixel
// format: 1, 4 and 8 bits with a palette of 2^bits entries (the picture's palette, cut or
// padded with black), 24 bits, and 16 or 32 bits either plain (BI_RGB, when the picture has
// no masks) or with a 108-byte V4 header carrying its four masks (BI_BITFIELDS). Rows are
// written bottom first, each padded with zeros to a multiple of 4 bytes.
//
// The file is written as WriteOutputFile (base/output_file.h) writes it: a regular file only,
// replaced whole or not at all, never the file being shown.
//
// EncodeBmp: the whole file in memory; empty for a pixel format outside those above or an
// empty picture.
// WriteBmp: writes it to `file_name`; `shown_file` is the file on screen ("" for none).
// Errors: throws RunTimeError "Cannot create file <name>" when the file cannot be created or
// written, and for a pixel format outside those above (nothing is created then); and the
// refusals of WriteOutputFile for a target that is a folder, a device, a FIFO or the shown
// file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

std::vector<uint8_t> EncodeBmp(const Picture& picture);
void WriteBmp(const Picture& picture, const std::string& file_name,
              const std::string& shown_file = {});

}  // namespace kivrel
