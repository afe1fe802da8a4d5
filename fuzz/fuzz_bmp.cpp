// libFuzzer target for the bitmap reader: any bytes as a .bmp file. A picture that comes back
// must be consistent (size, palette, pixel format) and convertible to 24 bits; anything else
// must be the "Bitmap image is not valid" error.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "browser/base/byte_source.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "fuzz_bmp_check.h"
#include "skylib/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  Picture picture;
  MemoryByteSource source(data, size);
  try {
    ReadBmp(source, picture);
  } catch (const RunTimeError& e) {
    if (std::strcmp(e.what(), "Bitmap image is not valid") != 0) __builtin_trap();
    return 0;
  }
  fuzz::CheckPicture(picture);
  return 0;
}
