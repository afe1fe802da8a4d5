// PIC camera files: a packed 290-byte little-endian header followed directly by the samples,
// 16-bit integers or 32-bit floats, row after row, the file's first row being the picture's
// bottom row.
//
// The header is parsed field by field from its bytes into a PicHeader that each call holds
// for itself. A file shorter than 290 bytes reads as if the missing header bytes were 0; a
// file shorter than its header promises loads, the missing samples being 0 (a sample cut by
// the end of the file keeps the bytes it has, the others are 0).
//
// Float samples go into a 32-bit integer plane rounded to the nearest integer, a half to the even
// neighbour, clamped to the 32-bit range; a NaN is stored as 0. The statistics see the value before
// the rounding, except for the non-finite samples, which count as the value they are stored as (NaN
// as 0, infinities as the ends of the 32-bit range), so that the mean and the sigma stay finite.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/readers/read_result.h"

namespace kivrel {

inline constexpr std::size_t kPicHeaderSize = 290;

// The header record, in file order. Text fields keep all their bytes.
struct PicHeader {
  uint8_t signature = 0;
  uint8_t version = 0;
  int16_t header_size = 0;  // only shown: the samples always start at offset 290
  std::array<char, 32> image_name{};
  std::array<char, 32> linked_image_name{};
  int16_t columns = 0;
  int16_t rows = 0;
  int16_t sample_size = 0;  // 2 or 16: 16-bit integers; 4 or 32: 32-bit floats
  int16_t data_type = 0;    // must be 3
  int32_t orientation = 0;
  int32_t scale_x = 0;
  int32_t scale_y = 0;
  int16_t binning_x = 0;
  int16_t binning_y = 0;
  int16_t colour_planes = 0;
  std::array<char, 10> date{};
  std::array<char, 14> time{};
  int16_t high_threshold = 0;
  int16_t low_threshold = 0;
  int16_t high_threshold_fraction = 0;  // only shown
  int16_t low_threshold_fraction = 0;   // only shown
  int32_t integration_time = 0;
  std::array<char, 80> comment1{};
  std::array<char, 80> comment2{};
};

// The header from exactly kPicHeaderSize bytes.
PicHeader ParsePicHeader(const uint8_t* bytes);

// Reads the header from the current position (the start of the file); bytes past the end of
// the file are 0.
PicHeader ReadPicRecord(ByteSource& file);

// What ReadPicHeader finds.
struct PicGeometry {
  int32_t height = 0;  // number of rows; 0 means failure
  int32_t width = 0;   // number of columns
  int32_t sample_type = 0;
  double HeaderMin = 0;  // the low and high thresholds (0 when the data type or the sample
  double HeaderMax = 0;  // size is rejected)
  ReadFailure failure;
};

// Reads and checks the header: a data type other than 3 fails with "PIC data type =<n>", a
// sample size other than 2, 4, 16 or 32 with "PIC data length =<n>", a negative number of
// rows with "PIC nombre de lignes =<n>", 0 or fewer columns under a positive number of rows
// with "PIC nombre de colonnes =<n>"; 0 rows fail without a reason. The file then stands at
// the first sample.
PicGeometry ReadPicHeader(ByteSource& file);

// On success: SampleType 16 (a 16-bit plane) or 32 (a 32-bit plane), the plane filled with
// row 0 at the top, at most 4000 x 4000, LayerCount = CurrentLayer = 1, BZero 0, BScale 1,
// the header's thresholds, and the statistics over every sample of the file. On failure the
// image's height and width are 0, with the reason (possibly empty) in the failure.
// Throws RunTimeError "Cannot open file <name>" when the file cannot be opened or read.
ReadResult ReadPic(const std::string& file_name, ReadRequest request);
ReadResult ReadPic(ByteSource& file, ReadRequest request);

// The 24 header fields, one line each: a 20-character label followed by the value
// ("Signature           0001"). Text fields show up to their first zero byte, decoded from
// Windows-1252. No field is checked: the listing always succeeds, even for a file that ReadPic
// rejects. Throws RunTimeError "Cannot open file <name>".
HeaderListing ListPicHeader(const std::string& file_name);
HeaderListing ListPicHeader(ByteSource& file);

}  // namespace kivrel
