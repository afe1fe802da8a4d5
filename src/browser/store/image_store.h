// The image store: everything known about the one image the browser shows. The readers fill
// it, the display and the sky readout read it, the dialog logic owns it.
//
// Only the plane pair that matches SampleType holds data; every other plane is 1 x 1.
// Statistics and thresholds are physical values (BScale x sample + BZero); planes hold raw
// samples. Strings taken from files (Ctype1, Ctype2, RaDecSys) keep the file's bytes.
#pragma once

#include <cstdint>
#include <string>

#include "browser/base/numbers.h"
#include "browser/store/plane.h"

namespace kivrel {

// Sample types: the FITS BITPIX codes, used for every format.
enum : int32_t { kSample8 = 8, kSample16 = 16, kSample32 = 32, kSampleF32 = -32, kSampleF64 = -64 };

inline constexpr int32_t kMaxPlaneSize = 4000;  // FITS and PIC images are held at most 4000 x 4000

struct ImageStore {
  // Current planes and their unfiltered copies.
  Timai8 Imai8;
  Timai16 Imai16;
  Timai32 Imai32;
  Timar32 Imar32;
  Timar64 Imar64;
  Timai8 OrigImai8;
  Timai16 OrigImai16;
  Timai32 OrigImai32;
  Timar32 OrigImar32;
  Timar64 OrigImar64;

  // Geometry, type and layers.
  int32_t ImaHeight = 0;
  int32_t ImaWidth = 0;
  int32_t SampleType = 0;
  int32_t LayerCount = 1;
  int32_t CurrentLayer = 1;

  // Value statistics, physical units.
  double DataMin = 0;
  double DataMax = 0;
  Extended DataMean = 0;
  Extended DataSigma = 0;
  double HeaderMin = 0;
  double HeaderMax = 0;
  Extended BZero = 0;
  Extended BScale = 1;
  double OrigDataMin = 0;
  double OrigDataMax = 0;
  Extended OrigDataMean = 0;
  Extended OrigDataSigma = 0;

  // Zoom window, plane coordinates, end values exclusive.
  int32_t ZoomX1 = 0;
  int32_t ZoomX2 = 0;
  int32_t ZoomY1 = 0;
  int32_t ZoomY2 = 0;
  int32_t ZoomWidth = 0;
  int32_t ZoomHeight = 0;
  int32_t PrevZoomX1 = 0;
  int32_t PrevZoomX2 = 0;
  int32_t PrevZoomY1 = 0;
  int32_t PrevZoomY2 = 0;

  bool FlipX = false;
  bool FlipY = false;

  // Load state.
  std::string ImaFileName;
  bool ImageLoaded = false;
  bool BitmapShown = false;
  std::string LoadErrorText;
  std::string MsgKeyword = "Mot clé";
  std::string MsgMissing = "manquant";
  std::string MsgPaletteError = "Erreur de création de la palette";

  // Sky position of the shown window.
  char ProjCode = '-';
  double FitsAR = 0;
  double FitsDE = 0;
  double FieldWidth = 0;

  // FITS world-coordinate values.
  std::string Ctype1;
  std::string Ctype2;
  std::string RaDecSys;
  double Equinox = 0;
  double Crpix1 = 0, Crpix2 = 0;
  double Crval1 = 0, Crval2 = 0;
  double Cdelt1 = 0, Cdelt2 = 0;
  double Crota1 = 0, Crota2 = 0;
  double Cd1_1 = 0, Cd1_2 = 0, Cd2_1 = 0, Cd2_2 = 0;
  double Pc1_1 = 1, Pc1_2 = 0, Pc2_1 = 0, Pc2_2 = 1;
  bool HasCdelt = false;
  bool HasCd = false;
  bool HasPc = false;

  // All ten planes back to 1 x 1. The pair of `keep_type` keeps its memory for reuse.
  void ResetPlanes(int32_t keep_type);

  // The planes of every type but SampleType go back to 1 x 1 and give their memory back.
  void ReleaseIdlePlanes();

  // Copies the current plane of SampleType into its unfiltered twin (nothing for other types).
  void CopyToOriginal();
};

// Calls f(current plane, unfiltered plane) for the pair of `sample_type`; returns false (and
// calls nothing) for a type outside the five codes.
template <typename Store, typename F>
bool VisitPlanes(Store& store, int32_t sample_type, F&& f) {
  switch (sample_type) {
    case kSample8:
      f(store.Imai8, store.OrigImai8);
      return true;
    case kSample16:
      f(store.Imai16, store.OrigImai16);
      return true;
    case kSample32:
      f(store.Imai32, store.OrigImai32);
      return true;
    case kSampleF32:
      f(store.Imar32, store.OrigImar32);
      return true;
    case kSampleF64:
      f(store.Imar64, store.OrigImar64);
      return true;
    default:
      return false;
  }
}

// Bytes per sample of a FITS BITPIX code, 0 for any other value.
inline int BytesPerSample(int32_t sample_type) {
  switch (sample_type) {
    case kSample8:
      return 1;
    case kSample16:
      return 2;
    case kSample32:
    case kSampleF32:
      return 4;
    case kSampleF64:
      return 8;
    default:
      return 0;
  }
}

}  // namespace kivrel
