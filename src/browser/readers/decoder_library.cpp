#include "browser/readers/decoder_library.h"

#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "nviewlib.h"
#include "skylib/run_time_error.h"

namespace kivrel {
namespace {

DecodeFailure FailureOf(int status) {
  switch (status) {
    case NVIEWLIB_ERROR_READ:
      return DecodeFailure::kUnreadable;
    case NVIEWLIB_ERROR_FORMAT:
      return DecodeFailure::kNotAFormat;
    case NVIEWLIB_ERROR_TOO_LARGE:
      return DecodeFailure::kTooLarge;
    case NVIEWLIB_ERROR_MEMORY:
      return DecodeFailure::kOutOfMemory;
    default:  // a code this engine does not know is a decoding failure all the same
      return DecodeFailure::kDamaged;
  }
}

}  // namespace

DecoderLibrary::DecoderLibrary(const std::vector<std::string>& candidates) {
  for (const std::string& candidate : candidates) {
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    auto version = reinterpret_cast<NViewLibVersionFn>(dlsym(handle, NVIEWLIB_VERSION_ENTRY));
    void* decode = dlsym(handle, NVIEWLIB_DECODE_ENTRY);
    if (version != nullptr && decode != nullptr && version() == NVIEWLIB_INTERFACE_VERSION) {
      decode_ = reinterpret_cast<DecodeFn>(decode);
      path_ = candidate;
      return;
    }
    dlclose(handle);  // never called into, so nothing of it is in use
  }
}

DecodedPicture DecoderLibrary::Decode(const std::string& file_name) const {
  DecodedPicture result;
  if (decode_ == nullptr) {
    result.failure = DecodeFailure::kNoLibrary;
    result.reason = "no decoder library";
    return result;
  }
  int status = NVIEWLIB_OK;
  std::array<char, 512> reason{};
  // One decode at a time in the whole process: the library keeps process-wide state, which is
  // not promised to be shared by threads (the window reads ahead; the CLI reads in parallel).
  static std::mutex decoding;
  const std::lock_guard<std::mutex> lock(decoding);
  const std::unique_ptr<unsigned char, decltype(&std::free)> dib(
      decode_(file_name.c_str(), 0, &status, reason.data(), reason.size()), &std::free);
  if (!dib) {
    result.failure = FailureOf(status == NVIEWLIB_OK ? NVIEWLIB_ERROR_DECODE : status);
    result.reason = reason.data();
    return result;
  }
  const std::size_t size = PackedDibSize(dib.get());
  if (size == 0) throw RunTimeError("Bitmap image is not valid");
  ReadPackedDib(dib.get(), size, result.picture);
  // The library hands back 24 bits already; anything else is converted so callers see one
  // format whatever library stands behind the interface.
  if (result.picture.bits_per_pixel() != 24) {
    Picture decoded = std::move(result.picture);
    ConvertTo24(decoded, result.picture);
  }
  return result;
}

}  // namespace kivrel
