// libFuzzer target for packed bitmaps in memory, as the decoder library hands them over: any
// bytes through the same parser as .bmp files, with the length the caller knows.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "browser/readers/bmp_reader.h"
#include "fuzz_bmp_check.h"
#include "skylib/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  // The length the header promises is only a number: reading it must be safe.
  if (size >= 40) (void)PackedDibSize(data);
  Picture picture;
  try {
    ReadPackedDib(data, size, picture);
  } catch (const RunTimeError& e) {
    if (std::strcmp(e.what(), "Bitmap image is not valid") != 0) __builtin_trap();
    return 0;
  }
  fuzz::CheckPicture(picture);
  return 0;
}
