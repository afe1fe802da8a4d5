// Test helpers for the display, palette and sky tests: a dialog logic over a temporary folder
// (with or without a palettes/ folder of its own), small FITS files clicked through the file
// list, and an image put straight into the store as a load would leave it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "browser/dialog/browser_logic.h"
#include "fits_fixture.h"

namespace kivrel::test {

// A fresh temporary folder, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("kivrel_disp_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path() const { return path_.string(); }
  // Writes `name` (relative, folders created) and returns its full path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    return Write(name, std::string(bytes.begin(), bytes.end()));
  }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

// A dialog whose AppDir is `app_dir`; no decoder library.
inline std::unique_ptr<BrowserLogic> NewLogic(const std::string& app_dir) {
  BrowserOptions options;
  options.app_dir = app_dir;
  options.load_decoder = false;
  return std::make_unique<BrowserLogic>(options);
}

// Makes the transfer table the identity, so that a bitmap pixel is the display level itself.
inline void IdentityItt(BrowserLogic& b) {
  for (int k = 0; k < 256; ++k)
    b.IttTable[static_cast<std::size_t>(k)] = static_cast<uint8_t>(k);
}

// A FITS image whose samples are given top row first, as the picture shows them (FITS stores
// the bottom row first).
template <typename T>
Bytes FitsImage(int bitpix, int32_t width, int32_t height, const std::vector<T>& top_first,
                const std::vector<std::string>& extra = {}) {
  std::vector<T> file_order;
  for (int32_t r = height - 1; r >= 0; --r) {
    for (int32_t c = 0; c < width; ++c)
      file_order.push_back(top_first[static_cast<std::size_t>(r * width + c)]);
  }
  return FitsFile(ImageCards(bitpix, width, height, extra), BigEndian(file_order));
}

// Writes `bytes` as `name` into `dir` and clicks it in the file list.
inline void ClickFile(BrowserLogic& b, const TempDir& dir, const std::string& name,
                      const Bytes& bytes) {
  b.FileListBox1Click(dir.Write(name, bytes));
}

// Puts a plane straight into the store as a load leaves it (statistics over every sample,
// thresholds from the level mode, whole window), without redrawing.
template <typename T>
void PutPlane(BrowserLogic& b, Plane<T>& plane, int32_t sample_type, int32_t width, int32_t height,
              const std::vector<T>& top_first, Extended bscale = 1, Extended bzero = 0) {
  ImageStore& s = b.Store;
  plane.Resize(height, width);
  ReferenceStats stats;
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      const T v = top_first[static_cast<std::size_t>(i * width + j)];
      plane.At(i, j) = v;
      stats.Add(bscale, bzero, static_cast<Extended>(v));
    }
  }
  s.SampleType = sample_type;
  s.ImaWidth = width;
  s.ImaHeight = height;
  s.BScale = bscale;
  s.BZero = bzero;
  s.DataMin = stats.min;
  s.DataMax = stats.max;
  s.DataMean = stats.Mean();
  s.DataSigma = stats.Sigma();
  s.HeaderMin = 0;
  s.HeaderMax = 0;
  s.ImaFileName = "/mem/plane.fits";
  s.ZoomX1 = s.PrevZoomX1 = 0;
  s.ZoomY1 = s.PrevZoomY1 = 0;
  s.ZoomX2 = s.PrevZoomX2 = s.ZoomWidth = width;
  s.ZoomY2 = s.PrevZoomY2 = s.ZoomHeight = height;
  b.EnableImageControls(true);
  b.SetIntensityRange();
  s.ImageLoaded = true;
}

// The bitmap pixels of the preview, top row first.
inline std::vector<uint8_t> Pixels(const Picture& p) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < p.height(); ++y)
    out.insert(out.end(), p.Row(y), p.Row(y) + p.width());
  return out;
}

}  // namespace kivrel::test
