// Test helpers for PIC files: a header written field by field at its byte offsets, samples
// appended in file order (bottom row first), a byte source that counts what is read, and a
// temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"

namespace kivrel::pic_test {

// The header fields a test sets; everything else is 0. Text fields are raw bytes.
struct PicFields {
  uint8_t signature = 1;
  uint8_t version = 1;
  int16_t header_size = 290;
  std::string image_name;
  std::string linked_image_name;
  int16_t columns = 0;
  int16_t rows = 0;
  int16_t sample_size = 16;
  int16_t data_type = 3;
  int32_t orientation = 0;
  int32_t scale_x = 0;
  int32_t scale_y = 0;
  int16_t binning_x = 1;
  int16_t binning_y = 1;
  int16_t colour_planes = 1;
  std::string date;
  std::string time;
  int16_t high_threshold = 0;
  int16_t low_threshold = 0;
  int16_t high_threshold_fraction = 0;
  int16_t low_threshold_fraction = 0;
  int32_t integration_time = 0;
  std::string comment1;
  std::string comment2;
};

inline void PutLe(std::vector<uint8_t>& bytes, std::size_t offset, int64_t value, int size) {
  const auto u = static_cast<uint64_t>(value);
  for (int i = 0; i < size; ++i)
    bytes[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

inline void PutText(std::vector<uint8_t>& bytes, std::size_t offset, std::size_t size,
                    const std::string& text) {
  std::memcpy(bytes.data() + offset, text.data(), std::min(size, text.size()));
}

// The 290-byte header, each field at the offset of the format's table.
inline std::vector<uint8_t> PicHeaderBytes(const PicFields& f) {
  std::vector<uint8_t> b(290, 0);
  PutLe(b, 0, f.signature, 1);
  PutLe(b, 1, f.version, 1);
  PutLe(b, 2, f.header_size, 2);
  PutText(b, 4, 32, f.image_name);
  PutText(b, 36, 32, f.linked_image_name);
  PutLe(b, 68, f.columns, 2);
  PutLe(b, 70, f.rows, 2);
  PutLe(b, 72, f.sample_size, 2);
  PutLe(b, 74, f.data_type, 2);
  PutLe(b, 76, f.orientation, 4);
  PutLe(b, 80, f.scale_x, 4);
  PutLe(b, 84, f.scale_y, 4);
  PutLe(b, 88, f.binning_x, 2);
  PutLe(b, 90, f.binning_y, 2);
  PutLe(b, 92, f.colour_planes, 2);
  PutText(b, 94, 10, f.date);
  PutText(b, 104, 14, f.time);
  PutLe(b, 118, f.high_threshold, 2);
  PutLe(b, 120, f.low_threshold, 2);
  PutLe(b, 122, f.high_threshold_fraction, 2);
  PutLe(b, 124, f.low_threshold_fraction, 2);
  PutLe(b, 126, f.integration_time, 4);
  PutText(b, 130, 80, f.comment1);
  PutText(b, 210, 80, f.comment2);
  return b;
}

// Header followed by 16-bit samples in file order.
inline std::vector<uint8_t> Pic16(const PicFields& f, const std::vector<int16_t>& samples) {
  std::vector<uint8_t> b = PicHeaderBytes(f);
  const std::size_t at = b.size();
  b.resize(at + 2 * samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i)
    PutLe(b, at + 2 * i, samples[i], 2);
  return b;
}

// Header followed by float samples in file order.
inline std::vector<uint8_t> PicFloat(const PicFields& f, const std::vector<float>& samples) {
  std::vector<uint8_t> b = PicHeaderBytes(f);
  const std::size_t at = b.size();
  b.resize(at + 4 * samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    uint32_t bits;
    std::memcpy(&bits, &samples[i], 4);
    PutLe(b, at + 4 * i, bits, 4);
  }
  return b;
}

// A memory source that counts the bytes it delivers and the reads asked after the end.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(std::vector<uint8_t> bytes) : inner_(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    if (at_end_) ++reads_after_end_;
    const std::size_t n = inner_.Read(buffer, size);
    if (n < size) at_end_ = true;
    bytes_read_ += n;
    ++reads_;
    return n;
  }
  void Seek(uint64_t offset) override { inner_.Seek(offset); }
  uint64_t Position() const override { return inner_.Position(); }
  std::optional<uint64_t> Size() const override { return inner_.Size(); }

  uint64_t bytes_read() const { return bytes_read_; }
  int reads() const { return reads_; }
  int reads_after_end() const { return reads_after_end_; }

 private:
  MemoryByteSource inner_;
  uint64_t bytes_read_ = 0;
  int reads_ = 0;
  int reads_after_end_ = 0;
  bool at_end_ = false;
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("kivrel-pic-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path p = path_ / name;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace kivrel::pic_test
