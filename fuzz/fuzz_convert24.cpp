// libFuzzer target for the 24-bit conversion of decoded pictures: any bytes as a packed bitmap
// (ReadPackedDib), then ConvertTo24. The result must have the same size, 24 bits per pixel, and
// in every pixel the colour PixelColour reads from the source; BitDepth must name a depth; and
// the 24-bit picture written as a bitmap file must read back identically.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "browser/base/byte_source.h"
#include "browser/display/bmp_writer.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "skylib/run_time_error.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kivrel;
  Picture in;
  try {
    ReadPackedDib(data, size, in);
  } catch (const RunTimeError&) {
    return 0;
  }
  // RLE pictures may decode to 64 MiB; the checks below look at every pixel, so keep to
  // pictures a run can check quickly.
  if (static_cast<uint64_t>(in.width()) * static_cast<uint64_t>(in.height()) > (1u << 16)) return 0;
  const int depth = BitDepth(in);
  Check(depth == 0 || depth == 1 || depth == 4 || depth == 8 || depth == 15 || depth == 16 ||
        depth == 24 || depth == 32);
  Picture out;
  ConvertTo24(in, out);
  Check(out.width() == in.width() && out.height() == in.height() && out.bits_per_pixel() == 24);
  for (int32_t y = 0; y < out.height(); ++y) {
    for (int32_t x = 0; x < out.width(); ++x) {
      const Rgb c = PixelColour(in, x, y);
      const uint8_t* p = out.Row(y) + 3 * static_cast<std::size_t>(x);
      Check(p[0] == c.b && p[1] == c.g && p[2] == c.r);
    }
  }
  const std::vector<uint8_t> file = EncodeBmp(out);
  Check(!file.empty());
  MemoryByteSource source(file.data(), file.size());
  Picture back;
  ReadBmp(source, back);
  Check(back.width() == out.width() && back.height() == out.height() &&
        back.bits_per_pixel() == 24);
  for (int32_t y = 0; y < out.height(); ++y)
    Check(std::memcmp(back.Row(y), out.Row(y), 3 * static_cast<std::size_t>(out.width())) == 0);
  return 0;
}
