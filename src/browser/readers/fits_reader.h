// FITS data reading: one layer of the primary image into the plane of its sample type, rows
// turned over (the file's first row is the picture's bottom row), at most 4000 x 4000 samples
// kept, statistics of the physical values over every sample of the layer.
//
// The result's image has height and width 0 when no plane was filled, with the reason in its
// failure; otherwise the plane's size. A file shorter than its header promises loads: the
// missing samples are 0. Throws RunTimeError when the file cannot be opened or read; a header
// number that cannot be converted comes back as the result's error.
#pragma once

#include <cstdint>
#include <string>

#include "browser/base/byte_source.h"
#include "browser/readers/read_result.h"

namespace kivrel {

// Big-endian sample decoding; the first byte is the first in the file. The float forms give
// 0.0 when the first byte is 0x7F or 0xFF (infinities, NaNs and the largest magnitudes).
int16_t Swap16(const uint8_t* bytes);
int32_t Swap32(const uint8_t* bytes);
float SwapSingle(const uint8_t* bytes);
double SwapDouble(const uint8_t* bytes);

ReadResult ReadFits(const std::string& file_name, ReadRequest request);
ReadResult ReadFits(ByteSource& file, ReadRequest request);

}  // namespace kivrel
