#include "browser/readers/raster_reader.h"

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>

#include "browser/base/byte_source.h"
#include "browser/base/text.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "browser/store/sample_stats.h"

namespace kivrel {
namespace {

// A 24-bit pixel's plane value for the layer: 1 red, 2 green, 3 blue, 0 their mean.
uint8_t LayerValue(const uint8_t* bgr, int32_t layer) {
  switch (layer) {
    case 1:
      return bgr[2];
    case 2:
      return bgr[1];
    case 3:
      return bgr[0];
    default:
      return static_cast<uint8_t>((bgr[0] + bgr[1] + bgr[2]) / 3);
  }
}

// Fills one plane row from a picture row of a format that has a plane conversion.
void ConvertRow(const uint8_t* in, uint8_t* out, int32_t width, int bpp, int32_t layer) {
  for (int32_t x = 0; x < width; ++x) {
    switch (bpp) {
      case 8:
        out[x] = in[x];
        break;
      case 16:
        out[x] = static_cast<uint8_t>((in[2 * x] + in[2 * x + 1]) / 2);
        break;
      case 24:
        out[x] = LayerValue(in + 3 * static_cast<std::size_t>(x), layer);
        break;
      default: {  // 32
        const uint8_t* p = in + 4 * static_cast<std::size_t>(x);
        out[x] = static_cast<uint8_t>((p[0] + p[1] + p[2] + p[3]) / 4);
        break;
      }
    }
  }
}

// The "W x H" a refusal of the decoder library names, or "" when it names none.
std::string PictureSize(const std::string& reason) {
  static const std::regex size(R"((\d+) x (\d+))");
  std::smatch m;
  return std::regex_search(reason, m, size) ? m.str(0) : std::string();
}

}  // namespace

DecodedPicture ReadRasterPicture(const std::string& file_name, const DecoderLibrary* decoder) {
  DecodedPicture decoded;
  decoded.picture.Reset(0, 0, 0);
  if (LowerExtension(file_name) == ".bmp") {
    ReadBmp(*FileByteSource::Open(file_name), decoded.picture);
    return decoded;
  }
  if (decoder == nullptr) {
    decoded.failure = DecodeFailure::kNoLibrary;
    return decoded;
  }
  return decoder->Decode(file_name);
}

RasterResult ReadRaster(const std::string& file_name, ReadRequest request, bool own_colours,
                        const DecoderLibrary* decoder) {
  RasterResult result;
  Image& image = result.read.image;
  image.CurrentLayer = request.layer;
  DecodedPicture decoded = ReadRasterPicture(file_name, decoder);
  if (decoded.failure == DecodeFailure::kTooLarge) {
    result.read.failure = {ReadFailure::Form::kTooLarge, PictureSize(decoded.reason)};
  } else if (decoded.failure == DecodeFailure::kOutOfMemory) {
    result.read.failure = {ReadFailure::Form::kOutOfMemory, ""};
  }
  Picture& picture = decoded.picture;
  if (!decoded.ok() || picture.width() <= 0 || picture.height() <= 0) return result;
  if (own_colours) {
    result.own_colours = true;
    image.SampleType = BitDepth(picture);
    image.CurrentLayer = 1;
    image.LayerCount = 1;
    result.picture = std::move(picture);
    return result;
  }

  image.HeaderMin = 0;
  image.HeaderMax = 255;
  image.stats.DataMin = 1e100;
  image.stats.DataMax = -1e100;
  const int bpp = picture.bits_per_pixel();
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return result;  // no plane: unsupported
  const int32_t height = picture.height();
  const int32_t width = picture.width();
  Plane<uint8_t>& plane = image.plane.Emplace<uint8_t>(height, width, std::move(request.reuse));
  image.SampleType = kSample8;
  if (bpp == 24) {
    image.LayerCount = 3;
    image.CurrentLayer = std::max(std::min(image.CurrentLayer, 3), 0);
  } else if (bpp != 32) {
    image.CurrentLayer = 1;
  }
  SampleStats<uint8_t> stats(1, 0, static_cast<long double>(width) * height);
  for (int32_t y = 0; y < height; ++y) {
    ConvertRow(picture.Row(y), plane.Row(y), width, bpp, image.CurrentLayer);
    stats.Add(plane.Row(y), static_cast<std::size_t>(width));
  }
  const StatsResult r = stats.Finish();
  image.stats = Statistics{r.min, r.max, r.mean, r.sigma};
  image.height = height;
  image.width = width;
  return result;
}

}  // namespace kivrel
