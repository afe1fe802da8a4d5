// Test helpers for the FITS reader: headers written as readable card texts and turned into
// 2880-byte blocks, big-endian sample writers, a byte source that counts what the reader asks
// for, a literal reference for the statistics, and a one-call read of a file in memory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/base/byte_source.h"
#include "browser/base/numbers.h"
#include "browser/readers/fits_reader.h"
#include "browser/readers/read_result.h"
#include "image_checks.h"

namespace kivrel::test {

using Bytes = std::vector<uint8_t>;

// A card from its text, cut or blank-padded to 80 columns:
//   "BITPIX  =                   16 / bits per sample"
inline std::string CardText(std::string_view text) {
  std::string card(text.substr(0, 80));
  card.resize(80, ' ');
  return card;
}

// The header blocks for a list of card texts, padded with blank cards to whole blocks.
inline Bytes HeaderBlocks(const std::vector<std::string>& cards) {
  Bytes out;
  for (const std::string& c : cards) {
    const std::string card = CardText(c);
    out.insert(out.end(), card.begin(), card.end());
  }
  const std::size_t blocks = (out.size() + 2879) / 2880;
  out.resize(std::max<std::size_t>(blocks, 1) * 2880, ' ');
  return out;
}

// A card "KEYWORD = value" with the value right-aligned to column 30, as FITS writers do.
inline std::string Card(std::string_view keyword, std::string_view value) {
  std::string card(keyword);
  card.resize(8, ' ');
  card += "= ";
  if (value.size() < 20) card += std::string(20 - value.size(), ' ');
  card += value;
  return card;
}

// The mandatory cards of a 2-D image followed by `extra` cards and END.
inline std::vector<std::string> ImageCards(int bitpix, int64_t naxis1, int64_t naxis2,
                                           const std::vector<std::string>& extra = {}) {
  std::vector<std::string> cards = {Card("SIMPLE", "T"), Card("BITPIX", std::to_string(bitpix)),
                                    Card("NAXIS", "2"), Card("NAXIS1", std::to_string(naxis1)),
                                    Card("NAXIS2", std::to_string(naxis2))};
  cards.insert(cards.end(), extra.begin(), extra.end());
  cards.push_back("END");
  return cards;
}

// Big-endian samples of the file's own type.
template <typename T>
void AppendBigEndian(Bytes& out, T value) {
  uint8_t raw[sizeof(T)];
  std::memcpy(raw, &value, sizeof(T));
  for (std::size_t i = 0; i < sizeof(T); ++i)
    out.push_back(raw[sizeof(T) - 1 - i]);
}

template <typename T>
Bytes BigEndian(const std::vector<T>& values) {
  Bytes out;
  for (const T& v : values)
    AppendBigEndian(out, v);
  return out;
}

// Pads with zero bytes to a whole number of blocks, as a FITS writer does.
inline void PadToBlock(Bytes& bytes) {
  bytes.resize((bytes.size() + 2879) / 2880 * 2880, 0);
}

// Header cards and data bytes; the data are padded to whole blocks unless `pad` is false.
inline Bytes FitsFile(const std::vector<std::string>& cards, Bytes data = {}, bool pad = true) {
  Bytes file = HeaderBlocks(cards);
  if (pad) PadToBlock(data);
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

// A source in memory that counts what the reader asks of it.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(Bytes bytes) : inner_(std::move(bytes)) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    ++reads;
    const std::size_t n = inner_.Read(buffer, size);
    delivered += n;
    if (n < size) ++short_reads;
    return n;
  }
  void Seek(uint64_t offset) override {
    ++seeks;
    last_seek = offset;
    inner_.Seek(offset);
  }
  uint64_t Position() const override { return inner_.Position(); }
  std::optional<uint64_t> Size() const override { return inner_.Size(); }

  uint64_t reads = 0;
  uint64_t short_reads = 0;
  uint64_t delivered = 0;
  uint64_t seeks = 0;
  uint64_t last_seek = 0;

 private:
  MemoryByteSource inner_;
};

// Runs ReadFits over `source` asking for `layer`, on the memory of an earlier plane when
// `reuse` holds one.
inline ReadResult LoadFrom(ByteSource& source, int32_t layer = 1,
                           std::shared_ptr<LargeBuffer> reuse = nullptr) {
  ReadRequest request;
  request.layer = layer;
  request.reuse = std::move(reuse);
  return ReadFits(source, std::move(request));
}

// Runs ReadFits over `bytes`.
inline ReadResult Load(const Bytes& bytes, int32_t layer = 1) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return LoadFrom(source, layer);
}

// Bitwise equality of two floating values (so that -0.0 and 0.0 differ).
template <typename T>
bool SameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// A file in a fresh temporary folder, removed at the end of the test.
class TempFile {
 public:
  TempFile(const std::string& name, const Bytes& bytes) {
    dir_ = std::filesystem::temp_directory_path() /
           ("kivrel_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / name).string();
    std::ofstream out(path_, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  std::filesystem::path dir_;
  std::string path_;
};

}  // namespace kivrel::test
