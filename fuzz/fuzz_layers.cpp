// libFuzzer target for FITS files of several HDUs: the extension walk, inherited keywords and
// tile-compressed images (through cfitsio, from memory). Any bytes are read at layers 1, 2 and
// 3, and listed. Nothing may crash or hang; a success is capped and describes its plane
// exactly, with minimum <= maximum; a failure is named or empty, never thrown past the reader
// but as a run-time error.
#include <cstddef>
#include <cstdint>

#include "browser/base/byte_source.h"
#include "browser/readers/fits_compressed.h"
#include "browser/readers/fits_header.h"
#include "browser/readers/fits_reader.h"
#include "skylib/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  const CompressedPlaneReader compressed = [&](const FitsHdu& hdu, int64_t plane) {
    return ReadCompressedPlane(data, size, hdu, plane);
  };
  for (int32_t layer = 1; layer <= 3; ++layer) {
    MemoryByteSource source(data, size);
    const ReadResult r = ReadFits(source, ReadRequest{layer, nullptr}, compressed);
    if (!r.Succeeded()) continue;
    const Image& image = r.image;
    bool plane_ok = false;
    image.plane.Visit([&](const auto& plane) {
      plane_ok = plane.rows() == image.height && plane.cols() == image.width;
      if (plane_ok) {
        volatile auto last = plane.At(image.height - 1, image.width - 1);
        (void)last;
      }
    });
    // The layer count is the header's NAXIS3 for a file of one HDU, shown as it stands even
    // when it is 0 or less ("/0"); the layer read is within it otherwise.
    const bool layer_ok = image.CurrentLayer >= 1 &&
                          (image.LayerCount < 1 || image.CurrentLayer <= image.LayerCount);
    if (!plane_ok || image.height > kMaxPlaneSize || image.width > kMaxPlaneSize || !layer_ok ||
        (!r.error && !(image.stats.DataMin <= image.stats.DataMax)))
      __builtin_trap();
  }
  MemoryByteSource source(data, size);
  try {
    const HeaderListing listing = ListFitsHeader(source);
    if (listing.ok && listing.lines.empty()) __builtin_trap();
  } catch (const RunTimeError&) {
    __builtin_trap();  // the listing converts no number
  }
  return 0;
}
