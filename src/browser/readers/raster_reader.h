// The raster reader: .bmp files are decoded here, the other raster types through the decoder
// library. The decoded picture becomes an 8-bit plane ("Palette modifiable"), or is handed back
// to be shown with its own colours ("Palette du bitmap").
//
// Plane values by pixel format: 8 bits, the palette index; 15 and 16 bits, the mean of the
// pixel's two bytes; 24 bits, by layer, 1 red, 2 green, 3 blue, 0 the mean of the three (the
// layer clamped into 0..3, LayerCount 3); 32 bits, the mean of the four bytes (the layer left
// as asked). 1 and 4 bits per pixel have no plane: the read fails. Raster images are not
// capped in size, but the decoder library refuses pictures over its budget (the failure then
// says so, with the picture's size). HeaderMin 0, HeaderMax 255, BZero 0, BScale 1.
#pragma once

#include <string>

#include "browser/base/picture.h"
#include "browser/readers/decoder_library.h"
#include "browser/readers/read_result.h"

namespace kivrel {

// The extensions the raster reader takes, and those that need the decoder library.
inline constexpr const char* kRasterExtensions = ".bmp .dib .gif .jif .jpg .jpeg .tga .rle .pcx";

// The picture of a raster file: a .bmp file by our own reader, any other through `decoder`
// (none: a 0 x 0 picture with the failure kNoLibrary). Throws RunTimeError when the file
// cannot be opened or is not a valid bitmap.
DecodedPicture ReadRasterPicture(const std::string& file_name, const DecoderLibrary* decoder);

struct RasterResult {
  ReadResult read;
  // Shown with its own colours: the decoded picture, and read.image.SampleType holds its bit
  // depth (1, 4, 8, 15, 16, 24, 32; 0 for an unknown layout). No plane is filled then.
  bool own_colours = false;
  Picture picture;
};

// `own_colours`: the colour mode "Palette du bitmap". Throws as ReadRasterPicture.
RasterResult ReadRaster(const std::string& file_name, ReadRequest request, bool own_colours,
                        const DecoderLibrary* decoder);

}  // namespace kivrel
