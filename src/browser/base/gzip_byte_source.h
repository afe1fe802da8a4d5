// Whole-file gzip (.fits.gz, .fit.gz, .fts.gz) as a byte source: the inflated bytes, streamed
// through zlib in a fixed amount of memory, so that the plain readers read a compressed file as
// they read any other and never hold it whole.
//
// Seeking forward inflates and drops the bytes in between; seeking backward starts again from
// the beginning. The inflated stream is cut at `max_bytes`: a small file that inflates without
// end (a gzip bomb) reads as a file of that length and CapReached() says so. Damaged or cut
// compressed data end the stream where they start and Damaged() says so. Concatenated gzip
// members read as one stream; bytes after the last member that start no member are ignored.
// The inflated size is known (Size()) only once the end has been reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/base/byte_source.h"

namespace kivrel {

// 1 GiB: a few seconds of inflating at most, far beyond any image the browser shows.
inline constexpr uint64_t kMaxInflatedBytes = uint64_t{1} << 30;

// Whether `bytes` start with the gzip signature 1F 8B.
bool LooksGzipped(const uint8_t* bytes, std::size_t size);

class GzipByteSource final : public ByteSource {
 public:
  // Opens a file; throws RunTimeError "Cannot open file <name>" as FileByteSource does.
  static std::unique_ptr<GzipByteSource> Open(const std::string& path,
                                              uint64_t max_bytes = kMaxInflatedBytes);
  explicit GzipByteSource(std::unique_ptr<ByteSource> compressed,
                          uint64_t max_bytes = kMaxInflatedBytes);
  ~GzipByteSource() override;
  GzipByteSource(const GzipByteSource&) = delete;
  GzipByteSource& operator=(const GzipByteSource&) = delete;

  std::size_t Read(void* buffer, std::size_t size) override;
  void Seek(uint64_t offset) override { position_ = offset; }
  uint64_t Position() const override { return position_; }
  std::optional<uint64_t> Size() const override;

  bool CapReached() const { return cap_reached_; }
  bool Damaged() const { return damaged_; }

 private:
  struct Stream;
  void Restart();
  bool Refill();
  std::size_t Inflate(uint8_t* out, std::size_t size);

  std::unique_ptr<ByteSource> compressed_;
  std::unique_ptr<Stream> stream_;
  std::vector<uint8_t> input_;
  uint64_t max_bytes_;
  uint64_t inflated_ = 0;          // bytes of the stream produced since the start
  uint64_t position_ = 0;          // where the next Read starts
  std::optional<uint64_t> total_;  // the inflated size, once the end was reached
  bool ended_ = false;
  bool member_ended_ = false;
  bool cap_reached_ = false;
  bool damaged_ = false;
};

}  // namespace kivrel
