// libFuzzer target for the decoder library's format detection, called in-process on any bytes.
// The first byte picks the file name (TGA is only ever chosen for a ".tga" name); the rest is
// the file. A coder that is named must be one of the six, and its signature must be there.
// The size reader of every coder runs on the same bytes, whatever their format: the sizes of
// 16-bit header fields stay below 65536 (65536 for PCX, whose size is last - first + 1),
// those of bitmaps below 2^32.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include <strings.h>

#include "nviewlib_detect.h"

namespace {

bool Is(const char* coder, const char* name) {
  return std::strcmp(coder, name) == 0;
}

void CheckDeclaredSizes(const uint8_t* b, std::size_t n) {
  for (const char* coder : {"BMP", "GIF", "JPEG", "RLE", "PCX", "TGA", "XYZ"}) {
    unsigned long w = 0;
    unsigned long h = 0;
    if (!NViewLibDeclaredSize(b, n, coder, &w, &h)) continue;
    const unsigned long limit = Is(coder, "BMP")   ? 0x100000000ul
                                : Is(coder, "PCX") ? 0x10001ul
                                                   : 0x10000ul;
    if (Is(coder, "XYZ") || w >= limit || h >= limit) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  CheckDeclaredSizes(data + 1, size - 1);
  static const char* const kNames[] = {"x.tga", "x.TGA", "x.gif", "x", "tga", ".tga.jpg"};
  const char* path = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  const uint8_t* b = data + 1;
  const std::size_t n = size - 1;
  const char* coder = NViewLibPickCoder(b, n, path);
  if (NViewLibPickCoder(b, n, path) != coder) __builtin_trap();  // no hidden state
  if (coder == nullptr) return 0;
  bool ok = false;
  if (Is(coder, "BMP")) {
    ok = n >= 2 && b[0] == 'B' && b[1] == 'M';
  } else if (Is(coder, "GIF")) {
    ok = n >= 6 && (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0);
  } else if (Is(coder, "JPEG")) {
    ok = n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
  } else if (Is(coder, "RLE")) {
    ok = n >= 2 && b[0] == 0x52 && b[1] == 0xCC;
  } else if (Is(coder, "PCX")) {
    ok = n >= 128 && b[0] == 0x0A;
  } else if (Is(coder, "TGA")) {
    const std::size_t len = std::strlen(path);
    ok = n >= 18 && len >= 4 && strcasecmp(path + len - 4, ".tga") == 0;
  }
  if (!ok) __builtin_trap();
  return 0;
}
