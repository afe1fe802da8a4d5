// libFuzzer target for the PIC reader: any bytes as a PIC file, read and listed. Neither may crash,
// hang or hold more than the capped plane.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/pic_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  {
    MemoryByteSource source(data, size);
    const ReadResult r = ReadPic(source, ReadRequest{});
    const Image& image = r.image;
    if (r.Succeeded()) {
      const int32_t height = image.height;
      const int32_t width = image.width;
      const bool fits = height <= kMaxPlaneSize && width <= kMaxPlaneSize;
      const auto* p16 = image.plane.Get<int16_t>();
      const auto* p32 = image.plane.Get<int32_t>();
      const bool plane16 = image.SampleType == kSample16 && p16 != nullptr &&
                           p16->rows() == height && p16->cols() == width;
      const bool plane32 = image.SampleType == kSample32 && p32 != nullptr &&
                           p32->rows() == height && p32->cols() == width;
      if (!fits || !(plane16 || plane32) || !(image.stats.DataMin <= image.stats.DataMax))
        __builtin_trap();
    }
  }
  {
    MemoryByteSource source(data, size);
    const HeaderListing listing = ListPicHeader(source);
    if (!listing.ok || listing.lines.size() != 24) __builtin_trap();
  }
  return 0;
}
