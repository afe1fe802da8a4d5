// FITS data reading: one layer of a FITS file into the plane of its sample type, rows turned
// over (the file's first row is the picture's bottom row), at most 4000 x 4000 samples kept,
// statistics of the physical values over every real sample of the layer.
//
// Layers: a file whose only image is its primary one has the layers of its third axis
// (NAXIS3), its header read from the start of the file as it always was. A file with images in
// extensions (after an empty primary, or beside a primary image) has the layers of every plane
// of every image HDU in file order, each HDU's header with the primary's keywords inherited
// (fits_layout.h); tile-compressed HDUs are decoded through cfitsio (fits_compressed.h).
// A file that starts with the gzip signature is read through zlib as it inflates.
//
// Blank samples (integers equal to BLANK, NaN floats) and the samples a short file does not
// hold are stored as 0, marked in the image's blank mask and left out of the statistics; the
// result's origin says when the file is short or when no sample is real (statistics 0).
// 64-bit integers (BITPIX 64) are held as doubles.
//
// The result's image has height and width 0 when no plane was filled, with the reason in its
// failure; otherwise the plane's size. Throws RunTimeError when the file cannot be opened or
// read; a header number that cannot be converted comes back as the result's error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "browser/base/byte_source.h"
#include "browser/readers/fits_compressed.h"
#include "browser/readers/read_result.h"

namespace kivrel {

// Big-endian sample decoding; the first byte is the first in the file. The float forms give
// 0.0 when the first byte is 0x7F or 0xFF (infinities, NaNs and the largest magnitudes).
int16_t Swap16(const uint8_t* bytes);
int32_t Swap32(const uint8_t* bytes);
float SwapSingle(const uint8_t* bytes);
double SwapDouble(const uint8_t* bytes);

// Reads one plane of a tile-compressed HDU (fits_compressed.h): the reader of a file by name
// gives one over that file; without one such images fail.
using CompressedPlaneReader = std::function<DecodedPlane(const FitsHdu& hdu, int64_t plane)>;

ReadResult ReadFits(const std::string& file_name, ReadRequest request);
ReadResult ReadFits(ByteSource& file, ReadRequest request,
                    const CompressedPlaneReader& compressed = {});

}  // namespace kivrel
