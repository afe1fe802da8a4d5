// Writing a Picture as a PNG file: the 8-bit palette picture as colour type 3 with a PLTE of
// 256 entries (the picture's palette, padded with black), and 24-bit pictures (blue, green,
// red bytes in memory) as colour type 2, RGB. Compression goes through libpng's simplified
// writer into memory, so that a failed encode leaves no file behind.
//
// EncodePng returns the PNG data stream; it is empty when the picture's pixel format is not
// one of the two above or when libpng fails (it reports no reason worth showing).
// WritePng writes that stream to `file_name` as WriteOutputFile does (never over `shown_file`,
// the old file kept on failure), and throws RunTimeError "Cannot create file <name>" when the
// picture cannot be encoded, or WriteOutputFile's errors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

// Whether EncodePng takes this picture's pixel format and size.
bool PngWritable(const Picture& picture);

std::vector<uint8_t> EncodePng(const Picture& picture);

void WritePng(const Picture& picture, const std::string& file_name,
              const std::string& shown_file = {});

}  // namespace kivrel
