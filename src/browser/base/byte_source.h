// Byte sources for the readers: a file, a buffer in memory (tests, fuzz targets, decoded
// pictures), or any wrapper around them. Readers never trust a header's promise about the
// length of the data: they read until a source delivers fewer bytes than asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivrel {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `size` bytes at the current position and advances; fewer only at the end.
  virtual std::size_t Read(void* buffer, std::size_t size) = 0;
  // Moves to an absolute offset; an offset past the end is allowed (reads then return 0).
  virtual void Seek(uint64_t offset) = 0;
  virtual uint64_t Position() const = 0;
  // Total size when known.
  virtual std::optional<uint64_t> Size() const = 0;
};

// A regular file opened read-only. Open throws RunTimeError "Cannot open file <name>" for
// anything that cannot be opened or is not a regular file (a folder, a device, a pipe), so a
// reader can never block on an endless stream. A failing read throws the same error.
class FileByteSource final : public ByteSource {
 public:
  static std::unique_ptr<FileByteSource> Open(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::size_t Read(void* buffer, std::size_t size) override;
  void Seek(uint64_t offset) override;
  uint64_t Position() const override { return position_; }
  std::optional<uint64_t> Size() const override { return size_; }

 private:
  FileByteSource(int fd, std::string path, uint64_t size);
  int fd_;
  std::string path_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// Bytes held in memory (copied, or borrowed when built from a pointer that outlives it).
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::vector<uint8_t> bytes);
  MemoryByteSource(const void* data, std::size_t size);  // borrowed

  std::size_t Read(void* buffer, std::size_t size) override;
  void Seek(uint64_t offset) override { position_ = offset; }
  uint64_t Position() const override { return position_; }
  std::optional<uint64_t> Size() const override { return size_; }

 private:
  std::vector<uint8_t> owned_;
  const uint8_t* data_;
  std::size_t size_;
  uint64_t position_ = 0;
};

// Reads a whole file into memory, or its first `max_bytes` bytes; throws "Cannot open file
// <name>".
std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t max_bytes = UINT64_MAX);

}  // namespace kivrel
