// The raster decoder library (libkivrel-decode.so, interface in plugins/nviewlib.h) seen from
// the engine: loaded from the paths it is given, checked for the interface version, and asked
// to decode a file into a 24-bit picture, or to say why it would not.
//
// DecoderLibrary(candidates)
//   Tries each path in turn with dlopen (a plain name goes through the system search) and keeps
//   the first library that has the entries and the interface version this engine was built
//   with. None found leaves loaded() false; that is not an error. A library once loaded stays
//   loaded for the life of the process (GraphicsMagick keeps process-wide state).
//
// Decode(file_name)
//   The picture as 24 bits per pixel (blue, green, red), or a failure naming what went wrong:
//   kind and an English reason from the library ("a GIF picture of 30000 x 4473 pixels is over
//   the decoding budget ..."). Throws RunTimeError "Bitmap image is not valid" if the library
//   hands back a bitmap that is not one, and std::bad_alloc if the host cannot hold the picture.
#pragma once

#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

enum class DecodeFailure {
  kNone,
  kNoLibrary,    // no decoder library was loaded
  kUnreadable,   // missing, not a regular file, empty or unreadable
  kNotAFormat,   // none of the formats the library decodes
  kDamaged,      // damaged, or a variant the decoder does not take
  kTooLarge,     // over the decoding budget (pixels, side, memory)
  kOutOfMemory,  // the system refused memory within the budget
};

struct DecodedPicture {
  Picture picture;  // 24 bits per pixel when failure is kNone
  DecodeFailure failure = DecodeFailure::kNone;
  std::string reason;  // empty on success

  bool ok() const { return failure == DecodeFailure::kNone; }
};

class DecoderLibrary {
 public:
  explicit DecoderLibrary(const std::vector<std::string>& candidates);
  DecoderLibrary(const DecoderLibrary&) = delete;
  DecoderLibrary& operator=(const DecoderLibrary&) = delete;

  bool loaded() const { return decode_ != nullptr; }
  // The path the library was loaded from ("" when none).
  const std::string& path() const { return path_; }

  DecodedPicture Decode(const std::string& file_name) const;

 private:
  using DecodeFn = unsigned char* (*)(const char*, int, int*, char*, std::size_t);
  DecodeFn decode_ = nullptr;

  std::string path_;
};

}  // namespace kivrel
