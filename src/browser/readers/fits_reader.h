// FITS data reading: one layer of the primary image into the plane of its sample type, rows
// turned over (the file's first row is the picture's bottom row), at most 4000 x 4000 samples
// kept, statistics of the physical values over every sample of the layer.
//
// Reader contract: height and width come back 0 (or not positive) when no plane was filled,
// with the reason in store.LoadErrorText; otherwise the plane's size. A file shorter than its
// header promises loads: the missing samples are 0. Throws RunTimeError when the file cannot
// be opened or read, or a header number cannot be converted.
#pragma once

#include <cstdint>
#include <string>

#include "browser/base/byte_source.h"
#include "browser/store/image_store.h"

namespace kivrel {

// Big-endian sample decoding; the first byte is the first in the file. The float forms give
// 0.0 when the first byte is 0x7F or 0xFF (infinities, NaNs and the largest magnitudes).
int16_t Swap16(const uint8_t* bytes);
int32_t Swap32(const uint8_t* bytes);
float SwapSingle(const uint8_t* bytes);
double SwapDouble(const uint8_t* bytes);

void ReadFits(ImageStore& store, const std::string& file_name, int32_t& height, int32_t& width,
              double& data_min, double& data_max);
void ReadFits(ImageStore& store, ByteSource& file, int32_t& height, int32_t& width,
              double& data_min, double& data_max);

}  // namespace kivrel
