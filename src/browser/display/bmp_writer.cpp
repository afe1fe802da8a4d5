#include "browser/display/bmp_writer.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "browser/base/output_file.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool FormatWritable(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// File header, info header, masks or palette: everything before the pixels.
std::vector<uint8_t> Headers(const Picture& p, uint64_t stride) {
  const int bpp = p.bits_per_pixel();
  const bool fields = (bpp == 16 || bpp == 32) && (p.masks[0] | p.masks[1] | p.masks[2]) != 0;
  const uint32_t info_size = fields ? 108 : 40;
  const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
  const uint64_t offset = 14 + info_size + 4 * uint64_t{colours};
  const uint64_t image_size = stride * static_cast<uint64_t>(p.height());
  const uint64_t file_size = offset + image_size;
  std::vector<uint8_t> h;
  h.reserve(static_cast<std::size_t>(offset));
  h.push_back('B');
  h.push_back('M');
  Put32(h, file_size > UINT32_MAX ? 0 : static_cast<uint32_t>(file_size));
  Put32(h, 0);
  Put32(h, static_cast<uint32_t>(offset));
  Put32(h, info_size);
  Put32(h, static_cast<uint32_t>(p.width()));
  Put32(h, static_cast<uint32_t>(p.height()));  // positive: bottom row first
  Put16(h, 1);
  Put16(h, static_cast<uint32_t>(bpp));
  Put32(h, fields ? 3 : 0);  // BI_BITFIELDS or BI_RGB
  Put32(h, image_size > UINT32_MAX ? 0 : static_cast<uint32_t>(image_size));
  Put32(h, 2835);  // 72 dpi
  Put32(h, 2835);
  Put32(h, colours);
  Put32(h, 0);
  if (fields) {
    for (uint32_t m : p.masks)
      Put32(h, m);
    Put32(h, 0x73524742);  // LCS_sRGB: no endpoints or gamma follow
    for (int i = 0; i < 12; ++i)
      Put32(h, 0);
  }
  for (uint32_t i = 0; i < colours; ++i) {
    const Rgb c = i < p.palette.size() ? p.palette[i] : Rgb{};
    h.push_back(c.b);
    h.push_back(c.g);
    h.push_back(c.r);
    h.push_back(0);
  }
  return h;
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const Picture& picture) {
  const int bpp = picture.bits_per_pixel();
  if (!FormatWritable(bpp) || picture.width() <= 0 || picture.height() <= 0) return {};
  const uint64_t row_bytes = (static_cast<uint64_t>(picture.width()) * bpp + 7) / 8;
  const uint64_t stride = (row_bytes + 3) / 4 * 4;
  std::vector<uint8_t> file = Headers(picture, stride);
  const std::size_t offset = file.size();
  // Zero-filled, so the padding at the end of each row is written as zeros.
  file.resize(offset + static_cast<std::size_t>(stride * static_cast<uint64_t>(picture.height())));
  uint8_t* out = file.data() + offset;
  for (int32_t y = picture.height() - 1; y >= 0; --y, out += stride)
    std::memcpy(out, picture.Row(y), static_cast<std::size_t>(row_bytes));
  return file;
}

void WriteBmp(const Picture& picture, const std::string& file_name, const std::string& shown_file) {
  const std::vector<uint8_t> file = EncodeBmp(picture);
  if (file.empty()) ThrowCannotCreate(file_name);
  WriteOutputFile(file_name, file, shown_file);
}

}  // namespace kivrel
