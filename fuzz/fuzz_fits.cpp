// libFuzzer target for the FITS reader: any bytes as a FITS file, read and listed. Neither may
// crash or hang; a run-time error (a header number that does not convert) is an ordinary outcome. A
// success must describe exactly the plane it filled.
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

// The image's plane is height x width; its corners can be read.
bool PlaneMatches(const kivrel::Image& image, int32_t height, int32_t width) {
  bool ok = false;
  image.plane.Visit([&](const auto& plane) {
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
    MemoryByteSource source(data, size);
    const ReadResult r = ReadFits(source, ReadRequest{});
    const Image& image = r.image;
    if (r.Succeeded() && !r.error) {
      const bool capped = image.height <= kMaxPlaneSize && image.width <= kMaxPlaneSize;
      const bool layer_ok = image.CurrentLayer >= 1;
      if (!capped || !layer_ok || !PlaneMatches(image, image.height, image.width) ||
          !(image.stats.DataMin <= image.stats.DataMax))
        __builtin_trap();
    }
  }
  {
    MemoryByteSource source(data, size);
    HeaderListing listing;
    try {
      listing = ListFitsHeader(source);
    } catch (const RunTimeError&) {
      __builtin_trap();  // the listing converts no number
    }
    if (listing.ok && (listing.lines.empty() || listing.lines.size() % 36 != 0)) __builtin_trap();
  }
  return 0;
}
