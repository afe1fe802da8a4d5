// The raster reader: .bmp files decoded here, the other raster types through the decoder
// library loaded when the dialog is created; the decoded picture becomes the 8-bit plane
// ("Palette modifiable") or is shown with its own colours ("Palette du bitmap"). Also the
// library loading and "Sauvegarde BMP".
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browser/base/text.h"
#include "browser/dialog/app_dir.h"
#include "browser/dialog/browser_logic.h"
#include "browser/display/bmp_writer.h"
#include "browser/readers/bmp_reader.h"
#include "browser/readers/raster_convert.h"
#include "browser/readers/sample_stats.h"
#include "nviewlib.h"
#include "skylib/run_time_error.h"
#include "skylib/skylib.h"

namespace kivrel {
namespace {

// Where the decoder library may be: an explicit path alone, else the system search by plain
// name, then the executable's folder, the library folder of an installed program, and the
// build tree.
std::vector<std::string> DecoderCandidates(const BrowserOptions& options) {
  if (!options.decoder_path.empty()) return {options.decoder_path};
  const char* env = std::getenv("KIVREL_DECODER");
  if (env != nullptr && *env != '\0') return {env};
  std::vector<std::string> paths = {NVIEWLIB_LIBRARY_NAME};
  const std::filesystem::path exe_dir = ExecutableDir();
  if (!exe_dir.empty()) {
    paths.push_back((exe_dir / NVIEWLIB_LIBRARY_NAME).string());
    paths.push_back(
        (exe_dir.parent_path() / KIVREL_INSTALL_LIB_SUBDIR / NVIEWLIB_LIBRARY_NAME).string());
  }
  paths.push_back(std::string(KIVREL_BUILD_LIB_DIR) + "/" + NVIEWLIB_LIBRARY_NAME);
  return paths;
}

// A 24-bit pixel's plane value for the layer: 1 red, 2 green, 3 blue, 0 their mean.
uint8_t LayerValue(const uint8_t* bgr, int32_t layer) {
  switch (layer) {
    case 1:
      return bgr[2];
    case 2:
      return bgr[1];
    case 3:
      return bgr[0];
    default:
      return static_cast<uint8_t>((bgr[0] + bgr[1] + bgr[2]) / 3);
  }
}

// Fills one plane row from a picture row of a format that has a plane conversion.
void ConvertRow(const uint8_t* in, uint8_t* out, int32_t width, int bpp, int32_t layer) {
  for (int32_t x = 0; x < width; ++x) {
    switch (bpp) {
      case 8:
        out[x] = in[x];
        break;
      case 16:
        out[x] = static_cast<uint8_t>((in[2 * x] + in[2 * x + 1]) / 2);
        break;
      case 24:
        out[x] = LayerValue(in + 3 * static_cast<std::size_t>(x), layer);
        break;
      default: {  // 32
        const uint8_t* p = in + 4 * static_cast<std::size_t>(x);
        out[x] = static_cast<uint8_t>((p[0] + p[1] + p[2] + p[3]) / 4);
        break;
      }
    }
  }
}

}  // namespace

void BrowserLogic::LoadDecoderLibrary(const BrowserOptions& options) {
  NViewLibHandle = nullptr;
  NViewLibLoadProc = nullptr;
  NViewLibFound = false;
  if (!options.load_decoder) return;
  if (Settings().TraceEnabled) WriteTrace("Load NViewLib DLL");
  for (const std::string& path : DecoderCandidates(options)) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) continue;
    void* load = dlsym(handle, NVIEWLIB_LOAD_ENTRY);
    auto version = reinterpret_cast<NViewLibVersionFn>(dlsym(handle, NVIEWLIB_VERSION_ENTRY));
    if (load != nullptr && version != nullptr && version() == NVIEWLIB_INTERFACE_VERSION) {
      NViewLibHandle = handle;
      NViewLibLoadProc = load;
      NViewLibFound = true;
      break;
    }
    dlclose(handle);
  }
  if (Settings().TraceEnabled) {
    WriteTrace(NViewLibFound ? "NViewLib DLL found" : "NViewLib DLL not found");
  }
}

