#include "browser/readers/decoder_library.h"

#include <dlfcn.h>

#include <cstdlib>

#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "nviewlib.h"
#include "skylib/run_time_error.h"

namespace kivrel {

std::unique_ptr<DecoderLibrary> DecoderLibrary::Load(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    void* load = dlsym(handle, NVIEWLIB_LOAD_ENTRY);
    auto version = reinterpret_cast<NViewLibVersionFn>(dlsym(handle, NVIEWLIB_VERSION_ENTRY));
    if (load != nullptr && version != nullptr && version() == NVIEWLIB_INTERFACE_VERSION) {
      return std::unique_ptr<DecoderLibrary>(new DecoderLibrary(load));
    }
    dlclose(handle);
  }
  return nullptr;
}

Picture DecoderLibrary::Decode(const std::string& file_name) const {
  Picture picture;
  picture.Reset(0, 0, 0);
  auto load = reinterpret_cast<NViewLibLoadFn>(load_entry_);
  const std::unique_ptr<unsigned char, decltype(&std::free)> dib(load(file_name.c_str(), 0),
                                                                 &std::free);
  if (!dib) return picture;
  const std::size_t size = PackedDibSize(dib.get());
  if (size == 0) throw RunTimeError("Bitmap image is not valid");
  Picture decoded;
  ReadPackedDib(dib.get(), size, decoded);
  // Every picture the library decodes goes on as a 24-bit picture.
  ConvertTo24(decoded, picture);
  return picture;
}

}  // namespace kivrel
