// libFuzzer target for the FITS reader: any bytes as a FITS file, read into a fresh store and
// listed. Neither may crash or hang; a run-time error (a header number that does not convert)
// is an ordinary outcome. A success must describe exactly the plane it filled.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_reader.h"
#include "skylib/run_time_error.h"

namespace {

// The plane of the store's sample type is height x width; its corners can be read.
bool PlaneMatches(kivrel::ImageStore& store, int32_t height, int32_t width) {
  bool ok = false;
  kivrel::VisitPlanes(store, store.SampleType, [&](auto& plane, auto&) {
    ok = plane.rows() == height && plane.cols() == width;
    if (ok) {
      volatile auto first = plane.At(0, 0);
      volatile auto last = plane.At(height - 1, width - 1);
      (void)first;
      (void)last;
    }
  });
  return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  {
    auto store = std::make_unique<ImageStore>();
    MemoryByteSource source(data, size);
    int32_t height = 0;
    int32_t width = 0;
    double data_min = 0;
    double data_max = 0;
    try {
      ReadFits(*store, source, height, width, data_min, data_max);
    } catch (const RunTimeError&) {
      height = width = 0;
    }
    if (height > 0 && width > 0) {
      const bool capped = height <= kMaxPlaneSize && width <= kMaxPlaneSize;
      const bool layer_ok = store->CurrentLayer >= 1;
      if (!capped || !layer_ok || !PlaneMatches(*store, height, width) ||
          !(data_min <= data_max))
        __builtin_trap();
    }
  }
  {
    ImageStore store;
    MemoryByteSource source(data, size);
    std::vector<std::string> lines;
    bool ok = false;
    try {
      ok = ListFitsHeader(source, store, lines);
    } catch (const RunTimeError&) {
      __builtin_trap();  // the listing converts no number
    }
    if (ok && (lines.empty() || lines.size() % 36 != 0)) __builtin_trap();
  }
  return 0;
}
