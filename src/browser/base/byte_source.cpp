#include "browser/base/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "skylib/run_time_error.h"

namespace kivrel {

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer before the check below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) ThrowCannotOpen(path);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    ThrowCannotOpen(path);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::unique_ptr<FileByteSource>(
      new FileByteSource(fd, path, static_cast<uint64_t>(st.st_size)));
}

FileByteSource::FileByteSource(int fd, std::string path, uint64_t size)
    : fd_(fd), path_(std::move(path)), size_(size) {}

FileByteSource::~FileByteSource() {
  ::close(fd_);
}

std::size_t FileByteSource::Read(void* buffer, std::size_t size) {
  if (position_ >= size_) return 0;
  // A file that grows while it is read is taken at the size it had when it was opened.
  size = static_cast<std::size_t>(std::min<uint64_t>(size, size_ - position_));
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(position_ + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowCannotOpen(path_);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  position_ += done;
  return done;
}

void FileByteSource::Seek(uint64_t offset) {
  position_ = offset;
}

MemoryByteSource::MemoryByteSource(std::vector<uint8_t> bytes)
    : owned_(std::move(bytes)), data_(owned_.data()), size_(owned_.size()) {}

MemoryByteSource::MemoryByteSource(const void* data, std::size_t size)
    : data_(static_cast<const uint8_t*>(data)), size_(size) {}

std::size_t MemoryByteSource::Read(void* buffer, std::size_t size) {
  // An empty read may come with a null buffer (an empty vector's data()).
  if (position_ >= size_ || size == 0) return 0;
  const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(size, size_ - position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path, uint64_t max_bytes) {
  auto source = FileByteSource::Open(path);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(std::min(*source->Size(), max_bytes)));
  bytes.resize(source->Read(bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace kivrel
