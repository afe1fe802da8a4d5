#include "browser/base/gzip_byte_source.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace kivrel {

namespace {
constexpr std::size_t kInputBytes = 64 * 1024;
constexpr std::size_t kMaxCall = std::size_t{1} << 30;  // zlib counts in 32 bits
}  // namespace

struct GzipByteSource::Stream {
  z_stream z{};
  Stream() {
    // 16 + 15: a gzip wrapper around a window of up to 32 KiB.
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
  }
  ~Stream() { inflateEnd(&z); }
};

bool LooksGzipped(const uint8_t* bytes, std::size_t size) {
  return size >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

std::unique_ptr<GzipByteSource> GzipByteSource::Open(const std::string& path, uint64_t max_bytes) {
  return std::make_unique<GzipByteSource>(FileByteSource::Open(path), max_bytes);
}

GzipByteSource::GzipByteSource(std::unique_ptr<ByteSource> compressed, uint64_t max_bytes)
    : compressed_(std::move(compressed)),
      stream_(std::make_unique<Stream>()),
      input_(kInputBytes),
      max_bytes_(max_bytes) {
  compressed_->Seek(0);
}

GzipByteSource::~GzipByteSource() = default;

std::optional<uint64_t> GzipByteSource::Size() const {
  return total_;
}

void GzipByteSource::Restart() {
  inflateReset(&stream_->z);
  stream_->z.avail_in = 0;
  compressed_->Seek(0);
  inflated_ = 0;
  ended_ = member_ended_ = cap_reached_ = damaged_ = false;
}

// Moves the unread input to the front and reads more behind it; false when nothing came.
bool GzipByteSource::Refill() {
  z_stream& z = stream_->z;
  const std::size_t kept = z.avail_in;
  if (kept > 0) std::memmove(input_.data(), z.next_in, kept);
  const std::size_t got = compressed_->Read(input_.data() + kept, input_.size() - kept);
  z.next_in = input_.data();
  z.avail_in = static_cast<uInt>(kept + got);
  return got > 0;
}

std::size_t GzipByteSource::Inflate(uint8_t* out, std::size_t size) {
  z_stream& z = stream_->z;
  std::size_t done = 0;
  while (done < size && !ended_) {
    if (member_ended_) {
      // Another member follows only when its signature does.
      if (z.avail_in < 2) Refill();
      if (!LooksGzipped(z.next_in, z.avail_in)) {
        ended_ = true;
        break;
      }
      inflateReset(&z);
      member_ended_ = false;
    }
    if (z.avail_in == 0 && !Refill()) {
      damaged_ = true;  // the file ends inside a member
      ended_ = true;
      break;
    }
    const uint64_t room = max_bytes_ - inflated_;
    if (room == 0) {
      cap_reached_ = true;
      ended_ = true;
      break;
    }
    const std::size_t want = static_cast<std::size_t>(
        std::min<uint64_t>({size - done, room, static_cast<uint64_t>(kMaxCall)}));
    z.next_out = out + done;
    z.avail_out = static_cast<uInt>(want);
    const int result = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = want - z.avail_out;
    done += produced;
    inflated_ += produced;
    if (result == Z_STREAM_END) {
      member_ended_ = true;
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && z.avail_in == 0)) {
      damaged_ = true;
      ended_ = true;
    }
  }
  if (ended_) total_ = inflated_;
  return done;
}

std::size_t GzipByteSource::Read(void* buffer, std::size_t size) {
  if (position_ < inflated_) Restart();
  // Skip to the position through a scratch block.
  uint8_t scratch[16 * 1024];
  while (inflated_ < position_ && !ended_) {
    const auto want =
        static_cast<std::size_t>(std::min<uint64_t>(sizeof scratch, position_ - inflated_));
    if (Inflate(scratch, want) == 0) break;
  }
  if (inflated_ < position_) return 0;
  const std::size_t got = Inflate(static_cast<uint8_t*>(buffer), size);
  position_ += got;
  return got;
}

}  // namespace kivrel
