// libFuzzer target for the PIC reader: any bytes as a PIC file, read into a fresh store and
// listed. Neither may crash, hang or hold more than the capped plane.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/pic_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  {
    ImageStore store;
    MemoryByteSource source(data, size);
    int32_t height = 0;
    int32_t width = 0;
    double data_min = 0;
    double data_max = 0;
    ReadPic(store, source, height, width, data_min, data_max);
    if (height > 0 && width > 0) {
      const bool fits = height <= kMaxPlaneSize && width <= kMaxPlaneSize;
      const bool plane16 = store.SampleType == kSample16 && store.Imai16.rows() == height &&
                           store.Imai16.cols() == width;
      const bool plane32 = store.SampleType == kSample32 && store.Imai32.rows() == height &&
                           store.Imai32.cols() == width;
      if (!fits || !(plane16 || plane32) || !(data_min <= data_max)) __builtin_trap();
    }
  }
  {
    ImageStore store;
    MemoryByteSource source(data, size);
    std::vector<std::string> lines;
    if (!ListPicHeader(source, store, lines) || lines.size() != 24) __builtin_trap();
  }
  return 0;
}
