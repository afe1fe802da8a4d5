// The raster decoder library (libkivrel-decode.so) loaded at run time: the library of the
// first path that loads and answers the interface version this program was built with.
//
// The library keeps process-wide state (GraphicsMagick): once loaded it stays loaded until the
// process ends.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "browser/base/picture.h"

namespace kivrel {

class DecoderLibrary {
 public:
  // The first of `paths` (file names or plain library names for the system's search) that is
  // a decoder library of our interface version; null when none is.
  static std::unique_ptr<DecoderLibrary> Load(const std::vector<std::string>& paths);

  // The picture decoded from `file_name` as 24 bits per pixel; a 0 x 0 picture when the
  // library cannot decode the file. Throws RunTimeError "Bitmap image is not valid" when what
  // the library hands back is not a bitmap.
  Picture Decode(const std::string& file_name) const;

 private:
  explicit DecoderLibrary(void* load_entry) : load_entry_(load_entry) {}
  void* load_entry_;
};

}  // namespace kivrel