void BrowserLogic::UnloadDecoderLibrary() {
  // GraphicsMagick keeps process-wide state: the library stays loaded until the process ends.
  NViewLibLoadProc = nullptr;
  NViewLibFound = false;
}

void BrowserLogic::ReadRasterPicture(const std::string& file_name, Picture& picture) {
  picture.Reset(0, 0, 0);
  if (LowerExtension(file_name) == ".bmp") {
    ReadBmp(*FileByteSource::Open(file_name), picture);
    return;
  }
  if (!NViewLibFound) return;
  auto load = reinterpret_cast<NViewLibLoadFn>(NViewLibLoadProc);
  const std::unique_ptr<unsigned char, decltype(&std::free)> dib(load(file_name.c_str(), 0),
                                                                 &std::free);
  if (!dib) return;
  const std::size_t size = PackedDibSize(dib.get());
  if (size == 0) throw RunTimeError("Bitmap image is not valid");
  Picture decoded;
  ReadPackedDib(dib.get(), size, decoded);
  // Every picture the library decodes goes on as a 24-bit picture.
  ConvertTo24(decoded, picture);
}

void BrowserLogic::ShowRasterBitmap(const std::string& file_name, const Picture& picture,
                                    int32_t& height, int32_t& width) {
  ImageStore& s = Store;
  ImaBitmap.CopyFrom(picture);
  Image1.Width = PreviewWidthFor(picture.width(), picture.height());
  s.ImageLoaded = true;
  s.SampleType = BitDepth(picture);
  EnableImageControls(false);
  Label2.Caption = ExtractFileName(file_name) + "  " + std::to_string(picture.width()) + "x" +
                   std::to_string(picture.height()) + "  " + std::to_string(s.SampleType) + " bits";
  height = 0;
  width = 0;
  s.BitmapShown = true;
}

void BrowserLogic::ReadRaster(const std::string& file_name, int32_t& height, int32_t& width,
                              double& data_min, double& data_max) {
  ImageStore& s = Store;
  height = 0;
  width = 0;
  s.BZero = 0;
  s.BScale = 1;
  Picture picture;
  ReadRasterPicture(file_name, picture);
  if (picture.width() <= 0 || picture.height() <= 0) return;
  if (RadioGroup1.ItemIndex == 0) {
    ShowRasterBitmap(file_name, picture, height, width);
    s.CurrentLayer = 1;
    s.LayerCount = 1;
    return;
  }

  s.HeaderMin = 0;
  s.HeaderMax = 255;
  data_min = 1e100;
  data_max = -1e100;
  const int bpp = picture.bits_per_pixel();
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    // No plane for this pixel format: statistics 0, the load ends as unsupported.
    s.DataMean = 0;
    s.DataSigma = 0;
    return;
  }
  height = picture.height();
  width = picture.width();
  s.Imai8.Resize(height, width);
  s.SampleType = kSample8;
  if (bpp == 24) {
    s.LayerCount = 3;
    s.CurrentLayer = std::max(std::min(s.CurrentLayer, 3), 0);
  } else {
    s.LayerCount = 1;
    if (bpp != 32) s.CurrentLayer = 1;
  }
  SampleStats<uint8_t> stats(1, 0, static_cast<Extended>(picture.width()) * picture.height());
  for (int32_t y = 0; y < height; ++y) {
    ConvertRow(picture.Row(y), s.Imai8.Row(y), width, bpp, s.CurrentLayer);
    stats.Add(s.Imai8.Row(y), static_cast<std::size_t>(width));
  }
  const StatsResult r = stats.Finish();
  data_min = r.min;
  data_max = r.max;
  s.DataMean = r.mean;
  s.DataSigma = r.sigma;
}

void BrowserLogic::BitBtn1Click(const std::string& file_name) {
  if (file_name.empty()) return;  // the save dialog was cancelled
  WriteBmp(ImaBitmap, file_name);
}

}  // namespace kivrel
