#include "browser/readers/pic_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

#include "browser/base/text.h"
#include "browser/readers/turned_rows.h"
#include "browser/store/sample_stats.h"

namespace kivrel {
namespace {

constexpr std::size_t kLabelWidth = 20;  // characters, not bytes

uint8_t Le8(const uint8_t* b) {
  return b[0];
}

int16_t Le16(const uint8_t* b) {
  return static_cast<int16_t>(static_cast<uint16_t>(b[0] | b[1] << 8));
}

int32_t Le32(const uint8_t* b) {
  return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                              uint32_t(b[3]) << 24);
}

float LeSingle(const uint8_t* b) {
  const auto bits = static_cast<uint32_t>(Le32(b));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

template <std::size_t N>
std::array<char, N> LeText(const uint8_t* b) {
  std::array<char, N> text;
  std::memcpy(text.data(), b, N);
  return text;
}

// A float sample as the 32-bit plane holds it: rounded half to even, clamped to the 32-bit range,
// NaN 0.
int32_t StoredSample(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (v < -2147483648.0f) return std::numeric_limits<int32_t>::min();
  // Below 2^23 in magnitude, adding and taking back 2^23 rounds to an integer in the default
  // rounding mode, a half to the even neighbour; larger floats are integers already.
  if (std::fabs(v) < 8388608.0f) {
    const float shift = std::copysign(8388608.0f, v);
    v = (v + shift) - shift;
  }
  return static_cast<int32_t>(v);
}

// A float sample as the statistics see it: its own value when finite, else the stored value.
double StatisticValue(float v) {
  if (std::isfinite(v)) return v;
  return StoredSample(v);
}

// Decoding of a run of samples: the stored values into `out`; returns the values that the
// statistics take (`out` itself for 16-bit samples, `stat_scratch` for floats).
struct Int16Codec {
  using Stored = int16_t;
  using Stat = int16_t;
  static constexpr std::size_t kBytes = 2;
  static const Stat* Decode(const uint8_t* in, std::size_t n, Stored* out, Stat*) {
    for (std::size_t i = 0; i < n; ++i)
      out[i] = Le16(in + 2 * i);
    return out;
  }
};

struct FloatCodec {
  using Stored = int32_t;
  using Stat = double;
  static constexpr std::size_t kBytes = 4;
  static const Stat* Decode(const uint8_t* in, std::size_t n, Stored* out, Stat* stat_scratch) {
    for (std::size_t i = 0; i < n; ++i) {
      const float v = LeSingle(in + 4 * i);
      out[i] = StoredSample(v);
      stat_scratch[i] = StatisticValue(v);
    }
    return stat_scratch;
  }
};

// Kept out of line: inlined into the read loop, the running extended sums of the float path
// lose their registers and cost several times as much.
template <typename T>
[[gnu::noinline]] void AddToStats(SampleStats<T>& stats, const T* values, std::size_t n) {
  stats.Add(values, n);
}

template <typename Codec>
StatsResult ReadTyped(ByteSource& file, Plane<typename Codec::Stored>& plane,
                      const PicGeometry& geometry) {
  const int64_t h = geometry.height;
  const int64_t w = geometry.width;
  SampleStats<typename Codec::Stat> stats(
      1, 0, static_cast<long double>(h) * static_cast<long double>(w));
  std::vector<typename Codec::Stat> stat_scratch(kReadChunkBytes / Codec::kBytes);
  ReadTurnedRows(
      file, plane, h, w, Codec::kBytes, stat_scratch.size(),
      [&](const uint8_t* in, std::size_t n, typename Codec::Stored* out, bool, RunPlace) {
        AddToStats(stats, Codec::Decode(in, n, out, stat_scratch.data()), n);
      },
      [&](uint64_t missing, RunPlace) { stats.AddZeros(missing); });
  return stats.Finish();
}

std::string Labelled(std::string_view label, const std::string& value) {
  // The labels are UTF-8: continuation bytes take no column.
  const auto chars = static_cast<std::size_t>(std::count_if(
      label.begin(), label.end(), [](char c) { return (static_cast<uint8_t>(c) & 0xC0) != 0x80; }));
  std::string line(label);
  if (chars < kLabelWidth) line.append(kLabelWidth - chars, ' ');
  return line + value;
}

std::string Hex4(unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X", value);
  return buf;
}

template <std::size_t N>
std::string Text(const std::array<char, N>& field) {
  const std::string_view bytes(field.data(), N);
  return Cp1252ToUtf8(bytes.substr(0, bytes.find('\0')));
}

}  // namespace

PicHeader ParsePicHeader(const uint8_t* b) {
  PicHeader h;
  h.signature = Le8(b + 0);
  h.version = Le8(b + 1);
  h.header_size = Le16(b + 2);
  h.image_name = LeText<32>(b + 4);
  h.linked_image_name = LeText<32>(b + 36);
  h.columns = Le16(b + 68);
  h.rows = Le16(b + 70);
  h.sample_size = Le16(b + 72);
  h.data_type = Le16(b + 74);
  h.orientation = Le32(b + 76);
  h.scale_x = Le32(b + 80);
  h.scale_y = Le32(b + 84);
  h.binning_x = Le16(b + 88);
  h.binning_y = Le16(b + 90);
  h.colour_planes = Le16(b + 92);
  h.date = LeText<10>(b + 94);
  h.time = LeText<14>(b + 104);
  h.high_threshold = Le16(b + 118);
  h.low_threshold = Le16(b + 120);
  h.high_threshold_fraction = Le16(b + 122);
  h.low_threshold_fraction = Le16(b + 124);
  h.integration_time = Le32(b + 126);
  h.comment1 = LeText<80>(b + 130);
  h.comment2 = LeText<80>(b + 210);
  return h;
}

PicHeader ReadPicRecord(ByteSource& file) {
  std::array<uint8_t, kPicHeaderSize> bytes{};  // what the file does not hold stays 0
  file.Read(bytes.data(), bytes.size());
  return ParsePicHeader(bytes.data());
}

PicGeometry ReadPicHeader(ByteSource& file) {
  PicGeometry geometry;
  const PicHeader h = ReadPicRecord(file);
  if (h.data_type != 3) {
    geometry.failure.detail = "PIC data type =" + std::to_string(h.data_type);
    return geometry;
  }
  int32_t sample_type = 0;
  switch (h.sample_size) {
    case 2:
    case 16:
      sample_type = kSample16;
      break;
    case 4:
    case 32:
      sample_type = kSample32;
      break;
    default:
      geometry.failure.detail = "PIC data length =" + std::to_string(h.sample_size);
      return geometry;
  }
  geometry.HeaderMin = h.low_threshold;
  geometry.HeaderMax = h.high_threshold;
  // A plane cannot have a negative size, and a mean over no sample has no value.
  if (h.rows < 0) {
    geometry.failure.detail = "PIC nombre de lignes =" + std::to_string(h.rows);
    return geometry;
  }
  if (h.rows > 0 && h.columns <= 0) {
    geometry.failure.detail = "PIC nombre de colonnes =" + std::to_string(h.columns);
    return geometry;
  }
  geometry.height = h.rows;
  geometry.width = h.columns;
  geometry.sample_type = sample_type;
  return geometry;
}

ReadResult ReadPic(ByteSource& file, ReadRequest request) {
  ReadResult r;
  Image& image = r.image;
  image.CurrentLayer = request.layer;
  const PicGeometry geometry = ReadPicHeader(file);
  image.HeaderMin = geometry.HeaderMin;
  image.HeaderMax = geometry.HeaderMax;
  r.failure = geometry.failure;
  if (geometry.height <= 0 || geometry.width <= 0) return r;
  image.SampleType = geometry.sample_type;
  image.CurrentLayer = 1;
  image.LayerCount = 1;
  const auto rows = std::min(geometry.height, kMaxPlaneSize);
  const auto cols = std::min(geometry.width, kMaxPlaneSize);
  StatsResult stats;
  if (geometry.sample_type == kSample16) {
    stats = ReadTyped<Int16Codec>(
        file, image.plane.Emplace<int16_t>(rows, cols, std::move(request.reuse)), geometry);
  } else {
    stats = ReadTyped<FloatCodec>(
        file, image.plane.Emplace<int32_t>(rows, cols, std::move(request.reuse)), geometry);
  }
  image.stats = Statistics{stats.min, stats.max, stats.mean, stats.sigma};
  image.height = rows;
  image.width = cols;
  return r;
}

ReadResult ReadPic(const std::string& file_name, ReadRequest request) {
  auto file = FileByteSource::Open(file_name);
  return ReadPic(*file, std::move(request));
}

HeaderListing ListPicHeader(ByteSource& file) {
  HeaderListing listing;
  const PicHeader h = ReadPicRecord(file);
  const auto n = [](int32_t value) { return std::to_string(value); };
  listing.lines = {
      Labelled("Signature", Hex4(h.signature)),
      Labelled("Version", Hex4(h.version)),
      Labelled("Dimension du header", n(h.header_size)),
      Labelled("Nom de l'image", Text(h.image_name)),
      Labelled("Nom de l'image liée", Text(h.linked_image_name)),
      Labelled("Nombre de colonnes", n(h.columns)),
      Labelled("Nombre de lignes", n(h.rows)),
      Labelled("Dimension données", n(h.sample_size)),
      Labelled("Type de données", n(h.data_type)),
      Labelled("Orientation", n(h.orientation)),
      Labelled("Echelle en X", n(h.scale_x)),
      Labelled("Echelle en Y", n(h.scale_y)),
      Labelled("Binning en X", n(h.binning_x)),
      Labelled("Binning en Y", n(h.binning_y)),
      Labelled("Plans couleurs", n(h.colour_planes)),
      Labelled("Date", Text(h.date)),
      Labelled("Heure", Text(h.time)),
      Labelled("Seuil haut", n(h.high_threshold)),
      Labelled("Seuil bas", n(h.low_threshold)),
      Labelled("Fract. seuil haut", n(h.high_threshold_fraction)),
      Labelled("Fract. seuil bas", n(h.low_threshold_fraction)),
      Labelled("Temps d'intégration", n(h.integration_time)),
      Labelled("Commentaire 1", Text(h.comment1)),
      Labelled("Commentaire 2", Text(h.comment2)),
  };
  listing.ok = true;
  return listing;
}

HeaderListing ListPicHeader(const std::string& file_name) {
  auto file = FileByteSource::Open(file_name);
  return ListPicHeader(*file);
}

}  // namespace kivrel
