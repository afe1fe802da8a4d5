#include "browser/display/png_writer.h"

#include <png.h>

#include <limits>
#include <memory>

#include "browser/base/output_file.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

// The palette as libpng's RGB colour map: always 256 entries, so that every index of an
// 8-bit pixel names a colour and the file keeps 8 bits per pixel.
std::vector<uint8_t> ColourMap(const Picture& picture) {
  std::vector<uint8_t> map(256 * 3, 0);
  for (std::size_t i = 0; i < 256 && i < picture.palette.size(); ++i) {
    map[3 * i] = picture.palette[i].r;
    map[3 * i + 1] = picture.palette[i].g;
    map[3 * i + 2] = picture.palette[i].b;
  }
  return map;
}

}  // namespace

bool PngWritable(const Picture& picture) {
  const int bpp = picture.bits_per_pixel();
  // libpng takes the row stride as a 32-bit count of bytes, and PNG sizes are 31-bit.
  return (bpp == 8 || bpp == 24) && picture.width() > 0 && picture.height() > 0 &&
         picture.stride() <= static_cast<std::size_t>(std::numeric_limits<png_int_32>::max());
}

std::vector<uint8_t> EncodePng(const Picture& picture) {
  if (!PngWritable(picture)) return {};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width());
  image.height = static_cast<png_uint_32>(picture.height());
  const bool indexed = picture.bits_per_pixel() == 8;
  std::vector<uint8_t> colour_map;
  if (indexed) {
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = 256;
    colour_map = ColourMap(picture);
  } else {
    image.format = PNG_FORMAT_BGR;
  }
  // The rows as they lie in the picture: the stride, in bytes (one byte per component).
  const auto stride = static_cast<png_int_32>(picture.stride());
  const void* pixels = picture.Row(0);
  const void* map = indexed ? colour_map.data() : nullptr;

  // An upper bound on the stream first, so that one compression pass is enough; should zlib
  // still need more, libpng says how much and the second pass gets it.
  png_alloc_size_t bytes = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<uint8_t> out(bytes);
  if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, pixels, stride, map)) {
    if (bytes <= out.size()) return {};
    out.assign(bytes, 0);
    image.warning_or_error = 0;
    if (!png_image_write_to_memory(&image, out.data(), &bytes, 0, pixels, stride, map)) return {};
  }
  png_image_free(&image);
  out.resize(bytes);
  return out;
}

void WritePng(const Picture& picture, const std::string& file_name,
              const std::string& shown_file) {
  const std::vector<uint8_t> bytes = EncodePng(picture);
  if (bytes.empty()) ThrowCannotCreate(file_name);
  WriteOutputFile(file_name, bytes, shown_file);
}

}  // namespace kivrel
